// Drives stylo-lsp with vscode-languageserver-protocol, the library VS
// Code's own client is built on: initialize, documents opened and edited at
// random, diagnostics pushed and pulled, code actions, shutdown and exit.
// On generated texts (non-ASCII, emoji, CR LF, lone CR, Ctrl-Z, comments,
// literals), in both position encodings, every diagnostic must be one of
// stylo's own findings on a file holding the same text, in the same order,
// at the right place: the text under each range is the finding's keyword
// and '(' or its operator. Each quick fix applied must remove exactly its
// finding.
//
// Usage: node lsp_client_test.js <node_modules dir> <stylo-lsp> <stylo> [wrapper]
// (the wrapper, e.g. wine, runs the server).
'use strict';
const path = require('path');
const fs = require('fs');
const os = require('os');
const cp = require('child_process');
const [modules, server, stylo, wrapper] = process.argv.slice(2);
const rpc = require(path.resolve(modules, 'vscode-jsonrpc/node'));
const protocol = require(path.resolve(modules, 'vscode-languageserver-protocol/node'));

let failures = 0;
function check(ok, what) {
  if (!ok) {
    failures++;
    console.error('FAIL: ' + what);
  }
}

// --- Text as the client holds it: a JS string, positions in either encoding.
function lineStarts(text) {
  const starts = [0];
  for (let i = 0; i < text.length; i++) {
    if (text[i] === '\r' && text[i + 1] === '\n') i++;
    if (text[i] === '\r' || text[i] === '\n') starts.push(i + 1);
  }
  return starts;
}
function toPosition(text, index, encoding) {
  const starts = lineStarts(text);
  let line = 0;
  while (line + 1 < starts.length && starts[line + 1] <= index) line++;
  const prefix = text.slice(starts[line], index);
  return { line, character: encoding === 'utf-8' ? Buffer.byteLength(prefix, 'utf8') : prefix.length };
}
function toIndex(text, pos, encoding) {
  const starts = lineStarts(text);
  const start = starts[Math.min(pos.line, starts.length - 1)];
  if (encoding !== 'utf-8') return start + pos.character;
  let i = start, bytes = 0;
  while (bytes < pos.character) {
    const cp = text.codePointAt(i);
    bytes += Buffer.byteLength(String.fromCodePoint(cp), 'utf8');
    i += cp > 0xffff ? 2 : 1;
  }
  return i;
}
function applyEdits(text, edits, encoding) {
  const spans = edits.map(e => [toIndex(text, e.range.start, encoding), toIndex(text, e.range.end, encoding), e.newText]);
  spans.sort((a, b) => b[0] - a[0]);
  for (const [s, e, t] of spans) text = text.slice(0, s) + t + text.slice(e);
  return text;
}

// --- stylo's own findings on a file holding the text.
const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'stylo-lsp-'));
function styloFindings(text) {
  const file = path.join(dir, 'doc.c');
  fs.writeFileSync(file, text, 'utf8');
  const out = cp.execFileSync(stylo, [file]).toString();
  return out.split('\n').filter(l => l).map(l => {
    const m = /^.*\((\d+)\): warning: (.*)$/.exec(l);
    return { line: Number(m[1]), message: m[2] };
  });
}
// The text the finding must cover, from its message.
function subjectOf(message) {
  const k = /entre '(\w+)' et la parenthese/.exec(message);
  if (k) return k[1] + '(';
  return /^'([=!+-]+)'/.exec(message)[1];
}
// Under each diagnostic: stylo's line of its start, its message, and check
// that the range covers the finding's own text.
function described(text, diagnostics, encoding) {
  return diagnostics.map(d => {
    const s = toIndex(text, d.range.start, encoding), e = toIndex(text, d.range.end, encoding);
    check(text.slice(s, e) === subjectOf(d.message),
      `range ${JSON.stringify(d.range)} covers ${JSON.stringify(text.slice(s, e))}, not ${subjectOf(d.message)}`);
    check(d.severity === 2 && d.source === 'stylo' && (d.code === 'keyword-space' || d.code === 'reversed-operator'),
      'severity, source or code: ' + JSON.stringify(d));
    const before = text.slice(0, s);
    return { line: (before.match(/\n/g) || []).length + 1, message: d.message };
  });
}

// --- Generated texts.
let seed = 12345;
function random(n) {
  seed = (seed * 1103515245 + 12345) & 0x7fffffff;
  return seed % n;
}
const pieces = ['if(', 'while(', 'for (', 'switch(', 'x', ' ', 'a=-1', 'b=+c', 'c=!d', 'a==!b', 'a!=-1', 'x/=-1', 'é',
  '😀', '中', '\r\n', '\n', '\r', '/*', '*/', '//', '"', "'", '#', '\\', '(', ';', '=', '-', '!', '\x1a', '\t'];
function generate(length) {
  let t = '';
  for (let i = 0; i < length; i++) t += pieces[random(pieces.length)];
  return t;
}
// A random index of `text` that splits neither a surrogate pair nor a CR LF.
function randomIndex(text) {
  for (;;) {
    const i = random(text.length + 1);
    const c = text.charCodeAt(i);
    if (c >= 0xdc00 && c <= 0xdfff) continue;
    if (text[i - 1] === '\r' && text[i] === '\n') continue;
    return i;
  }
}

function start(encoding, pulls) {
  const child = wrapper ? cp.spawn(wrapper, [server]) : cp.spawn(server);
  child.stderr.on('data', d => process.stderr.write(d));
  const connection = protocol.createProtocolConnection(new rpc.StreamMessageReader(child.stdout),
    new rpc.StreamMessageWriter(child.stdin));
  const published = [];
  let waiting = null;
  connection.onNotification('textDocument/publishDiagnostics', p => {
    published.push(p);
    if (waiting) waiting();
  });
  connection.listen();
  const exited = new Promise(resolve => child.on('exit', code => resolve(code)));
  const capabilities = { general: { positionEncodings: [encoding] } };
  if (pulls) capabilities.textDocument = { diagnostic: {} };
  async function diagnostics(uri, version) {
    if (pulls) return (await connection.sendRequest('textDocument/diagnostic', { textDocument: { uri } })).items;
    for (;;) {
      const p = published.find(p => p.uri === uri && p.version === version);
      if (p) return p.diagnostics;
      await new Promise(resolve => { waiting = resolve; });
    }
  }
  return { connection, capabilities, diagnostics, exited };
}

async function session(encoding, pulls) {
  const s = start(encoding, pulls);
  const init = await s.connection.sendRequest(protocol.InitializeRequest.type, { processId: null, rootUri: null, capabilities: s.capabilities });
  check(init.capabilities.positionEncoding === encoding, `${encoding}: negotiated ${init.capabilities.positionEncoding}`);
  s.connection.sendNotification('initialized', {});
  for (let doc = 0; doc < 12; doc++) {
    const uri = `file:///gen/${encoding}/${doc}.c`;
    let text = generate(40 + random(200));
    let version = 1;
    s.connection.sendNotification('textDocument/didOpen', { textDocument: { uri, languageId: 'c', version, text } });
    for (let edit = 0; edit < 15; edit++) {
      let a = randomIndex(text), b = randomIndex(text);
      if (b < a) [a, b] = [b, a];
      const change = { range: { start: toPosition(text, a, encoding), end: toPosition(text, b, encoding) }, text: generate(random(4)) };
      text = text.slice(0, a) + change.text + text.slice(b);
      s.connection.sendNotification('textDocument/didChange', { textDocument: { uri, version: ++version }, contentChanges: [change] });
    }
    const diagnostics = await s.diagnostics(uri, version);
    const want = styloFindings(text);
    const got = described(text, diagnostics, encoding);
    check(JSON.stringify(got) === JSON.stringify(want),
      `${uri}: diagnostics differ from stylo's findings\n text: ${JSON.stringify(text)}\n got:  ${JSON.stringify(got)}\n want: ${JSON.stringify(want)}`);
    // Every quick fix of the first findings removes exactly its own.
    for (const d of diagnostics.slice(0, 4)) {
      const actions = await s.connection.sendRequest('textDocument/codeAction',
        { textDocument: { uri }, range: d.range, context: { diagnostics: [d], only: ['quickfix'] } });
      const mine = actions.filter(a => a.diagnostics[0].range.start.line === d.range.start.line &&
        a.diagnostics[0].range.start.character === d.range.start.character);
      check(mine.length >= 1, `no fix for ${JSON.stringify(d)}`);
      for (const a of mine) {
        const after = applyEdits(text, a.edit.changes[uri], encoding);
        const left = styloFindings(after);
        check(left.length === want.length - 1, `${a.title} on ${JSON.stringify(text)} leaves ${left.length} of ${want.length} findings`);
      }
    }
    const all = await s.connection.sendRequest('textDocument/codeAction',
      { textDocument: { uri }, range: { start: { line: 0, character: 0 }, end: { line: 0, character: 0 } }, context: { diagnostics: [], only: ['source.fixAll.stylo'] } });
    if (all.length > 0) {
      const left = styloFindings(applyEdits(text, all[0].edit.changes[uri], encoding));
      check(left.every(f => !f.message.startsWith('(style)')), 'fixAll left a keyword finding');
      check(left.length === want.filter(f => !f.message.startsWith('(style)')).length, 'fixAll changed an operator finding');
    }
    s.connection.sendNotification('textDocument/didClose', { textDocument: { uri } });
  }
  await s.connection.sendRequest(protocol.ShutdownRequest.type);
  s.connection.sendNotification('exit');
  const code = await s.exited;
  check(code === 0, `${encoding}: exit after shutdown gave status ${code}`);
  s.connection.dispose();
}

async function exitWithoutShutdown() {
  const s = start('utf-16', false);
  await s.connection.sendRequest(protocol.InitializeRequest.type, { processId: null, rootUri: null, capabilities: {} });
  s.connection.sendNotification('exit');
  const code = await s.exited;
  check(code === 1, `exit without shutdown gave status ${code}`);
  s.connection.dispose();
}

(async () => {
  await session('utf-16', false);
  await session('utf-8', true);
  await exitWithoutShutdown();
  fs.rmSync(dir, { recursive: true, force: true });
  if (failures) {
    console.error(`${failures} failures`);
    process.exit(1);
  }
  console.log('stylo-lsp agrees with stylo on 24 generated documents in both encodings; fixes and lifecycle hold');
  // Under wine, the processes wine starts beside the server (winedevice,
  // say) inherit its pipes and keep them open after it has exited: waiting
  // for them to close would never end.
  process.exit(0);
})().catch(e => {
  console.error(e);
  process.exit(1);
});
