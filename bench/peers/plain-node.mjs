// The job done the obvious way in one Node.js process: download the 24-hour
// ticker answer with the built-in fetch, JSON.parse it, index the first
// ticker of each upper-cased symbol, and value the holdings.
//
//   node plain-node.mjs BASE_URL HOLDINGS_JSON OUT_JSON
//   node plain-node.mjs --in-process N ANSWER_JSON HOLDINGS_JSON
import {
  fetchAnswer,
  parseCommandLine,
  readHoldings,
  timeInProcess,
  value,
  writeBalances,
} from './common.mjs';

const NAME = 'plain-node';

function job(text, holdings) {
  const answer = JSON.parse(text);
  const firstBySymbol = new Map();
  for (const ticker of answer) {
    const key = String(ticker.symbol).toUpperCase();
    if (!firstBySymbol.has(key)) firstBySymbol.set(key, ticker);
  }
  return value(holdings, (key) => {
    const t = firstBySymbol.get(key);
    if (t === undefined) return undefined;
    const last = Number(t.lastPrice);
    return { last, change: Number(t.priceChange) };
  });
}

const cli = parseCommandLine(NAME);
const holdings = readHoldings(NAME, cli.holdingsPath);
if (cli.mode === 'in-process') {
  timeInProcess(NAME, cli.iterations, cli.answerPath, (text) => job(text, holdings));
} else {
  const text = await fetchAnswer(NAME, cli.baseUrl);
  writeBalances(NAME, cli.outPath, job(text, holdings));
}
