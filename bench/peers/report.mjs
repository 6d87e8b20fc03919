// Turns the raw figures of one `scripts/bench-peers` run into the tables:
// printed as text, written as Markdown, and, given DOC, put in place of the
// block between "<!-- bench-peers -->" and "<!-- /bench-peers -->" there.
//
//   node report.mjs RAW_DIR MARKDOWN_OUT [DOC]
//
// Exits 3 (after writing the table) when the three jobs' balances disagree
// although no symbol repeats in the answer: the timings would then compare
// different work.
import fs from 'node:fs';
import path from 'node:path';
import { median } from './common.mjs';

const [rawDir, mdOut, docPath] = process.argv.slice(2);
if (!rawDir || !mdOut) {
  console.error('usage: node report.mjs RAW_DIR MARKDOWN_OUT [DOC]');
  process.exit(2);
}
const readJson = (name) => JSON.parse(fs.readFileSync(path.join(rawDir, name), 'utf8'));

const machine = readJson('machine.json');

// --- in process -----------------------------------------------------------
const gbench = readJson('refresh_bench.json');
const toMs = { ns: 1e-6, us: 1e-3, ms: 1, s: 1e3 };
function gbenchMedianMs(runName) {
  const row = gbench.benchmarks.find(
    (b) => b.run_type === 'aggregate' && b.aggregate_name === 'median' && b.run_name === runName,
  );
  if (!row) throw new Error(`refresh_bench has no median row for ${runName}`);
  return row.real_time * toMs[row.time_unit];
}
const floorMs = gbenchMedianMs('BM_BareParse');
let cpuMs;
let cpuLabel;
let cpuNote = '';
if (machine.cpuPathBenchmark === 'BM_CpuPath/100') {
  cpuMs = gbenchMedianMs('BM_CpuPath/100');
  cpuLabel = 'our CPU path (in process)';
} else {
  // Without the end-to-end benchmark, its two halves measured apart.
  cpuMs = gbenchMedianMs('BM_ParseAndMap') + gbenchMedianMs('BM_ValueHoldings/100/2430');
  cpuLabel = 'our CPU path (in process)*';
  cpuNote =
    '* BM_CpuPath/100 is not in this build: our CPU path is BM_ParseAndMap + ' +
    'BM_ValueHoldings/100/2430 (medians added).';
}
const plainIn = readJson('inprocess-plain-node.json');
const ccxtIn = readJson('inprocess-ccxt.json');

// --- whole process --------------------------------------------------------
const times = new Map();
const rounds = fs
  .readdirSync(rawDir)
  .filter((f) => /^hyperfine-round\d+\.json$/.test(f))
  .sort();
for (const file of rounds) {
  for (const r of readJson(file).results) {
    if (!times.has(r.command)) times.set(r.command, []);
    times.get(r.command).push(...r.times);
  }
}
const wholeMs = (name) => {
  const t = times.get(name);
  if (!t || t.length === 0) throw new Error(`no hyperfine times for ${name}`);
  return median(t) * 1000;
};
const runsOf = (name) => times.get(name)?.length ?? 0;

const rss = new Map();
for (const line of fs.readFileSync(path.join(rawDir, 'rss.tsv'), 'utf8').split('\n')) {
  const [job, kb] = line.split('\t');
  if (!job || !kb) continue;
  if (!rss.has(job)) rss.set(job, []);
  rss.get(job).push(Number(kb));
}
const rssMiB = (name) => median(rss.get(name)) / 1024;

// --- balances -------------------------------------------------------------
const ours = readJson('balances-ours.json');
const plain = readJson('balances-plain-node.json');
const ccxt = readJson('balances-ccxt.json');
const repeated = plainIn.tickers - plainIn.distinctSymbols;
const close = (a, b) => Math.abs(a - b) <= 1e-9 * Math.max(Math.abs(a), Math.abs(b));
const same = [plain, ccxt, plainIn, ccxtIn].every(
  (b) => close(b.todayBalance, ours.todayBalance) && close(b.yesterdayBalance, ours.yesterdayBalance),
);

// --- table ----------------------------------------------------------------
const oursWhole = wholeMs('ours');
const oursRss = rssMiB('ours');
const rows = [
  { label: 'floor parse, bare simdjson DOM (in process)', ms: floorMs, base: cpuMs },
  { label: cpuLabel, ms: cpuMs, base: cpuMs },
  { label: 'plain node (in process)', ms: plainIn.jobMedianMs, base: cpuMs },
  { label: '  node JSON.parse alone (in process)', ms: plainIn.parseMedianMs, base: cpuMs },
  { label: 'ccxt (in process)', ms: ccxtIn.jobMedianMs, base: cpuMs },
  { label: 'our whole process', ms: oursWhole, base: oursWhole, rss: oursRss },
  { label: 'plain node whole job', ms: wholeMs('plain-node'), base: oursWhole, rss: rssMiB('plain-node') },
  { label: 'ccxt whole job', ms: wholeMs('ccxt'), base: oursWhole, rss: rssMiB('ccxt') },
  { label: 'node start-up (node -e 0)', ms: wholeMs('node-startup'), base: oursWhole, rss: rssMiB('node-startup') },
];
const fmt = (x) => (x >= 100 ? x.toFixed(0) : x >= 10 ? x.toFixed(1) : x.toFixed(2));
const cells = rows.map((r) => [
  r.label,
  fmt(r.ms),
  fmt(r.ms / r.base),
  r.rss === undefined ? '' : r.rss.toFixed(1),
  r.rss === undefined ? '' : fmt(r.rss / oursRss),
]);
const header = ['job', 'median ms', 'x ours', 'peak RSS MiB', 'RSS x ours'];

const widths = header.map((h, i) => Math.max(h.length, ...cells.map((c) => c[i].length)));
const line = (c) =>
  c.map((v, i) => (i === 0 ? v.padEnd(widths[i]) : v.padStart(widths[i]))).join('  ');

// Our process step by step, each command doing a little more than the last.
const steps = readJson('hyperfine-steps.json').results.map((r) => [r.command, fmt(median(r.times) * 1000)]);

const plainWhole = wholeMs('plain-node');
const ccxtWhole = wholeMs('ccxt');
const mb = (mib) => (mib * 1.048576).toFixed(1);
const goals = [
  ['whole process ≥ 25× faster than plain node', `${fmt(plainWhole / oursWhole)}× (${fmt(oursWhole)} ms against ${fmt(plainWhole)} ms)`, plainWhole / oursWhole >= 25],
  ['whole process ≥ 75× faster than ccxt', `${fmt(ccxtWhole / oursWhole)}× (${fmt(oursWhole)} ms against ${fmt(ccxtWhole)} ms)`, ccxtWhole / oursWhole >= 75],
  ['peak RSS ≤ 16 MB', `${oursRss.toFixed(1)} MiB (${mb(oursRss)} MB)`, oursRss * 1.048576 <= 16],
  ['CPU path ≤ 1.5× the floor parse', `${fmt(cpuMs / floorMs)}× (${fmt(cpuMs)} ms against ${fmt(floorMs)} ms)`, cpuMs / floorMs <= 1.5],
].map(([goal, measured, met]) => [goal, measured, met ? 'yes' : 'no']);

const balanceText = (b) => `${b.todayBalance} / ${b.yesterdayBalance}`;
const notes = [
  `x ours: peer / ours, how many times longer than ours (in process: against our CPU path; whole process: against our whole process).`,
  `our CPU path / floor parse: ${fmt(cpuMs / floorMs)}x`,
  ...(cpuNote ? [cpuNote] : []),
  `In process: Google Benchmark medians of ${machine.gbenchRepetitions} repetitions; node: median of ${plainIn.iterations} iterations after ${plainIn.warmup} warm-up ones, the answer read from the file once.`,
  `Whole process: medians of ${runsOf('ours')} runs each (${rounds.length} hyperfine rounds of ${machine.runsPerRound}, the four commands in turn); peak RSS: median of ${rss.get('ours').length} runs of /usr/bin/time -v.`,
  `Answer: ${plainIn.tickers} tickers, ${machine.answerBytes} bytes over HTTP on 127.0.0.1; ${plainIn.valued} holdings.`,
  `Repeated symbols in the answer: ${repeated}.`,
  `Balances (today / yesterday): ours ${balanceText(ours)}; plain node ${balanceText(plain)}; ccxt ${balanceText(ccxt)}.`,
  repeated > 0
    ? `Balances not compared: ${repeated} symbol(s) repeat, and ccxt keeps the last ticker of a symbol where the others keep the first.`
    : `Same balances to 1e-9 relative in all three jobs (whole and in process): ${same ? 'yes' : 'NO'}.`,
];
const roundLoads = fs
  .readFileSync(path.join(rawDir, 'round-loads.tsv'), 'utf8')
  .split('\n')
  .filter(Boolean)
  .map((l) => l.split('\t')[1]);
const busyRounds = roundLoads.filter((l) => Number(l) > Number(machine.maxLoad)).length;
const machineText = [
  `Machine: ${machine.nproc} CPUs, ${machine.cpuModel}; ${machine.kernel}; load average at start ${machine.loadAverage}, at the end of each round ${roundLoads.join(', ')}` +
    (busyRounds ? ` (${busyRounds} round(s) still busy after the reruns: past ${machine.maxLoad})` : ''),
  `node ${machine.node}, ccxt ${ccxtIn.ccxtVersion}, ${machine.hyperfine}; build ${machine.build}; ${machine.date}`,
];

const text = [
  ...machineText,
  '',
  line(header),
  line(widths.map((w) => '-'.repeat(w))),
  ...cells.map(line),
  '',
  ...notes,
  '',
  ...goals.map(([goal, measured, met]) => `${goal}: ${measured}: ${met}`),
].join('\n');
console.log(text);

const mdTable = (head, rows, align) => [
  `| ${head.join(' | ')} |`,
  `|${head.map((_, i) => (align[i] === 'l' ? ':---' : '---:')).join('|')}|`,
  ...rows.map((c) => `| ${c.map((v) => v.replace(/^\s+/, '&nbsp;&nbsp;')).join(' | ')} |`),
];
const block = [
  ...machineText.map((l) => `${l}  `),
  '',
  ...mdTable(header, cells, 'lrrrr'),
  '',
  ...notes.map((n) => `- ${n}`),
  '',
  '### Against the goals',
  '',
  ...mdTable(['goal', 'measured', 'met?'], goals, 'lll'),
  '',
  '### Our whole process, step by step',
  '',
  ...mdTable(['command (each adds to the one before)', 'median ms'], steps, 'lr'),
  '',
  '### Our peak memory, part by part',
  '',
  fs.readFileSync(path.join(rawDir, 'rss-parts.md'), 'utf8').trim(),
];
fs.writeFileSync(mdOut, ['# Quorvel widgets side by side with Node.js peers', '', ...block, ''].join('\n'));
if (docPath) {
  const doc = fs.readFileSync(docPath, 'utf8');
  const begin = '<!-- bench-peers -->\n';
  const end = '<!-- /bench-peers -->';
  const from = doc.indexOf(begin);
  const to = doc.indexOf(end);
  if (from < 0 || to < from) {
    console.error(`report.mjs: ${docPath} has no ${begin.trim()} ... ${end} block`);
    process.exit(1);
  }
  fs.writeFileSync(docPath, doc.slice(0, from + begin.length) + ['', ...block, ''].join('\n') + doc.slice(to));
}

if (repeated === 0 && !same) process.exit(3);
