
return { JSON: { parse: exports.parse, stringify: exports.stringify }, log: [] };
}).call(this);
