/* Reads o[k] as ES5 does when o is a string: its k-th character. JScript 5.7 strings have no
 * index properties ("abc"[1] is undefined there). Part of Quillbox's conversion to old
 * JavaScript: the converted code calls it where a computed read may index a string,
 *     (typeof s === "string" ? __qbIndex(s, i) : s[i])
 * and as __qbIndex(o, k) where the object or the key must be evaluated once. Any other read
 * (a string's length or methods, an array's or an object's members) is o[k] as before.
 */
function __qbIndex(o, k) {
    if (typeof o === "string") {
        // A whole number in range, or its canonical text ("1", not "01" or "1.0").
        var i = typeof k === "number" ? k : typeof k === "string" && String(k >>> 0) === k ? k >>> 0 : -1;
        if (i >= 0 && i < o.length && i % 1 === 0)
            return o.charAt(i);
    }
    return o[k];
}
