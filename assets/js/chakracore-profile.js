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
})(this);
