// The VS Code extension's choice of server (contrib/vscode-extension/
// extension.js), run with stand-ins for the 'vscode' module and the language
// client, which only VS Code provides: the stylo.path setting overrides the
// server the package carries, which comes before PATH; with none there,
// activation shows one message naming every place looked in and starts no
// client. Each case is a tree of files made here.
// Usage: node vscode_extension_test.js <contrib/vscode-extension/extension.js>
'use strict';
const assert = require('assert');
const fs = require('fs');
const Module = require('module');
const os = require('os');
const path = require('path');

const shown = [];
const started = [];
let setting = '';
const stubs = {
  vscode: {
    workspace: { getConfiguration: () => ({ get: () => setting }) },
    window: { showErrorMessage: (message) => shown.push(message) },
  },
  'vscode-languageclient/node': {
    LanguageClient: class {
      constructor(id, name, server) { started.push(server.command); }
      start() { return Promise.resolve(); }
    },
  },
};
const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) {
  return request in stubs ? request : resolve.call(this, request, ...rest);
};
for (const [name, exports] of Object.entries(stubs)) {
  require.cache[name] = { id: name, filename: name, loaded: true, exports };
}
const extension = require(path.resolve(process.argv[2]));

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'stylo-vscode-'));
function program(file, mode = 0o755) {
  fs.mkdirSync(path.dirname(file), { recursive: true });
  fs.writeFileSync(file, '#!/bin/sh\n');
  fs.chmodSync(file, mode);
  return file;
}
const ext = path.join(work, 'ext');
const bundled = program(path.join(ext, 'server', 'stylo-lsp'));
const bare = path.join(work, 'bare'); // a package with no server of its own
fs.mkdirSync(bare);
const bin = path.join(work, 'bin');
const onPath = program(path.join(bin, 'stylo-lsp'));
const custom = program(path.join(work, 'my tools', 'stylo-lsp-dev'));
program(path.join(work, 'noexec', 'stylo-lsp'), 0o644);
const empty = path.join(work, 'empty');
fs.mkdirSync(empty);
const win = path.join(work, 'win');
const winBundled = program(path.join(win, 'server', 'stylo-lsp.exe'));
const winBin = path.join(work, 'winbin');
const winOnPath = program(path.join(winBin, 'stylo-lsp.exe'));

// setting, package, PATH, platform: the command chosen, or the places named.
const cases = [
  ['', ext, `${bin}`, 'linux', { command: bundled }],
  ['', bare, `${empty}:${bin}`, 'linux', { command: onPath }],
  [custom, ext, bin, 'linux', { command: custom }],
  ['stylo-lsp', ext, bin, 'linux', { command: onPath }],
  ['', bare, `${empty}:${path.join(work, 'noexec')}`, 'linux',
    { looked: [path.join(bare, 'server', 'stylo-lsp'), `PATH (${empty}:${path.join(work, 'noexec')})`] }],
  [path.join(work, 'missing', 'stylo-lsp'), ext, bin, 'linux',
    { looked: [`stylo.path (${path.join(work, 'missing', 'stylo-lsp')})`] }],
  ['stylo-lsp-dev', ext, bin, 'linux', { looked: [`stylo.path (stylo-lsp-dev) in PATH (${bin})`] }],
  ['', win, winBin, 'win32', { command: winBundled }],
  ['', bare, `${empty};${winBin}`, 'win32', { command: winOnPath }],
  ['', bare, empty, 'win32', { looked: [path.join(bare, 'server', 'stylo-lsp.exe'), `PATH (${empty})`] }],
];
for (const [value, dir, PATH, platform, want] of cases) {
  const got = extension.findServer(value, dir, { PATH }, platform);
  assert.deepStrictEqual(got, want, `stylo.path '${value}', package ${dir}, PATH ${PATH}, ${platform}`);
}

// Activation: the server found is started; none found, one message.
const savedPath = process.env.PATH;
try {
  process.env.PATH = bin;
  setting = '';
  extension.activate({ extensionPath: ext, subscriptions: [] });
  assert.deepStrictEqual([started, shown], [[bundled], []]);
  process.env.PATH = empty;
  started.length = 0;
  assert.strictEqual(extension.activate({ extensionPath: bare, subscriptions: [] }), undefined);
  assert.deepStrictEqual(started, []);
  assert.deepStrictEqual(shown, [`stylo-lsp was not found: looked in ${path.join(bare, 'server', 'stylo-lsp')}, ` +
    `PATH (${empty}). Install stylo, or set stylo.path to the stylo-lsp program.`]);
} finally {
  process.env.PATH = savedPath;
  fs.rmSync(work, { recursive: true, force: true });
}
console.log('VS Code extension: stylo.path, then its own server, then PATH; none found, one message');
