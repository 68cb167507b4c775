// Build step: converts a shim from npm for the native engine with the same conversion the
// program runs (Babel standalone and tools/convert.js), so the embedded shim is old JavaScript.
//   node convert-file.mjs BABEL.js CONVERT.js INPUT OUTPUT
import fs from "node:fs";
import vm from "node:vm";

const [babel, convert, input, output] = process.argv.slice(2);
const context = {};
vm.createContext(context);
vm.runInContext(fs.readFileSync(babel, "utf8"), context, { filename: babel });
vm.runInContext(fs.readFileSync(convert, "utf8"), context, { filename: convert });
// The shims read strings with charAt where it matters (they are written for old engines):
// their computed reads stay as they are, and no shim of ours comes before them.
const result = JSON.parse(context.quillboxConvert(fs.readFileSync(input, "utf8"), JSON.stringify({ stringIndex: false })));
if (result.error) {
    console.error(`${input}:${result.error.line}:${result.error.column}: ${result.error.message}`);
    process.exit(1);
}
fs.writeFileSync(output, context.quillboxConvertedCode() + "\n");
