// The native engine's JScript profile: run at every reset, before any other code. It takes
// away what JScript 5.7 (the script control's default feature set) does not have, and puts in
// what JScript has or does its own way. Everything it defines is non-enumerable, so a for-in
// over the global object sees only what the user's code defined.
(function (global, absent) {
    var defineProperty = Object.defineProperty;
    var NativeError = Error, nativeParseInt = parseInt, nativeSplit = String.prototype.split;
    var toString = Object.prototype.toString;

    function hide(owner, name, value) {
        defineProperty(owner, name, {value: value, writable: true, enumerable: false, configurable: true});
    }
    // JScript's own errors carry the facility code 0x800A in the high word of `number`.
    function jscriptError(code, description) {
        var e = new NativeError(description);
        e.number = code - 2146828288;
        e.description = description;
        return e;
    }

    // parseInt without a radix reads a leading 0 as octal: parseInt("08") is 0.
    hide(global, 'parseInt', function parseInt(string, radix) {
        var text = String(string).replace(/^[\s\uFEFF\xA0]+/, '');
        if ((radix === undefined || Number(radix) === 0) && /^[+\-]?0[^xX]/.test(text))
            return nativeParseInt(text, 8);
        return nativeParseInt(text, radix);
    });

    // substr takes no negative start: it counts from the beginning, so 'abc'.substr(-1) is 'abc'.
    var nativeSubstr = String.prototype.substr;
    hide(String.prototype, 'substr', function substr(start, length) {
        return nativeSubstr.call(this, Number(start) < 0 ? 0 : start, length);
    });

    // getYear: the years 1900 to 1999 as two digits, every other year in full.
    hide(Date.prototype, 'getYear', function getYear() {
        var year = this.getFullYear();
        return year >= 1900 && year <= 1999 ? year - 1900 : year;
    });

    // split with a regular expression leaves out what its groups captured.
    hide(String.prototype, 'split', function split(separator, limit) {
        if (toString.call(separator) !== '[object RegExp]')
            return nativeSplit.apply(this, arguments);
        var s = String(this), out = [], max = limit === undefined ? 4294967295 : limit >>> 0;
        if (max === 0)
            return out;
        var re = new RegExp(separator.source, 'g' + (separator.ignoreCase ? 'i' : '') + (separator.multiline ? 'm' : ''));
        if (s.length === 0) {
            var whole = re.exec(s);
            return whole && whole[0].length === 0 ? out : [s];
        }
        var p = 0, q = 0, m, end;
        while (q < s.length) {
            re.lastIndex = q;
            m = re.exec(s);
            if (!m || m.index >= s.length)
                break;
            end = m.index + m[0].length;
            if (end === p || (m[0].length === 0 && m.index === p)) {
                q = m.index + 1;
                continue;
            }
            out.push(s.substring(p, m.index));
            if (out.length === max)
                return out;
            p = q = end;
        }
        out.push(s.substring(p));
        return out;
    });

    // Array methods where JScript 5.x parts from the standard (JScript Deviations from ES3):
    // unshift returns undefined; splice with only a start removes nothing; join(undefined)
    // joins with "undefined" (only a missing separator means ",").
    var ArrayProto = Array.prototype, nativeUnshift = ArrayProto.unshift, nativeSplice = ArrayProto.splice,
        nativeJoin = ArrayProto.join;
    hide(ArrayProto, 'unshift', function unshift() { nativeUnshift.apply(this, arguments); });
    hide(ArrayProto, 'splice', function splice(start, deleteCount) {
        if (arguments.length === 1)
            return nativeSplice.call(this, start, 0);
        return nativeSplice.apply(this, arguments);
    });
    hide(ArrayProto, 'join', function join(separator) {
        return nativeJoin.call(this, arguments.length === 0 ? ',' : String(separator));
    });

    // apply takes an array or an arguments object, nothing else array-like (JScript error
    // 5028).
    var nativeApply = Function.prototype.apply;
    hide(Function.prototype, 'apply', function apply(thisArg, args) {
        if (args !== undefined && args !== null) {
            var kind = toString.call(args);
            if (kind !== '[object Array]' && kind !== '[object Arguments]') {
                var e = new TypeError('需要 Array 或 arguments 对象');
                e.number = 5028 - 2146828288;
                e.description = e.message;
                throw e;
            }
        }
        return nativeApply.call(this, thisArg, args);
    });

    // Date reads no ISO 8601 text: Date.parse gives NaN and new Date(text) an invalid date.
    var NativeDate = Date;
    var isoDate = /^\s*[+\-]?\d{4,6}-\d\d(-\d\d)?([T ]\d\d:\d\d(:\d\d(\.\d+)?)?)?(Z|[+\-]\d\d:?\d\d)?\s*$/;
    var monthNames = ['Jan', 'Feb', 'Mar', 'Apr', 'May', 'Jun', 'Jul', 'Aug', 'Sep', 'Oct', 'Nov', 'Dec'];
    var dayNames = ['Sun', 'Mon', 'Tue', 'Wed', 'Thu', 'Fri', 'Sat'];
    var monthFull = ['january', 'february', 'march', 'april', 'may', 'june', 'july', 'august', 'september',
                     'october', 'november', 'december'];
    var dayFull = ['sunday', 'monday', 'tuesday', 'wednesday', 'thursday', 'friday', 'saturday'];
    // The standard time zones JScript names, in minutes east of UTC.
    var zones = {utc: 0, gmt: 0, ut: 0, est: -300, edt: -240, cst: -360, cdt: -300, mst: -420, mdt: -360,
                 pst: -480, pdt: -420};
    // The last of the names the word begins (two letters at least): "Ju" is July, "Ma" May.
    function lastNamed(names, word) {
        var found = -1;
        if (word.length >= 2)
            for (var k = 0; k < names.length; k++)
                if (names[k].substring(0, word.length) == word)
                    found = k;
        return found;
    }
    // The texts JScript writes (toString, toUTCString, toDateString) and the ones it reads, by
    // the rules of its documentation (Date.parse Method): short dates month/day/year with "/"
    // or "-"; long dates with the month's name and the day and year in any order (a two-digit
    // year from 70); text in parentheses, nested too, is a comment; commas and spaces
    // delimit; month and day names from two letters; the day's name is not checked; UTC, GMT
    // and the standard zones, with an offset; "10:", "10:11", "10:11:12"; PM after 12 is an
    // error, and so are two years or two months. NaN for anything else.
    function parseJScriptText(text) {
        var depth = 0, bare = '';
        for (var c = 0; c < text.length; c++) {
            var ch = text.charAt(c);
            if (ch == '(')
                depth++;
            else if (ch == ')')
                depth = depth > 0 ? depth - 1 : 0;
            else
                bare += depth > 0 ? '' : ch;
        }
        var tokens = bare.replace(/,/g, ' ').split(/\s+/), day = -1, month = -1, year = -1;
        var h = 0, m = 0, sec = 0, zone = null, pm = -1, numbers = [], named = false;
        for (var i = 0; i < tokens.length; i++) {
            var t = tokens[i], lower = t.toLowerCase(), found, k;
            if (t === '')
                continue;
            if ((found = /^(\d{1,2}):(\d{1,2})?(:(\d{1,2}))?$/.exec(t))) {
                h = Number(found[1]); m = found[2] ? Number(found[2]) : 0; sec = found[4] ? Number(found[4]) : 0;
            } else if ((found = /^(\d{1,2})([\/\-])(\d{1,2})\2(\d{1,4})$/.exec(t))) {
                if (month >= 0 || year >= 0)
                    return NaN;
                month = Number(found[1]) - 1; day = Number(found[3]); year = Number(found[4]);
            } else if ((found = /^([a-z]+)?([+\-])(\d\d):?(\d\d)$/.exec(lower)) && (!found[1] || found[1] == 'utc' || found[1] == 'gmt')) {
                zone = (found[2] == '-' ? -1 : 1) * (Number(found[3]) * 60 + Number(found[4]));
            } else if (zones.hasOwnProperty(lower)) {
                zone = zones[lower];
            } else if (lower == 'am' || lower == 'pm' || lower == 'a.m.' || lower == 'p.m.') {
                pm = lower.charAt(0) == 'p' ? 1 : 0;
            } else if (/^\d+$/.test(t)) {
                numbers.push(Number(t));
            } else if (/^[a-z]+\.?$/.test(lower)) {
                var word = lower.replace('.', '');
                if ((k = lastNamed(monthFull, word)) >= 0) {
                    if (month >= 0)
                        return NaN;
                    month = k;
                    named = true;
                } else if (lastNamed(dayFull, word) < 0) {
                    return NaN;
                }
            } else {
                return NaN;
            }
        }
        for (var j = 0; j < numbers.length; j++) {
            if (day < 0 && numbers[j] >= 1 && numbers[j] <= 31)
                day = numbers[j];
            else if (year < 0)
                year = numbers[j];
            else
                return NaN;
        }
        if (month < 0 || month > 11 || day < 1 || day > 31 || year < 0 || h > 24 || m > 59 || sec > 59)
            return NaN;
        if (named && year < 70)
            return NaN;
        if (pm == 1 && h > 12)
            return NaN;
        if (year < 100)
            year += 1900;
        if (pm == 1 && h < 12)
            h += 12;
        else if (pm == 0 && h == 12)
            h = 0;
        if (zone === null)
            return new NativeDate(year, month, day, h, m, sec).getTime();
        return NativeDate.UTC(year, month, day, h, m, sec) - zone * 60000;
    }
    function parseText(text) {
        text = String(text);
        // What JScript's rules do not read is NaN, not what the engine underneath would read.
        return isoDate.test(text) ? NaN : parseJScriptText(text);
    }
    // JScript's texts of a date: "Thu Jan 1 08:00:00 UTC+0800 1970", "Thu, 1 Jan 1970 00:00:00 UTC".
    function twoDigits(n) { return n < 10 ? '0' + n : String(n); }
    function zoneText(date) {
        var offset = -date.getTimezoneOffset(), sign = offset < 0 ? '-' : '+';
        offset = Math.abs(offset);
        return 'UTC' + sign + twoDigits(Math.floor(offset / 60)) + twoDigits(offset % 60);
    }
    function timeText(date) {
        return twoDigits(date.getHours()) + ':' + twoDigits(date.getMinutes()) + ':' + twoDigits(date.getSeconds());
    }
    function dateText(date) {
        return dayNames[date.getDay()] + ' ' + monthNames[date.getMonth()] + ' ' + date.getDate();
    }
    var invalid = 'NaN';
    hide(NativeDate.prototype, 'toString', function toString() {
        return isNaN(this.getTime()) ? invalid : dateText(this) + ' ' + timeText(this) + ' ' + zoneText(this) + ' ' + this.getFullYear();
    });
    hide(NativeDate.prototype, 'toDateString', function toDateString() {
        return isNaN(this.getTime()) ? invalid : dateText(this) + ' ' + this.getFullYear();
    });
    hide(NativeDate.prototype, 'toTimeString', function toTimeString() {
        return isNaN(this.getTime()) ? invalid : timeText(this) + ' ' + zoneText(this);
    });
    function utcText() {
        if (isNaN(this.getTime()))
            return invalid;
        return dayNames[this.getUTCDay()] + ', ' + this.getUTCDate() + ' ' + monthNames[this.getUTCMonth()] + ' ' +
               this.getUTCFullYear() + ' ' + twoDigits(this.getUTCHours()) + ':' + twoDigits(this.getUTCMinutes()) + ':' +
               twoDigits(this.getUTCSeconds()) + ' UTC';
    }
    hide(NativeDate.prototype, 'toUTCString', utcText);
    hide(NativeDate.prototype, 'toGMTString', utcText);
    var JScriptDate = function Date(year, month, day, hours, minutes, seconds, ms) {
        if (!(this instanceof JScriptDate))
            return String(new NativeDate());
        switch (arguments.length) {
        case 0: return new NativeDate();
        case 1: return new NativeDate(typeof year === 'string' ? parseText(year) : year);
        case 2: return new NativeDate(year, month);
        case 3: return new NativeDate(year, month, day);
        case 4: return new NativeDate(year, month, day, hours);
        case 5: return new NativeDate(year, month, day, hours, minutes);
        case 6: return new NativeDate(year, month, day, hours, minutes, seconds);
        default: return new NativeDate(year, month, day, hours, minutes, seconds, ms);
        }
    };
    JScriptDate.prototype = NativeDate.prototype;
    hide(NativeDate.prototype, 'constructor', JScriptDate);
    hide(JScriptDate, 'UTC', NativeDate.UTC);
    hide(JScriptDate, 'parse', function parse(text) { return parseText(text); });
    hide(global, 'Date', JScriptDate);

    // Error(number, description): a number first is the error's number; the description is
    // also its message. A text first is the description, as with Error(message).
    var JScriptError = function Error(number, description) {
        var numbered = typeof number === 'number';
        var text = numbered ? (description === undefined ? '' : String(description))
                            : (number === undefined ? '' : String(number));
        var e = new NativeError(text);
        e.number = numbered ? number : 0;
        e.description = text;
        return e;
    };
    JScriptError.prototype = NativeError.prototype;
    hide(NativeError.prototype, 'constructor', JScriptError);
    hide(NativeError.prototype, 'description', '');
    hide(NativeError.prototype, 'number', 0);
    hide(global, 'Error', JScriptError);

    // What only Windows has: the objects exist, and creating them fails as JScript does
    // without the component.
    hide(global, 'ActiveXObject', function ActiveXObject(progId) {
        throw jscriptError(429, 'Automation 服务器不能创建对象');
    });
    hide(global, 'GetObject', function GetObject(pathname, progId) {
        throw jscriptError(429, 'Automation 服务器不能创建对象');
    });
    hide(global, 'VBArray', function VBArray(safeArray) {
        throw jscriptError(5013, '需要 VBArray');
    });
    // Enumerator walks a collection; here an array or anything with a length.
    var Enumerator = function Enumerator(collection) {
        if (!(this instanceof Enumerator))
            return new Enumerator(collection);
        if (collection !== undefined && (collection === null || typeof collection.length !== 'number'))
            throw jscriptError(451, '对象不是一个集合');
        // Its state is out of for-in's sight, as a JScript Enumerator has no such members.
        hide(this, '_items', collection === undefined ? [] : collection);
        hide(this, '_at', 0);
    };
    hide(Enumerator.prototype, 'atEnd', function atEnd() { return this._at >= this._items.length; });
    hide(Enumerator.prototype, 'item', function item() {
        return this._at < this._items.length ? this._items[this._at] : undefined;
    });
    hide(Enumerator.prototype, 'moveFirst', function moveFirst() { this._at = 0; });
    hide(Enumerator.prototype, 'moveNext', function moveNext() {
        if (this._at < this._items.length)
            this._at++;
    });
    hide(global, 'Enumerator', Enumerator);

    hide(global, 'ScriptEngine', function ScriptEngine() { return 'JScript'; });
    hide(global, 'ScriptEngineMajorVersion', function ScriptEngineMajorVersion() { return 5; });
    hide(global, 'ScriptEngineMinorVersion', function ScriptEngineMinorVersion() { return 8; });
    hide(global, 'ScriptEngineBuildVersion', function ScriptEngineBuildVersion() { return 16385; });

    // The string methods that wrap the text in an HTML tag.
    function tag(name, attribute) {
        return function (value) {
            var open = '<' + name + (attribute ? ' ' + attribute + '="' + String(value).replace(/"/g, '&quot;') + '"' : '');
            return open + '>' + String(this) + '</' + name + '>';
        };
    }
    var tags = [['anchor', 'A', 'NAME'], ['big', 'BIG'], ['blink', 'BLINK'], ['bold', 'B'], ['fixed', 'TT'],
                ['fontcolor', 'FONT', 'COLOR'], ['fontsize', 'FONT', 'SIZE'], ['italics', 'I'], ['link', 'A', 'HREF'],
                ['small', 'SMALL'], ['strike', 'STRIKE'], ['sub', 'SUB'], ['sup', 'SUP']];
    for (var t = 0; t < tags.length; t++)
        hide(String.prototype, tags[t][0], tag(tags[t][1], tags[t][2]));

    // The statics of the last successful match (the engine keeps it on the constructor, out of
    // scripts' sight; the host hands over a reader, taken off the global object here):
    // RegExp.$1-$9, input/$_, lastMatch, lastParen, leftContext, rightContext, index and
    // lastIndex. Before any match the texts are empty and the positions -1.
    var NativeRegExp = RegExp, readLastMatch = global.__quillboxLastMatch || function () {};
    delete global.__quillboxLastMatch;
    function lastMatch() { return readLastMatch(NativeRegExp); }
    function matchStatic(name, read) {
        defineProperty(NativeRegExp, name, {
            get: function () { var m = lastMatch(); return m ? read(m) : read(null); },
            enumerable: false, configurable: true
        });
    }
    function group(n) {
        return function (m) { return m && m[n] !== undefined ? m[n] : ''; };
    }
    for (var g = 1; g <= 9; g++)
        matchStatic('$' + g, group(g));
    function input(m) { return m ? m.input : ''; }
    matchStatic('input', input);
    matchStatic('$_', input);
    matchStatic('lastMatch', group(0));
    matchStatic('lastParen', function (m) { return m && m.length > 1 && m[m.length - 1] !== undefined ? m[m.length - 1] : ''; });
    matchStatic('leftContext', function (m) { return m ? m.input.substring(0, m.index) : ''; });
    matchStatic('rightContext', function (m) { return m ? m.input.substring(m.index + m[0].length) : ''; });
    matchStatic('index', function (m) { return m ? m.index : -1; });
    matchStatic('lastIndex', function (m) { return m ? m.index + m[0].length : -1; });

    // Functions have no name: the instances get none, and none is inherited.
    delete Function.prototype.name;

    // Duktape keeps its own object (emptied by its configuration) for internal use; the
    // global name is not the user's.
    delete global.Duktape;

    // Last, take away what JScript 5.7 lacks (the generated list below).
    for (var i = 0; i < absent.length; i++) {
        var path = absent[i].split('.'), owner = global;
        for (var k = 0; k < path.length - 1 && owner; k++)
            owner = owner[path[k]];
        if (owner)
            delete owner[path[path.length - 1]];
    }
})(this,
