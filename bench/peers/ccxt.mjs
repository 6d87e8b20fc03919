// The job through ccxt's Binance ticker parser: the answer is downloaded from
// the loopback server with fetch (ccxt itself makes no request), parsed with
// JSON.parse, turned into unified tickers by parseTickers, and the holdings
// are valued from those tickers.
//
//   node ccxt.mjs BASE_URL HOLDINGS_JSON OUT_JSON
//   node ccxt.mjs --in-process N ANSWER_JSON HOLDINGS_JSON
//
// The markets are not loaded: that needs the exchangeInfo request, which the
// job doesn't make. ccxt then names each ticker by the exchange's own id
// ("BTCUSDT") instead of "BTC/USDT"; the look-up goes through info.symbol,
// the exchange's id, so it works with either naming.
import fs from 'node:fs';
import { binance } from 'ccxt';
import {
  fetchAnswer,
  parseCommandLine,
  readHoldings,
  timeInProcess,
  value,
  writeBalances,
} from './common.mjs';

const NAME = 'ccxt';

// Constructing the exchange makes no request; only fetch* and load* methods do.
const exchange = new binance();

function job(text, holdings) {
  // parseTickers keys its result by unified symbol, so of two tickers with the
  // same symbol it keeps the last; the widget keeps the first. The balances
  // agree only when no symbol repeats, which the in-process run reports.
  const tickers = exchange.parseTickers(JSON.parse(text));
  const byId = new Map();
  for (const symbol in tickers) {
    const t = tickers[symbol];
    byId.set(String(t.info.symbol).toUpperCase(), t);
  }
  return value(holdings, (key) => {
    const t = byId.get(key);
    if (t === undefined) return undefined;
    // ccxt reports a price of exactly 0 (a halted pair) as undefined; the
    // exchange said 0, and 0 is what the widget values it at.
    return { last: t.last ?? 0, change: t.change ?? 0 };
  });
}

const cli = parseCommandLine(NAME);
const holdings = readHoldings(NAME, cli.holdingsPath);
if (cli.mode === 'in-process') {
  const pkg = JSON.parse(
    fs.readFileSync(new URL('./node_modules/ccxt/package.json', import.meta.url), 'utf8'),
  );
  timeInProcess(NAME, cli.iterations, cli.answerPath, (text) => job(text, holdings), {
    ccxtVersion: pkg.version,
  });
} else {
  const text = await fetchAnswer(NAME, cli.baseUrl);
  writeBalances(NAME, cli.outPath, job(text, holdings));
}
