// Watch points (ChakraCore engine): where the code hands text to be run or sends something
// out of the page. With watching on, the loader runs this after the support scripts and
// before the modules; every call of eval, Function (however reached: `[].constructor
// .constructor` included), setTimeout/setInterval with a string, document.cookie writes,
// XMLHttpRequest.send and $$.ajax is noted with its arguments, shortened, and the
// "module:line" that made it, in order.
//
// eval keeps its meaning: a direct call still sees the caller's variables. The loader hands
// each module to the engine with its eval calls' first argument passed through
// QUILLBOX_WATCH_EVAL (watch-sites.js, with the syntax gate), which notes it and gives it back.
// Function, the timers, the cookie and the requests are wrapped here; a wrapper's source text,
// as Function.prototype.toString gives it, is its original's, so code that checks built-ins
// for "[native code]" sees what it would see unwatched.
//
//   QUILLBOX_WATCH.hook()   wraps what the modules loaded so far define (the browser
//                           environment's timers, document and XMLHttpRequest); the loader
//                           calls it after each module. Wrapping twice is a no-op.
//   QUILLBOX_WATCH.take()   the JSON text of [[call, arguments, where], ...] noted since the
//                           last take, and forgets them.
(function (global, options) {
    var limit = 5000, rows = [], dropped = 0;
    var skip = options.skip || [], environment = options.environment || '';
    var objectToString = Object.prototype.toString;
    var originalOf = new WeakMap();
    var shown = 80;

    function shorten(s) {
        s = String(s);
        return s.length > shown ? s.substring(0, shown - 3) + '...' : s;
    }
    function describe(v) {
        var t = typeof v;
        if (t == 'string')
            return JSON.stringify(shorten(v));
        if (t == 'function')
            return 'function ' + (v.name || '');
        if (v && t == 'object') {
            try {
                var text = JSON.stringify(v);
                if (typeof text == 'string')
                    return shorten(text);
            } catch (e) {}
            return objectToString.call(v);
        }
        return String(v);
    }
    function ours(source) {
        if (source == '[native code]')
            return true;
        for (var i = 0; i < skip.length; i++)
            if (source == skip[i])
                return true;
        return false;
    }
    // The callers' places, innermost first: [{source, line}].
    function frames() {
        var out = [], stack = String(new Error().stack || '').split('\n');
        for (var i = 0; i < stack.length; i++) {
            var m = /@(.*):(\d+):\d+$/.exec(stack[i]) || /\((.*):(\d+):\d+\)$/.exec(stack[i]);
            if (m)
                out.push({source: m[1], line: m[2]});
        }
        return out;
    }
    // The first frame that is not ours nor the environment's: "source:line".
    function whereFrom() {
        var f = frames();
        for (var i = 0; i < f.length; i++)
            if (!ours(f[i].source))
                return f[i].source + ':' + f[i].line;
        return '';
    }
    // Whether the browser environment's code is among the callers.
    function throughEnvironment() {
        var f = frames();
        for (var i = 0; i < f.length; i++)
            if (environment && f[i].source == environment)
                return true;
        return false;
    }
    // Inside a watched call (XMLHttpRequest.send goes through $$.ajax) nothing more is noted.
    var depth = 0;
    function note(call, args, first) {
        if (depth)
            return;
        if (rows.length >= limit) {
            dropped++;
            return;
        }
        var parts = first === undefined ? [] : [first];
        for (var i = 0; i < args.length; i++)
            parts.push(describe(args[i]));
        rows.push([call, parts.join(', '), whereFrom()]);
    }
    function hide(object, name, value) {
        Object.defineProperty(object, name, {value: value, writable: true, configurable: true, enumerable: false});
    }
    // Puts the wrapper where the original was, as the original was (enumerable or not), so
    // that listing the holder's properties shows what it showed.
    function replace(holder, name, wrapper) {
        var d = Object.getOwnPropertyDescriptor(holder, name);
        Object.defineProperty(holder, name, {value: wrapper, writable: d ? !!d.writable : true,
            configurable: true, enumerable: d ? !!d.enumerable : false});
    }
    function disguise(wrapper, original) {
        originalOf.set(wrapper, original);
        try {
            Object.defineProperty(wrapper, 'name', {value: original.name, configurable: true});
            Object.defineProperty(wrapper, 'length', {value: original.length, configurable: true});
        } catch (e) {}
        return wrapper;
    }

    // A wrapper's text is its original's as Function.prototype.toString gives it now: the
    // browser environment, loaded later, puts its own in front of this one for its functions.
    var realToString = Function.prototype.toString;
    hide(Function.prototype, 'toString', disguise(function toString() {
        if (originalOf.has(this))
            return Function.prototype.toString.call(originalOf.get(this));
        return realToString.call(this);
    }, realToString));

    // Function: the global and every function's constructor.
    var RealFunction = Function;
    var WatchedFunction = disguise(function Function() {
        note('Function', arguments);
        return RealFunction.apply(this, arguments);
    }, RealFunction);
    WatchedFunction.prototype = RealFunction.prototype;
    hide(RealFunction.prototype, 'constructor', WatchedFunction);
    hide(global, 'Function', WatchedFunction);

    hide(global, 'QUILLBOX_WATCH_EVAL', function (code) {
        note('eval', [code]);
        return code;
    });

    function wrapMethod(holder, name, call, before) {
        var real = holder && holder[name];
        if (typeof real != 'function' || originalOf.has(real))
            return;
        replace(holder, name, disguise(function () {
            if (!before || before(this, arguments))
                note(call, arguments, before && before.first ? before.first(this) : undefined);
            depth++;
            try {
                return real.apply(this, arguments);
            } finally {
                depth--;
            }
        }, real));
    }
    function stringFirst(self, args) { return typeof args[0] == 'string'; }

    // XMLHttpRequest: send says where it goes (open's method and address).
    var opened = new WeakMap();
    function sendTarget(xhr) { return opened.has(xhr) ? opened.get(xhr) : undefined; }
    function always() { return true; }
    always.first = sendTarget;

    function hookCookie(document) {
        for (var holder = document; holder; holder = Object.getPrototypeOf(holder)) {
            var d = Object.getOwnPropertyDescriptor(holder, 'cookie');
            if (!d)
                continue;
            if (typeof d.set != 'function' || originalOf.has(d.set))
                return;
            var realSet = d.set;
            Object.defineProperty(holder, 'cookie', {get: d.get, configurable: true, enumerable: d.enumerable,
                set: disguise(function (v) {
                    note('document.cookie', [v]);
                    return realSet.call(this, v);
                }, realSet)});
            return;
        }
    }
    function hook() {
        wrapMethod(global, 'setTimeout', 'setTimeout', stringFirst);
        wrapMethod(global, 'setInterval', 'setInterval', stringFirst);
        // The environment's own requests (an XMLHttpRequest sent earlier, answered at the
        // end of the run) were noted at their send.
        if (global.$$ && typeof global.$$ == 'object')
            wrapMethod(global.$$, 'ajax', '$$.ajax', function () { return !throughEnvironment(); });
        var X = global.XMLHttpRequest;
        if (typeof X == 'function' && X.prototype) {
            var realOpen = X.prototype.open;
            if (typeof realOpen == 'function' && !originalOf.has(realOpen))
                replace(X.prototype, 'open', disguise(function (method, url) {
                    opened.set(this, String(method) + ' ' + shorten(url));
                    return realOpen.apply(this, arguments);
                }, realOpen));
            wrapMethod(X.prototype, 'send', 'XMLHttpRequest.send', always);
        }
        if (global.document && typeof global.document == 'object')
            hookCookie(global.document);
    }
    hook();

    hide(global, 'QUILLBOX_WATCH', {
        hook: hook,
        take: function () {
            var taken = rows;
            if (dropped)
                taken.push(['...', String(dropped), '']);
            rows = [];
            dropped = 0;
            return JSON.stringify(taken);
        }
    });
})(this, /*@options*/{});
