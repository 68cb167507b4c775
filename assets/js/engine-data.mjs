// Builds the engines' language data at build time from @mdn/browser-compat-data:
//
//   node engine-data.mjs BCD_DATA_JSON SYNTAX_FEATURES_JSON OUT_DIR
//
// writes
//   syntax-data.js        the syntax gate's table: for each feature whether ChakraCore 1.11
//                         ("edge" 18) and JScript 5.7 ("ie" up to 7) accept it
//   chakracore-profile.json  the same table and every built-in probed, present or absent
//                         in ChakraCore 1.11, with the source that decides it (for tests)
//   chakracore-profile.inc   the script libChakraCore.so runs in every new context: it
//                         removes what ChakraCore 1.11 lacks and installs the two-argument Error
//
// ChakraCore 1.11 ships in EdgeHTML 18, so the "edge" entries up to version 18 describe it.
// Where ChakraCore's own defaults (lib/Common/ConfigFlagsList.h of release 1.11) switch a
// feature off that the browser data gives to Edge 18, `chakraFlagsOff` below says so.
import { readFileSync, writeFileSync, mkdirSync } from 'node:fs';
import { join } from 'node:path';

const [bcdPath, featuresPath, outDir] = process.argv.slice(2);
const bcd = JSON.parse(readFileSync(bcdPath, 'utf8'));
const features = JSON.parse(readFileSync(featuresPath, 'utf8'));
mkdirSync(outDir, { recursive: true });

const EDGE = 18;  // EdgeHTML 18 = ChakraCore 1.11
const IE = 7;     // the script control runs JScript 5.7's feature set: IE 8 additions count as absent

// ConfigFlagsList.h (v1.11): features off by default although Edge 18 is listed with them.
const chakraFlagsOff = {
  'javascript.builtins.SharedArrayBuffer': 'ESSharedArrayBuffer (false)',
  'javascript.builtins.Atomics': 'ESSharedArrayBuffer (false)',
  'javascript.operators.import': 'ESDynamicImport (false)',
};

// ConfigFlagsList.h (v1.11): features on by default although the browser data lists them
// from a later Edge.
const chakraFlagsOn = {
  'javascript.builtins.Array.@@species': 'ES6Species (true)',
  'javascript.builtins.Promise.@@species': 'ES6Species (true)',
};

// Built-ins that stay although ChakraCore 1.11 lacks them: JavaScriptCore's own library code
// reads them (String.prototype.split and matchAll read `flags`), so removing them would
// break what ChakraCore 1.11 does have.
const keptForEngine = {
  'RegExp.flags': 'JavaScriptCore 的 split 与 replace 内部读取 flags',
  'RegExp.@@replace': 'JavaScriptCore 的 String.prototype.replace 经由它处理正则表达式',
  'RegExp.@@split': 'JavaScriptCore 的 String.prototype.split 经由它处理正则表达式',
  'Error.stackTraceLimit': 'JavaScriptCore 只在它存在时记录错误的位置 (行与列)',
  // Well-known symbols are not configurable in JavaScriptCore: they cannot be deleted (the
  // profile hides asyncIterator and matchAll behind a Symbol of its own).
  'Symbol.match': '不可删除 (JavaScriptCore 中不可配置)',
  'Symbol.replace': '不可删除 (JavaScriptCore 中不可配置)',
  'Symbol.search': '不可删除 (JavaScriptCore 中不可配置)',
  'Symbol.split': '不可删除 (JavaScriptCore 中不可配置)',
};

function lookup(path) {
  return path.split('.').reduce((o, k) => (o ? o[k] : undefined), bcd);
}

function versionNumber(v) {
  if (typeof v !== 'string') return NaN;
  return parseFloat(v.replace('≤', ''));
}

// Whether one browser's support statement says the feature is there by default at `max`.
function supportedAt(statement, max) {
  if (!statement) return false;
  const list = Array.isArray(statement) ? statement : [statement];
  return list.some((s) => {
    if (s.flags || s.prefix || s.alternative_name) return false;
    if (s.version_added === false || s.version_added === 'preview') return false;
    if (s.version_added === null || s.version_added === true) return true;  // unknown: not removed
    if (!(versionNumber(s.version_added) <= max)) return false;
    if (s.version_removed && versionNumber(s.version_removed) <= max) return false;
    return true;
  });
}

function verdict(path, browser, max) {
  const node = lookup(path);
  if (!node || !node.__compat) throw new Error(`browser-compat-data has no entry ${path}`);
  return supportedAt(node.__compat.support[browser], max);
}

// ---- syntax ----
const syntax = features.map((f) => {
  const chakraOff = f.data.find((p) => chakraFlagsOff[p]);
  const chakra = f.data.length ? f.data.every((p) => verdict(p, 'edge', EDGE)) && !chakraOff : f.es <= 2017;
  const jscript = f.data.length ? f.data.every((p) => verdict(p, 'ie', IE)) : false;
  const source = f.data.length
    ? f.data.join(', ') + (chakraOff ? `; ConfigFlagsList.h ${chakraFlagsOff[chakraOff]}` : '')
    : f.jscript;
  return { id: f.id, text: f.text, es: f.es, chakra, jscript, source };
});

// ---- built-ins ----
// Every global of javascript.builtins and every member one level down (two for Intl's
// constructors). Behaviour entries (stable sorting, parameters) name no property: the
// profile script skips names it cannot find.
const isName = (k) => /^[A-Za-z_$][\w$]*$/.test(k) || /^@@\w+$/.test(k);
const builtins = [];
function addEntry(names, bcdPath, ctorPath) {
  const node = lookup(bcdPath);
  const flag = chakraFlagsOff[bcdPath] || chakraFlagsOn[bcdPath];
  const ctorAbsent = ctorPath && !supportedAt(lookup(ctorPath).__compat.support.edge, EDGE);
  const present = chakraFlagsOn[bcdPath] ? true
    : supportedAt(node.__compat.support.edge, EDGE) && !chakraFlagsOff[bcdPath] && !ctorAbsent;
  const key = names.join('.');
  const source = bcdPath + (ctorAbsent ? `, ${ctorPath}` : '') + (flag ? `; ConfigFlagsList.h ${flag}` : '');
  builtins.push({ path: names, name: key, present, kept: !present && keptForEngine[key] ? keptForEngine[key] : undefined, source });
}
const top = bcd.javascript.builtins;
for (const g of Object.keys(top)) {
  if (g === '__compat' || !isName(g)) continue;
  const gnode = top[g];
  // A global whose constructor came later than its prototype's methods (Iterator) is absent
  // as a global name until the constructor came.
  const ctor = gnode[g] && gnode[g].__compat ? `javascript.builtins.${g}.${g}` : null;
  if (gnode.__compat) addEntry([g], `javascript.builtins.${g}`, ctor);
  // A global whose own entry is absent is removed whole; its members need no entries.
  for (const m of Object.keys(gnode)) {
    if (m === '__compat' || m === g || !isName(m) || !gnode[m].__compat) continue;
    addEntry([g, m], `javascript.builtins.${g}.${m}`);
    if (g === 'Intl' && /^[A-Z]/.test(m)) {
      for (const k of Object.keys(gnode[m])) {
        if (k === '__compat' || k === m || !isName(k) || !gnode[m][k].__compat) continue;
        addEntry([g, m, k], `javascript.builtins.${g}.${m}.${k}`);
      }
    }
  }
}
// Web platform globals that a bare JavaScriptCore context may also carry.
for (const g of ['structuredClone', 'queueMicrotask']) {
  if (lookup(`api.${g}`)) addEntry([g], `api.${g}`);
}
// Properties that resolve to the real names in the context: Obj.m is Obj.prototype.m when the
// prototype has it, else Obj.m; "@@x" is Symbol.x.
const removal = builtins.filter((b) => !b.present && !b.kept).map((b) => b.path);

const resolver = readFileSync(new URL('./builtin-path.js', import.meta.url), 'utf8');
writeFileSync(join(outDir, 'syntax-data.js'),
  '// Generated by assets/js/engine-data.mjs from @mdn/browser-compat-data.\n' +
  'var QB_SYNTAX_DATA = ' + JSON.stringify(syntax) + ';\n');
writeFileSync(join(outDir, 'chakracore-profile.json'),
  JSON.stringify({ syntax, builtins, resolver }, null, 1) + '\n');

const profile = readFileSync(new URL('./chakracore-profile.js', import.meta.url), 'utf8')
  .replace('    // QB_BUILTIN_PATH\n', () => resolver)
  .replace('var removed = QB_REMOVED_BUILTINS;', () => 'var removed = ' + JSON.stringify(removal) + ';');
// A raw string literal cut into pieces, since one literal may hold at most 64 KiB.
const pieces = [];
for (let i = 0; i < profile.length; i += 8000) pieces.push(profile.slice(i, i + 8000));
writeFileSync(join(outDir, 'chakracore-profile.inc'),
  '// Generated by assets/js/engine-data.mjs.\n' +
  pieces.map((p) => 'R"QBPROFILE(' + p + ')QBPROFILE"').join('\n') + '\n');
