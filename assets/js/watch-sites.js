// Watch points: the eval calls of a module, marked so that the watch log sees what each is
// given (watch.js). Joined after acorn (with the syntax gate).
//
//   quillboxWatchSites(code)  the code with the first argument of every eval call, direct
//                             (`eval(x)`) or not (`window.eval(x)`, `(0, eval)(x)`,
//                             `o["eval"](x)`), passed through QUILLBOX_WATCH_EVAL(...);
//                             "" when there is none, or acorn cannot read the code.
//
// Only text is inserted, inside the lines it is on: line numbers stay as written, and a direct
// call stays direct (its callee is untouched), so the evaluated code still sees the caller's
// variables.
var quillboxWatchSites = (function () {
    var options = {
        ecmaVersion: 'latest', sourceType: 'script', allowHashBang: true,
        allowReturnOutsideFunction: true, allowAwaitOutsideFunction: true
    };
    function callsEval(callee) {
        switch (callee.type) {
        case 'Identifier':
            return callee.name === 'eval';
        case 'MemberExpression':
            return callee.computed ? callee.property.type === 'Literal' && callee.property.value === 'eval'
                                   : callee.property.name === 'eval';
        case 'SequenceExpression':
            return callsEval(callee.expressions[callee.expressions.length - 1]);
        }
        return false;
    }
    function walk(node, found) {
        if (node.type === 'CallExpression' && node.arguments.length && node.arguments[0].type !== 'SpreadElement' &&
            callsEval(node.callee))
            found.push(node.arguments[0]);
        for (var key in node) {
            var value = node[key];
            if (!value || typeof value !== 'object' || key === 'loc')
                continue;
            if (Array.isArray(value)) {
                for (var i = 0; i < value.length; i++)
                    if (value[i] && typeof value[i].type === 'string')
                        walk(value[i], found);
            } else if (typeof value.type === 'string') {
                walk(value, found);
            }
        }
    }
    return function (code) {
        if (code.indexOf('eval') < 0)
            return '';
        var ast;
        try {
            ast = acorn.parse(code, options);
        } catch (e) {
            return '';
        }
        var sites = [];
        walk(ast, sites);
        if (!sites.length)
            return '';
        // Insertions from the end, so earlier offsets hold; at one offset a closing
        // parenthesis (an inner argument's end) goes before an opening one.
        var edits = [];
        sites.forEach(function (argument) {
            edits.push({at: argument.start, text: 'QUILLBOX_WATCH_EVAL(', order: 1});
            edits.push({at: argument.end, text: ')', order: 0});
        });
        edits.sort(function (a, b) { return b.at - a.at || b.order - a.order; });
        var out = code;
        edits.forEach(function (edit) { out = out.slice(0, edit.at) + edit.text + out.slice(edit.at); });
        return out;
    };
})();
