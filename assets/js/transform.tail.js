
return exports.js_beautify;
})();
