// Loopback stand-in for the exchange: answers GET /api/v3/ticker/24hr with a
// recorded answer, byte for byte, so every job downloads the same payload.
//
//   node serve.mjs ANSWER_FILE [PORT]
//
// PORT 0 (the default) takes a free port. The chosen port is printed as the
// first line of standard output once the server is listening.
import http from 'node:http';
import fs from 'node:fs';

const [answerPath, portArg = '0'] = process.argv.slice(2);
if (!answerPath) {
  console.error('usage: node serve.mjs ANSWER_FILE [PORT]');
  process.exit(2);
}
const port = Number(portArg);
if (!Number.isInteger(port) || port < 0 || port > 65535) {
  console.error(`serve.mjs: bad port ${portArg}`);
  process.exit(2);
}

let body;
try {
  body = fs.readFileSync(answerPath);
} catch (err) {
  console.error(`serve.mjs: cannot read ${answerPath}: ${err.message}`);
  process.exit(1);
}

const server = http.createServer((req, res) => {
  const path = new URL(req.url, 'http://127.0.0.1').pathname;
  if (req.method !== 'GET' || path !== '/api/v3/ticker/24hr') {
    res.writeHead(404, { 'Content-Type': 'application/json' });
    res.end('{"code":-1,"msg":"not found"}');
    return;
  }
  // A fixed Content-Length and no Content-Encoding: clients read the raw
  // bytes, never decompress, never deal with chunking.
  res.writeHead(200, {
    'Content-Type': 'application/json',
    'Content-Length': body.length,
  });
  res.end(body);
});

server.on('error', (err) => {
  console.error(`serve.mjs: ${err.message}`);
  process.exit(1);
});

server.listen(port, '127.0.0.1', () => {
  process.stdout.write(`${server.address().port}\n`);
});

// Nothing to flush: stop at once, without waiting for idle keep-alive sockets.
for (const signal of ['SIGINT', 'SIGTERM']) process.on(signal, () => process.exit(0));
