// The deobfuscation tool of the tools context: webcrack (npm, MIT) bundled at build time by
// esbuild into this one script (scripts/build-deobfuscate.mjs). webcrack is asynchronous and
// asks a sandbox to evaluate the string decoders it finds; the program gives that sandbox
// from outside, a fresh engine with limits, one step at a time:
//
//   quillboxDeobfuscateStart(code)  starts a run
//   quillboxDeobfuscateStep()       JSON: {state: "sandbox", code} while the run waits for the
//                                   sandbox, {state: "done", ...} or {state: "failed", error}
//   quillboxDeobfuscateText()       the code of that answer as it is
//   quillboxDeobfuscateAnswer(ok, text)  the sandbox's answer: the JSON of the value, or the
//                                   error's text
//
// Each call returns once the promises it settled have run (the engine drains its microtask
// queue when a call from the host ends), so the host loops Step/Answer until the run ends.
import { webcrack } from 'webcrack';
import createDebug from 'debug';
import { parse } from '@babel/parser';
import traverseModule from '@babel/traverse';

const traverse = traverseModule.default || traverseModule;

let job = null;

function newJob() {
  return { pending: null, result: null, error: null, log: [], decoded: 0, sandboxCalls: 0 };
}

createDebug.log = function () {
  if (job) job.log.push(Array.prototype.map.call(arguments, String).join(' '));
};
createDebug.enable('webcrack:*');

function sandbox(code) {
  return new Promise(function (resolve, reject) {
    job.sandboxCalls++;
    job.pending = { code: code, resolve: resolve, reject: reject };
  });
}

// ---- what the code holds, before and after ----

function parseLoose(code) {
  return parse(code, { sourceType: 'unambiguous', allowReturnOutsideFunction: true, errorRecovery: true });
}

// A string array: an array literal of at least three strings and nothing else.
function isStringArray(node) {
  return node && node.type === 'ArrayExpression' && node.elements.length >= 3 &&
    node.elements.every(function (e) { return e && e.type === 'StringLiteral'; });
}

// Features of obfuscated code, counted in one walk: string arrays with the functions that
// hold them, the decoders that call those, the calls of decoders left in the program,
// control-flow dispatchers, debugger statements, the self-defending check's pattern, and
// console replacement.
function survey(code) {
  const found = {
    stringArrays: 0, decoderCalls: 0, dispatchers: 0, debuggers: 0, selfDefending: 0,
    consoleOverride: 0, base64: 0, rc4: 0, objectFunctions: 0, parseError: ''
  };
  let ast;
  try {
    ast = parseLoose(code);
  } catch (e) {
    found.parseError = String(e && e.message || e);
    return found;
  }
  const holders = new Set();
  traverse(ast, {
    ArrayExpression(path) {
      if (!isStringArray(path.node)) return;
      found.stringArrays++;
      const fn = path.getFunctionParent();
      const holder = fn ? fn : path.findParent(function (p) { return p.isVariableDeclarator(); });
      if (holder && holder.node.id && holder.node.id.name) holders.add(holder.node.id.name);
      else if (path.parentPath.isVariableDeclarator() && path.parent.id.name) holders.add(path.parent.id.name);
    }
  });
  // Decoders: functions that call or read a holder of a string array.
  const decoders = new Set();
  if (holders.size) {
    traverse(ast, {
      Identifier(path) {
        if (!holders.has(path.node.name) || path.parentPath.isFunctionDeclaration({ id: path.node })) return;
        const fn = path.getFunctionParent();
        if (!fn) return;
        const name = fn.node.id ? fn.node.id.name :
          (fn.parentPath.isVariableDeclarator() && fn.parent.id.name) || '';
        if (name && !holders.has(name)) decoders.add(name);
      }
    });
  }
  // Aliases of decoders (`var _0xa = _0x4618;`), in a few rounds for aliases of aliases.
  for (let round = 0; decoders.size && round < 3; round++) {
    traverse(ast, {
      VariableDeclarator(path) {
        const init = path.node.init;
        if (init && init.type === 'Identifier' && decoders.has(init.name) && path.node.id.type === 'Identifier')
          decoders.add(path.node.id.name);
      }
    });
  }
  traverse(ast, {
    CallExpression(path) {
      const callee = path.node.callee;
      if (callee.type === 'Identifier' && decoders.has(callee.name) && path.node.arguments.length &&
          path.node.arguments.every(function (a) {
            return a.type === 'NumericLiteral' || a.type === 'StringLiteral' || a.type === 'UnaryExpression';
          }))
        found.decoderCalls++;
      // 'a|b|c'.split('|') drives a flattened switch.
      if (callee.type === 'MemberExpression' && callee.object.type === 'StringLiteral' &&
          /^\d+(\|\d+)+$/.test(callee.object.value))
        found.dispatchers++;
    },
    DebuggerStatement() { found.debuggers++; },
    StringLiteral(path) {
      const v = path.node.value;
      if (v === '(((.+)+)+)+$') found.selfDefending++;
      if (v === 'abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789+/=') found.base64++;
      if (v === 'debugger' || v === 'gger' || v === 'debu') found.debuggers++;
      if (v === 'trace' && path.parentPath.isArrayExpression()) found.consoleOverride++;
    },
    BinaryExpression(path) {
      // RC4's key schedule: ... % 0x100
      if (path.node.operator === '%' && path.node.right.type === 'NumericLiteral' && path.node.right.value === 256)
        found.rc4++;
    },
    ObjectProperty(path) {
      if (path.node.value.type === 'FunctionExpression' && path.node.key.type === 'StringLiteral' &&
          /^[A-Za-z]{5}$/.test(path.node.key.value))
        found.objectFunctions++;
    }
  });
  found.decoders = Array.from(decoders);
  return found;
}

function changesOf(name) {
  let total = 0;
  const re = new RegExp('^webcrack:\\S+ ' + name.replace(/[.*+?^${}()|[\]\\]/g, '\\$&') + ': finished with (\\d+) changes');
  for (const line of job.log) {
    const m = re.exec(line);
    if (m) total += Number(m[1]);
  }
  return total;
}

function report(before, after, partial) {
  const stringArrayLine = job.log.find(function (l) { return /String Array: /.test(l); }) || '';
  const m = /String Array: (.*), length (\d+)/.exec(stringArrayLine);
  const options = [];
  if (m) options.push('string array (' + m[2] + ' strings)');
  if (job.log.some(function (l) { return /String Array Rotate: yes/.test(l); })) options.push('string array rotation');
  if (before.rc4) options.push('string array encoding rc4');
  else if (before.base64) options.push('string array encoding base64');
  if (before.dispatchers) options.push('control-flow flattening');
  if (before.objectFunctions) options.push('functions in objects (control-flow storage)');
  if (before.selfDefending) options.push('self-defending');
  if (before.debuggers) options.push('debug protection');
  if (before.consoleOverride) options.push('console output disabled');
  return {
    obfuscator: m || before.dispatchers || before.selfDefending ? 'javascript-obfuscator (obfuscator.io) style' : '',
    options: options,
    stringsRestored: job.decoded,
    decoderCallsLeft: after.decoderCalls,
    functionsInlined: changesOf('inline-decoder-wrappers') + changesOf('inline-object-props'),
    deobfuscateChanges: changesOf('deobfuscate'),
    deadCodeAndControlFlow: changesOf('merge-strings, dead-code, control-flow-object, control-flow-switch'),
    antiDebugAndSelfDefending: changesOf('self-defending, debug-protection'),
    dispatchersLeft: after.dispatchers,
    debuggersLeft: after.debuggers,
    selfDefendingLeft: after.selfDefending,
    partial: partial
  };
}

globalThis.quillboxDeobfuscateStart = function (code) {
  job = newJob();
  job.input = code;
  job.before = survey(code);
  webcrack(code, { sandbox: sandbox, unpack: false, jsx: false, mangle: false }).then(function (r) {
    job.result = r.code;
  }, function (e) {
    job.error = e && e.stack ? String(e.message || e) : String(e);
    // Keep what can be done without decoding: the rest of the passes, named as partial.
    job.pending = null;
    webcrack(code, { deobfuscate: false, unpack: false, jsx: false, mangle: false }).then(function (r) {
      job.partialResult = r.code;
    }, function (e2) {
      job.partialResult = '';
      job.error += '; the passes without decoding failed too: ' + String(e2 && e2.message || e2);
    });
  });
  return '';
};

globalThis.quillboxDeobfuscateStep = function () {
  if (!job) return JSON.stringify({ state: 'failed', error: 'no run was started' });
  if (job.pending) return JSON.stringify({ state: 'sandbox', code: job.pending.code });
  if (job.result !== null) {
    const after = survey(job.result);
    const partial = after.decoderCalls > 0 ? after.decoderCalls + ' decoder calls are still in the code' : '';
    return JSON.stringify({ state: 'done', code: job.result, partial: partial, report: report(job.before, after, partial) });
  }
  if (job.error !== null && job.partialResult !== undefined) {
    const after = survey(job.partialResult);
    return JSON.stringify({ state: 'failed', error: job.error, code: job.partialResult,
      report: report(job.before, after, 'the strings were not decoded: ' + job.error) });
  }
  return JSON.stringify({ state: 'failed', error: 'the run did not end (it waits for something the tools context does not give)' });
};

// The code of the last Step's answer (the sandbox's code, or the result) as it is: the host's
// JSON reader would turn its line ends into CR LF.
globalThis.quillboxDeobfuscateText = function () {
  if (!job) return '';
  if (job.pending) return job.pending.code;
  if (job.result !== null) return job.result;
  return job.partialResult || '';
};

globalThis.quillboxDeobfuscateAnswer = function (ok, text) {
  const pending = job && job.pending;
  if (!pending) return '';
  job.pending = null;
  let value;
  if (ok === 'true') {
    try {
      value = JSON.parse(text);
    } catch (e) {
      pending.reject(new Error('the sandbox gave no value: ' + String(text).slice(0, 80)));
      return '';
    }
    if (Array.isArray(value)) {
      job.decoded += value.length;
      // The encoded strings say which options were on.
      for (const v of value) {
        if (typeof v !== 'string') continue;
        if (v === '(((.+)+)+)+$') job.before.selfDefending++;
        if (v === 'debugger' || v === 'debu' || v === 'gger') job.before.debuggers++;
        if (/^\d+(\|\d+)+$/.test(v)) job.before.dispatchers++;
        if (v === 'trace' || v === 'exception') job.before.consoleOverride++;
      }
    }
    pending.resolve(value);
  } else {
    pending.reject(new Error(text));
  }
  return '';
};
