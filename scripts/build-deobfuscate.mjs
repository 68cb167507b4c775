// Bundles the deobfuscation tool (assets/js/tools/deobfuscate.js with webcrack and its Babel
// packages) into one browser-style script for the tools context.
// Usage: node scripts/build-deobfuscate.mjs NODE_MODULES ENTRY OUTPUT
// Also writes OUTPUT.LICENSES.txt: the licence of every npm package in the bundle.
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

const [nodeModules, entry, output] = process.argv.slice(2);
const require = createRequire(path.join(path.resolve(nodeModules), 'noop.js'));
const esbuild = require('esbuild');

const result = await esbuild.build({
  metafile: true,
  entryPoints: [entry],
  outfile: output,
  bundle: true,
  format: 'iife',
  platform: 'browser',
  target: 'es2020',
  minify: true,
  legalComments: 'none',
  nodePaths: [path.resolve(nodeModules)],
  // webcrack's own sandbox (isolated-vm) and its file writer are never used here: the program
  // gives the sandbox.
  external: ['isolated-vm', 'node:fs/promises'],
  define: { 'process.env.NODE_ENV': '"production"' },
  // What the bundle reads from a browser or Node that the tools context does not have.
  banner: { js: [
    'var process = globalThis.process || {env: {}, argv: [], platform: "browser", cwd: function () { return "/"; }};',
    'var atob = globalThis.atob || function (s) { var k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", o = "", b = 0, n = 0;',
    '  s = String(s).replace(/[^A-Za-z0-9+/]/g, ""); for (var i = 0; i < s.length; i++) { b = (b << 6) | k.indexOf(s.charAt(i)); n += 6;',
    '  if (n >= 8) { n -= 8; o += String.fromCharCode((b >> n) & 255); } } return o; };',
    'var btoa = globalThis.btoa || function (s) { var k = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/", o = "";',
    '  for (var i = 0; i < s.length; i += 3) { var a = s.charCodeAt(i), b = s.charCodeAt(i + 1), c = s.charCodeAt(i + 2);',
    '  o += k.charAt(a >> 2) + k.charAt(((a & 3) << 4) | (b >> 4)) + (i + 1 < s.length ? k.charAt(((b & 15) << 2) | (c >> 6)) : "=") +',
    '  (i + 2 < s.length ? k.charAt(c & 63) : "="); } return o; };'].join('\n') },
  logLevel: 'warning',
  plugins: [{
    // Babel's configuration loading names Node's "path"; nothing here loads configuration
    // files, so a stand-in with the names it reads is enough.
    name: 'path-stand-in',
    setup(build) {
      build.onResolve({ filter: /^(node:)?path$/ }, () => ({ path: 'path', namespace: 'stand-in' }));
      build.onLoad({ filter: /.*/, namespace: 'stand-in' }, () => ({
        contents: 'var sep = "/"; function join() { return Array.prototype.join.call(arguments, "/"); }\n' +
          'module.exports = { sep: sep, join: join, resolve: join, dirname: function (p) { return p.replace(/\\/[^/]*$/, ""); },\n' +
          '  basename: function (p) { return p.replace(/^.*\\//, ""); }, extname: function (p) { var m = /\\.[^./]*$/.exec(p); return m ? m[0] : ""; },\n' +
          '  relative: function (a, b) { return b; }, normalize: function (p) { return p; },\n' +
          '  isAbsolute: function (p) { return p.charAt(0) === "/"; } };\nmodule.exports.posix = module.exports;',
        loader: 'js',
      }));
    },
  }],
});

// Each package's directory from the files it gave the bundle, and its licence file (or the
// licence named in its package.json when it has none).
const packages = new Map();
for (const input of Object.keys(result.metafile.inputs)) {
  const m = /^(.*node_modules\/(?:@[^/]+\/)?[^/]+)\//.exec(input);
  if (m) packages.set(path.resolve(m[1]), true);
}
let text = 'Licences of the npm packages bundled into the deobfuscation tool (' + path.basename(output) + ').\n';
for (const dir of [...packages.keys()].sort()) {
  const manifest = JSON.parse(fs.readFileSync(path.join(dir, 'package.json'), 'utf8'));
  const file = fs.readdirSync(dir).find((f) => /^licen[cs]e(\.|$)/i.test(f));
  text += '\n==== ' + manifest.name + ' ' + manifest.version + ' (' + (manifest.license || 'see below') + ')\n';
  text += file ? fs.readFileSync(path.join(dir, file), 'utf8') : 'Licence: ' + (manifest.license || 'not stated') + '\n';
}
fs.writeFileSync(output + '.LICENSES.txt', text);
