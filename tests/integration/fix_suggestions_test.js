// The GitHub recipe of docs/ci.md that posts --fix's changes as suggested changes
// on a pull request: its github-script step, taken from docs/ci.md as it
// stands, run on the diff of a real --fix against a stand-in for GitHub's
// API. Each hunk must become one comment on the lines it replaces, with the
// fixed lines as the suggestion; a comment GitHub refuses is skipped.
// Usage: node fix_suggestions_test.js <docs/ci.md> <built stylo-report>
'use strict';
const assert = require('assert');
const { execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const [readme, report] = process.argv.slice(2).map((p) => path.resolve(p));
const lines = fs.readFileSync(readme, 'utf8').split('\n');
const start = lines.findIndex((l, i) => l === '          script: |' && lines[i - 2].includes('actions/github-script'));
assert(start > 0, 'the recipes have no github-script step');
const end = lines.findIndex((l, i) => i > start && l === '```');
const script = lines.slice(start + 1, end).map((l) => l.slice(12)).join('\n');

const work = fs.mkdtempSync(path.join(os.tmpdir(), 'stylo-suggest-'));
const git = (...args) => execFileSync('git', args, { cwd: work, env: { ...process.env, GIT_CONFIG_NOSYSTEM: '1',
  GIT_AUTHOR_NAME: 't', GIT_AUTHOR_EMAIL: 't@t', GIT_COMMITTER_NAME: 't', GIT_COMMITTER_EMAIL: 't@t' } });
fs.mkdirSync(path.join(work, 'src dir'));
fs.writeFileSync(path.join(work, 'src dir', 'a.c'), 'a;\nif(x) y=-1;\nb;\nc;\nd;\ne;\nf;\ng;\nwhile(1)\nfor(;;)\n');
git('init', '-q');
git('add', '-A');
git('commit', '-qm', 'before');
try {
  execFileSync(report, ['--fix', 'src dir/a.c'], { cwd: work, stdio: 'ignore' });
} catch (e) {
  assert.strictEqual(e.status, 1, 'stylo-report --fix');
}
fs.writeFileSync(path.join(work, 'stylo.diff'), git('diff', '-U0'));

const posted = [], skipped = [];
const github = { rest: { pulls: { createReviewComment: async (comment) => {
  if (comment.line > 9) throw new Error('Unprocessable Entity');  // outside the pull request's diff
  posted.push(comment);
} } } };
const context = { repo: { owner: 'o', repo: 'r' }, issue: { number: 7 }, payload: { pull_request: { head: { sha: 'f00' } } } };
const core = { info: (text) => skipped.push(text) };
const AsyncFunction = Object.getPrototypeOf(async () => {}).constructor;
process.chdir(work);
new AsyncFunction('github', 'context', 'core', 'require', script)(github, context, core, require).then(() => {
  const common = { owner: 'o', repo: 'r', pull_number: 7, commit_id: 'f00', path: 'src dir/a.c', side: 'RIGHT' };
  assert.deepStrictEqual(posted, [
    { ...common, line: 2, body: 'stylo-report --fix:\n```suggestion\nif (x) y=-1;\n```' },
  ]);
  assert.deepStrictEqual(skipped, ["src dir/a.c:9: not in the pull request's diff (Unprocessable Entity)"]);
  // Inside the diff, the two-line hunk is one comment over both lines.
  posted.length = 0;
  github.rest.pulls.createReviewComment = async (comment) => { posted.push(comment); };
  return new AsyncFunction('github', 'context', 'core', 'require', script)(github, context, core, require);
}).then(() => {
  assert.deepStrictEqual(posted[1], { owner: 'o', repo: 'r', pull_number: 7, commit_id: 'f00', path: 'src dir/a.c',
    side: 'RIGHT', line: 10, start_line: 9, start_side: 'RIGHT',
    body: 'stylo-report --fix:\n```suggestion\nwhile (1)\nfor (;;)\n```' });
  fs.rmSync(work, { recursive: true });
  console.log('README suggestion recipe: all cases passed');
}).catch((error) => {
  console.error(error);
  process.exit(1);
});
