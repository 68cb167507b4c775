// What the transform library calls beyond ES5, for an engine that has ES5 only (the plain
// Duktape context of the Windows build without ChakraCore): Object.assign and
// String.prototype.startsWith, and the sticky flag of regular expressions as the library uses
// it. Each is added only where missing and does what the standard's does for the arguments the
// library gives.
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
// The sticky flag ('y'), for speed only. js-beautify tries its patterns at one position:
// without 'y' it sets lastIndex, searches with 'g' and drops a match found further on, so a
// pattern that fails is tried at every later position of the text. Where the engine has no
// 'y', RegExp(source, 'y') gives an object with the one thing the library does with such a
// pattern, exec at lastIndex: the source with an empty alternative after it ends every search
// at lastIndex, and a match of the empty alternative is no match.
if (!Object.prototype.hasOwnProperty.call(RegExp.prototype, 'sticky')) {
    (function () {
        var NativeRegExp = RegExp;
        function StickyRegExp(source) {
            this.source = source;
            this.lastIndex = 0;
            this.anywhere = new NativeRegExp('(?:' + source + ')|()', 'g');
        }
        StickyRegExp.prototype.sticky = true;
        StickyRegExp.prototype.exec = function (text) {
            var re = this.anywhere, match;
            re.lastIndex = this.lastIndex;
            match = re.exec(text);
            if (!match || match[match.length - 1] !== undefined) {
                this.lastIndex = 0;
                return null;
            }
            match.pop();
            this.lastIndex = re.lastIndex;
            return match;
        };
        var WithSticky = function RegExp(pattern, flags) {
            if (flags === 'y')
                return new StickyRegExp(typeof pattern === 'string' ? pattern : pattern.source);
            return arguments.length < 2 ? NativeRegExp(pattern) : new NativeRegExp(pattern, flags);
        };
        WithSticky.prototype = NativeRegExp.prototype;
        Object.defineProperty(NativeRegExp.prototype, 'sticky', {value: false, configurable: true});
        RegExp = WithSticky;
    })();
}
