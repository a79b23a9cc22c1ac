// Applies the GitHub Actions problem matcher's pattern, read from its JSON
// file, to warning lines written by the built stylo, and checks that every
// line gives the right file, line and message, also for file names with
// blanks, parentheses and text that looks like a warning.
// Usage: node problem_matcher_test.js <matcher json> <built stylo>
'use strict';
const assert = require('node:assert/strict');
const { execFileSync } = require('node:child_process');
const fs = require('node:fs');
const os = require('node:os');
const path = require('node:path');

const [matcherFile, styloArg] = process.argv.slice(2);
const stylo = path.resolve(styloArg);
const matcher = JSON.parse(fs.readFileSync(matcherFile, 'utf8')).problemMatcher;
assert.equal(matcher.length, 1);
assert.equal(matcher[0].owner, 'stylo');
assert.equal(matcher[0].pattern.length, 1);
const pattern = matcher[0].pattern[0];
// GitHub's runner builds the expression without flags.
const regexp = new RegExp(pattern.regexp);

const kw = (k) => `(style) Devrait mettre un espace entre '${k}' et la parenthese. [guide 80]  [QVS]`;
const op = (found, suggested) =>
  `'${found}' devrait probablement etre '${suggested}'; sinon, ajoutez un espace entre.  [QVS]`;

const cases = [
  { file: 'plain.c', text: 'int x;\nif(a) x=-1;\n', want: [[2, kw('if')], [2, op('=-', '-=')]] },
  { file: 'my dir/a (2).c', text: '\n\n\n\n\n\n\n\n\n\n\nwhile(b) {}\n', want: [[12, kw('while')]] },
  { file: 'x(3): warning: y (4).c', text: 'a==!b;\n', want: [[1, op('==!', '!=')]] },
  { file: 'sp ace/(1)/f(9).h', text: 'for(;;) {}\nswitch(c) {}\n', want: [[1, kw('for')], [2, kw('switch')]] },
  { file: 'clean.c', text: 'if (a) x -= 1;\n', want: [] },
];

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'stylo_matcher_'));
try {
  for (const c of cases) {
    fs.mkdirSync(path.join(dir, path.dirname(c.file)), { recursive: true });
    fs.writeFileSync(path.join(dir, c.file), c.text);
  }
  const list = cases.map((c) => c.file).join('\n') + '\n';
  const output = execFileSync(stylo, ['--file-list=-'], { cwd: dir, input: list, encoding: 'utf8' });
  const lines = output.split('\n');
  assert.equal(lines.pop(), '', 'output ends with a line feed');
  const want = cases.flatMap((c) => c.want.map(([line, message]) => ({ file: c.file, line: String(line), message })));
  assert.equal(lines.length, want.length, `lines:\n${output}`);
  lines.forEach((text, i) => {
    const m = regexp.exec(text);
    assert.ok(m, `no match: ${text}`);
    const got = { file: m[pattern.file], line: m[pattern.line], message: m[pattern.message] };
    assert.deepEqual(got, want[i], text);
  });
  // Messages on standard error are not warnings.
  assert.equal(regexp.exec("Unable to open file 'gone.c'"), null);
  console.log(`problem matcher: ${lines.length} warning lines parsed`);
} finally {
  fs.rmSync(dir, { recursive: true, force: true });
}
