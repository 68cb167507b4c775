// Run by libChakraCore.so in every new context before any other script: the context then
// offers what ChakraCore 1.11 offers. QB_REMOVED_BUILTINS is replaced at build time by the
// list of built-ins ChakraCore 1.11 lacks (assets/js/engine-data.mjs).
(function (global) {
    var removed = QB_REMOVED_BUILTINS;

    // QB_BUILTIN_PATH

    // Globals first would hide their members; remove members first.
    removed.sort(function (a, b) { return b.length - a.length; });
    for (var i = 0; i < removed.length; i++) {
        var holder = qbBuiltinHolder(global, removed[i]);
        if (holder && holder.object)
            delete holder.object[holder.key];
    }

    // The two-argument Error of JScript that ChakraCore keeps: Error(number, description)
    // gives `number` and `description`, one argument gives `description`, none gives number 0
    // and description "".
    var NativeError = global.Error;
    var ErrorPrototype = NativeError.prototype;
    function hidden(object, name, value) {
        Object.defineProperty(object, name, { value: value, writable: true, configurable: true, enumerable: false });
    }
    // The error's position is its creator's, not this wrapper's: take it from the caller's
    // frame and drop the frames before it (Reflect.construct and this script, which has no
    // source name and so no position) from the stack.
    var framePattern = /^(?:[^@]*@)?(.*):(\d+):(\d+)$/;
    function placeAtCaller(error) {
        var frames = String(error.stack).split('\n');
        while (frames.length && !framePattern.test(frames[0]))
            frames.shift();
        var at = framePattern.exec(frames[0] || '');
        if (at) {
            hidden(error, 'line', Number(at[2]));
            hidden(error, 'column', Number(at[3]));
            if (at[1])
                hidden(error, 'sourceURL', at[1]);
        }
        hidden(error, 'stack', frames.join('\n'));
    }
    var Error = function Error(number, message) {
        var count = arguments.length;
        var text = count >= 2 ? message : number;
        var error = Reflect.construct(NativeError, text === undefined ? [] : [text], new.target || Error);
        if (count !== 1)
            hidden(error, 'number', count >= 2 ? Number(number) : 0);
        hidden(error, 'description', count === 0 ? '' : String(text));
        placeAtCaller(error);
        return error;
    };
    var statics = Object.getOwnPropertyNames(NativeError);
    for (var s = 0; s < statics.length; s++)
        if (statics[s] !== 'prototype' && statics[s] !== 'name' && statics[s] !== 'stackTraceLimit')
            Object.defineProperty(Error, statics[s], Object.getOwnPropertyDescriptor(NativeError, statics[s]));
    // The engine reads the limit from its own constructor.
    Object.defineProperty(Error, 'stackTraceLimit', {
        get: function () { return NativeError.stackTraceLimit; },
        set: function (limit) { NativeError.stackTraceLimit = limit; },
        configurable: true
    });
    Object.defineProperty(Error, 'prototype', { value: ErrorPrototype, writable: false, enumerable: false, configurable: false });
    hidden(ErrorPrototype, 'constructor', Error);
    var kinds = ['EvalError', 'RangeError', 'ReferenceError', 'SyntaxError', 'TypeError', 'URIError'];
    for (var k = 0; k < kinds.length; k++)
        if (global[kinds[k]])
            Object.setPrototypeOf(global[kinds[k]], Error);
    hidden(global, 'Error', Error);
    // new RegExp(...) at run time refuses what ChakraCore 1.11's regular expression parser
    // refuses, as the syntax gate does for literals (lib/Parser/RegexParser.cpp at v1.11.24:
    // Options() takes the flags g, i, m, u and y, each once; after "(?" only "=", "!" or ":"
    // follow; in unicode mode \p{...} is no escape).
    var NativeRegExp = global.RegExp;
    function refuseRegExp() {
        throw new SyntaxError('Syntax error in regular expression');
    }
    function checkRegExp(pattern, flags) {
        var seen = {};
        for (var f = 0; f < flags.length; f++) {
            var flag = flags.charAt(f);
            if ('gimuy'.indexOf(flag) < 0 || seen[flag])
                refuseRegExp();
            seen[flag] = true;
        }
        var inClass = false;
        for (var i = 0; pattern !== null && i < pattern.length; i++) {
            var c = pattern.charAt(i);
            if (c === '\\') {
                var next = pattern.charAt(i + 1);
                if (seen.u && (next === 'p' || next === 'P'))
                    refuseRegExp();
                i++;
            } else if (inClass) {
                if (c === ']')
                    inClass = false;
            } else if (c === '[') {
                inClass = true;
            } else if (c === '(' && pattern.charAt(i + 1) === '?' && '=!:'.indexOf(pattern.charAt(i + 2)) < 0) {
                refuseRegExp();
            }
        }
    }
    var ProfileRegExp = function RegExp(pattern, flags) {
        var isRegExp = pattern instanceof NativeRegExp;
        if (!new.target && isRegExp && flags === undefined && pattern.constructor === ProfileRegExp)
            return pattern;
        // A RegExp's own pattern was checked when it was made; its flags are checked if given.
        checkRegExp(isRegExp ? null : (pattern === undefined ? '' : String(pattern)),
                    flags === undefined ? '' : String(flags));
        return Reflect.construct(NativeRegExp, arguments, new.target || ProfileRegExp);
    };
    Object.defineProperty(ProfileRegExp, 'prototype', { value: NativeRegExp.prototype, writable: false, enumerable: false, configurable: false });
    Object.defineProperty(ProfileRegExp, Symbol.species, { get: function () { return this; }, configurable: true });
    // The last match's statics (ChakraCore 1.11 has them) read the engine's own record.
    ['$1', '$2', '$3', '$4', '$5', '$6', '$7', '$8', '$9', 'input', '$_', 'lastMatch', '$&', 'lastParen', '$+',
     'leftContext', '$`', 'rightContext', "$'"].forEach(function (name) {
        if (name in NativeRegExp)
            Object.defineProperty(ProfileRegExp, name, {
                get: function () { return NativeRegExp[name]; },
                set: function (value) { NativeRegExp[name] = value; },
                enumerable: false, configurable: true
            });
    });
    hidden(NativeRegExp.prototype, 'constructor', ProfileRegExp);
    hidden(global, 'RegExp', ProfileRegExp);

    // Symbol.asyncIterator and Symbol.matchAll came after ChakraCore 1.11
    // (lib/Runtime/Library/JavascriptLibrary.cpp at v1.11.24 makes neither), and the engine
    // under us cannot delete them: Symbol is a function of the same behaviour without them.
    var NativeSymbol = global.Symbol;
    var ProfileSymbol = function Symbol(description) {
        if (new.target)
            throw new TypeError('Function is not a constructor');
        return arguments.length ? NativeSymbol(description) : NativeSymbol();
    };
    var symbolStatics = Object.getOwnPropertyNames(NativeSymbol);
    for (var y = 0; y < symbolStatics.length; y++) {
        var staticName = symbolStatics[y];
        if (staticName !== 'asyncIterator' && staticName !== 'matchAll' && staticName !== 'length' && staticName !== 'name')
            Object.defineProperty(ProfileSymbol, staticName, Object.getOwnPropertyDescriptor(NativeSymbol, staticName));
    }
    hidden(NativeSymbol.prototype, 'constructor', ProfileSymbol);
    hidden(global, 'Symbol', ProfileSymbol);

    // JSON.stringify writes a lone surrogate as it is (lib/Runtime/Library/JSONStringifier.cpp
    // at v1.11.24 escapes only the quote, the backslash and the control characters); the
    // engine under us writes the well-formed escape "\udXXX".
    var nativeStringify = JSON.stringify;
    hidden(JSON, 'stringify', function stringify(value, replacer, space) {
        var text = nativeStringify.apply(JSON, arguments);
        if (typeof text !== 'string' || text.indexOf('\\ud') < 0)
            return text;
        return text.replace(/(\\+)u(d[89a-f][0-9a-f]{2})/g, function (all, slashes, hex) {
            return slashes.length % 2 ? slashes.slice(1) + String.fromCharCode(parseInt(hex, 16)) : all;
        });
    });
})(this);
