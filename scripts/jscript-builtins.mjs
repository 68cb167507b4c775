// Writes the list of built-ins the native engine must offer, or must not, to look like
// JScript 5.7 as the Windows script control hosts it. The data is MDN's browser-compat-data:
// a built-in is present when Internet Explorer had it before version 8 (IE 8 shipped
// JScript 5.8; the script control's default feature set is 5.7's), absent otherwise.
//
//   node scripts/jscript-builtins.mjs NODE_MODULES OUT.json ABSENT.js
//
// ABSENT.js is the JavaScript array of the absent names, for the profile script to remove.
// Each entry: {"name": "Array.prototype.map", "owner": "Array.prototype", "member": "map",
// "present": false, "ie": "9"}; a global has "owner": "" and "member" its own name.
import { readFileSync, writeFileSync, mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';

const [nodeModules, outFile, absentFile] = process.argv.slice(2);
if (!nodeModules || !outFile || !absentFile) {
  console.error('usage: node jscript-builtins.mjs NODE_MODULES OUT.json ABSENT.js');
  process.exit(2);
}
const bcdDir = join(nodeModules, '@mdn', 'browser-compat-data');
const bcd = JSON.parse(readFileSync(join(bcdDir, 'data.json'), 'utf8'));
const bcdVersion = JSON.parse(readFileSync(join(bcdDir, 'package.json'), 'utf8')).version;
const builtins = bcd.javascript.builtins;

// Entries of the data that are no global of their own: abstract prototypes and the
// constructors of function kinds, reachable only through syntax.
const notGlobals = new Set(['TypedArray', 'AsyncFunction', 'AsyncGenerator', 'AsyncGeneratorFunction',
  'AsyncIterator', 'Generator', 'GeneratorFunction']);
// Legacy RegExp statics have no section of their own in the standard to say where they live.
const staticWithoutSection = { RegExp: new Set(['input', 'lastMatch', 'lastParen', 'leftContext', 'rightContext']) };

// The data's key for a member whose name it cannot use as a key.
const memberNames = { defineGetter: '__defineGetter__', defineSetter: '__defineSetter__',
  lookupGetter: '__lookupGetter__', lookupSetter: '__lookupSetter__', proto: '__proto__', n: '$1' };
staticWithoutSection.RegExp.add('n');
// Where Microsoft's JScript documentation says JScript 5.7 has a member that the data files
// under Internet Explorer 8 or later (or not at all): the documentation decides.
const documentedInJScript = {
  'Object.prototype.constructor': 'JScript 2 (constructor Property)',
  'Object.prototype.isPrototypeOf': 'JScript 5.5 (isPrototypeOf Method)',
  'String.prototype.anchor': 'JScript 1 (anchor Method)',
};

const versionOf = (text) => Number(String(text).replace(/^≤/, ''));

// The IE version that added the feature when IE before 8 had it (for good), else null.
function ieVersion(compat) {
  const support = compat.support.ie;
  for (const s of Array.isArray(support) ? support : [support]) {
    if (!s || typeof s.version_added !== 'string' || s.flags || s.prefix || s.alternative_name) continue;
    const added = versionOf(s.version_added);
    const removed = s.version_removed ? versionOf(s.version_removed) : Infinity;
    if (added < 8 && removed > 7) return s.version_added;
  }
  return null;
}
function ieText(compat) {
  const s = Array.isArray(compat.support.ie) ? compat.support.ie[0] : compat.support.ie;
  return s && s.version_added ? String(s.version_added) : 'no';
}

// Where a member lives, from the anchor of its section in the standard.
function ownerOf(global, member, compat) {
  const urls = [].concat(compat.spec_url || []);
  const g = global.toLowerCase();
  for (const url of urls) {
    const anchor = (url.split('#')[1] || '').toLowerCase();
    if (anchor.includes(`${g}.prototype.`) || anchor.includes(`${g}.prototype-`)) return `${global}.prototype`;
    if (anchor.startsWith(`sec-${g}.`)) return global;
  }
  if (staticWithoutSection[global]?.has(member)) return global;
  return null;
}

const identifier = /^[A-Za-z_$][\w$]*$/;
const entries = [];
for (const [global, data] of Object.entries(builtins)) {
  if (notGlobals.has(global) || !data.__compat) continue;
  const version = ieVersion(data.__compat);
  entries.push({ name: global, owner: '', member: global, present: version !== null, ie: ieText(data.__compat) });
  if (version === null) continue;  // the members of an absent global go with it
  for (const [member, sub] of Object.entries(data)) {
    if (member === '__compat' || member === global || !identifier.test(member) || !sub.__compat) continue;
    const owner = ownerOf(global, member, sub.__compat);
    if (!owner) continue;
    const key = Object.hasOwn(memberNames, member) ? memberNames[member] : member;
    const name = `${owner}.${key}`;
    const documented = Object.hasOwn(documentedInJScript, name) ? documentedInJScript[name] : undefined;
    entries.push({ name, owner, member: key, present: documented !== undefined || ieVersion(sub.__compat) !== null,
      ie: ieText(sub.__compat), ...(documented ? { source: documented } : {}) });
  }
}
entries.sort((a, b) => a.name.localeCompare(b.name));
mkdirSync(dirname(outFile), { recursive: true });
writeFileSync(outFile, JSON.stringify({ source: `@mdn/browser-compat-data ${bcdVersion}`, entries }, null, 1) + '\n');
writeFileSync(absentFile, JSON.stringify(entries.filter((e) => !e.present).map((e) => e.name)) + '\n');
