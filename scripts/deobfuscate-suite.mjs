// Makes the deobfuscation suite: each sample of tests/cli/deobfuscate-suite obfuscated by
// javascript-obfuscator (the pinned dev dependency) at each option set of cases.json, with a
// fixed seed, and the expressions' results computed by Node from the unobfuscated sample.
// Usage: node scripts/deobfuscate-suite.mjs NODE_MODULES SUITE_DIR OUT_DIR
// Writes OUT_DIR/<sample>.<set>.js and OUT_DIR/expected.json:
//   {"<sample>": {"expressions": [...], "results": ["type:value", ...], "literals": [...]}, "sets": [...]}
import fs from 'node:fs';
import path from 'node:path';
import vm from 'node:vm';
import { createRequire } from 'node:module';

const [nodeModules, suiteDir, outDir] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(nodeModules), 'noop.js'));
const JavaScriptObfuscator = require('javascript-obfuscator');
const cases = JSON.parse(fs.readFileSync(path.join(suiteDir, 'cases.json'), 'utf8'));
fs.mkdirSync(outDir, { recursive: true });

// The value as the engines describe it: type, then JSON for objects, String() otherwise.
function describe(context, expression) {
  return vm.runInContext('(function () { var v = (' + expression + '\n); return typeof v + ":" + ' +
    '(v !== null && typeof v === "object" ? JSON.stringify(v) : String(v)); })()', context);
}

const expected = { sets: Object.keys(cases.optionSets) };
for (const [sample, wanted] of Object.entries(cases.samples)) {
  const source = fs.readFileSync(path.join(suiteDir, sample + '.js'), 'utf8');
  const context = vm.createContext({});
  vm.runInContext(source, context);
  expected[sample] = { expressions: wanted.expressions, literals: wanted.literals,
    results: wanted.expressions.map((e) => describe(context, e)) };
  for (const [set, options] of Object.entries(cases.optionSets)) {
    const code = JavaScriptObfuscator.obfuscate(source, { seed: 1234, ...options }).getObfuscatedCode();
    fs.writeFileSync(path.join(outDir, sample + '.' + set + '.js'), code);
  }
}
fs.writeFileSync(path.join(outDir, 'expected.json'), JSON.stringify(expected, null, 1));
