// Holds the VS Code tasks in contrib/vscode/tasks.json to the GitHub Actions
// problem matcher (same expression, groups and severity), then runs each task
// as VS Code would, in a git work tree made here, with the built stylo on
// PATH, and reads its output with the task's own pattern: every line must give
// the right file, line and message, also for names with blanks, parentheses
// and text that looks like a warning.
// Usage: node vscode_tasks_test.js <tasks json> <github matcher json> <built stylo>
'use strict';
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const [tasksFile, githubFile, styloArg] = process.argv.slice(2);
try {
  execFileSync('git', ['--version'], { stdio: 'ignore' });
} catch {
  console.log('SKIP: git is not installed, so the workspace task cannot run');
  process.exit(77);
}
const stylo = path.resolve(styloArg);
const tasks = JSON.parse(fs.readFileSync(tasksFile, 'utf8')).tasks;
const github = JSON.parse(fs.readFileSync(githubFile, 'utf8')).problemMatcher[0];
const githubPattern = github.pattern[0];

const kw = (k) => `(style) Devrait mettre un espace entre '${k}' et la parenthese. [guide 80]  [QVS]`;
const op = (found, suggested) =>
  `'${found}' devrait probablement etre '${suggested}'; sinon, ajoutez un espace entre.  [QVS]`;
// In the order git lists them.
const cases = [
  { file: 'clean.c', text: 'if (a) x -= 1;\n', want: [] },
  { file: 'my dir/a (2).c', text: 'int x;\nif(a) x=-1;\n', want: [[2, kw('if')], [2, op('=-', '-=')]] },
  { file: 'sp ace/(1)/f(9).h', text: 'for(;;) {}\nswitch(c) {}\n', want: [[1, kw('for')], [2, kw('switch')]] },
  { file: 'x(3): warning: y (4).c', text: 'a==!b;\n', want: [[1, op('==!', '!=')]] },
];

// parse(task, output): what the task's problem matcher reads from its output.
function parse(task, output) {
  const pattern = task.problemMatcher.pattern;
  const regexp = new RegExp(pattern.regexp); // VS Code builds it without flags
  const lines = output.split('\n');
  assert.equal(lines.pop(), '', 'output ends with a line feed');
  return lines.map((text) => {
    const m = regexp.exec(text);
    assert.ok(m, `${task.label}: no match: ${text}`);
    return { file: m[pattern.file], line: m[pattern.line], message: m[pattern.message] };
  });
}
const wanted = (c, file) => c.want.map(([line, message]) => ({ file, line: String(line), message }));

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'stylo_vscode_'));
try {
  fs.mkdirSync(path.join(dir, 'bin'));
  fs.symlinkSync(stylo, path.join(dir, 'bin', 'stylo'));
  const ws = path.join(dir, 'workspace');
  for (const c of cases) {
    fs.mkdirSync(path.join(ws, path.dirname(c.file)), { recursive: true });
    fs.writeFileSync(path.join(ws, c.file), c.text);
  }
  fs.writeFileSync(path.join(ws, 'notes.txt'), 'if(a)\n'); // not C: not checked
  const env = { ...process.env, PATH: `${path.join(dir, 'bin')}:${process.env.PATH}`, GIT_CONFIG_NOSYSTEM: '1', HOME: dir };
  execFileSync('git', ['init', '-q'], { cwd: ws, env });
  execFileSync('git', ['add', '.'], { cwd: ws, env });
  // VS Code puts the workspace's folder for ${workspaceFolder}, the file in
  // the editor for ${file}.
  const expand = (s, file) => s.replaceAll('${workspaceFolder}', ws).replaceAll('${file}', file);

  assert.equal(tasks.length, 2);
  const byType = Object.fromEntries(tasks.map((t) => [t.type, t]));
  for (const task of tasks) {
    const m = task.problemMatcher;
    assert.equal(m.owner, 'stylo', task.label);
    assert.equal(m.severity, github.severity, `${task.label}: severity`);
    for (const key of ['regexp', 'file', 'line', 'message']) {
      assert.equal(m.pattern[key], githubPattern[key], `${task.label}: pattern ${key}`);
    }
    // Relative names in the output are read against the folder the task runs in.
    assert.equal(m.fileLocation[1], task.options.cwd, `${task.label}: fileLocation and cwd`);
  }

  const whole = byType.shell;
  const output = execFileSync('sh', ['-c', whole.command], { cwd: expand(whole.options.cwd), env, encoding: 'utf8' });
  assert.deepEqual(parse(whole, output), cases.flatMap((c) => wanted(c, c.file)), output);
  let count = output.split('\n').length - 1;

  const current = byType.process;
  for (const c of cases) {
    const file = path.join(ws, c.file);
    const out = execFileSync(expand(current.command, file), current.args.map((a) => expand(a, file)),
      { cwd: expand(current.options.cwd, file), env, encoding: 'utf8' });
    assert.deepEqual(parse(current, out), wanted(c, file), out);
    count += c.want.length;
  }
  console.log(`VS Code tasks: ${count} warning lines parsed`);
} finally {
  fs.rmSync(dir, { recursive: true, force: true });
}
