// The conversion for the native engine, run in the tools context after Babel (standalone).
//
//   quillboxConvert(code) -> JSON text:
//   { "converted": [[feature, count], ...],
//     "uses": [name, ...]           what the converted code (Babel's helpers included) names:
//                                   globals ("JSON"), properties (".map") and properties of
//                                   globals ("Math.sign"),
//     "problems": [{"line", "column", "construct", "why"}, ...],
//     "warnings": [{"line", "column", "construct", "why", "shim"}, ...]   may differ at run time
//                                   ("shim": the shim whose limit it meets, "" for none),
//     "error": {"line", "column", "message"}   only when the code does not parse }
//   quillboxConvertedCode() -> the converted text of the last call, as it is (not in the JSON
//   text, whose reader would change its line ends)
//
// Babel's preset-env for an IE 6 target, loose (but spread), with the ES3 member-expression and
// property-literal plugins: ES2015+ syntax becomes ES3, reserved words as property names are
// quoted. What has no ES3 form is found here and reported with its place.
var quillboxConvertedCode;
var quillboxConvert = (function () {
    var lastCode = "";
    quillboxConvertedCode = function () { return lastCode; };
    var Babel = this.Babel;

    // Syntax that Babel rewrites, named for the report.
    var converted = {
        ArrowFunctionExpression: "arrow functions",
        ClassDeclaration: "classes",
        ClassExpression: "classes",
        TemplateLiteral: "template strings",
        TaggedTemplateExpression: "tagged templates",
        SpreadElement: "spread",
        RestElement: "rest parameters and elements",
        ObjectPattern: "destructuring",
        ArrayPattern: "destructuring",
        AssignmentPattern: "default values",
        ForOfStatement: "for...of",
        ObjectMethod: "method shorthand",
        OptionalMemberExpression: "optional chaining",
        OptionalCallExpression: "optional chaining",
        ExponentiationOperator: "exponent operator"
    };

    // Built-ins with no ES3 form and no shim that keeps their meaning.
    var unsupportedGlobals = {
        Proxy: "Proxy needs the engine's own support: no ES3 code can stand in for it",
        WeakRef: "WeakRef needs a collector that the old engine does not expose",
        FinalizationRegistry: "FinalizationRegistry needs a collector that the old engine does not expose",
        SharedArrayBuffer: "shared memory does not exist in the old engine",
        Atomics: "shared memory does not exist in the old engine",
        BigInt: "BigInt needs the engine's own numbers",
        Intl: "Intl is not in the old engine and no shim is added for it",
        DataView: "DataView is not covered by the typed-array shim",
        BigInt64Array: "BigInt64Array needs BigInt",
        BigUint64Array: "BigUint64Array needs BigInt",
        WebAssembly: "WebAssembly is not in the old engine"
    };
    var weakCollections = {
        WeakMap: "WeakMap: the shim keeps keys alive and marks them with a property (no weak semantics)",
        WeakSet: "WeakSet: the shim keeps values alive and marks them with a property (no weak semantics)"
    };
    var nativeSymbols = {
        toPrimitive: 1, hasInstance: 1, toStringTag: 1, species: 1, isConcatSpreadable: 1,
        match: 1, matchAll: 1, replace: 1, search: 1, split: 1, unscopables: 1, asyncIterator: 1
    };

    function place(node) {
        var start = node && node.loc ? node.loc.start : { line: 0, column: 0 };
        return { line: start.line, column: start.column };
    }

    function keyName(node) {
        if (!node) return "";
        if (node.type === "Identifier") return node.name;
        if (node.type === "StringLiteral") return node.value;
        return "";
    }

    function descriptorHasAccessor(node) {
        if (!node || node.type !== "ObjectExpression") return false;
        for (var i = 0; i < node.properties.length; i++) {
            var k = keyName(node.properties[i].key);
            if (k === "get" || k === "set") return true;
        }
        return false;
    }

    function memberName(node) {
        if (node.computed) return node.property.type === "StringLiteral" ? node.property.value : "";
        return node.property.type === "Identifier" ? node.property.name : "";
    }

    // The scan of the original code, before any plugin changes it.
    function scanPlugin(report) {
        return function () {
            function problem(node, construct, why) {
                var at = place(node);
                report.problems.push({ line: at.line, column: at.column, construct: construct, why: why });
            }
            function warn(node, construct, why, shim) {
                var at = place(node);
                report.warnings.push({ line: at.line, column: at.column, construct: construct, why: why, shim: shim || "" });
            }
            function count(feature) {
                report.counts[feature] = (report.counts[feature] || 0) + 1;
            }
            var visitor = {
                VariableDeclaration: function (path) {
                    if (path.node.kind !== "var") count("let and const");
                },
                ObjectMethod: function (path) {
                    var kind = path.node.kind;
                    if (kind === "get" || kind === "set")
                        problem(path.node, kind + "ter " + keyName(path.node.key),
                                "accessors have no ES3 form: JScript 5.7 cannot define a property that runs code when read or written");
                    else count("method shorthand");
                },
                ClassMethod: function (path) {
                    var kind = path.node.kind;
                    if (kind === "get" || kind === "set")
                        problem(path.node, "class " + kind + "ter " + keyName(path.node.key),
                                "accessors have no ES3 form: JScript 5.7 cannot define a property that runs code when read or written");
                },
                ClassPrivateMethod: function (path) {
                    if (path.node.kind === "get" || path.node.kind === "set")
                        problem(path.node, "class " + path.node.kind + "ter", "accessors have no ES3 form");
                },
                ObjectProperty: function (path) {
                    if (path.node.shorthand) count("shorthand properties");
                    if (path.node.computed) count("computed property names");
                },
                BinaryExpression: function (path) {
                    if (path.node.operator === "**") count("exponent operator");
                },
                RegExpLiteral: function (path) {
                    var flags = path.node.flags;
                    if (flags.indexOf("y") >= 0)
                        problem(path.node, "/" + path.node.pattern + "/" + flags,
                                "the sticky flag y has no ES3 form");
                    if (flags.indexOf("d") >= 0)
                        problem(path.node, "/" + path.node.pattern + "/" + flags,
                                "the indices flag d has no ES3 form");
                    if (flags.indexOf("u") >= 0 || flags.indexOf("s") >= 0) count("regular expression flags u and s");
                },
                BigIntLiteral: function (path) {
                    problem(path.node, path.node.value + "n", "BigInt needs the engine's own numbers");
                },
                NewExpression: function (path) {
                    checkRegExpCall(path);
                    checkCodeAtRunTime(path);
                },
                CallExpression: function (path) {
                    checkRegExpCall(path);
                    checkCodeAtRunTime(path);
                    var callee = path.node.callee;
                    if (callee.type === "MemberExpression" && memberName(callee) === "subarray")
                        warn(path.node, ".subarray()",
                             "under the typed-array shim subarray copies: writes through the result do not reach the original",
                             "typed-array");
                    if (callee.type !== "MemberExpression") return;
                    var object = callee.object.type === "Identifier" ? callee.object.name : "";
                    var name = memberName(callee);
                    var args = path.node.arguments;
                    if ((object === "Object" || object === "Reflect") && name === "defineProperty" && descriptorHasAccessor(args[2]))
                        problem(path.node, object + ".defineProperty with get/set",
                                "accessors have no ES3 form: JScript 5.7 cannot define a property that runs code when read or written");
                    if (object === "Object" && (name === "defineProperties" || name === "create") && args[1] &&
                        args[1].type === "ObjectExpression") {
                        for (var i = 0; i < args[1].properties.length; i++)
                            if (descriptorHasAccessor(args[1].properties[i].value)) {
                                problem(path.node, "Object." + name + " with get/set",
                                        "accessors have no ES3 form: JScript 5.7 cannot define a property that runs code when read or written");
                                break;
                            }
                    }
                    if (name === "__defineGetter__" || name === "__defineSetter__")
                        problem(path.node, name, "accessors have no ES3 form");
                    if (object === "Object" && name === "setPrototypeOf")
                        problem(path.node, "Object.setPrototypeOf",
                                "an object's prototype cannot be changed in JScript 5.7");
                },
                MemberExpression: function (path) {
                    var node = path.node;
                    if (node.object.type === "Identifier" && node.object.name === "Symbol" && nativeSymbols[memberName(node)])
                        problem(node, "Symbol." + memberName(node),
                                "a protocol the engine itself must call: a shimmed Symbol cannot make JScript 5.7 use it");
                    if (memberName(node) === "__proto__")
                        problem(node, "__proto__", "an object's prototype cannot be read or changed in JScript 5.7");
                },
                Identifier: function (path) {
                    var name = path.node.name;
                    if (!path.isReferencedIdentifier() || path.scope.hasBinding(name, true)) return;
                    if (unsupportedGlobals[name]) problem(path.node, name, unsupportedGlobals[name]);
                    // Function as a value (called through a variable): code made at run time.
                    var parent = path.parent;
                    if (name === "Function" && !(parent.type === "MemberExpression" && parent.object === path.node) &&
                        !((parent.type === "CallExpression" || parent.type === "NewExpression") && parent.callee === path.node))
                        warn(path.node, "Function",
                             "code made at run time is not converted: the old engine refuses it if it uses ES2015+ syntax");
                    else if (weakCollections[name]) problem(path.node, name, weakCollections[name]);
                },
                "ArrowFunctionExpression|ClassDeclaration|ClassExpression|TemplateLiteral|TaggedTemplateExpression|SpreadElement|RestElement|ObjectPattern|ArrayPattern|AssignmentPattern|ForOfStatement|OptionalMemberExpression|OptionalCallExpression":
                    function (path) {
                        count(converted[path.node.type]);
                    },
                Function: function (path) {
                    if (path.node.async) count("async functions");
                    if (path.node.generator) count("generators");
                }
            };
            function checkCodeAtRunTime(path) {
                var callee = path.node.callee;
                if (callee.type !== "Identifier" || path.scope.hasBinding(callee.name, true)) return;
                if (callee.name === "Function" || callee.name === "eval")
                    warn(path.node, callee.name + "(...)",
                         "code made at run time is not converted: the old engine refuses it if it uses ES2015+ syntax");
            }
            function checkRegExpCall(path) {
                var node = path.node;
                if (node.callee.type !== "Identifier" || node.callee.name !== "RegExp") return;
                var flags = node.arguments[1];
                if (flags && flags.type === "StringLiteral" && /[uysd]/.test(flags.value))
                    problem(node, "RegExp(..., \"" + flags.value + "\")",
                            "regular expression flags u, y, s and d made at run time have no ES3 form");
            }
            // The scan walks the original tree before the conversion's own walk begins (plugins'
            // Program visitors run before the presets'): preset-env's plugins would otherwise
            // rewrite what it looks for first, and a second parse would cost a third of the time.
            return { visitor: { Program: function (path) { path.traverse(visitor); } } };
        };
    }

    // Names the code reaches for: free globals and property names. Run on the converted
    // program (with Babel's helpers in it) after every other plugin.
    function usesPlugin(report) {
        return function () {
            return {
                post: function (file) {
                    var uses = report.uses;
                    file.path.traverse({
                        Identifier: function (path) {
                            var name = path.node.name;
                            if (path.isReferencedIdentifier() && !path.scope.hasBinding(name, true)) uses[name] = 1;
                        },
                        MemberExpression: function (path) {
                            var name = memberName(path.node), object = path.node.object;
                            if (!name) return;
                            uses["." + name] = 1;
                            // A built-in's own function (Math.sign) is named with its owner, so
                            // that a method of the code's own called "sign" does not count.
                            if (object.type === "Identifier" && !path.scope.hasBinding(object.name, true))
                                uses[object.name + "." + name] = 1;
                        }
                    });
                }
            };
        };
    }

    function keys(o) {
        var list = [];
        for (var k in o) if (Object.prototype.hasOwnProperty.call(o, k)) list.push(k);
        return list.sort();
    }

    return function (code) {
        var report = { counts: {}, uses: {}, problems: [], warnings: [] };
        lastCode = "";
        var result;
        try {
            result = Babel.transform(code, {
                sourceType: "script", babelrc: false, configFile: false, comments: true,
                // Loose, but not for spread: loose spread is [].concat(x), which turns a string
                // or any iterable but an array into one element ([..."ab"] would be ["ab"]).
                // Nor does it name function expressions after their keys: JScript declares a
                // named function expression's name in the enclosing scope, so `create: function
                // create() {}` would hide a `create` variable of the code's own.
                presets: [["env", { targets: { ie: "6" }, loose: true, modules: false,
                                    exclude: ["transform-spread", "transform-function-name"] }]],
                plugins: [scanPlugin(report), "transform-member-expression-literals", "transform-property-literals",
                          ["transform-spread", { loose: false }], usesPlugin(report)]
            });
        } catch (e) {
            var loc = e.loc || {};
            return JSON.stringify({ error: { line: loc.line || 0, column: loc.column || 0, message: String(e.message || e) } });
        }
        var counts = [];
        var names = keys(report.counts);
        for (var i = 0; i < names.length; i++) counts.push([names[i], report.counts[names[i]]]);
        function byPlace(a, b) { return a.line - b.line || a.column - b.column; }
        report.problems.sort(byPlace);
        report.warnings.sort(byPlace);
        lastCode = result.code;
        return JSON.stringify({ converted: counts, uses: keys(report.uses), problems: report.problems,
                                warnings: report.warnings });
    };
})();
