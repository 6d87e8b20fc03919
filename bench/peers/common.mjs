// What both Node.js peers share: the command line, the holdings file, the
// download, the balances file and the in-process timing loop. Kept small so
// the whole-job timings measure the peers' own work, not this module.
import fs from 'node:fs';
import { performance } from 'node:perf_hooks';

export const TICKER_PATH = '/api/v3/ticker/24hr';

// Iterations run before timing starts, so the medians describe code the JIT
// has already compiled, as in a long-lived process.
const WARMUP = 3;

export function fail(name, message) {
  console.error(`${name}: ${message}`);
  process.exit(1);
}

// Either a whole job (URL HOLDINGS OUT) or an in-process timing run
// (--in-process N ANSWER HOLDINGS).
export function parseCommandLine(name) {
  const args = process.argv.slice(2);
  const usage =
    `usage: node ${name}.mjs BASE_URL HOLDINGS_JSON OUT_JSON\n` +
    `       node ${name}.mjs --in-process N ANSWER_JSON HOLDINGS_JSON`;
  if (args[0] === '--in-process') {
    const iterations = Number(args[1]);
    if (args.length !== 4 || !Number.isInteger(iterations) || iterations < 1) {
      console.error(usage);
      process.exit(2);
    }
    return { mode: 'in-process', iterations, answerPath: args[2], holdingsPath: args[3] };
  }
  if (args.length !== 3) {
    console.error(usage);
    process.exit(2);
  }
  return { mode: 'job', baseUrl: args[0], holdingsPath: args[1], outPath: args[2] };
}

// [{symbol, amount}], amounts as numbers; symbols upper-cased once here so the
// look-ups in the timed path compare like with like.
export function readHoldings(name, path) {
  let list;
  try {
    list = JSON.parse(fs.readFileSync(path, 'utf8'));
  } catch (err) {
    fail(name, `cannot read holdings ${path}: ${err.message}`);
  }
  if (!Array.isArray(list) || list.length === 0) fail(name, `no holdings in ${path}`);
  return list.map((h) => ({ key: String(h.symbol).toUpperCase(), amount: Number(h.amount) }));
}

export async function fetchAnswer(name, baseUrl) {
  const url = baseUrl.replace(/\/+$/, '') + TICKER_PATH;
  let res;
  try {
    res = await fetch(url);
  } catch (err) {
    fail(name, `GET ${url} failed: ${err.cause?.message ?? err.message}`);
  }
  if (!res.ok) fail(name, `GET ${url} answered HTTP ${res.status}`);
  return res.text();
}

// Valuation shared by both peers once each has its own symbol -> {last,
// change} index: missing symbols are skipped, like the widget does.
export function value(holdings, lookup) {
  let todayBalance = 0;
  let yesterdayBalance = 0;
  let valued = 0;
  for (const h of holdings) {
    const t = lookup(h.key);
    if (t === undefined) continue;
    todayBalance += h.amount * t.last;
    yesterdayBalance += h.amount * (t.last - t.change);
    valued += 1;
  }
  return { todayBalance, yesterdayBalance, valued };
}

export function writeBalances(name, outPath, balances) {
  if (balances.valued === 0 || !Number.isFinite(balances.todayBalance)) {
    fail(name, 'no holding could be valued');
  }
  const { todayBalance, yesterdayBalance } = balances;
  fs.writeFileSync(outPath, JSON.stringify({ todayBalance, yesterdayBalance }) + '\n');
}

export function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  const mid = sorted.length >> 1;
  return sorted.length % 2 ? sorted[mid] : (sorted[mid - 1] + sorted[mid]) / 2;
}

// Times `job(text)` and a bare JSON.parse(text) alternately, so a noisy
// neighbour slows both alike, and prints one JSON line with both medians.
export function timeInProcess(name, iterations, answerPath, job, extra = {}) {
  let text;
  try {
    text = fs.readFileSync(answerPath, 'utf8');
  } catch (err) {
    fail(name, `cannot read answer ${answerPath}: ${err.message}`);
  }
  let sink = 0;
  let balances;
  for (let i = 0; i < WARMUP; ++i) {
    sink += JSON.parse(text).length;
    balances = job(text);
  }
  const jobMs = [];
  const parseMs = [];
  for (let i = 0; i < iterations; ++i) {
    let t0 = performance.now();
    sink += JSON.parse(text).length;
    parseMs.push(performance.now() - t0);
    t0 = performance.now();
    balances = job(text);
    jobMs.push(performance.now() - t0);
  }
  if (sink === 0 || balances.valued === 0) fail(name, 'no holding could be valued');
  const answer = JSON.parse(text);
  const distinct = new Set(answer.map((t) => String(t.symbol).toUpperCase())).size;
  console.log(
    JSON.stringify({
      peer: name,
      iterations,
      warmup: WARMUP,
      jobMedianMs: median(jobMs),
      parseMedianMs: median(parseMs),
      jobMs,
      parseMs,
      tickers: answer.length,
      distinctSymbols: distinct,
      valued: balances.valued,
      todayBalance: balances.todayBalance,
      yesterdayBalance: balances.yesterdayBalance,
      ...extra,
    }),
  );
}
