// The page's JavaScript checked by ESLint (run by .ci/run with `npm run lint`):
// its recommended rules, and the globals each kind of file runs among.
import js from '@eslint/js';
import globals from 'globals';

// The parts of the page's one script, each a global of the others (see
// build-page.mjs), and what the build writes into the page.
const pageParts = Object.fromEntries(
  [
    'Language',
    'Engine',
    'Shown',
    'Input',
    'Pages',
    'TableText',
    'CopyAs',
    'Render',
    'WalkFacts',
    'WalkWords',
    'Present',
    'Walk',
    'Query',
    'Expression',
    'Notes',
    'Exercise',
    'JOINREL_EXAMPLES',
    'JOINREL_MESSAGES',
    'JOINREL_MESSAGES_HU',
    'JOINREL_FORMAT',
  ].map((name) => [name, 'readonly']),
);

export default [
  js.configs.recommended,
  {
    rules: {
      // A part's own global is defined in its file and used in the others.
      'no-unused-vars': ['error', { vars: 'local', caughtErrors: 'none' }],
      'no-redeclare': ['error', { builtinGlobals: false }],
    },
  },
  {
    files: ['page/**/*.js'],
    languageOptions: { sourceType: 'script', globals: { ...globals.browser, ...pageParts } },
  },
  {
    // node's test runner loads these pure parts as CommonJS modules too.
    files: ['page/walk-facts.js', 'page/table-text.js', 'page/query.js'],
    languageOptions: { globals: { module: 'writable' } },
  },
  {
    files: ['page/worker.js'],
    languageOptions: {
      sourceType: 'script',
      globals: { ...globals.worker, createJoinrel: 'readonly' },
    },
  },
  {
    files: ['*.mjs', 'test/**/*.mjs'],
    languageOptions: { sourceType: 'module', globals: { ...globals.node } },
  },
  {
    // The browser test's functions that run in the page see the page's globals.
    files: ['test/browser.test.mjs'],
    languageOptions: { globals: { ...globals.browser, ...pageParts } },
  },
];
