/* A fix for engines whose RegExp cannot take a regular expression (`new RegExp(/a/g)` throws
 * "invalid regexp flags"), whose String.prototype.search fails the same way on a regular
 * expression, or whose regular expressions print without their flags (`String(/a/g)` is
 * "/a/undefined"). Part of Quillbox's conversion to old JavaScript; it comes before core-js,
 * whose feature tests make these calls. It changes nothing that works.
 *
 * Limit: where it replaces RegExp, the old static match properties (RegExp.$1 ... $9,
 * RegExp.lastMatch) stay on the engine's own RegExp, which regular expression literals still
 * use, so `RegExp.$1` after a match reads undefined.
 */
(function (global) {
    var NativeRegExp = global.RegExp;
    var printsFlags = true, takesRegExp = true;
    try { printsFlags = String(/a/g) === "/a/g"; } catch (e) { printsFlags = false; }
    try { takesRegExp = new NativeRegExp(/a/g).source === "a"; } catch (e) { takesRegExp = false; }
    function flagsOf(re) {
        return (re.global ? "g" : "") + (re.ignoreCase ? "i" : "") + (re.multiline ? "m" : "");
    }
    var searches = true;
    try { searches = "a1e5".search(/e/i) === 2; } catch (e) { searches = false; }
    if (!searches) {
        // ES3's search: the first match's index, whatever the expression's global flag and
        // lastIndex say.
        String.prototype.search = function (regexp) {
            var re = regexp instanceof NativeRegExp
                ? new NativeRegExp(regexp.source, (regexp.ignoreCase ? "i" : "") + (regexp.multiline ? "m" : ""))
                : new NativeRegExp(regexp === undefined ? "(?:)" : String(regexp));
            var match = re.exec(String(this));
            return match ? match.index : -1;
        };
    }
    if (!printsFlags) {
        NativeRegExp.prototype.toString = function () {
            return "/" + this.source + "/" + flagsOf(this);
        };
    }
    if (takesRegExp) return;
    function RegExp(pattern, flags) {
        if (pattern instanceof NativeRegExp) {
            if (flags === undefined) {
                if (!(this instanceof RegExp)) return pattern;  // RegExp(re) is re itself
                flags = flagsOf(pattern);
            }
            pattern = pattern.source;
        }
        return flags === undefined ? new NativeRegExp(pattern === undefined ? "(?:)" : pattern)
                                   : new NativeRegExp(pattern, flags);
    }
    RegExp.prototype = NativeRegExp.prototype;
    NativeRegExp.prototype.constructor = RegExp;
    global.RegExp = RegExp;
})(this);
