// The transform library: JSMin and js-beautify, each run inside its own function so that
// only the globals jsmin, ysjs and js_beautify appear (JSMin also adds String.prototype.has).
var jsmin = (function () {
var exports = {};
