// Node's results for the conversion suite (tests/cli/convert-suite/cases.json): each npm file
// is run unmodified as a script in a fresh context, after the host code its case names, and
// each expression is evaluated there and described as the conversion's check describes it
// ("type:value", objects as JSON). Writes node-results.json beside the cases with each
// file's SHA-256, so the test knows it runs the very files Node ran.
//   node scripts/convert-suite-node.mjs NODE_MODULES
import crypto from "node:crypto";
import fs from "node:fs";
import path from "node:path";
import vm from "node:vm";

const here = path.join(path.dirname(new URL(import.meta.url).pathname), "..", "tests/cli/convert-suite");
const nodeModules = process.argv[2];
const suite = JSON.parse(fs.readFileSync(path.join(here, "cases.json"), "utf8"));
const results = {};
for (const c of suite.cases) {
    const source = fs.readFileSync(path.join(nodeModules, c.file), "utf8");
    const context = vm.createContext({});
    const entry = { sha256: crypto.createHash("sha256").update(source).digest("hex"), results: [] };
    try {
        vm.runInContext(suite.hosts[c.host], context);
        vm.runInContext(source, context, { filename: c.file });
        for (const e of c.expressions)
            entry.results.push(vm.runInContext(
                `(function () { var v = (${e}\n); return typeof v + ':' + (v !== null && typeof v === 'object' ? JSON.stringify(v) : String(v)); })()`,
                context));
    } catch (error) {
        entry.error = String(error);
    }
    results[c.file] = entry;
}
fs.writeFileSync(path.join(here, "node-results.json"), JSON.stringify(results, null, 1) + "\n");
for (const [file, r] of Object.entries(results)) console.log(file, r.error || r.results.join(" | ").slice(0, 100));
