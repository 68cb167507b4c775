// What the transform library calls beyond ES5, for an engine that has ES5 only (the plain
// Duktape context of the Windows build without ChakraCore). Each is added only where missing
// and does what the standard's method does for the arguments the library gives.
if (!Object.assign) {
    Object.assign = function (target) {
        if (target == null) throw new TypeError('Cannot convert undefined or null to object');
        var to = Object(target), own = Object.prototype.hasOwnProperty, i, key, from;
        for (i = 1; i < arguments.length; i++) {
            from = arguments[i];
            if (from == null) continue;
            from = Object(from);
            for (key in from) if (own.call(from, key)) to[key] = from[key];
        }
        return to;
    };
}
if (!String.prototype.startsWith) {
    String.prototype.startsWith = function (search, position) {
        if (this == null) throw new TypeError('String.prototype.startsWith called on null or undefined');
        var text = String(this), start = Math.min(Math.max(position > 0 ? Math.floor(position) : 0, 0), text.length);
        search = String(search);
        return text.substring(start, start + search.length) === search;
    };
}
