// Starts stylo-lsp for C and C++ files; VS Code's language client does the rest.
//
// The server run is the first of: the program the setting stylo.path names
// (a path, or a name looked up on PATH); the stylo-lsp this package carries
// in server/ (the packages made for one platform carry one); stylo-lsp on
// PATH. When none is there, one message says so and where it looked,
// rather than the client's own failure to spawn.
const fs = require('fs');
const path = require('path');
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

function executable(file, platform) {
  try {
    fs.accessSync(file, platform === 'win32' ? fs.constants.F_OK : fs.constants.X_OK);
    return fs.statSync(file).isFile();
  } catch {
    return false;
  }
}

// On PATH as the system's shell would find it: on Windows, with the
// extensions PATHEXT lists when the name has none.
function onPath(name, env, platform) {
  const separator = platform === 'win32' ? ';' : ':';
  const dirs = (env.PATH || env.Path || '').split(separator).filter((dir) => dir !== '');
  const names = platform === 'win32' && path.extname(name) === ''
    ? (env.PATHEXT || '.EXE;.CMD;.BAT').split(';').filter((ext) => ext !== '').map((ext) => name + ext.toLowerCase())
    : [name];
  for (const dir of dirs) {
    for (const candidate of names) {
      const full = path.join(dir, candidate);
      if (executable(full, platform)) return { found: full, looked: [] };
    }
  }
  return { found: null, looked: [`PATH (${dirs.join(separator)})`] };
}

// findServer: { command } to run, or { looked } when there is none.
function findServer(setting, extensionPath, env, platform) {
  if (setting) {
    if (setting.includes('/') || (platform === 'win32' && setting.includes('\\'))) {
      return executable(setting, platform) ? { command: setting } : { looked: [`stylo.path (${setting})`] };
    }
    const { found, looked } = onPath(setting, env, platform);
    return found ? { command: found } : { looked: [`stylo.path (${setting}) in ${looked[0]}`] };
  }
  const bundled = path.join(extensionPath, 'server', platform === 'win32' ? 'stylo-lsp.exe' : 'stylo-lsp');
  if (executable(bundled, platform)) return { command: bundled };
  const { found, looked } = onPath('stylo-lsp', env, platform);
  return found ? { command: found } : { looked: [bundled, ...looked] };
}
exports.findServer = findServer;

let client;
exports.activate = (context) => {
  const setting = vscode.workspace.getConfiguration('stylo').get('path') || '';
  const server = findServer(setting, context.extensionPath, process.env, process.platform);
  if (!server.command) {
    vscode.window.showErrorMessage(`stylo-lsp was not found: looked in ${server.looked.join(', ')}. ` +
      'Install stylo, or set stylo.path to the stylo-lsp program.');
    return undefined;
  }
  client = new LanguageClient('stylo', 'stylo', { command: server.command },
    { documentSelector: [{ language: 'c' }, { language: 'cpp' }] });
  context.subscriptions.push(client);
  return client.start();
};
exports.deactivate = () => client && client.stop();
