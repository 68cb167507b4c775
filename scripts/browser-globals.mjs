// The names a page's script may find on a browser's global object, for the browser
// environment's access log: every interface and global member MDN's browser-compat-data
// lists, its JavaScript built-ins, and the names scripts probe to tell a real browser from an
// automated or server one.
//   node browser-globals.mjs BCD_DATA_JSON OUT_JSON
import {readFileSync, writeFileSync} from 'node:fs';

const [bcdPath, out] = process.argv.slice(2);
const bcd = JSON.parse(readFileSync(bcdPath, 'utf8'));
const names = new Set();
const identifier = /^[A-Za-z_$][\w$]*$/;
for (const name of Object.keys(bcd.api))
    names.add(name);
for (const name of Object.keys(bcd.api.Window || {}))
    if (!name.endsWith('_event'))
        names.add(name);
    else
        names.add('on' + name.slice(0, -'_event'.length));
for (const name of Object.keys(bcd.javascript.builtins))
    names.add(name);
for (const name of ['chrome', 'opera', 'safari', 'netscape', 'InstallTrigger', 'ActiveXObject', 'msCrypto',
                    '_phantom', 'callPhantom', 'phantom', '__nightmare', 'domAutomation', 'domAutomationController',
                    '__webdriver_evaluate', '__selenium_unwrapped', '__fxdriver_unwrapped', '__driver_evaluate',
                    '_Selenium_IDE_Recorder', 'webdriver', 'Buffer', 'process', 'global', 'require', 'module',
                    'exports', 'define', 'importScripts', 'WorkerGlobalScope', 'jQuery', '$'])
    names.add(name);
const list = [...names].filter(n => identifier.test(n) && n !== '__compat').sort();
writeFileSync(out, JSON.stringify(list) + '\n');
