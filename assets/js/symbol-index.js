// The symbol index: what a module defines at its top level, for go-to-definition, the symbol
// search and the parameters' tooltips. Joined after acorn (with the syntax gate).
//
//   quillboxSymbols(code)   the JSON text of [{name, kind, line, column, params}, ...]
//
// kind: "function", "object", "class", "variable" or "member" (a member of an object
// literal or one assigned as a.b = ...; its name is the dotted path). Lines count from 1,
// columns from 0 in UTF-16 units. Code acorn cannot read gives "[]".
var quillboxSymbols = (function () {
    var options = {
        ecmaVersion: 'latest', sourceType: 'script', allowHashBang: true, locations: true,
        allowReturnOutsideFunction: true, allowAwaitOutsideFunction: true
    };
    function isFunction(node) {
        return !!node && (node.type === 'FunctionExpression' || node.type === 'ArrowFunctionExpression');
    }
    function dotted(node) {
        if (node.type === 'Identifier')
            return node.name;
        if (node.type === 'ThisExpression')
            return 'this';
        if (node.type === 'MemberExpression') {
            var object = dotted(node.object);
            if (object === null)
                return null;
            if (!node.computed && node.property.type === 'Identifier')
                return object + '.' + node.property.name;
            if (node.computed && node.property.type === 'Literal' && typeof node.property.value === 'string')
                return object + '.' + node.property.value;
        }
        return null;
    }
    function keyName(property) {
        if (property.computed)
            return property.key.type === 'Literal' ? String(property.key.value) : null;
        return property.key.type === 'Identifier' ? property.key.name : String(property.key.value);
    }
    return function (code) {
        var ast;
        try {
            ast = acorn.parse(code, options);
        } catch (e) {
            return '[]';
        }
        var out = [];
        function params(fn) {
            return fn.params.map(function (p) { return code.slice(p.start, p.end); }).join(', ');
        }
        function add(name, kind, at, fn) {
            out.push({ name: name, kind: kind, line: at.loc.start.line, column: at.loc.start.column,
                       params: fn ? params(fn) : '' });
        }
        function members(prefix, object, depth) {
            if (depth > 2)
                return;
            object.properties.forEach(function (p) {
                if (p.type !== 'Property')
                    return;
                var key = keyName(p);
                if (key === null)
                    return;
                var value = p.value;
                var fn = isFunction(value) ? value : null;
                add(prefix + '.' + key, fn ? 'function' : 'member', p.key, fn);
                if (value.type === 'ObjectExpression')
                    members(prefix + '.' + key, value, depth + 1);
            });
        }
        function declare(id, init) {
            if (!id || id.type !== 'Identifier')
                return;
            if (isFunction(init))
                add(id.name, 'function', id, init);
            else if (init && init.type === 'ObjectExpression') {
                add(id.name, 'object', id, null);
                members(id.name, init, 0);
            } else if (init && init.type === 'ClassExpression')
                add(id.name, 'class', id, null);
            else
                add(id.name, 'variable', id, null);
        }
        function statement(node) {
            switch (node.type) {
            case 'FunctionDeclaration':
                add(node.id.name, 'function', node.id, node);
                break;
            case 'ClassDeclaration':
                add(node.id.name, 'class', node.id, null);
                break;
            case 'VariableDeclaration':
                node.declarations.forEach(function (d) { declare(d.id, d.init); });
                break;
            case 'ExpressionStatement':
                var e = node.expression;
                var list = e.type === 'SequenceExpression' ? e.expressions : [e];
                list.forEach(function (x) {
                    while (x && x.type === 'AssignmentExpression') {
                        var name = dotted(x.left);
                        if (name !== null && name.indexOf('this.') !== 0) {
                            if (isFunction(x.right))
                                add(name, 'function', x.left, x.right);
                            else if (x.right.type === 'ObjectExpression') {
                                add(name, x.left.type === 'Identifier' ? 'object' : 'member', x.left, null);
                                members(name, x.right, 0);
                            } else if (x.left.type !== 'Identifier')
                                add(name, 'member', x.left, null);
                        }
                        x = x.right;
                    }
                });
                break;
            }
        }
        ast.body.forEach(statement);
        return JSON.stringify(out);
    };
})();
