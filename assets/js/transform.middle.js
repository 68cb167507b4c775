
var minify = exports.jsmin;
// The program calls the minifier as (comment, input, level); the library takes them as
// (input, level, comment).
return function jsmin(comment, input, level) {
    return minify(input, level, comment);
};
})();

function ysjs(str) {
    return jsmin("", str, 2);
}

var js_beautify = (function () {
var exports = {}, define, window, global;
