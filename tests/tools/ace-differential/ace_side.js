// Runs a scenario of page operations (see scenarios.py) against Ace's own document,
// selection and search, as the desktop page calls them, and prints the text, the result and
// the selection after each. Two deliberate differences of MemoryPage are applied here too:
// a find that finds nothing leaves the selection, and (with KEEP_NEEDLE=1) find keeps the
// user's needle instead of taking the selected text as the next needle.
global.window = global; global.navigator = {userAgent: "node", platform: "linux"};
global.document = {documentElement: {style: {}}, createElement: () => ({style:{}, setAttribute(){}, appendChild(){}}), getElementsByTagName: () => [], head: {appendChild(){}}, addEventListener(){}};
require(process.env.ACE_JS);
const ace = window.ace;
const {EditSession} = ace.require("ace/edit_session");
const {Search} = ace.require("ace/search");
const {Editor} = ace.require("ace/editor");
const hex = h => Buffer.from(h, 'hex').toString('utf8');
const lines = require('fs').readFileSync(0, 'utf8').split('\n').filter(Boolean);
let session = new EditSession("");
const ed = {
  session, selection: session.selection, $search: new Search(),
  renderer: {scrollSelectionIntoView(){}, animateScrolling(){}, scrollTop: 0},
  getSelectionRange() { return this.selection.getRange(); },
};
for (const k of ["find", "findNext", "findPrevious", "revealRange", "replace", "replaceAll", "$tryReplace"]) ed[k] = Editor.prototype[k];
function insert(text) {
  let cursor = ed.selection.getCursor();
  if (!ed.selection.isEmpty()) { cursor = session.remove(ed.getSelectionRange()); ed.selection.clearSelection(); }
  const end = session.insert(cursor, text);
  ed.selection.clearSelection(); ed.selection.moveCursorToPosition(end);
}
function select(a, b, c, d) { ed.selection.setRange({start: {row: a - 1, column: b - 1}, end: {row: c - 1, column: d}}, true); }
const out = [];
for (const line of lines) {
  const f = line.split('\t'); let r = "";
  switch (f[0]) {
    case "set": session.doc.setValue(hex(f[1])); ed.selection.selectAll(); break;
    case "append": { const n = session.getLength(); select(n, 999999, n, 999999); insert(hex(f[1])); break; }
    case "insert": insert(hex(f[1])); break;
    case "select": select(+f[1], +f[2], +f[3], +f[4]); break;
    case "goto": ed.selection.clearSelection(); ed.selection.moveCursorTo(+f[1] - 1, 0); break;
    case "find": { const a0 = ed.selection.anchor.getPosition(), c0 = ed.selection.cursor.getPosition(), e0 = ed.selection.isEmpty();
                 const hit = ed.find(hex(f[1]), {backwards: f[2] == "1", wrap: true, caseSensitive: f[3] == "1", wholeWord: f[4] == "1", regExp: f[5] == "1", start: 0});
                 if (!hit) { if (e0) { ed.selection.clearSelection(); ed.selection.moveCursorTo(c0.row, c0.column); } else { ed.selection.setSelectionAnchor(a0.row, a0.column); ed.selection.selectToPosition(c0); } break; }
                 ed.findNext(); ed.findPrevious(); if (process.env.KEEP_NEEDLE) ed.$search.set({needle: hex(f[1])}); break; }
    case "replace": r = String(ed.replace(hex(f[1]))); break;
    case "replaceAll": r = String(ed.replaceAll(hex(f[1]))); break;
  }
  const m = /Range: \[(\d+)\/(\d+)\] -> \[(\d+)\/(\d+)\]/.exec(String(ed.selection.getRange()));
  out.push([f[0], r, JSON.stringify(session.getValue()), [+m[1] + 1, +m[2] + 1, +m[3] + 1, +m[4]].join(",")].join("\t"));
}
console.log(out.join("\n"));
