// Where a built-in of the compatibility table lives in a context: qbBuiltinHolder(global,
// ["Array", "flat"]) gives {object: Array.prototype, key: "flat"}, or null when the context
// has no such property. A member is looked up on its constructor's prototype first, then on
// the constructor; "@@iterator" is Symbol.iterator; the table's short names for the legacy
// accessors are their real ones; intrinsics without a global name are reached from syntax.
function qbBuiltinHolder(global, path) {
    var hasOwn = Object.prototype.hasOwnProperty;
    var aliases = { defineGetter: '__defineGetter__', defineSetter: '__defineSetter__',
        lookupGetter: '__lookupGetter__', lookupSetter: '__lookupSetter__', proto: '__proto__', n: '$1' };
    var intrinsics = {
        TypedArray: function () { return Object.getPrototypeOf(Int8Array); },
        AsyncFunction: function () { return Object.getPrototypeOf(new Function('return async function () {}')()).constructor; },
        GeneratorFunction: function () { return Object.getPrototypeOf(new Function('return function* () {}')()).constructor; },
        Generator: function () { return Object.getPrototypeOf(new Function('return function* () {}')()); },
        Iterator: function () { return { prototype: Object.getPrototypeOf(Object.getPrototypeOf([][Symbol.iterator]())) }; }
    };
    var object;
    var global_ = hasOwn.call(global, path[0]);
    try {
        object = global_ ? global[path[0]] : hasOwn.call(intrinsics, path[0]) ? intrinsics[path[0]]() : undefined;
    } catch (e) {
        return null;
    }
    if (path.length === 1) {
        if (global_)
            return { object: global, key: path[0] };
        return object ? { object: null, key: path[0] } : null;  // exists, but not as a global
    }
    for (var i = 1; i < path.length - 1; i++) {
        if (object === undefined || object === null)
            return null;
        object = object[path[i]];
    }
    if (object === undefined || object === null)
        return null;
    var name = path[path.length - 1];
    var key = name.slice(0, 2) === '@@' ? Symbol[name.slice(2)] : hasOwn.call(aliases, name) ? aliases[name] : name;
    if (key === undefined)
        return null;
    if (object.prototype && hasOwn.call(object.prototype, key))
        return { object: object.prototype, key: key };
    return hasOwn.call(object, key) ? { object: object, key: key } : null;
}
