// Loads an unpacked VS Code extension as VS Code would, with a stand-in for
// the 'vscode' module that only VS Code provides: its package.json's main
// must load, every module it requires (the language client and all it
// needs) must be in its node_modules, and it must export activate().
//
// usage: node vsix_load.js <the .vsix's extension/ directory>
const Module = require('module');
const path = require('path');

const dir = path.resolve(process.argv[2]);
const resolve = Module._resolveFilename;
Module._resolveFilename = function (request, ...rest) {
  return request === 'vscode' ? 'vscode' : resolve.call(this, request, ...rest);
};
require.cache.vscode = {
  id: 'vscode', filename: 'vscode', loaded: true,
  exports: new Proxy({}, { get: () => class {} }),
};
const manifest = require(path.join(dir, 'package.json'));
const extension = require(path.join(dir, manifest.main));
if (typeof extension.activate !== 'function') throw new Error(`${manifest.main} exports no activate()`);
console.log(`${manifest.name} ${manifest.version}: ${manifest.main} loads`);
