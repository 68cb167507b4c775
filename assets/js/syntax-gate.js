// The syntax gate: tells whether code uses syntax that the target engine's language lacks.
// Joined after syntax-data.js (QB_SYNTAX_DATA, made from @mdn/browser-compat-data) and acorn.
//
//   quillboxSyntaxGate(code, level)   level "chakra" (ChakraCore 1.11) or "jscript" (JScript 5.7)
//
// returns "" when the code passes, else the JSON text of {kind, line, column, feature, text,
// es}: kind "refused" names the first feature the engine lacks (by position); kind "syntax" is
// an error in any version of the language, with acorn's message. Lines count from 1,
// columns from 0 in UTF-16 units.
var quillboxSyntaxGate = (function () {
    var features = {};
    for (var i = 0; i < QB_SYNTAX_DATA.length; i++)
        features[QB_SYNTAX_DATA[i].id] = QB_SYNTAX_DATA[i];

    // JScript's reserved words (Microsoft's JScript reference): they cannot name a property
    // after a dot or in an object literal.
    var jscriptReserved = Object.create(null);
    ('break case catch class const continue debugger default delete do else enum export extends false ' +
     'finally for function if import in instanceof new null return super switch this throw true try ' +
     'typeof var void while with').split(' ').forEach(function (w) { jscriptReserved[w] = true; });

    function accepted(id, level) {
        var f = features[id];
        return level === 'jscript' ? f.jscript : f.chakra;
    }

    // Source text between two offsets with comments removed (for commas the tree does not keep).
    function stripComments(text) {
        return text.replace(/\/\*[\s\S]*?\*\//g, '').replace(/\/\/[^\n\r\u2028\u2029]*/g, '');
    }

    // Features inside a regular expression's pattern, with their offsets in the pattern.
    function regexpFeatures(pattern, flags, report) {
        var unicode = flags.indexOf('u') >= 0 || flags.indexOf('v') >= 0;
        var inClass = false;
        var groupNames = {};
        for (var i = 0; i < pattern.length; i++) {
            var c = pattern.charAt(i);
            if (c === '\\') {
                var next = pattern.charAt(i + 1);
                if (unicode && (next === 'p' || next === 'P') && pattern.charAt(i + 2) === '{')
                    report('regexp_property_escape', i);
                else if (next === 'k' && pattern.charAt(i + 2) === '<' && !inClass)
                    report('regexp_named_backreference', i);
                i++;
            } else if (inClass) {
                if (c === ']')
                    inClass = false;
            } else if (c === '[') {
                inClass = true;
            } else if (c === '(' && pattern.charAt(i + 1) === '?') {
                var kind = pattern.charAt(i + 2);
                if (kind === '<') {
                    var after = pattern.charAt(i + 3);
                    if (after === '=' || after === '!') {
                        report('regexp_lookbehind', i);
                    } else {
                        var end = pattern.indexOf('>', i + 3);
                        var name = pattern.slice(i + 3, end);
                        if (groupNames[name])
                            report('regexp_duplicate_named_group', i);
                        groupNames[name] = true;
                        report('regexp_named_group', i);
                    }
                } else if (/[imsx-]/.test(kind)) {
                    report('regexp_modifier', i);
                }
            }
        }
    }

    var flagFeatures = { y: 'regexp_sticky', u: 'regexp_unicode', s: 'regexp_dot_all', d: 'regexp_has_indices', v: 'regexp_unicode_sets' };

    function isFunction(node) {
        return node.type === 'FunctionDeclaration' || node.type === 'FunctionExpression' ||
            node.type === 'ArrowFunctionExpression';
    }

    // Walks the tree and calls found(id, offset) for every feature above ES3 it meets.
    function scan(code, ast, found) {
        function propertyName(key, computed) {
            if (!computed && key.type === 'Identifier' && jscriptReserved[key.name])
                found('reserved_property', key.start);
        }
        function params(fn) {
            for (var i = 0; i < fn.params.length; i++) {
                var p = fn.params[i];
                if (p.type === 'AssignmentPattern')
                    found('default_parameter', p.start);
                if (p.type === 'RestElement') {
                    found('rest_parameter', p.start);
                    if (p.argument.type !== 'Identifier')
                        found('rest_parameter_destructuring', p.start);
                }
            }
            if (fn.params.length) {
                var last = fn.params[fn.params.length - 1];
                var between = stripComments(code.slice(last.end, fn.body.start));
                var close = between.indexOf(')');
                if (close >= 0 && between.slice(0, close).indexOf(',') >= 0)
                    found('function_trailing_comma', last.end);
            }
        }
        function visit(node, inAsync, inFunction) {
            if (!node || typeof node.type !== 'string')
                return;
            var at = node.start;
            switch (node.type) {
            case 'VariableDeclaration':
                if (node.kind === 'let' || node.kind === 'const')
                    found(node.kind, at);
                break;
            case 'ArrowFunctionExpression':
                found('arrow_function', at);
                break;
            case 'ClassDeclaration':
            case 'ClassExpression':
                found('class', at);
                break;
            case 'PropertyDefinition':
                found(node.static ? 'static_class_field' : 'class_field', at);
                break;
            case 'StaticBlock':
                found('static_block', at);
                break;
            case 'PrivateIdentifier':
                found('private_member', at);
                break;
            case 'TemplateLiteral':
                found('template_literal', at);
                for (var q = 0; q < node.quasis.length; q++)
                    if (node.quasis[q].value.cooked === null)
                        found('template_literal_revision', node.quasis[q].start);
                break;
            case 'ObjectPattern':
                found('destructuring', at);
                for (var r = 0; r < node.properties.length; r++)
                    if (node.properties[r].type === 'RestElement')
                        found('object_rest', node.properties[r].start);
                break;
            case 'ArrayPattern':
                found('destructuring', at);
                break;
            case 'SpreadElement':
                found('spread', at);
                break;
            case 'ObjectExpression':
                for (var s = 0; s < node.properties.length; s++)
                    if (node.properties[s].type === 'SpreadElement')
                        found('object_spread', node.properties[s].start);
                if (node.properties.length) {
                    var lastProperty = node.properties[node.properties.length - 1];
                    if (stripComments(code.slice(lastProperty.end, node.end - 1)).indexOf(',') >= 0)
                        found('object_trailing_comma', lastProperty.end);
                }
                break;
            case 'Property':
                if (node.kind === 'get' || node.kind === 'set')
                    found('getter_setter', at);
                if (node.shorthand)
                    found('shorthand_property', at);
                if (node.method)
                    found('method_definition', at);
                if (node.computed)
                    found('computed_property', node.key.start);
                propertyName(node.key, node.computed);
                break;
            case 'MethodDefinition':
                if (node.computed)
                    found('computed_property', node.key.start);
                break;
            case 'MemberExpression':
                propertyName(node.property, node.computed);
                if (node.optional)
                    found('optional_chaining', node.object.end);
                break;
            case 'CallExpression':
            case 'NewExpression':
                if (node.optional)
                    found('optional_chaining', node.callee.end);
                if (node.arguments.length) {
                    var lastArgument = node.arguments[node.arguments.length - 1];
                    if (stripComments(code.slice(lastArgument.end, node.end - 1)).indexOf(',') >= 0)
                        found('function_trailing_comma', lastArgument.end);
                }
                break;
            case 'ForOfStatement':
                found(node.await ? 'for_await_of' : 'for_of', at);
                if (node.await && !inAsync)
                    found('top_level_await', at);
                break;
            case 'BinaryExpression':
                if (node.operator === '**')
                    found('exponentiation', node.left.end);
                if (node.operator === 'in' && node.left.type === 'PrivateIdentifier')
                    found('private_in', at);
                break;
            case 'LogicalExpression':
                if (node.operator === '??')
                    found('nullish_coalescing', node.left.end);
                break;
            case 'AssignmentExpression':
                var assignment = { '**=': 'exponentiation_assignment', '||=': 'logical_or_assignment',
                    '&&=': 'logical_and_assignment', '??=': 'nullish_assignment' }[node.operator];
                if (assignment)
                    found(assignment, node.left.end);
                break;
            case 'AwaitExpression':
                found('await', at);
                if (!inAsync)
                    found('top_level_await', at);
                break;
            case 'CatchClause':
                if (!node.param)
                    found('optional_catch_binding', at);
                break;
            case 'MetaProperty':
                if (node.meta.name === 'new')
                    found('new_target', at);
                break;
            case 'ImportExpression':
                found('dynamic_import', at);
                break;
            case 'Literal':
                literal(node);
                break;
            }
            if (isFunction(node)) {
                if (node.async && node.generator)
                    found('async_generator', at);
                else if (node.async)
                    found('async_function', at);
                else if (node.generator)
                    found('generator', at);
                params(node);
                inAsync = node.async;
                inFunction = true;
            }
            for (var key in node) {
                if (key === 'type' || key === 'loc' || key === 'start' || key === 'end' || key === 'regex')
                    continue;
                var child = node[key];
                if (child && typeof child === 'object') {
                    if (child.length !== undefined) {
                        for (var c = 0; c < child.length; c++)
                            visit(child[c], inAsync, inFunction);
                    } else {
                        visit(child, inAsync, inFunction);
                    }
                }
            }
        }
        function literal(node) {
            var raw = node.raw;
            if (node.regex) {
                var flags = node.regex.flags;
                for (var f = 0; f < flags.length; f++)
                    if (flagFeatures[flags.charAt(f)])
                        found(flagFeatures[flags.charAt(f)], node.end - flags.length + f);
                regexpFeatures(node.regex.pattern, flags, function (id, offset) { found(id, node.start + 1 + offset); });
            } else if (node.bigint !== undefined) {
                found('bigint_literal', node.start);
            } else if (typeof node.value === 'number') {
                if (/^0[bB]/.test(raw)) found('binary_literal', node.start);
                if (/^0[oO]/.test(raw)) found('octal_literal', node.start);
                if (raw.indexOf('_') >= 0) found('numeric_separator', node.start + raw.indexOf('_'));
            } else if (typeof node.value === 'string') {
                var brace = raw.indexOf('\\u{');
                if (brace >= 0) found('unicode_point_escape', node.start + brace);
                var separator = raw.search(/[\u2028\u2029]/);
                if (separator >= 0) found('json_superset', node.start + separator);
            }
        }
        if (/^#!/.test(code))
            found('hashbang', 0);
        visit(ast, false, false);
    }

    var acornOptions = {
        ecmaVersion: 'latest', sourceType: 'script', allowHashBang: true,
        allowAwaitOutsideFunction: true
    };

    // Every feature of the table came with ES5 or later, so code that acorn reads as ES3
    // (reserved words never as names) uses none of them: for JScript one parse, no walk.
    var es3Options = { ecmaVersion: 3, sourceType: 'script', allowReserved: 'never' };

    return function (code, level) {
        if (level === 'jscript') {
            try {
                acorn.parse(code, es3Options);
                return '';
            } catch (e) {
                // something later (or wrong): the full parse below names it
            }
        }
        var ast;
        try {
            ast = acorn.parse(code, acornOptions);
        } catch (e) {
            if (!(e instanceof SyntaxError) || !e.loc)
                throw e;
            return JSON.stringify({ kind: 'syntax', line: e.loc.line, column: e.loc.column,
                text: e.message.replace(/ \(\d+:\d+\)$/, '') });
        }
        var first = null;
        scan(code, ast, function (id, offset) {
            if (accepted(id, level) || (first && first.offset <= offset))
                return;
            first = { id: id, offset: offset };
        });
        if (!first)
            return '';
        var position = acorn.getLineInfo(code, first.offset);
        var feature = features[first.id];
        return JSON.stringify({ kind: 'refused', line: position.line, column: position.column,
            feature: first.id, text: feature.text, es: feature.es });
    };
})();
