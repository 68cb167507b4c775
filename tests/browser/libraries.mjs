// Real browser libraries from npm, unmodified, loaded after only the browser environment in
// both engines (quillbox-cli run --browser), their answers checked against the same library
// in jsdom given the same profile.
//   node libraries.mjs QUILLBOX_CLI NODE_MODULES PROFILE
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join, resolve} from 'node:path';
import {createRequire} from 'node:module';

const [cli, nodeModules, profilePath] = process.argv.slice(2);
const require = createRequire(join(resolve(nodeModules), 'x.js'));
const {JSDOM} = require('jsdom');
const profile = JSON.parse(readFileSync(profilePath, 'utf8'));

// engines: where the library loads. The native engine speaks ES3 only: a library that needs
// ES5 built-ins at load or in its probes is checked in ChakraCore alone, and says why.
const libraries = [
  {name: 'platform 1.3.6', file: 'platform/platform.js', engines: ['native', 'chakra'],
   probes: ['platform.name', 'platform.version', 'String(platform.os)', 'platform.layout', 'platform.description']},
  {name: 'bowser 1.9.4', file: 'bowser/bowser.js', engines: ['native', 'chakra'],
   probes: ['bowser.name', 'bowser.version', 'String(bowser.chrome)', 'String(bowser.windows)', 'String(bowser.osversion)',
            "String(bowser.check({chrome: '130'}))"]},
  {name: 'mobile-detect 1.4.5', file: 'mobile-detect/mobile-detect.js', engines: ['native', 'chakra'],
   probes: ['String(new MobileDetect(navigator.userAgent).mobile())', "String(new MobileDetect(navigator.userAgent).is('bot'))",
            'String(new MobileDetect(navigator.userAgent).userAgent())', "String(MobileDetect.isPhoneSized(600))"]},
  {name: 'ismobilejs 0.5.2', file: 'ismobilejs/dist/isMobile.min.js', engines: ['native', 'chakra'],
   probes: ['String(isMobile.any)', 'String(isMobile.apple.device)', 'String(isMobile.android.phone)']},
  {name: 'ua-parser-js 1.0.40', file: 'ua-parser-js/dist/ua-parser.min.js', engines: ['chakra'],
   why: "its patterns hold a quantified lookahead ((?=comodo_)?dragon) that the native engine's regular expressions refuse",
   probes: ["new UAParser().getBrowser().name + ' ' + new UAParser().getBrowser().major",
            "new UAParser().getOS().name + ' ' + new UAParser().getOS().version",
            "String(new UAParser().getCPU().architecture)", 'new UAParser().getEngine().name']},
  {name: 'js-cookie 2.2.1', file: 'js-cookie/src/js.cookie.js', engines: ['native', 'chakra'],
   probes: ["Cookies.set('sid', 'a b;c') && 'set'", "Cookies.set('lang', 'zh', {path: '/'}) && 'set'",
            "Cookies.get('sid')", 'document.cookie', "Cookies.remove('lang') || 'removed'", 'document.cookie',
            "typeof Cookies.getJSON"]},
  {name: 'underscore 1.13.7', file: 'underscore/underscore-umd.js', engines: ['native', 'chakra'],
   probes: ['_.VERSION', "_.keys({b: 1, a: 2}).join()", "_.map([1, 2, 3], function (x) { return x * 2; }).join()",
            "String(window._ === _)", "_.escape('<a href=\"x\">')"]},
  {name: 'js-base64 2.6.4', file: 'js-base64/base64.js', engines: ['native', 'chakra'],
   probes: ["Base64.encode('hello 你好')", "Base64.decode('aGVsbG8g5L2g5aW9')", "Base64.btou(Base64.utob('é'))",
            "String(window.Base64 === Base64)"]},
  {name: 'crypto-js 4.0.0', file: 'crypto-js-4.0.0/crypto-js.js', engines: ['native', 'chakra'],
   probes: ["CryptoJS.MD5('abc').toString()", "CryptoJS.SHA256('abc').toString()",
            "CryptoJS.enc.Base64.stringify(CryptoJS.enc.Utf8.parse('中文'))",
            "CryptoJS.HmacSHA1('data', 'key').toString()"]},
  {name: 'pako 1.0.11 (inflate)', file: 'pako/dist/pako_inflate.min.js', engines: ['native', 'chakra'],
   probes: ["pako.inflate([120,156,203,72,205,201,201,87,200,0,147,79,246,46,120,186,116,47,0,72,175,8,241], {to: 'string'})",
            "String(window.pako === pako)"]},
  {name: 'store2 2.14.4', file: 'store2/dist/store2.js', engines: ['chakra'],
   why: 'keeps values with JSON.stringify, which JScript 5.7 has not',
   probes: ["store.set('user', {id: 7}) && 'set'", "String(store.get('user').id)", "localStorage.getItem('user')",
            "String(localStorage.length)", "String(store.session.has('user'))"]},
  {name: 'jsencrypt 3.5.4', file: 'jsencrypt/bin/jsencrypt.min.js', engines: ['chakra'],
   why: 'an ES5 build (Object.defineProperty, Array.prototype.map) that reads navigator.appName at load',
   probes: ['typeof JSEncrypt', "String(new JSEncrypt().getKey !== undefined)",
            "(function () { var e = new JSEncrypt(); e.setPublicKey('MFwwDQYJKoZIhvcNAQEBBQADSwAwSAJBAL/wtyixx4ti2dUnbJ6Cd0fOr7nD1SKpupyHxeCuBHcMltRTCE9hoRhSfDQI4CdqCteBBVyKrD6YaR7mJ2mqVZkCAwEAAQ=='); return String(e.encrypt('hi').length); })()"]},
];

function jsdomAnswers(library, source) {
  const dom = new JSDOM('<!DOCTYPE html><html><head></head><body></body></html>', {
    url: profile.location.href, userAgent: profile.navigator.userAgent, runScripts: 'outside-only',
    pretendToBeVisual: true});
  const {window} = dom;
  // The profile's navigator, screen and window sizes over jsdom's own (which knows only the
  // user agent, and has a screen of 0 by 0).
  const over = (target, values) => {
    for (const [k, v] of Object.entries(values || {}))
      if (v === null || typeof v !== 'object' || Array.isArray(v))
        Object.defineProperty(target, k, {get: () => v, configurable: true});
  };
  over(window.navigator, profile.navigator);
  over(window.screen, profile.screen);
  over(window, profile.window);
  window.eval(source);
  return library.probes.map(p => {
    try {
      return String(window.eval(p));
    } catch (e) {
      return 'THROWS ' + e;
    }
  });
}

function engineAnswers(library, source, engine, dir) {
  const file = join(dir, library.file.replace(/\W/g, '_') + '.js');
  writeFileSync(file, source);
  const args = ['run', file, '--browser', '--profile', profilePath, '--engine', engine];
  for (const p of library.probes)
    args.push('-e', p);
  let out;
  try {
    out = execFileSync(cli, args, {encoding: 'utf8', stdio: ['ignore', 'pipe', 'pipe']});
  } catch (e) {
    out = String(e.stdout || '') + String(e.stderr || '');
  }
  const lines = out.split('\n');
  const results = lines.filter(l => l.startsWith('>>[结果] ')).map(l => l.substring('>>[结果] '.length));
  return {results, out};
}

const dir = mkdtempSync(join(tmpdir(), 'browser-libraries-'));
let failures = 0, checked = 0;
for (const library of libraries) {
  const source = readFileSync(join(nodeModules, library.file), 'utf8');
  const expected = jsdomAnswers(library, source);
  for (const engine of library.engines) {
    const {results, out} = engineAnswers(library, source, engine, dir);
    const same = results.length === expected.length && results.every((r, i) => r === expected[i]);
    checked++;
    if (same) {
      console.log(`ok   ${library.name} [${engine}]: ${results.length} answers as jsdom's`);
      continue;
    }
    failures++;
    console.log(`FAIL ${library.name} [${engine}]`);
    library.probes.forEach((p, i) => {
      if (results[i] !== expected[i])
        console.log(`  ${p}\n    jsdom:  ${expected[i]}\n    engine: ${results[i]}`);
    });
    console.log(out.split('\n').slice(0, 20).map(l => '  | ' + l.substring(0, 300)).join('\n'));
  }
  if (library.why)
    console.log(`     (ChakraCore only: ${library.why})`);
}
console.log(`${checked - failures} of ${checked} library loads answered as jsdom did`);
process.exit(failures ? 1 : 0);
