/* Typed arrays for an engine without them (JScript 5.7): stand-ins for the common byte-array
 * uses, in ES3. Part of Quillbox's conversion to old JavaScript.
 *
 * A typed array here is an object of its constructor (`instanceof Uint8Array` holds) with the
 * elements as numbered properties and a fixed length; its prototype inherits Array.prototype,
 * whose generic methods (join, indexOf, forEach, map ...) work on it, and adds subarray, set,
 * slice, fill, toString and BYTES_PER_ELEMENT. Each has buffer, byteOffset and byteLength.
 * Made from a length (zeros), an array or array-like (values converted to the element type),
 * or an ArrayBuffer (bytes read little-endian). Int8/16/32, Uint8/16/32, Uint8Clamped,
 * Float32 and Float64.
 *
 * Limits, by design (ES3 has no way to run code on an index write):
 * - index writes store the number as given: no wrapping, clamping, truncation or rounding to
 *   single precision (construction, set(), fill() and reads of a buffer do convert);
 * - subarray() and slice() both copy: writing through a subarray does not reach the original;
 * - views share bytes only as byte arrays over a whole buffer: a second view of another kind
 *   or range over a buffer made by `new ArrayBuffer(n)` throws a TypeError (it could not follow
 *   the first one's writes); a view of another array's buffer (`new Uint8Array(u32.buffer)`)
 *   reads that array's values when it is made and does not write back;
 * - Array.isArray is false for them, as for the real ones; for...in also lists length,
 *   buffer, byteOffset and byteLength;
 * - no DataView and no BigInt arrays.
 */
(function (global) {
    if (typeof global.Uint8Array !== "undefined" && typeof global.ArrayBuffer !== "undefined" &&
        !global.Uint8Array.quillboxShim) return;

    function toInteger(v) {
        v = +v;
        if (v !== v) return 0;
        return v < 0 ? Math.ceil(v) : Math.floor(v);
    }
    var POW32 = 4294967296;
    function wrap(v, bits, signed) {
        v = toInteger(v);
        if (v !== v || v === Infinity || v === -Infinity) return 0;
        var range = Math.pow(2, bits);
        v = v % range;
        if (v < 0) v += range;
        if (signed && v >= range / 2) v -= range;
        return v;
    }

    function ArrayBuffer(length) {
        length = toInteger(length);
        if (length < 0) throw new RangeError("Invalid array buffer length");
        var bytes = [];
        for (var i = 0; i < length; i++) bytes[i] = 0;
        this.quillboxBytes = bytes;
        this.byteLength = length;
        this.quillboxRaw = true;
    }
    // The bytes of a wider array's buffer, written from the array's values as they are now.
    function refresh(buffer) {
        var owner = buffer.quillboxOwner;
        if (owner && owner.BYTES_PER_ELEMENT > 1 && !buffer.quillboxRaw) owner.quillboxToBytes(owner, buffer.quillboxBytes);
    }
    ArrayBuffer.prototype.slice = function (begin, end) {
        refresh(this);
        var bytes = Array.prototype.slice.call(this.quillboxBytes, clampIndex(begin, this.byteLength, 0),
                                               clampIndex(end, this.byteLength, this.byteLength));
        var copy = new ArrayBuffer(0);
        copy.quillboxBytes = bytes;
        copy.byteLength = bytes.length;
        return copy;
    };
    ArrayBuffer.isView = function (v) {
        return !!(v && v.quillboxConvert);
    };
    ArrayBuffer.quillboxShim = true;

    function clampIndex(v, length, absent) {
        if (v === undefined) return absent;
        v = toInteger(v);
        if (v < 0) v = Math.max(length + v, 0);
        return Math.min(v, length);
    }

    // IEEE 754 double from 8 little-endian bytes, and back.
    function readDouble(bytes, at) {
        var lo = bytes[at] + bytes[at + 1] * 256 + bytes[at + 2] * 65536 + bytes[at + 3] * 16777216;
        var hi = bytes[at + 4] + bytes[at + 5] * 256 + bytes[at + 6] * 65536 + bytes[at + 7] * 16777216;
        var sign = hi >= 2147483648 ? -1 : 1;
        var exponent = Math.floor(hi / 1048576) % 2048;
        var mantissa = (hi % 1048576) * POW32 + lo;
        if (exponent === 2047) return mantissa ? NaN : sign * Infinity;
        if (exponent === 0) return sign * mantissa * Math.pow(2, -1074);
        return sign * (1 + mantissa / Math.pow(2, 52)) * Math.pow(2, exponent - 1023);
    }
    function writeDouble(bytes, at, v) {
        var sign = v < 0 || (v === 0 && 1 / v < 0) ? 1 : 0, hi, lo;
        v = Math.abs(v);
        if (v !== v) { hi = 0x7ff80000; lo = 0; }
        else if (v === Infinity) { hi = 0x7ff00000; lo = 0; }
        else if (v === 0) { hi = 0; lo = 0; }
        else {
            var exponent = Math.floor(Math.log(v) / Math.LN2);
            if (v / Math.pow(2, exponent) >= 2) exponent++;
            if (v / Math.pow(2, exponent) < 1) exponent--;
            var mantissa;
            if (exponent < -1022) { mantissa = v / Math.pow(2, -1074); exponent = 0; }
            else { mantissa = (v / Math.pow(2, exponent) - 1) * Math.pow(2, 52); exponent += 1023; }
            mantissa = Math.round(mantissa);
            hi = exponent * 1048576 + Math.floor(mantissa / POW32);
            lo = mantissa % POW32;
        }
        hi += sign * 2147483648;
        for (var i = 0; i < 4; i++) {
            bytes[at + i] = lo % 256; lo = Math.floor(lo / 256);
            bytes[at + 4 + i] = hi % 256; hi = Math.floor(hi / 256);
        }
    }

    // What every typed array has beyond Array.prototype's generic methods (join, indexOf,
    // forEach, map ... work on them as on any array-like).
    function ArrayLike() {}
    ArrayLike.prototype = Array.prototype;
    function typedPrototype() {
        var p = new ArrayLike();
        p.toString = function () { return Array.prototype.join.call(this, ","); };
        p.toLocaleString = p.toString;
        p.fill = function (value, begin, end) {
            var from = clampIndex(begin, this.length, 0), to = clampIndex(end, this.length, this.length);
            for (var i = from; i < to; i++) this[i] = this.quillboxConvert(value);
            return this;
        };
        return p;
    }

    // IEEE 754 single from 4 little-endian bytes, and back (rounding to nearest, ties to even).
    function roundEven(x) {
        var f = Math.floor(x), d = x - f;
        return d > 0.5 || (d === 0.5 && f % 2) ? f + 1 : f;
    }
    function readFloat(bytes, at) {
        var b = bytes[at] + bytes[at + 1] * 256 + bytes[at + 2] * 65536 + bytes[at + 3] * 16777216;
        var sign = b >= 2147483648 ? -1 : 1;
        var exponent = Math.floor(b / 8388608) % 256, mantissa = b % 8388608;
        if (exponent === 255) return mantissa ? NaN : sign * Infinity;
        if (exponent === 0) return sign * mantissa * Math.pow(2, -149);
        return sign * (1 + mantissa / 8388608) * Math.pow(2, exponent - 127);
    }
    function writeFloat(bytes, at, v) {
        var sign = v < 0 || (v === 0 && 1 / v < 0) ? 1 : 0, word;
        v = Math.abs(v);
        if (v !== v) word = 0x7fc00000;
        else if (v === Infinity) word = 0x7f800000;
        else if (v === 0) word = 0;
        else {
            var exponent = Math.floor(Math.log(v) / Math.LN2), mantissa;
            if (v / Math.pow(2, exponent) >= 2) exponent++;
            if (v / Math.pow(2, exponent) < 1) exponent--;
            if (exponent < -126) {
                mantissa = roundEven(v / Math.pow(2, -149));
                exponent = mantissa >= 8388608 ? 1 : 0;
                mantissa %= 8388608;
            } else {
                mantissa = roundEven((v / Math.pow(2, exponent) - 1) * 8388608);
                if (mantissa >= 8388608) { mantissa = 0; exponent++; }
                exponent += 127;
            }
            if (exponent >= 255) { exponent = 255; mantissa = 0; }
            word = exponent * 8388608 + mantissa;
        }
        word += sign * 2147483648;
        for (var i = 0; i < 4; i++) { bytes[at + i] = word % 256; word = Math.floor(word / 256); }
    }
    function fround(v) {
        var bytes = [];
        writeFloat(bytes, 0, +v);
        return readFloat(bytes, 0);
    }
    function clamp(v) {
        v = +v;
        if (!(v > 0)) return 0;  // and NaN
        return v > 255 ? 255 : roundEven(v);
    }

    // kind: "int" (wraps to `bits`), "clamped" (bytes, rounded and clamped), "float32", "float64"
    function define(name, size, bits, signed, kind) {
        var isFloat = kind === "float32" || kind === "float64";
        function convert(v) {
            if (kind === "int") return wrap(v, bits, signed);
            if (kind === "clamped") return clamp(v);
            return kind === "float32" ? fround(v) : +v;
        }
        function writeElement(bytes, at, v) {
            if (kind === "float32") writeFloat(bytes, at, v);
            else writeDouble(bytes, at, v);
        }
        function readElement(bytes, at) {
            return kind === "float32" ? readFloat(bytes, at) : readDouble(bytes, at);
        }
        var proto = typedPrototype();
        // An empty typed array of this kind; the constructor's own objects are made here.
        function Shell() {}
        function make(length) {
            var a = new Shell();
            for (var i = 0; i < length; i++) a[i] = 0;
            a.length = length;
            return a;
        }
        function attach(a, buffer, byteOffset) {
            a.byteOffset = byteOffset;
            a.byteLength = a.length * size;
            if (!buffer) {
                // The buffer of an array made from a length or from values: its bytes are the
                // array itself (bytes), or are written from the array whenever a view is made
                // of it (wider elements).
                buffer = new ArrayBuffer(0);
                buffer.byteLength = a.byteLength;
                buffer.quillboxRaw = false;
                buffer.quillboxOwner = a;
                buffer.quillboxBytes = size === 1 ? a : [];
            }
            a.buffer = buffer;
            return a;
        }
        function toBytes(a, bytes) {
            for (var i = 0; i < a.length; i++) {
                if (isFloat) { writeElement(bytes, i * size, a[i]); continue; }
                var v = wrap(a[i], bits, false);
                for (var b = 0; b < size; b++) {
                    bytes[i * size + b] = v % 256;
                    v = Math.floor(v / 256);
                }
            }
        }
        proto.quillboxToBytes = toBytes;
        function fromBuffer(buffer, byteOffset, length) {
            refresh(buffer);
            var bytes = buffer.quillboxBytes;
            byteOffset = byteOffset === undefined ? 0 : toInteger(byteOffset);
            if (byteOffset % size) throw new RangeError("start offset of " + name + " should be a multiple of " + size);
            if (length === undefined) {
                if ((bytes.length - byteOffset) % size) throw new RangeError("byte length of " + name + " should be a multiple of " + size);
                length = (bytes.length - byteOffset) / size;
            } else {
                length = toInteger(length);
            }
            if (byteOffset + length * size > bytes.length) throw new RangeError("Invalid typed array length");
            var whole = byteOffset === 0 && length === bytes.length / size;
            if (buffer.quillboxRaw) {
                // Views of a buffer made by `new ArrayBuffer(n)` are there to share its bytes:
                // one byte array over all of it can, anything more cannot, and says so rather
                // than give values that do not follow each other's writes.
                if (buffer.quillboxViewed) {
                    if (size === 1 && whole && buffer.quillboxOwner && buffer.quillboxOwner.quillboxConvert === convert)
                        return buffer.quillboxOwner;
                    throw new TypeError(name + " over an ArrayBuffer that another view already uses: the typed-array " +
                                        "shim cannot share bytes between views of different kinds or ranges");
                }
                buffer.quillboxViewed = true;
            }
            var a = make(length);
            for (var i = 0; i < length; i++) {
                var at = byteOffset + i * size;
                if (isFloat) { a[i] = readElement(bytes, at); continue; }
                var v = 0;
                for (var b = size - 1; b >= 0; b--) v = v * 256 + (bytes[at + b] & 255);
                a[i] = wrap(v, bits, signed);
            }
            if (buffer.quillboxRaw && size === 1 && whole) {
                buffer.quillboxBytes = a;  // the buffer's bytes are this view from now on
                buffer.quillboxOwner = a;
            }
            return attach(a, buffer, byteOffset);
        }
        function Typed(source, byteOffset, length) {
            var a, i;
            if (source && source.quillboxBytes) return fromBuffer(source, byteOffset, length);
            if (source !== null && typeof source === "object") {
                var n = toInteger(source.length);
                a = make(n);
                for (i = 0; i < n; i++) a[i] = convert(source[i]);
                return attach(a, null, 0);
            }
            var count = toInteger(source);
            if (count < 0) throw new RangeError("Invalid typed array length: " + source);
            return attach(make(count), null, 0);
        }
        proto.constructor = Typed;
        proto.BYTES_PER_ELEMENT = size;
        proto.quillboxConvert = convert;
        proto.subarray = function (begin, end) {
            return Typed(Array.prototype.slice.call(this, clampIndex(begin, this.length, 0), clampIndex(end, this.length, this.length)));
        };
        proto.slice = proto.subarray;
        proto.set = function (source, offset) {
            offset = offset === undefined ? 0 : toInteger(offset);
            var n = toInteger(source.length);
            if (offset < 0 || offset + n > this.length) throw new RangeError("offset is out of bounds");
            var values = [];
            for (var i = 0; i < n; i++) values[i] = source[i];  // source may be this array
            for (i = 0; i < n; i++) this[offset + i] = convert(values[i]);
        };
        Shell.prototype = proto;
        Typed.prototype = proto;
        Typed.BYTES_PER_ELEMENT = size;
        Typed.quillboxShim = true;
        Typed.from = function (source) { return Typed(source); };
        Typed.of = function () { return Typed(arguments); };
        global[name] = Typed;
    }

    global.ArrayBuffer = ArrayBuffer;
    define("Int8Array", 1, 8, true, "int");
    define("Uint8Array", 1, 8, false, "int");
    define("Uint8ClampedArray", 1, 8, false, "clamped");
    define("Int16Array", 2, 16, true, "int");
    define("Uint16Array", 2, 16, false, "int");
    define("Int32Array", 4, 32, true, "int");
    define("Uint32Array", 4, 32, false, "int");
    define("Float32Array", 4, 32, true, "float32");
    define("Float64Array", 8, 64, true, "float64");
})(this);
