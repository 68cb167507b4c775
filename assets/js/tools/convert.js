// The conversion for the native engine, run in the tools context after Babel (standalone).
//
//   quillboxConvert(code[, options]) -> JSON text; options is JSON text: {"stringIndex": false}
//                                   leaves reads that may index a string as they are
//                                   (for code that reads strings with charAt itself)
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

    // ---- reads that may index a string ----
    // ES5 reads a string's characters as s[i]; JScript 5.7 strings have no index properties
    // (the read gives undefined). The code cannot say whether an object is a string, so a
    // computed read is rewritten where the object is plausibly one: a variable the code also
    // treats as text (a string-only method called on it, a typeof test for "string", a string
    // assigned to it), or a property of that name treated so anywhere in the program. Arrays
    // read in hot loops stay as they are. The rewritten read asks __qbIndex (the string-index
    // shim) only when the object is a string:
    //     (typeof s === "string" ? __qbIndex(s, i) : s[i])
    // or, when the object or the key has side effects, __qbIndex(o, k) alone.
    var indexHelper = "__qbIndex";
    var stringMethods = {
        charAt: 1, charCodeAt: 1, codePointAt: 1, substr: 1, substring: 1, toLowerCase: 1, toUpperCase: 1,
        toLocaleLowerCase: 1, toLocaleUpperCase: 1, trim: 1, trimLeft: 1, trimRight: 1, trimStart: 1, trimEnd: 1,
        split: 1, replace: 1, replaceAll: 1, match: 1, matchAll: 1, search: 1, normalize: 1, localeCompare: 1,
        padStart: 1, padEnd: 1, startsWith: 1, endsWith: 1, repeat: 1
    };
    // Calls whose result is a string.
    var stringResults = {
        toString: 1, join: 1, charAt: 1, substr: 1, substring: 1, toLowerCase: 1, toUpperCase: 1, trim: 1,
        replace: 1, fromCharCode: 1, fromCodePoint: 1, stringify: 1, toFixed: 1, repeat: 1, padStart: 1, padEnd: 1
    };

    function isStringValue(node) {
        if (!node) return false;
        switch (node.type) {
        case "StringLiteral": case "TemplateLiteral": return true;
        case "BinaryExpression": return node.operator === "+" && (isStringValue(node.left) || isStringValue(node.right));
        case "ConditionalExpression": return isStringValue(node.consequent) || isStringValue(node.alternate);
        case "CallExpression":
            if (node.callee.type === "Identifier") return node.callee.name === "String";
            return node.callee.type === "MemberExpression" && stringResults[memberName(node.callee)] === 1;
        default: return false;
        }
    }

    // Whether an expression may be evaluated twice: no calls, assignments or updates in it.
    function isPure(node) {
        switch (node.type) {
        case "Identifier": case "ThisExpression": case "NumericLiteral": case "StringLiteral": return true;
        case "MemberExpression": return isPure(node.object) && (!node.computed || isPure(node.property));
        case "BinaryExpression": return isPure(node.left) && isPure(node.right);
        case "UnaryExpression": return node.operator !== "delete" && isPure(node.argument);
        default: return false;
        }
    }

    // What a use of `path` (an identifier or a member read) says about its value.
    function usedAsString(path) {
        var parent = path.parent;
        if (parent.type === "MemberExpression" && parent.object === path.node && !parent.computed &&
            stringMethods[memberName(parent)] === 1 && path.parentPath.parent.type === "CallExpression" &&
            path.parentPath.parent.callee === parent)
            return true;
        if (parent.type === "UnaryExpression" && parent.operator === "typeof") {
            var test = path.parentPath.parent;
            if (test.type === "SwitchStatement" && test.discriminant === parent)
                return test.cases.some(function (c) { return c.test && c.test.type === "StringLiteral" && c.test.value === "string"; });
            return test.type === "BinaryExpression" && /^[=!]==?$/.test(test.operator) &&
                   ((test.left.type === "StringLiteral" && test.left.value === "string") ||
                    (test.right.type === "StringLiteral" && test.right.value === "string"));
        }
        if (parent.type === "AssignmentExpression" && parent.left === path.node)
            return isStringValue(parent.right) || (parent.operator === "+=" && isStringValue(parent.right));
        return false;
    }

    function stringIndexPass(report, program, warn) {
        var t = Babel.packages.types;
        var reads = [], doubtful = [], stringProperties = {}, verdicts = new Map();
        program.traverse({
            MemberExpression: function (path) {
                var node = path.node;
                if (!node.computed) {
                    if (usedAsString(path)) stringProperties[memberName(node)] = 1;
                    return;
                }
                if (node.property.type === "StringLiteral") return;
                var parent = path.parent;
                if ((parent.type === "AssignmentExpression" && parent.left === node) ||
                    parent.type === "UpdateExpression" || (parent.type === "ForInStatement" && parent.left === node)) {
                    // A write to a string's character does nothing in either engine; a
                    // compound one reads it first.
                    if (parent.type === "UpdateExpression" || (parent.type === "AssignmentExpression" && parent.operator !== "="))
                        doubtful.push({ path: path, why: "s[i] written with an operator that reads it first, where s may be a string: JScript 5.7 strings have no index properties" });
                    return;
                }
                // A call of a string's character fails in either engine; delete of one too.
                if ((parent.type === "CallExpression" || parent.type === "NewExpression") && parent.callee === node) return;
                if (parent.type === "UnaryExpression" && parent.operator === "delete") return;
                if (t.isPattern(parent) || (parent.type === "RestElement")) return;
                reads.push(path);
            },
            ObjectProperty: function (path) {
                if (!path.node.computed && isStringValue(path.node.value)) stringProperties[keyName(path.node.key)] = 1;
            },
            ForInStatement: function (path) {
                // ES5 enumerates a string's indexes; JScript 5.7 enumerates nothing.
                var right = path.get("right");
                if (right.isIdentifier() || right.isMemberExpression())
                    doubtful.push({ path: right, why: "for-in over what may be a string: ES5 enumerates its indexes, JScript 5.7 nothing" });
            }
        });
        // A parameter that a call of its function (by its name) passes text to.
        function stringArgument(binding) {
            var fn = binding.path.parentPath, index = fn && fn.isFunction() ? fn.node.params.indexOf(binding.path.node) : -1;
            if (index < 0) return false;
            var named = null;
            if (fn.isFunctionDeclaration() && fn.node.id) named = fn.parentPath.scope.getBinding(fn.node.id.name);
            else if (fn.parentPath.isVariableDeclarator() && fn.parent.id.type === "Identifier")
                named = fn.parentPath.scope.getBinding(fn.parent.id.name);
            if (!named) return false;
            for (var i = 0; i < named.referencePaths.length; i++) {
                var ref = named.referencePaths[i], call = ref.parent;
                if (call.type !== "CallExpression" || call.callee !== ref.node) continue;
                var arg = call.arguments[index], argBinding;
                if (arg && (isStringValue(arg) || (arg.type === "Identifier" && (argBinding = ref.scope.getBinding(arg.name)) &&
                                                   stringBinding(argBinding))))
                    return true;
            }
            return false;
        }
        function stringBinding(binding) {
            if (verdicts.has(binding)) return verdicts.get(binding);
            verdicts.set(binding, false);  // while it is looked into (calls may lead back to it)
            var stringy = false;
            if (binding.path.isVariableDeclarator() && isStringValue(binding.path.node.init)) stringy = true;
            for (var i = 0; !stringy && i < binding.referencePaths.length; i++)
                stringy = usedAsString(binding.referencePaths[i]);
            for (var j = 0; !stringy && j < binding.constantViolations.length; j++) {
                var v = binding.constantViolations[j].node;
                stringy = v.type === "AssignmentExpression" && isStringValue(v.right);
            }
            if (!stringy && binding.kind === "param") stringy = stringArgument(binding);
            verdicts.set(binding, stringy);
            return stringy;
        }
        function mayBeString(path, whole) {
            var object = whole ? path.node : path.node.object;
            if (object.type === "Identifier") {
                var binding = path.scope.getBinding(object.name);
                return !!binding && stringBinding(binding);
            }
            if (object.type === "MemberExpression" && !object.computed) return stringProperties[memberName(object)] === 1;
            return false;
        }
        for (var d = 0; d < doubtful.length; d++) {
            var at = doubtful[d].path;
            if (mayBeString(at, at.parent.type === "ForInStatement"))
                warn(at.node, "may index a string", doubtful[d].why, "");
        }
        // Innermost first: an outer read then takes the inner one's rewritten form along.
        for (var r = reads.length - 1; r >= 0; r--) {
            var path = reads[r];
            if (!mayBeString(path)) continue;
            var node = path.node, call;
            if (isPure(node.object) && isPure(node.property)) {
                call = t.callExpression(t.identifier(indexHelper), [t.cloneNode(node.object, true), t.cloneNode(node.property, true)]);
                path.replaceWith(t.conditionalExpression(
                    t.binaryExpression("===", t.unaryExpression("typeof", t.cloneNode(node.object, true)), t.stringLiteral("string")),
                    call, t.memberExpression(node.object, node.property, true)));
            } else {
                path.replaceWith(t.callExpression(t.identifier(indexHelper), [node.object, node.property]));
            }
            report.counts["string indexing"] = (report.counts["string indexing"] || 0) + 1;
        }
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
            return { visitor: { Program: function (path) {
                path.traverse(visitor);
                if (report.stringIndex) stringIndexPass(report, path, warn);
            } } };
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

    return function (code, options) {
        var report = { counts: {}, uses: {}, problems: [], warnings: [], stringIndex: true };
        if (options && JSON.parse(options).stringIndex === false) report.stringIndex = false;
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
