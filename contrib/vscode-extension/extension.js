// Starts stylo-lsp for C and C++ files; VS Code's language client does the rest.
const vscode = require('vscode');
const { LanguageClient } = require('vscode-languageclient/node');

let client;
exports.activate = context => {
  const command = vscode.workspace.getConfiguration('stylo').get('path') || 'stylo-lsp';
  client = new LanguageClient('stylo', 'stylo', { command },
    { documentSelector: [{ language: 'c' }, { language: 'cpp' }] });
  context.subscriptions.push(client);
  return client.start();
};
exports.deactivate = () => client && client.stop();
