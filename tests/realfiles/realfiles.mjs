// The real-file suite's set-up: unmodified third-party files from npm (pinned in
// package-lock.json, read from node_modules), and what javascript-obfuscator and esbuild make
// of some of them, each case loaded in order as global scripts and then asked a few
// expressions. Node computes every expected answer from the same files.
//
//   node tests/realfiles/realfiles.mjs NODE_MODULES OUTDIR
//
// writes the generated files to OUTDIR and OUTDIR/cases.json:
//   [{name, files: [absolute paths], native: "runs" | "refused" | "fails", nativeError,
//     expressions: [{expression, expected}]}]
// "refused": JScript 5.7 cannot compile a file (newer syntax), so the native engine's gate
// refuses it; "fails": JScript 5.7 compiles it but it needs a built-in JScript 5.7 lacks, so
// loading fails with a run-time error naming nativeError.
// Every expression is asked as String(expression), so both engines and Node answer text.
import { createRequire } from 'node:module';
import { generateKeyPairSync, publicEncrypt, constants } from 'node:crypto';
import { mkdirSync, readFileSync, writeFileSync } from 'node:fs';
import { join, resolve } from 'node:path';
import vm from 'node:vm';

const [nodeModules, outDir] = process.argv.slice(2).map((p) => resolve(p));
if (!nodeModules || !outDir) {
  console.error('usage: realfiles.mjs NODE_MODULES OUTDIR');
  process.exit(2);
}
mkdirSync(outDir, { recursive: true });
const require = createRequire(join(nodeModules, 'noop.js'));
const nm = (path) => join(nodeModules, path);

// ---- generated files: obfuscated and bundled ----
const obfuscator = require('javascript-obfuscator-4');
function obfuscate(source, name, options) {
  const code = obfuscator.obfuscate(readFileSync(source, 'utf8'), { target: 'browser', ...options })
    .getObfuscatedCode();
  const path = join(outDir, name);
  writeFileSync(path, code);
  return path;
}
const md5Source = nm('blueimp-md5/js/md5.js');
const obfuscated = {
  low: obfuscate(md5Source, 'md5.obfuscated-low.js', { seed: 1, compact: true }),
  medium: obfuscate(md5Source, 'md5.obfuscated-medium.js', {
    seed: 2, stringArray: true, stringArrayEncoding: ['rc4'], controlFlowFlattening: true, deadCodeInjection: true,
  }),
  selfDefending: obfuscate(md5Source, 'md5.obfuscated-self-defending.js', {
    seed: 3, compact: true, selfDefending: true, stringArray: true, stringArrayEncoding: ['base64'],
    stringArrayRotate: true,
  }),
  high: obfuscate(md5Source, 'md5.obfuscated-high.js', {
    seed: 4, compact: true, selfDefending: true, controlFlowFlattening: true, deadCodeInjection: true,
    stringArray: true, stringArrayEncoding: ['rc4'], splitStrings: true, transformObjectKeys: true,
    numbersToExpressions: true, unicodeEscapeSequence: true,
  }),
  bigSelfDefending: obfuscate(nm('big.js/big.js'), 'big.obfuscated-self-defending.js', {
    seed: 5, compact: true, selfDefending: true, stringArray: true, stringArrayThreshold: 1,
  }),
};

const esbuild = require('esbuild');
function bundle(name, contents, target) {
  const path = join(outDir, name);
  esbuild.buildSync({
    stdin: { contents, resolveDir: nodeModules, loader: 'js' },
    bundle: true, format: 'iife', target, outfile: path, logLevel: 'silent',
  });
  return path;
}
const bundleEntry = "var Big = require('big.js'); var B64 = require('js-base64').Base64;" +
  " (function () { return this; })().bundled = { sum: function (a, b) { return new Big(a).plus(b).toString(); }," +
  " encode: function (s) { return B64.encode(s); } };";
const bundles = {
  es2017: bundle('bundle.esbuild-es2017.js', bundleEntry, 'es2017'),
  minified: (() => {
    const path = join(outDir, 'bundle.esbuild-min.js');
    esbuild.buildSync({
      stdin: { contents: bundleEntry, resolveDir: nodeModules, loader: 'js' },
      bundle: true, format: 'iife', target: 'es2017', minify: true, outfile: path, logLevel: 'silent',
    });
    return path;
  })(),
};

// RSA: a key made here, a text encrypted here; jsencrypt decrypts it in each engine.
const keys = generateKeyPairSync('rsa', {
  modulusLength: 1024,
  publicKeyEncoding: { type: 'pkcs1', format: 'pem' },
  privateKeyEncoding: { type: 'pkcs1', format: 'pem' },
});
const cipher = publicEncrypt({ key: keys.publicKey, padding: constants.RSA_PKCS1_PADDING },
  Buffer.from('quillbox 你好')).toString('base64');
const rsa = `(function () { var c = new JSEncrypt(); c.setPrivateKey(${JSON.stringify(keys.privateKey)});` +
  ` return c.decrypt(${JSON.stringify(cipher)}); })()`;

// ---- the cases ----
const cryptoJs = (files) => files.map((f) => nm('crypto-js/' + f + '.js'));
const hexKey = "CryptoJS.enc.Hex.parse('000102030405060708090a0b0c0d0e0f')";
const hexIv = "CryptoJS.enc.Hex.parse('0f0e0d0c0b0a09080706050403020100')";
const text2000 = "(function () { var s = ''; for (var i = 0; i < 2000; i++) s += 'line ' + i + ' ' + (i * 7919 % 1000) + '\\n'; return s; })()";

const cases = [
  {
    name: 'crypto-js 4.2.0 hashes and encodings, one file each',
    files: cryptoJs(['core', 'x64-core', 'enc-base64', 'enc-utf16', 'md5', 'sha1', 'sha256', 'sha224',
      'sha512', 'sha384', 'sha3', 'ripemd160', 'hmac', 'hmac-sha256', 'hmac-md5', 'lib-typedarrays']),
    expressions: [
      "CryptoJS.MD5('abc').toString()",
      "CryptoJS.SHA1('abc').toString() + CryptoJS.SHA224('abc').toString()",
      "CryptoJS.SHA256('The quick brown fox 中文').toString()",
      "CryptoJS.SHA512('abc').toString() + CryptoJS.SHA384('abc').toString()",
      "CryptoJS.SHA3('abc', {outputLength: 256}).toString() + CryptoJS.RIPEMD160('abc').toString()",
      "CryptoJS.HmacSHA256('message', 'key').toString(CryptoJS.enc.Base64) + CryptoJS.HmacMD5('m', 'k')",
      "CryptoJS.enc.Base64.stringify(CryptoJS.enc.Utf8.parse('中文 ✓ text'))",
      "CryptoJS.enc.Utf16.stringify(CryptoJS.enc.Utf16.parse('ab中')) + CryptoJS.enc.Hex.stringify(CryptoJS.enc.Latin1.parse('\\u00ff\\u0001'))",
      "CryptoJS.SHA256(" + text2000 + ").toString()",
    ],
  },
  {
    name: 'crypto-js 4.2.0 ciphers, modes, paddings and key derivation, one file each',
    files: cryptoJs(['core', 'enc-base64', 'md5', 'sha1', 'sha256', 'hmac', 'evpkdf', 'pbkdf2', 'cipher-core', 'aes',
      'tripledes', 'rc4', 'rabbit', 'rabbit-legacy', 'mode-ecb', 'mode-cfb', 'mode-ctr', 'mode-ofb',
      'mode-ctr-gladman', 'pad-nopadding', 'pad-zeropadding', 'pad-ansix923', 'pad-iso97971', 'format-hex']),
    expressions: [
      `CryptoJS.AES.encrypt('message 中文', ${hexKey}, {iv: ${hexIv}}).toString()`,
      `CryptoJS.AES.decrypt(CryptoJS.AES.encrypt('round trip', ${hexKey}, {iv: ${hexIv}}), ${hexKey}, {iv: ${hexIv}}).toString(CryptoJS.enc.Utf8)`,
      `CryptoJS.AES.encrypt('ecb', ${hexKey}, {mode: CryptoJS.mode.ECB, padding: CryptoJS.pad.ZeroPadding}).ciphertext.toString()`,
      `CryptoJS.AES.encrypt('cfb ctr ofb', ${hexKey}, {iv: ${hexIv}, mode: CryptoJS.mode.CFB, padding: CryptoJS.pad.AnsiX923}).toString(CryptoJS.format.Hex)` +
        ` + CryptoJS.AES.encrypt('x', ${hexKey}, {iv: ${hexIv}, mode: CryptoJS.mode.CTR, padding: CryptoJS.pad.NoPadding}).ciphertext` +
        ` + CryptoJS.AES.encrypt('y', ${hexKey}, {iv: ${hexIv}, mode: CryptoJS.mode.OFB, padding: CryptoJS.pad.Iso97971}).ciphertext` +
        ` + CryptoJS.AES.encrypt('z', ${hexKey}, {iv: ${hexIv}, mode: CryptoJS.mode.CTRGladman}).ciphertext`,
      `CryptoJS.TripleDES.encrypt('des', CryptoJS.enc.Hex.parse('000102030405060708090a0b0c0d0e0f1011121314151617'), {mode: CryptoJS.mode.ECB}).toString()`,
      `CryptoJS.RC4.encrypt('rc4', ${hexKey}).ciphertext + ':' + CryptoJS.Rabbit.encrypt('rabbit', ${hexKey}, {iv: CryptoJS.enc.Hex.parse('0001020304050607')}).ciphertext` +
        ` + ':' + CryptoJS.RabbitLegacy.encrypt('legacy', ${hexKey}, {iv: CryptoJS.enc.Hex.parse('0001020304050607')}).ciphertext`,
      "CryptoJS.PBKDF2('password', 'salt', {keySize: 8, iterations: 200}).toString()",
      "CryptoJS.EvpKDF('password', 'saltsalt', {keySize: 8}).toString()",
    ],
  },
  {
    name: 'crypto-js 4.2.0 enc-base64url (a comma ending an object literal, ES5: JScript refuses it)',
    files: cryptoJs(['core', 'enc-base64', 'enc-base64url']),
    native: 'refused',
    expressions: ["CryptoJS.enc.Base64url.stringify(CryptoJS.enc.Utf8.parse('??>>'))"],
  },
  {
    name: 'crypto-js 4.2.0 blowfish (const, ES2015: JScript refuses it)',
    files: cryptoJs(['core', 'cipher-core', 'enc-base64', 'md5', 'evpkdf', 'blowfish']),
    native: 'refused',
    expressions: [`CryptoJS.Blowfish.encrypt('blowfish', ${hexKey}, {iv: CryptoJS.enc.Hex.parse('0001020304050607')}).ciphertext`],
  },
  {
    name: 'crypto-js 3.3.0 bundle: PBKDF2 and AES',
    files: [nm('crypto-js-3/crypto-js.js')],
    expressions: [
      "CryptoJS.PBKDF2('password', 'salt', {keySize: 512 / 32, iterations: 1000}).toString()",
      `CryptoJS.AES.encrypt('three', ${hexKey}, {iv: ${hexIv}}).toString()`,
      "CryptoJS.SHA3('abc').toString().length + ':' + CryptoJS.MD5(" + text2000 + ")",
    ],
  },
  {
    name: 'crypto-js 4.0.0 bundle',
    files: [nm('crypto-js-4.0.0/crypto-js.js')],
    expressions: [
      "CryptoJS.SHA256(" + text2000 + ").toString()",
      `CryptoJS.AES.decrypt(CryptoJS.AES.encrypt('four', ${hexKey}, {iv: ${hexIv}}), ${hexKey}, {iv: ${hexIv}}).toString(CryptoJS.enc.Utf8)`,
    ],
  },
  {
    name: 'blueimp-md5 2.19.0',
    files: [nm('blueimp-md5/js/md5.js')],
    expressions: ["md5('value') + md5('value', 'key') + md5('中文', null, true).length", "md5(" + text2000 + ")"],
  },
  {
    name: 'js-base64 2.6.4',
    files: [nm('js-base64/base64.js')],
    expressions: ["Base64.encode('中文 ✓ dankogai') + Base64.encodeURI('??>>') + Base64.decode('5Lit5paH')",
      "Base64.decode(Base64.encode(" + text2000 + ")).length"],
  },
  {
    name: 'pako 1.0.11: deflate and inflate',
    files: [nm('pako/dist/pako.js')],
    expressions: [
      "(function () { var s = " + text2000 + "; var d = pako.deflate(s, {to: 'string'});" +
        " return d.length + ':' + (pako.inflate(d, {to: 'string'}) === s) + ':' + pako.gzip('abc', {to: 'string'}).length; })()",
      "(function () { var d = pako.deflateRaw('raw raw raw raw', {level: 9}); var out = []; for (var i = 0; i < d.length; i++) out.push(d[i]); return out.join(','); })()",
    ],
  },
  {
    name: 'pako 1.0.11: the inflate-only build',
    files: [nm('pako/dist/pako_inflate.js')],
    expressions: ["pako.inflate('x\\u009cKLJ\\u0006\\u0000\\u0002M\\u0001\\u0027', {to: 'string'})"],
  },
  {
    name: 'pako 1.0.11: the deflate-only build',
    files: [nm('pako/dist/pako_deflate.js')],
    expressions: ["pako.deflate(" + text2000 + ", {to: 'string'}).length"],
  },
  {
    name: 'bignumber.js 9.1.2',
    files: [nm('bignumber.js/bignumber.js')],
    expressions: [
      "new BigNumber('123456789.123456789').times('987654321.987654321').toFixed()",
      "new BigNumber(2).pow(200).toString(16) + ':' + new BigNumber(2).sqrt().toFixed(40) + ':' + new BigNumber('1e-7').toString()",
      "BigNumber.clone({DECIMAL_PLACES: 30})(1).div(7).toString() + ':' + new BigNumber('0.1').plus('0.2').eq('0.3')",
    ],
  },
  {
    name: 'big.js 6.2.2',
    files: [nm('big.js/big.js')],
    expressions: ["new Big('1.1').plus('2.2').toString() + ':' + new Big(2).sqrt().toString() + ':' + new Big('1e+21').toFixed()",
      "new Big(1).div(3).toString() + ':' + new Big('-0.000001234').toExponential(2) + ':' + new Big(7).pow(50).toString()"],
  },
  {
    name: 'decimal.js 10.4.3',
    files: [nm('decimal.js/decimal.js')],
    expressions: [
      "new Decimal(2).sqrt().toString() + ':' + Decimal.exp(1).toString() + ':' + new Decimal(10).ln().toString()",
      "Decimal.clone({precision: 60}).acos(-1).toString() + ':' + new Decimal('0.1').plus('0.2').toString() + ':' + new Decimal(3).pow(-2)",
    ],
  },
  {
    name: 'JSON 3 3.3.3',
    files: [nm('json3/lib/json3.js')],
    expressions: ["JSON3.stringify({a: [1, 'x', null, true], b: {c: '中\\n'}}) + JSON3.parse('[1,{\"k\":\"v\"}]')[1].k"],
  },
  {
    name: 'jsencrypt 3.5.4, a webpack bundle made with the eval devtool: RSA decryption',
    files: [nm('jsencrypt/bin/jsencrypt.js')],
    // webpack's runtime defines its exports with Object.defineProperty (JScript 5.8 and later)
    native: 'fails',
    nativeError: 'defineProperty',
    expressions: [rsa],
  },
  {
    name: 'jsencrypt 3.5.4, the minified webpack production bundle (reserved words as property names, ES5: JScript refuses it)',
    files: [nm('jsencrypt/bin/jsencrypt.min.js')],
    native: 'refused',
    expressions: [rsa],
  },
  {
    name: 'the minified builds of blueimp-md5, js-base64 and pako',
    files: [nm('blueimp-md5/js/md5.min.js'), nm('js-base64/base64.min.js'), nm('pako/dist/pako.min.js')],
    expressions: ["md5('value') + Base64.encode('中文')",
      "(function () { var s = " + text2000 + "; return pako.inflate(pako.deflate(s), {to: 'string'}) === s; })()"],
  },
  {
    name: 'acorn 8.19.0 (ES2015 syntax: JScript refuses it)',
    files: [nm('acorn/dist/acorn.js')],
    native: 'refused',
    expressions: ["acorn.parse('var a = 1 + 2;', {ecmaVersion: 5}).body[0].declarations[0].init.operator"],
  },
  {
    name: 'md5 by javascript-obfuscator: compact',
    files: [obfuscated.low],
    expressions: ["md5('value') + md5('中文')"],
  },
  {
    name: 'md5 by javascript-obfuscator: string array (rc4), control flow flattening, dead code',
    files: [obfuscated.medium],
    expressions: ["md5('value') + md5('value', 'key')"],
  },
  {
    name: 'md5 by javascript-obfuscator: self-defending',
    files: [obfuscated.selfDefending],
    expressions: ["md5('value')"],
  },
  {
    name: 'md5 by javascript-obfuscator: every transform, self-defending',
    files: [obfuscated.high],
    expressions: ["md5('value') + md5('abc', 'k')"],
  },
  {
    name: 'big.js by javascript-obfuscator: self-defending',
    files: [obfuscated.bigSelfDefending],
    expressions: ["new Big('1.1').plus('2.2').toString() + new Big(2).sqrt()"],
  },
  {
    name: 'an esbuild bundle of big.js and js-base64 (ES2017 output: JScript refuses it)',
    files: [bundles.es2017],
    native: 'refused',
    expressions: ["bundled.sum('0.1', '0.2') + bundled.encode('中文')"],
  },
  {
    name: 'the same esbuild bundle, minified',
    files: [bundles.minified],
    native: 'refused',
    expressions: ["bundled.sum('1e21', '1') + bundled.encode('ab')"],
  },
];

// ---- Node's answers, from the same files in a fresh context each ----
for (const c of cases) {
  const context = vm.createContext({});
  for (const file of c.files)
    vm.runInContext(readFileSync(file, 'utf8'), context, { filename: file });
  c.native = c.native || 'runs';
  c.expressions = c.expressions.map((expression) => ({
    expression,
    expected: vm.runInContext('String(' + expression + ')', context),
  }));
}
writeFileSync(join(outDir, 'cases.json'), JSON.stringify(cases, null, 1) + '\n');
const files = new Set(cases.flatMap((c) => c.files));
console.log(`${cases.length} cases, ${files.size} files`);
