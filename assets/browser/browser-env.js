// 浏览器环境: window, document, navigator, location, storage, timers and the rest of what
// site code expects of a browser, filled from a browser profile (the JSON the capture page
// collects). Plain ES3, so it loads in the native engine as well as in ChakraCore.
//
// Where the engine has accessors (ChakraCore) document.cookie, location's parts and
// storage's length behave as in a browser at once. The native engine has none: there a
// write to document.cookie or to a part of location is taken in at the next call into this
// environment, at QUILLBOX_BROWSER.settle() and after every evaluation.
//
// The functions defined here say "function name() { [native code] }" when asked for their
// text, as a browser's own do. QUILLBOX_BROWSER is the host's handle: settle, runTimers,
// accessLog.
(function (global, profile, options) {
    var hasOwn = Object.prototype.hasOwnProperty;
    var objectToString = Object.prototype.toString;
    var functionToString = Function.prototype.toString;
    var nativeRandom = Math.random;
    var realConsole = global.console;
    profile = profile || {};
    options = options || {};
    // The host turns the access log on for a load (QUILLBOX.browserLog, before the modules).
    var hostLog = typeof QUILLBOX == 'object' && QUILLBOX && QUILLBOX.browserLog;
    if (hostLog) {
        options.logAccess = true;
        options.watch = hostLog.watch;
    }

    function own(o, k) { return o !== null && o !== undefined && hasOwn.call(o, k); }
    function part(name) { return own(profile, name) && profile[name] && typeof profile[name] == 'object' ? profile[name] : {}; }
    function pick(o, k, fallback) { return own(o, k) ? o[k] : fallback; }
    function indexIn(list, item) {
        for (var i = 0; i < list.length; i++)
            if (list[i] === item)
                return i;
        return -1;
    }
    function copyArray(list) {
        var out = [];
        for (var i = 0; list && i < list.length; i++)
            out.push(list[i]);
        return out;
    }
    function trim(s) { return String(s).replace(/^[\s\xA0\uFEFF]+|[\s\xA0\uFEFF]+$/g, ''); }
    function inherit(proto) {
        function F() {}
        F.prototype = proto;
        return new F();
    }

    // Accessors where the engine has them (ChakraCore); none in the native engine.
    var accessors = (function () {
        try {
            var o = {};
            Object.defineProperty(o, 'x', {get: function () { return 1; }, configurable: true});
            return o.x === 1;
        } catch (e) {
            return false;
        }
    })();
    var weakMaps = typeof WeakMap == 'function';
    var tagSymbol = typeof Symbol == 'function' && typeof Symbol.toStringTag == 'symbol' ? Symbol.toStringTag : null;

    // ---- functions that look built in --------------------------------------------------
    var nativeTexts = weakMaps ? new WeakMap() : null;
    var nativeFns = [], nativeNames = [];
    function native(fn, name) {
        if (nativeTexts)
            nativeTexts.set(fn, name);
        else {
            nativeFns.push(fn);
            nativeNames.push(name);
        }
        return fn;
    }
    function nativeName(fn) {
        if (nativeTexts)
            return nativeTexts.has(fn) ? nativeTexts.get(fn) : null;
        var i = indexIn(nativeFns, fn);
        return i < 0 ? null : nativeNames[i];
    }
    var toStringReplacement = native(function toString() {
        var name = nativeName(this);
        if (name !== null)
            return 'function ' + name + '() { [native code] }';
        return functionToString.call(this);
    }, 'toString');
    setHidden(Function.prototype, 'toString', toStringReplacement);

    function setHidden(owner, name, value) {
        if (accessors)
            Object.defineProperty(owner, name, {value: value, writable: true, enumerable: false, configurable: true});
        else
            owner[name] = value;
    }
    // A read-only property as a browser has it: an accessor on the prototype where the engine
    // has them, a plain value otherwise.
    function readOnly(owner, name, value) {
        if (accessors)
            Object.defineProperty(owner, name, {get: native(function () { return value; }, 'get ' + name),
                                                enumerable: true, configurable: true});
        else
            owner[name] = value;
    }
    function accessor(owner, name, get, set) {
        if (!accessors)
            return false;
        var d = {get: native(get, 'get ' + name), enumerable: true, configurable: true};
        if (set)
            d.set = native(set, 'set ' + name);
        Object.defineProperty(owner, name, d);
        return true;
    }
    // A method: enumerable, as a browser's interfaces have them.
    function method(owner, name, fn) {
        native(fn, name);
        owner[name] = fn;
        return fn;
    }
    function tag(proto, name) {
        if (tagSymbol)
            Object.defineProperty(proto, tagSymbol, {value: name, configurable: true});
    }
    // A constructor the page may not call itself (new Navigator() fails as in a browser).
    function interfaceOf(name, parent) {
        var ctor = native(function () { throw new TypeError('Illegal constructor'); }, name);
        // Without a parent the function's own prototype serves: its constructor is hidden in
        // every engine. With one, the native engine cannot hide it.
        if (parent) {
            ctor.prototype = inherit(parent.prototype);
            setHidden(ctor.prototype, 'constructor', ctor);
        }
        tag(ctor.prototype, name);
        global[name] = ctor;
        return ctor;
    }
    function instance(ctor) { return inherit(ctor.prototype); }
    function requireArgs(args, count, fn, on) {
        if (args.length < count)
            throw new TypeError("Failed to execute '" + fn + "' on '" + on + "': " + count + ' argument' +
                                (count > 1 ? 's' : '') + ' required, but only ' + args.length + ' present.');
    }

    // ---- errors ---------------------------------------------------------------------------
    var domCodes = {IndexSizeError: 1, HierarchyRequestError: 3, WrongDocumentError: 4, InvalidCharacterError: 5,
                    NotFoundError: 8, NotSupportedError: 9, InvalidStateError: 11, SyntaxError: 12,
                    InvalidAccessError: 15, SecurityError: 18, NetworkError: 19, AbortError: 20,
                    QuotaExceededError: 22, TimeoutError: 23, DataCloneError: 25};
    var DOMException = native(function DOMException(message, name) {
        this.message = message === undefined ? '' : String(message);
        this.name = name === undefined ? 'Error' : String(name);
        this.code = own(domCodes, this.name) ? domCodes[this.name] : 0;
    }, 'DOMException');
    DOMException.prototype = inherit(Error.prototype);
    setHidden(DOMException.prototype, 'constructor', DOMException);
    method(DOMException.prototype, 'toString', function toString() { return this.name + ': ' + this.message; });
    tag(DOMException.prototype, 'DOMException');
    global.DOMException = DOMException;
    function domError(name, message) { return new DOMException(message, name); }

    // ---- the access log (engines with Proxy) ----------------------------------------------
    var logging = !!options.logAccess && typeof Proxy == 'function' && weakMaps;
    var logRows = [], logIndex = {}, proxies = logging ? new WeakMap() : null, targets = logging ? new WeakMap() : null;
    var envSource = options.sourceName || '';
    function describe(v) {
        var t = typeof v;
        if (t == 'undefined')
            return 'undefined';
        if (v === null)
            return 'null';
        if (t == 'string') {
            var s = v.length > 60 ? v.substring(0, 57) + '...' : v;
            return '"' + s.replace(/\\/g, '\\\\').replace(/"/g, '\\"').replace(/\n/g, '\\n').replace(/\r/g, '\\r').replace(/\t/g, '\\t') + '"';
        }
        if (t == 'function')
            return 'function ' + (nativeName(v) || v.name || '');
        if (t == 'object')
            return objectToString.call(v);
        return String(v);
    }
    // Where the read came from: the first frame outside this module, "module:line".
    function whereFrom() {
        var stack = String(new Error().stack || '').split('\n');
        for (var i = 0; i < stack.length; i++) {
            var m = /@(.*):(\d+):\d+$/.exec(stack[i]) || /\((.*):(\d+):\d+\)$/.exec(stack[i]);
            // The module runs under its own name, or its page's ("project_name.js").
            if (!m || m[1] == '[native code]' ||
                (envSource && (m[1] == envSource || m[1].slice(-envSource.length - 4) == '_' + envSource + '.js')))
                continue;
            return m[1] + ':' + m[2];
        }
        return '';
    }
    function record(path, name, value) {
        if (typeof name != 'string')
            return;
        var key = path + '\u0000' + name;
        var row = own(logIndex, key) ? logIndex[key] : null;
        if (row) {
            row.count++;
            return;
        }
        logIndex[key] = row = {path: path, name: name, value: describe(value), count: 1, where: whereFrom()};
        logRows.push(row);
    }
    function raw(o) { return logging && o && typeof o == 'object' && targets.has(o) ? targets.get(o) : o; }
    function watched(target, path) {
        if (!logging || !target || (typeof target != 'object'))
            return target;
        if (proxies.has(target))
            return proxies.get(target);
        var p = new Proxy(target, {
            get: function (t, name, receiver) {
                var v = Reflect.get(t, name, receiver === p ? t : receiver);
                record(path, name, v);
                if (v && typeof v == 'object' && !targets.has(v) && objectToString.call(v) != '[object Array]')
                    return watched(v, path + '.' + String(name));
                return v;
            },
            has: function (t, name) {
                var present = Reflect.has(t, name);
                record(path, name, present ? t[name] : undefined);
                return present;
            }
        });
        proxies.set(target, p);
        targets.set(p, target);
        return p;
    }

    // ---- location ----------------------------------------------------------------------------
    var urlPattern = /^([a-zA-Z][a-zA-Z0-9+.\-]*:)(?:\/\/(?:([^:@\/?#]*)(?::([^@\/?#]*))?@)?([^:\/?#]*)(?::(\d*))?)?([^?#]*)(\?[^#]*)?(#.*)?$/;
    var defaultPorts = {'http:': '80', 'https:': '443', 'ws:': '80', 'wss:': '443', 'ftp:': '21'};
    // The parts of an absolute address, or null when it is not one.
    function parseUrl(href) {
        var m = urlPattern.exec(trim(href));
        if (!m)
            return null;
        var u = {protocol: m[1].toLowerCase(), hostname: (m[4] || '').toLowerCase(), port: m[5] || '',
                 pathname: m[6] || '', search: m[7] && m[7] != '?' ? m[7] : '', hash: m[8] && m[8] != '#' ? m[8] : ''};
        if (defaultPorts[u.protocol] === u.port)
            u.port = '';
        if (u.hostname && u.pathname === '')
            u.pathname = '/';
        return u;
    }
    function urlText(u) {
        var host = u.hostname + (u.port ? ':' + u.port : '');
        return u.protocol + (u.hostname || u.protocol == 'file:' ? '//' + host : '') + u.pathname + u.search + u.hash;
    }
    function removeDots(path) {
        var input = path.split('/'), out = [];
        for (var i = 0; i < input.length; i++) {
            if (input[i] == '..') {
                if (out.length > 1)
                    out.pop();
            } else if (input[i] != '.')
                out.push(input[i]);
        }
        var last = input[input.length - 1];
        if (last == '.' || last == '..')
            out.push('');
        return out.join('/');
    }
    // An address as the page would resolve it against base (both texts); null when it cannot.
    function resolve(href, base) {
        href = trim(href);
        var abs = /^[a-zA-Z][a-zA-Z0-9+.\-]*:/.test(href) ? parseUrl(href) : null;
        if (abs)
            return abs;
        var b = parseUrl(base);
        if (!b)
            return null;
        var u = {protocol: b.protocol, hostname: b.hostname, port: b.port, pathname: b.pathname, search: b.search, hash: ''};
        if (href.substring(0, 2) == '//')
            return parseUrl(b.protocol + href);
        var hashAt = href.indexOf('#');
        var hash = hashAt < 0 ? '' : href.substring(hashAt);
        var rest = hashAt < 0 ? href : href.substring(0, hashAt);
        u.hash = hash == '#' ? '' : hash;
        if (rest === '')
            return u;
        var queryAt = rest.indexOf('?');
        var path = queryAt < 0 ? rest : rest.substring(0, queryAt);
        u.search = queryAt < 0 ? '' : (rest.length - queryAt > 1 ? rest.substring(queryAt) : '');
        if (path === '')
            return u;
        u.pathname = removeDots(path.charAt(0) == '/' ? path : b.pathname.substring(0, b.pathname.lastIndexOf('/') + 1) + path);
        return u;
    }

    var Location = interfaceOf('Location');
    var location = instance(Location);
    var here = parseUrl(pick(part('location'), 'href', 'https://www.example.com/')) || parseUrl('https://www.example.com/');
    var shownLocation = {};
    var locationParts = ['href', 'protocol', 'host', 'hostname', 'port', 'pathname', 'search', 'hash', 'origin'];
    function locationValue(name) {
        if (name == 'href')
            return urlText(here);
        if (name == 'host')
            return here.hostname + (here.port ? ':' + here.port : '');
        if (name == 'origin')
            return here.hostname ? here.protocol + '//' + locationValue('host') : 'null';
        return here[name];
    }
    // A part written: the address made anew, as a browser's location setter does.
    function setLocationPart(name, value) {
        value = String(value);
        if (name == 'href') {
            var u = resolve(value, urlText(here));
            if (!u)
                throw new TypeError("Failed to set the 'href' property on 'Location': '" + value + "' is not a valid URL.");
            here = u;
        } else if (name == 'protocol') {
            here.protocol = value.replace(/:?$/, ':').toLowerCase();
        } else if (name == 'host') {
            var hp = /^([^:]*)(?::(\d*))?$/.exec(value);
            if (hp) {
                here.hostname = hp[1].toLowerCase();
                here.port = hp[2] && hp[2] !== defaultPorts[here.protocol] ? hp[2] : '';
            }
        } else if (name == 'hostname') {
            here.hostname = value.toLowerCase();
        } else if (name == 'port') {
            here.port = value === defaultPorts[here.protocol] ? '' : value.replace(/\D.*$/, '');
        } else if (name == 'pathname') {
            here.pathname = value.charAt(0) == '/' ? value : '/' + value;
        } else if (name == 'search') {
            here.search = value === '' || value == '?' ? '' : (value.charAt(0) == '?' ? value : '?' + value);
        } else if (name == 'hash') {
            here.hash = value === '' || value == '#' ? '' : (value.charAt(0) == '#' ? value : '#' + value);
        }
        showLocation();
    }
    function showLocation() {
        if (accessors)
            return;
        for (var i = 0; i < locationParts.length; i++)
            shownLocation[locationParts[i]] = location[locationParts[i]] = locationValue(locationParts[i]);
    }
    // Native engine: parts written since the last look are taken in, href first.
    function takeLocationWrites() {
        if (accessors)
            return;
        if (global.location !== location && global.location !== watched(location)) {
            var written = global.location;
            global.location = location;
            setLocationPart('href', written);
        }
        for (var i = 0; i < locationParts.length; i++) {
            var name = locationParts[i];
            if (name != 'origin' && location[name] !== shownLocation[name]) {
                setLocationPart(name, location[name]);
                return takeLocationWrites();
            }
        }
    }
    for (var lp = 0; lp < locationParts.length; lp++)
        (function (name) {
            accessor(Location.prototype, name, function () { return locationValue(name); },
                     name == 'origin' ? null : function (v) { setLocationPart(name, v); });
        })(locationParts[lp]);
    method(Location.prototype, 'toString', function toString() { settle(); return locationValue('href'); });
    method(Location.prototype, 'valueOf', function valueOf() { return this; });
    method(Location.prototype, 'assign', function assign(url) { settle(); setLocationPart('href', url); history.length++; });
    method(Location.prototype, 'replace', function replace(url) { settle(); setLocationPart('href', url); });
    method(Location.prototype, 'reload', function reload() {});
    showLocation();

    // ---- cookies ---------------------------------------------------------------------------
    var jar = [];  // {name, value, domain, hostOnly, path, expires (ms or null), secure, created}
    var cookieSerial = 0, shownCookie = null;
    function defaultCookiePath() {
        var p = here.pathname;
        if (p.charAt(0) != '/' || p.lastIndexOf('/') === 0)
            return '/';
        return p.substring(0, p.lastIndexOf('/'));
    }
    function domainMatches(host, domain) {
        return host == domain || (host.length > domain.length &&
            host.substring(host.length - domain.length - 1) == '.' + domain);
    }
    function pathMatches(path, cookiePath) {
        if (path == cookiePath)
            return true;
        if (path.substring(0, cookiePath.length) != cookiePath)
            return false;
        return cookiePath.charAt(cookiePath.length - 1) == '/' || path.charAt(cookiePath.length) == '/';
    }
    // A cookie's expiry date ("Thu, 01 Jan 1970 00:00:00 GMT" and its looser kin) as a time,
    // read as browsers read it; NaN when it is none.
    var monthNames = 'janfebmaraprmayjunjulaugsepoctnovdec';
    function cookieDate(text) {
        var tokens = String(text).split(/[\s,\-\/]+/), day = -1, month = -1, year = -1, h = 0, m = 0, sec = 0;
        for (var i = 0; i < tokens.length; i++) {
            var t = tokens[i], time = /^(\d{1,2}):(\d{1,2}):(\d{1,2})/.exec(t), mi;
            if (time) {
                h = Number(time[1]);
                m = Number(time[2]);
                sec = Number(time[3]);
            } else if (day < 0 && /^\d{1,2}$/.test(t)) {
                day = Number(t);
            } else if (month < 0 && t.length >= 3 && (mi = monthNames.indexOf(t.substring(0, 3).toLowerCase())) >= 0 && mi % 3 === 0) {
                month = mi / 3;
            } else if (year < 0 && /^\d{2,4}$/.test(t)) {
                year = Number(t);
                year += year < 70 ? 2000 : year < 100 ? 1900 : 0;
            }
        }
        if (day < 1 || month < 0 || year < 1601 || h > 23 || m > 59 || sec > 59)
            return Date.parse(text);
        return Date.UTC(year, month, day, h, m, sec);
    }

    // One Set-Cookie text as document.cookie's setter takes it.
    function setCookie(text, now) {
        var pieces = String(text).split(';');
        var first = pieces[0], eq = first.indexOf('=');
        var name = eq < 0 ? '' : trim(first.substring(0, eq));
        var value = trim(eq < 0 ? first : first.substring(eq + 1));
        if (eq < 0 && value === '')
            return;
        var c = {name: name, value: value, domain: here.hostname, hostOnly: true, path: defaultCookiePath(),
                 expires: null, secure: false, created: ++cookieSerial};
        var maxAgeSeen = false;
        for (var i = 1; i < pieces.length; i++) {
            var attr = pieces[i], at = attr.indexOf('=');
            var key = trim(at < 0 ? attr : attr.substring(0, at)).toLowerCase();
            var val = trim(at < 0 ? '' : attr.substring(at + 1));
            if (key == 'expires' && !maxAgeSeen) {
                var when = cookieDate(val);
                if (!isNaN(when))
                    c.expires = when;
            } else if (key == 'max-age' && /^-?\d+$/.test(val)) {
                maxAgeSeen = true;
                c.expires = Number(val) <= 0 ? 0 : now + Number(val) * 1000;
            } else if (key == 'domain' && val !== '') {
                var d = val.replace(/^\./, '').toLowerCase();
                if (!domainMatches(here.hostname, d))
                    return;  // a browser drops a cookie for another site
                c.domain = d;
                c.hostOnly = false;
            } else if (key == 'path') {
                c.path = val.charAt(0) == '/' ? val : defaultCookiePath();
            } else if (key == 'secure') {
                c.secure = true;
            } else if (key == 'httponly') {
                return;  // a script cannot set one
            }
        }
        if (c.secure && here.protocol != 'https:')
            return;
        for (var j = 0; j < jar.length; j++) {
            var old = jar[j];
            if (old.name == c.name && old.domain == c.domain && old.path == c.path) {
                c.created = old.created;
                jar.splice(j, 1);
                break;
            }
        }
        if (c.expires === null || c.expires > now)
            jar.push(c);
    }
    // The cookies the address's page sees, as "a=1; b=2": longer paths first, then older.
    function cookiesFor(u, now) {
        var seen = [];
        for (var i = 0; i < jar.length; i++) {
            var c = jar[i];
            if (c.expires !== null && c.expires <= now) {
                jar.splice(i--, 1);
                continue;
            }
            if ((c.hostOnly ? u.hostname == c.domain : domainMatches(u.hostname, c.domain)) &&
                pathMatches(u.pathname || '/', c.path) && (!c.secure || u.protocol == 'https:'))
                seen.push(c);
        }
        seen.sort(function (a, b) { return b.path.length - a.path.length || a.created - b.created; });
        var out = [];
        for (var k = 0; k < seen.length; k++)
            out.push(seen[k].name === '' ? seen[k].value : seen[k].name + '=' + seen[k].value);
        return out.join('; ');
    }
    function readCookie() { return cookiesFor(here, new Date().getTime()); }
    function writeCookie(text) { setCookie(text, new Date().getTime()); }

    // ---- storage ---------------------------------------------------------------------------
    var Storage = interfaceOf('Storage');
    var storageMethods = {getItem: 1, setItem: 1, removeItem: 1, clear: 1, key: 1, length: 1, constructor: 1};
    function storageKeys(s) {
        var keys = [];
        for (var k in s)
            if (own(s, k) && !(k == 'length' && !accessors))
                keys.push(k);
        return keys;
    }
    function storageCount(s) {
        if (!accessors)
            s.length = storageKeys(s).length;
    }
    method(Storage.prototype, 'getItem', function getItem(key) {
        requireArgs(arguments, 1, 'getItem', 'Storage');
        var s = raw(this);
        key = String(key);
        return own(s, key) && !(key == 'length' && !accessors) ? String(s[key]) : null;
    });
    method(Storage.prototype, 'setItem', function setItem(key, value) {
        requireArgs(arguments, 2, 'setItem', 'Storage');
        var s = raw(this);
        s[String(key)] = String(value);
        storageCount(s);
    });
    method(Storage.prototype, 'removeItem', function removeItem(key) {
        requireArgs(arguments, 1, 'removeItem', 'Storage');
        var s = raw(this);
        if (own(s, String(key)))
            delete s[String(key)];
        storageCount(s);
    });
    method(Storage.prototype, 'clear', function clear() {
        var s = raw(this), keys = storageKeys(s);
        for (var i = 0; i < keys.length; i++)
            delete s[keys[i]];
        storageCount(s);
    });
    method(Storage.prototype, 'key', function key(index) {
        requireArgs(arguments, 1, 'key', 'Storage');
        var keys = storageKeys(raw(this));
        index = Number(index) >>> 0;
        return index < keys.length ? keys[index] : null;
    });
    accessor(Storage.prototype, 'length', function () { return storageKeys(raw(this)).length; });
    function makeStorage(items) {
        var s = instance(Storage);
        for (var k in items)
            if (own(items, k) && !own(storageMethods, k))
                s[k] = String(items[k]);
        storageCount(s);
        return s;
    }

    // ---- timers ----------------------------------------------------------------------------
    // Queued and run by runTimers or settle (after every evaluation), in the order they fall
    // due on a clock of their own that moves only as they run.
    var timers = [], timerSerial = 0, clock = 0;
    function addTimer(fn, delay, args, repeat) {
        delay = Number(delay);
        delay = isNaN(delay) || delay < 0 ? 0 : Math.floor(delay);
        var id = ++timerSerial;
        timers.push({id: id, fn: fn, due: clock + delay, delay: repeat && delay < 1 ? 1 : delay, args: args, repeat: repeat});
        return id;
    }
    function removeTimer(id) {
        for (var i = 0; i < timers.length; i++)
            if (timers[i].id === id) {
                timers.splice(i, 1);
                return;
            }
    }
    function restArgs(args, from) {
        var out = [];
        for (var i = from; i < args.length; i++)
            out.push(args[i]);
        return out;
    }
    method(global, 'setTimeout', function setTimeout(handler, timeout) {
        return addTimer(handler, timeout, restArgs(arguments, 2), false);
    });
    method(global, 'setInterval', function setInterval(handler, timeout) {
        return addTimer(handler, timeout, restArgs(arguments, 2), true);
    });
    method(global, 'clearTimeout', function clearTimeout(id) { removeTimer(id); });
    method(global, 'clearInterval', function clearInterval(id) { removeTimer(id); });
    method(global, 'requestAnimationFrame', function requestAnimationFrame(callback) {
        return addTimer(function () { callback(performanceNow()); }, 16, [], false);
    });
    method(global, 'cancelAnimationFrame', function cancelAnimationFrame(id) { removeTimer(id); });
    method(global, 'queueMicrotask', function queueMicrotask(callback) { addTimer(callback, 0, [], false); });
    // Runs what falls due within `within` ms of the timers' clock (all that is queued without
    // it), at most `limit` callbacks (1000). Returns how many ran.
    function runTimers(within, limit) {
        var until = within === undefined ? Infinity : clock + Number(within), ran = 0;
        limit = limit === undefined ? 1000 : limit;
        while (timers.length && ran < limit) {
            var next = 0;
            for (var i = 1; i < timers.length; i++)
                if (timers[i].due < timers[next].due)
                    next = i;
            var t = timers[next];
            if (t.due > until)
                break;
            clock = Math.max(clock, t.due);
            if (t.repeat)
                t.due = clock + t.delay;
            else
                timers.splice(next, 1);
            ran++;
            // A timer that throws does not stop the others: the page's console is told.
            try {
                if (typeof t.fn == 'function')
                    t.fn.apply(global, t.args);
                else
                    global.eval(String(t.fn));
            } catch (e) {
                var c = global.console;
                if (c && typeof c.warn == 'function')
                    c.warn('Uncaught ' + String(e));
            }
        }
        return ran;
    }

    // ---- events ----------------------------------------------------------------------------
    var EventTarget = interfaceOf('EventTarget');
    function listenersOf(target) {
        target = raw(target);
        if (!own(target, '__listeners'))
            setHidden(target, '__listeners', {});
        return target.__listeners;
    }
    method(EventTarget.prototype, 'addEventListener', function addEventListener(type, listener) {
        requireArgs(arguments, 2, 'addEventListener', 'EventTarget');
        var all = listenersOf(this), list = own(all, type) ? all[type] : (all[type] = []);
        if (listener && indexIn(list, listener) < 0)
            list.push(listener);
    });
    method(EventTarget.prototype, 'removeEventListener', function removeEventListener(type, listener) {
        var all = listenersOf(this), list = own(all, type) ? all[type] : [];
        var i = indexIn(list, listener);
        if (i >= 0)
            list.splice(i, 1);
    });
    method(EventTarget.prototype, 'dispatchEvent', function dispatchEvent(event) {
        requireArgs(arguments, 1, 'dispatchEvent', 'EventTarget');
        fire(this, event);
        return !event.defaultPrevented;
    });
    function fire(target, event) {
        if (typeof event == 'string')
            event = new Event(event);
        event.target = event.currentTarget = target;
        var handler = target['on' + event.type];
        if (typeof handler == 'function')
            handler.call(target, event);
        var all = listenersOf(target), list = own(all, event.type) ? copyArray(all[event.type]) : [];
        for (var i = 0; i < list.length; i++) {
            if (typeof list[i] == 'function')
                list[i].call(target, event);
            else if (list[i] && typeof list[i].handleEvent == 'function')
                list[i].handleEvent(event);
        }
    }
    var Event = native(function Event(type, init) {
        requireArgs(arguments, 1, 'Event', 'Event');
        this.type = String(type);
        this.bubbles = !!(init && init.bubbles);
        this.cancelable = !!(init && init.cancelable);
        this.defaultPrevented = false;
        this.timeStamp = performanceNow();
        this.target = this.currentTarget = null;
        this.isTrusted = false;
    }, 'Event');
    tag(Event.prototype, 'Event');
    method(Event.prototype, 'preventDefault', function preventDefault() {
        if (this.cancelable)
            this.defaultPrevented = true;
    });
    method(Event.prototype, 'stopPropagation', function stopPropagation() {});
    method(Event.prototype, 'stopImmediatePropagation', function stopImmediatePropagation() {});
    method(Event.prototype, 'initEvent', function initEvent(type, bubbles, cancelable) {
        this.type = String(type);
        this.bubbles = !!bubbles;
        this.cancelable = !!cancelable;
    });
    global.Event = Event;
    var CustomEvent = native(function CustomEvent(type, init) {
        Event.call(this, type, init);
        this.detail = init && own(init, 'detail') ? init.detail : null;
    }, 'CustomEvent');
    CustomEvent.prototype = inherit(Event.prototype);
    tag(CustomEvent.prototype, 'CustomEvent');
    global.CustomEvent = CustomEvent;

    // ---- elements --------------------------------------------------------------------------
    var Node = interfaceOf('Node', EventTarget);
    var Element = interfaceOf('Element', Node);
    var HTMLElement = interfaceOf('HTMLElement', Element);
    var HTMLCanvasElement = interfaceOf('HTMLCanvasElement', HTMLElement);
    var HTMLImageElement = interfaceOf('HTMLImageElement', HTMLElement);
    var HTMLScriptElement = interfaceOf('HTMLScriptElement', HTMLElement);
    var Text = interfaceOf('Text', Node);
    var kinds = {canvas: HTMLCanvasElement, img: HTMLImageElement, script: HTMLScriptElement};
    var document;
    function styleObject() {
        var style = {cssText: ''};
        method(style, 'setProperty', function setProperty(name, value) { style[name] = String(value); });
        method(style, 'getPropertyValue', function getPropertyValue(name) { return own(style, name) ? String(style[name]) : ''; });
        method(style, 'removeProperty', function removeProperty(name) { var v = style[name]; delete style[name]; return v || ''; });
        return style;
    }
    function makeElement(tagName) {
        var name = String(tagName).toLowerCase();
        var el = instance(own(kinds, name) ? kinds[name] : HTMLElement);
        el.tagName = el.nodeName = name.toUpperCase();
        el.localName = name;
        el.nodeType = 1;
        el.ownerDocument = document || null;
        el.parentNode = el.parentElement = null;
        el.childNodes = [];
        el.children = [];
        el.firstChild = el.lastChild = null;
        el.attributes = {};
        el.style = styleObject();
        el.id = el.className = '';
        el.innerHTML = el.textContent = el.innerText = '';
        el.offsetWidth = el.offsetHeight = el.clientWidth = el.clientHeight = 0;
        if (name == 'canvas') {
            el.width = 300;
            el.height = 150;
            el.__drawn = false;
        }
        if (name == 'img' || name == 'script' || name == 'iframe')
            el.src = '';
        if (name == 'a')
            el.href = '';
        return el;
    }
    function textNode(data) {
        var t = instance(Text);
        t.nodeType = 3;
        t.nodeName = '#text';
        t.data = t.nodeValue = t.textContent = String(data);
        t.parentNode = null;
        t.childNodes = [];
        return t;
    }
    function relink(el) {
        var n = el.childNodes, kids = [];
        for (var i = 0; i < n.length; i++)
            if (n[i].nodeType == 1)
                kids.push(n[i]);
        el.children = kids;
        el.firstChild = n.length ? n[0] : null;
        el.lastChild = n.length ? n[n.length - 1] : null;
        el.childElementCount = kids.length;
    }
    function detach(child) {
        var p = child.parentNode;
        if (!p)
            return;
        var i = indexIn(p.childNodes, child);
        if (i >= 0)
            p.childNodes.splice(i, 1);
        child.parentNode = child.parentElement = null;
        relink(p);
    }
    function insert(parent, child, before) {
        parent = raw(parent);
        child = raw(child);
        if (!child || typeof child != 'object' || typeof child.nodeType != 'number')
            throw new TypeError("Failed to execute 'appendChild' on 'Node': parameter 1 is not of type 'Node'.");
        detach(child);
        var at = before ? indexIn(parent.childNodes, raw(before)) : -1;
        if (before && at < 0)
            throw domError('NotFoundError', "Failed to execute 'insertBefore' on 'Node': The node before which the new node is to be inserted is not a child of this node.");
        if (at < 0)
            parent.childNodes.push(child);
        else
            parent.childNodes.splice(at, 0, child);
        child.parentNode = parent;
        child.parentElement = parent.nodeType == 1 ? parent : null;
        relink(parent);
        return child;
    }
    function walk(root, visit) {
        var n = raw(root).childNodes || [];
        for (var i = 0; i < n.length; i++) {
            if (n[i].nodeType == 1) {
                if (visit(n[i]) === false)
                    return false;
                if (walk(n[i], visit) === false)
                    return false;
            }
        }
        return true;
    }
    // A selector of one compound part: tag, #id, .class, [attr] or [attr=value].
    function matches(el, selector) {
        var s = trim(selector), m, re = /^([a-zA-Z][\w\-]*|\*)?((?:[#.][\w\-]+|\[[\w\-]+(?:=["']?[^\]"']*["']?)?\])*)$/;
        if (!(m = re.exec(s)))
            throw domError('SyntaxError', "Failed to execute 'querySelector' on 'Document': '" + s + "' is not a valid selector.");
        if (m[1] && m[1] != '*' && el.tagName != m[1].toUpperCase())
            return false;
        var parts = m[2].match(/[#.][\w\-]+|\[[^\]]+\]/g) || [];
        for (var i = 0; i < parts.length; i++) {
            var p = parts[i];
            if (p.charAt(0) == '#' && el.id != p.substring(1))
                return false;
            if (p.charAt(0) == '.' && indexIn(String(el.className).split(/\s+/), p.substring(1)) < 0)
                return false;
            if (p.charAt(0) == '[') {
                var a = /^\[([\w\-]+)(?:=["']?([^"']*)["']?)?\]$/.exec(p);
                if (!a || !own(el.attributes, a[1]) || (a[2] !== undefined && a[2] !== '' && el.attributes[a[1]] != a[2]))
                    return false;
            }
        }
        return true;
    }
    function query(root, selectors, all) {
        var list = String(selectors).split(','), out = [];
        walk(root, function (el) {
            for (var i = 0; i < list.length; i++) {
                var chain = trim(list[i]).split(/\s+/);
                if (matches(el, chain[chain.length - 1])) {
                    out.push(el);
                    return all;
                }
            }
            return true;
        });
        return all ? out : (out.length ? out[0] : null);
    }
    var nodeMethods = {
        appendChild: function appendChild(child) { return insert(this, child, null); },
        insertBefore: function insertBefore(child, before) { return insert(this, child, before || null); },
        removeChild: function removeChild(child) {
            child = raw(child);
            if (!child || child.parentNode !== raw(this))
                throw domError('NotFoundError', "Failed to execute 'removeChild' on 'Node': The node to be removed is not a child of this node.");
            detach(child);
            return child;
        },
        replaceChild: function replaceChild(child, old) {
            insert(this, child, old);
            return this.removeChild(old);
        },
        contains: function contains(other) {
            for (var n = raw(other); n; n = n.parentNode)
                if (n === raw(this))
                    return true;
            return false;
        },
        hasChildNodes: function hasChildNodes() { return raw(this).childNodes.length > 0; },
        cloneNode: function cloneNode(deep) {
            var src = raw(this), copy = src.nodeType == 3 ? textNode(src.data) : makeElement(src.localName);
            for (var k in src.attributes)
                if (own(src.attributes, k))
                    copy.setAttribute(k, src.attributes[k]);
            if (deep)
                for (var i = 0; i < (src.childNodes || []).length; i++)
                    copy.appendChild(src.childNodes[i].cloneNode(true));
            return copy;
        }
    };
    for (var nm in nodeMethods)
        if (own(nodeMethods, nm))
            method(Node.prototype, nm, nodeMethods[nm]);
    var elementMethods = {
        setAttribute: function setAttribute(name, value) {
            requireArgs(arguments, 2, 'setAttribute', 'Element');
            var el = raw(this);
            name = String(name).toLowerCase();
            el.attributes[name] = String(value);
            if (name == 'id')
                el.id = String(value);
            else if (name == 'class')
                el.className = String(value);
            else if (name == 'src' || name == 'href' || name == 'width' || name == 'height')
                el[name] = name == 'width' || name == 'height' ? Number(value) : String(value);
        },
        getAttribute: function getAttribute(name) {
            var el = raw(this);
            name = String(name).toLowerCase();
            if (name == 'id' && el.id)
                return el.id;
            if (name == 'class' && el.className)
                return el.className;
            return own(el.attributes, name) ? el.attributes[name] : null;
        },
        hasAttribute: function hasAttribute(name) { return this.getAttribute(name) !== null; },
        removeAttribute: function removeAttribute(name) {
            var el = raw(this);
            name = String(name).toLowerCase();
            delete el.attributes[name];
            if (name == 'id')
                el.id = '';
            if (name == 'class')
                el.className = '';
        },
        getElementsByTagName: function getElementsByTagName(name) {
            var out = [], want = String(name).toUpperCase();
            walk(this, function (el) {
                if (want == '*' || el.tagName == want)
                    out.push(el);
            });
            return out;
        },
        getElementsByClassName: function getElementsByClassName(names) {
            var out = [], want = trim(names).split(/\s+/);
            walk(this, function (el) {
                var has = String(el.className).split(/\s+/);
                for (var i = 0; i < want.length; i++)
                    if (indexIn(has, want[i]) < 0)
                        return;
                out.push(el);
            });
            return out;
        },
        querySelector: function querySelector(selectors) { return query(this, selectors, false); },
        querySelectorAll: function querySelectorAll(selectors) { return query(this, selectors, true); },
        getBoundingClientRect: function getBoundingClientRect() {
            return {x: 0, y: 0, top: 0, left: 0, right: 0, bottom: 0, width: 0, height: 0};
        },
        getClientRects: function getClientRects() { return []; },
        click: function click() { fire(this, new Event('click')); },
        focus: function focus() {},
        blur: function blur() {},
        remove: function remove() { detach(raw(this)); }
    };
    for (var em in elementMethods)
        if (own(elementMethods, em))
            method(Element.prototype, em, elementMethods[em]);

    // ---- canvas and WebGL ------------------------------------------------------------------
    var canvasProfile = part('canvas'), webglProfile = part('webgl');
    var blankDataURL = pick(canvasProfile, 'blankDataURL', 'data:image/png;base64,');
    function context2d(canvas) {
        var ctx = {canvas: canvas, fillStyle: '#000000', strokeStyle: '#000000', font: '10px sans-serif',
                   textAlign: 'start', textBaseline: 'alphabetic', globalAlpha: 1, lineWidth: 1,
                   globalCompositeOperation: 'source-over', shadowBlur: 0, shadowColor: 'rgba(0, 0, 0, 0)'};
        var draws = ['fillRect', 'strokeRect', 'fillText', 'strokeText', 'fill', 'stroke', 'drawImage', 'putImageData',
                     'arc', 'lineTo', 'rect', 'bezierCurveTo', 'quadraticCurveTo', 'ellipse'];
        var quiet = ['clearRect', 'beginPath', 'closePath', 'moveTo', 'save', 'restore', 'translate', 'rotate',
                     'scale', 'setTransform', 'transform', 'clip', 'setLineDash', 'resetTransform'];
        function drawing(name) { return native(function () { canvas.__drawn = true; }, name); }
        for (var i = 0; i < draws.length; i++)
            ctx[draws[i]] = drawing(draws[i]);
        for (var j = 0; j < quiet.length; j++)
            ctx[quiet[j]] = native(function () {}, quiet[j]);
        var gradient = function () {
            return {addColorStop: native(function addColorStop() {}, 'addColorStop')};
        };
        ctx.createLinearGradient = native(gradient, 'createLinearGradient');
        ctx.createRadialGradient = native(gradient, 'createRadialGradient');
        ctx.createPattern = native(function createPattern() { return {}; }, 'createPattern');
        ctx.isPointInPath = native(function isPointInPath() { return false; }, 'isPointInPath');
        ctx.measureText = native(function measureText(text) {
            return {width: String(text).length * pick(canvasProfile, 'charWidth', 5.5)};
        }, 'measureText');
        ctx.getImageData = native(function getImageData(x, y, w, h) {
            var data = [], n = Math.min(Math.abs(w * h), 65536) * 4;
            for (var k = 0; k < n; k++)
                data.push(0);
            return {width: w, height: h, data: data};
        }, 'getImageData');
        ctx.getLineDash = native(function getLineDash() { return []; }, 'getLineDash');
        return ctx;
    }
    var glNames = {VENDOR: 7936, RENDERER: 7937, VERSION: 7938, SHADING_LANGUAGE_VERSION: 35724};
    function contextGL(canvas, kind) {
        var gl = {canvas: canvas, drawingBufferWidth: canvas.width, drawingBufferHeight: canvas.height};
        for (var name in glNames)
            if (own(glNames, name))
                gl[name] = glNames[name];
        var params = pick(webglProfile, 'parameters', {});
        var extensions = pick(webglProfile, 'extensions', []);
        gl.getParameter = native(function getParameter(p) {
            var key = String(p);
            if (p === 7936)
                return pick(webglProfile, 'vendor', 'WebKit');
            if (p === 7937)
                return pick(webglProfile, 'renderer', 'WebKit WebGL');
            if (p === 7938)
                return pick(webglProfile, kind == 'webgl2' ? 'version2' : 'version', 'WebGL 1.0');
            if (p === 35724)
                return pick(webglProfile, 'shadingLanguageVersion', 'WebGL GLSL ES 1.0');
            if (p === 37445)
                return pick(webglProfile, 'unmaskedVendor', null);
            if (p === 37446)
                return pick(webglProfile, 'unmaskedRenderer', null);
            return own(params, key) ? params[key] : null;
        }, 'getParameter');
        gl.getSupportedExtensions = native(function getSupportedExtensions() { return copyArray(extensions); }, 'getSupportedExtensions');
        gl.getExtension = native(function getExtension(name) {
            if (indexIn(extensions, name) < 0)
                return null;
            if (name == 'WEBGL_debug_renderer_info')
                return {UNMASKED_VENDOR_WEBGL: 37445, UNMASKED_RENDERER_WEBGL: 37446};
            return {};
        }, 'getExtension');
        gl.getContextAttributes = native(function getContextAttributes() {
            return {alpha: true, antialias: true, depth: true, desynchronized: false, failIfMajorPerformanceCaveat: false,
                    powerPreference: 'default', premultipliedAlpha: true, preserveDrawingBuffer: false, stencil: false};
        }, 'getContextAttributes');
        gl.getShaderPrecisionFormat = native(function getShaderPrecisionFormat() {
            return {rangeMin: 127, rangeMax: 127, precision: 23};
        }, 'getShaderPrecisionFormat');
        var stubs = ['createBuffer', 'createProgram', 'createShader', 'createTexture', 'createFramebuffer'];
        for (var i = 0; i < stubs.length; i++)
            gl[stubs[i]] = native(function () { return {}; }, stubs[i]);
        var draws = ['bindBuffer', 'bufferData', 'shaderSource', 'compileShader', 'attachShader', 'linkProgram',
                     'useProgram', 'enableVertexAttribArray', 'vertexAttribPointer', 'uniform2f', 'drawArrays',
                     'drawElements', 'clearColor', 'clear', 'enable', 'disable', 'viewport', 'deleteBuffer'];
        for (var j = 0; j < draws.length; j++)
            gl[draws[j]] = native(function () { canvas.__drawn = true; }, draws[j]);
        gl.getAttribLocation = native(function getAttribLocation() { return 0; }, 'getAttribLocation');
        gl.getUniformLocation = native(function getUniformLocation() { return {}; }, 'getUniformLocation');
        gl.getShaderParameter = native(function getShaderParameter() { return true; }, 'getShaderParameter');
        gl.getProgramParameter = native(function getProgramParameter() { return true; }, 'getProgramParameter');
        gl.getError = native(function getError() { return 0; }, 'getError');
        gl.isContextLost = native(function isContextLost() { return false; }, 'isContextLost');
        canvas.__webgl = true;
        return gl;
    }
    method(HTMLCanvasElement.prototype, 'getContext', function getContext(kind) {
        requireArgs(arguments, 1, 'getContext', 'HTMLCanvasElement');
        var canvas = raw(this);
        kind = String(kind);
        if (own(canvas, '__context'))
            return canvas.__contextKind == kind ? canvas.__context : null;
        var ctx = kind == '2d' ? context2d(canvas)
                : (kind == 'webgl' || kind == 'experimental-webgl' || (kind == 'webgl2' && pick(webglProfile, 'webgl2', true)))
                  && own(profile, 'webgl') ? contextGL(canvas, kind) : null;
        if (ctx) {
            setHidden(canvas, '__context', ctx);
            setHidden(canvas, '__contextKind', kind);
        }
        return watched(ctx, 'canvas.getContext("' + kind + '")');
    });
    method(HTMLCanvasElement.prototype, 'toDataURL', function toDataURL() {
        var canvas = raw(this);
        if (!canvas.width || !canvas.height)
            return 'data:,';
        if (!canvas.__drawn)
            return blankDataURL;
        return canvas.__webgl ? pick(webglProfile, 'dataURL', blankDataURL) : pick(canvasProfile, 'dataURL', blankDataURL);
    });
    method(HTMLCanvasElement.prototype, 'toBlob', function toBlob(callback) { addTimer(function () { callback(null); }, 0, [], false); });

    // ---- document --------------------------------------------------------------------------
    var docProfile = part('document');
    var Document = interfaceOf('Document', Node);
    var HTMLDocument = interfaceOf('HTMLDocument', Document);
    document = instance(HTMLDocument);
    document.nodeType = 9;
    document.nodeName = '#document';
    document.childNodes = [];
    document.parentNode = null;
    var html = makeElement('html'), head = makeElement('head'), body = makeElement('body');
    insert(document, html, null);
    insert(html, head, null);
    insert(html, body, null);
    document.documentElement = html;
    document.head = head;
    document.body = body;
    var title = makeElement('title');
    var docValues = {title: pick(docProfile, 'title', ''), referrer: pick(docProfile, 'referrer', ''),
                     characterSet: pick(docProfile, 'characterSet', 'UTF-8'), compatMode: pick(docProfile, 'compatMode', 'CSS1Compat'),
                     contentType: 'text/html', readyState: 'complete', visibilityState: 'visible', hidden: false,
                     designMode: 'off', dir: '', lastModified: pick(docProfile, 'lastModified', ''),
                     currentScript: null, activeElement: body, defaultView: global};
    docValues.charset = docValues.inputEncoding = docValues.characterSet;
    for (var dv in docValues)
        if (own(docValues, dv))
            document[dv] = docValues[dv];
    if (docValues.title) {
        title.textContent = docValues.title;
        insert(head, title, null);
    }
    var documentMethods = {
        createElement: function createElement(name) {
            requireArgs(arguments, 1, 'createElement', 'Document');
            return watched(makeElement(name), 'document.createElement("' + String(name).toLowerCase() + '")');
        },
        createElementNS: function createElementNS(ns, name) { return makeElement(String(name).replace(/^.*:/, '')); },
        createTextNode: function createTextNode(data) { return textNode(data); },
        createDocumentFragment: function createDocumentFragment() { return makeElement('#fragment'); },
        createComment: function createComment(data) { var c = textNode(data); c.nodeType = 8; c.nodeName = '#comment'; return c; },
        createEvent: function createEvent(kind) { var e = new Event('');  e.initEvent('', false, false); return e; },
        getElementById: function getElementById(id) {
            var found = null;
            walk(document, function (el) {
                if (el.id === String(id)) {
                    found = el;
                    return false;
                }
            });
            return found;
        },
        getElementsByName: function getElementsByName(name) {
            var out = [];
            walk(document, function (el) {
                if (el.attributes.name === String(name))
                    out.push(el);
            });
            return out;
        },
        hasFocus: function hasFocus() { return true; },
        write: function write() {},
        writeln: function writeln() {},
        open: function open() { return document; },
        close: function close() {},
        execCommand: function execCommand() { return false; }
    };
    for (var dm in documentMethods)
        if (own(documentMethods, dm))
            method(Document.prototype, dm, documentMethods[dm]);
    var shared = ['getElementsByTagName', 'getElementsByClassName', 'querySelector', 'querySelectorAll'];
    for (var sm = 0; sm < shared.length; sm++)
        method(Document.prototype, shared[sm], elementMethods[shared[sm]]);
    if (!accessor(Document.prototype, 'cookie', function () { return readCookie(); }, function (v) { writeCookie(v); })) {
        // The native engine: a plain text, read back by settle.
        document.cookie = shownCookie = '';
    }
    accessor(Document.prototype, 'location', function () { return watched(location, 'location'); },
             function (v) { setLocationPart('href', v); });
    accessor(Document.prototype, 'URL', function () { return locationValue('href'); });
    accessor(Document.prototype, 'documentURI', function () { return locationValue('href'); });
    accessor(Document.prototype, 'domain', function () { return here.hostname; });
    if (!accessors)
        document.location = location;
    function showDocument() {
        if (accessors)
            return;
        document.URL = document.documentURI = locationValue('href');
        document.domain = here.hostname;
        document.cookie = shownCookie = readCookie();
    }
    function takeCookieWrites() {
        if (!accessors && document.cookie !== shownCookie)
            writeCookie(document.cookie);
    }

    // ---- navigator -------------------------------------------------------------------------
    var navProfile = part('navigator');
    var Navigator = interfaceOf('Navigator');
    var PluginArray = interfaceOf('PluginArray'), Plugin = interfaceOf('Plugin');
    var MimeTypeArray = interfaceOf('MimeTypeArray'), MimeType = interfaceOf('MimeType');
    var navigator = instance(Navigator);
    function namedList(ctor, items, nameKey) {
        var list = instance(ctor);
        for (var i = 0; i < items.length; i++)
            list[i] = items[i];
        list.length = items.length;
        list.item = native(function item(i) { return items[Number(i) >>> 0] || null; }, 'item');
        list.namedItem = native(function namedItem(name) {
            for (var i = 0; i < items.length; i++)
                if (items[i][nameKey] === name)
                    return items[i];
            return null;
        }, 'namedItem');
        if (ctor === PluginArray)
            list.refresh = native(function refresh() {}, 'refresh');
        return list;
    }
    var plugins = [], mimeTypes = [], pluginProfile = pick(navProfile, 'plugins', []);
    for (var pi = 0; pi < pluginProfile.length; pi++) {
        var pp = pluginProfile[pi], plugin = instance(Plugin), types = pick(pp, 'mimeTypes', []), own_ = [];
        plugin.name = pick(pp, 'name', '');
        plugin.filename = pick(pp, 'filename', '');
        plugin.description = pick(pp, 'description', '');
        for (var mi = 0; mi < types.length; mi++) {
            var mt = instance(MimeType);
            mt.type = pick(types[mi], 'type', '');
            mt.suffixes = pick(types[mi], 'suffixes', '');
            mt.description = pick(types[mi], 'description', '');
            mt.enabledPlugin = plugin;
            own_.push(mt);
            if (pi === 0 || indexIn(mimeTypes, mt) < 0)
                mimeTypes.push(mt);
        }
        for (var oi = 0; oi < own_.length; oi++)
            plugin[oi] = own_[oi];
        plugin.length = own_.length;
        plugins.push(plugin);
    }
    var navDefaults = {userAgent: '', appVersion: '', appName: 'Netscape', appCodeName: 'Mozilla', product: 'Gecko',
                       platform: '', language: 'en-US', languages: ['en-US'], cookieEnabled: true, onLine: true,
                       webdriver: false, vendor: '', vendorSub: '', productSub: '20030107', doNotTrack: null,
                       hardwareConcurrency: 4, maxTouchPoints: 0};
    var navValues = {};
    for (var nk in navProfile)
        if (own(navProfile, nk) && nk != 'plugins' && nk != 'mimeTypes')
            navValues[nk] = navProfile[nk];
    for (var nd in navDefaults)
        if (own(navDefaults, nd) && !own(navValues, nd))
            navValues[nd] = navDefaults[nd];
    navValues.plugins = namedList(PluginArray, plugins, 'name');
    navValues.mimeTypes = namedList(MimeTypeArray, mimeTypes, 'type');
    // A profile member {"function": "name"} was a method in the browser: here it answers nothing.
    function profileValue(v, name) {
        if (v && typeof v == 'object' && objectToString.call(v) != '[object Array]' && own(v, 'function'))
            return native(function () { return undefined; }, String(v['function'] || name));
        return v;
    }
    // What the environment answers itself for methods the profile names.
    var navigatorMethods = {
        javaEnabled: function javaEnabled() { return false; },
        sendBeacon: function sendBeacon() { return true; },
        vibrate: function vibrate() { return false; },
        getGamepads: function getGamepads() { return [null, null, null, null]; },
        registerProtocolHandler: function registerProtocolHandler() {}
    };
    // In the profile's order, which is the browser's for-in order.
    for (var nv in navValues) {
        if (!own(navValues, nv))
            continue;
        var value = navValues[nv];
        if (value && typeof value == 'object' && own(value, 'function'))
            method(Navigator.prototype, nv, own(navigatorMethods, nv) ? navigatorMethods[nv] : profileValue(value, nv));
        else
            readOnly(Navigator.prototype, nv, value);
    }

    // ---- screen, history, the window's own values ------------------------------------------
    var Screen = interfaceOf('Screen'), screen = instance(Screen), screenProfile = part('screen');
    var screenDefaults = {width: 1920, height: 1080, availWidth: 1920, availHeight: 1040, availLeft: 0, availTop: 0,
                          colorDepth: 24, pixelDepth: 24};
    for (var sd in screenDefaults)
        if (own(screenDefaults, sd) && !own(screenProfile, sd))
            screenProfile[sd] = screenDefaults[sd];
    for (var sk in screenProfile)
        if (own(screenProfile, sk))
            readOnly(Screen.prototype, sk, screenProfile[sk]);

    var History = interfaceOf('History'), history = instance(History);
    history.length = 1;
    history.state = null;
    history.scrollRestoration = 'auto';
    method(History.prototype, 'pushState', function pushState(state, unused, url) {
        settle();
        this.state = state === undefined ? null : state;
        raw(this).length++;
        if (url !== undefined && url !== null)
            setLocationPart('href', url);
    });
    method(History.prototype, 'replaceState', function replaceState(state, unused, url) {
        settle();
        this.state = state === undefined ? null : state;
        if (url !== undefined && url !== null)
            setLocationPart('href', url);
    });
    method(History.prototype, 'back', function back() {});
    method(History.prototype, 'forward', function forward() {});
    method(History.prototype, 'go', function go() {});

    var windowProfile = part('window');
    var windowDefaults = {innerWidth: 1920, innerHeight: 947, outerWidth: 1920, outerHeight: 1040, devicePixelRatio: 1,
                          screenX: 0, screenY: 0, screenLeft: 0, screenTop: 0, pageXOffset: 0, pageYOffset: 0,
                          scrollX: 0, scrollY: 0, name: '', status: '', closed: false, opener: null, frameElement: null,
                          isSecureContext: true, origin: ''};
    for (var wd in windowDefaults)
        if (own(windowDefaults, wd))
            global[wd] = pick(windowProfile, wd, windowDefaults[wd]);
    global.origin = locationValue('origin');
    global.isSecureContext = here.protocol == 'https:' || here.hostname == 'localhost';
    global.window = global.self = global.top = global.parent = global.frames = global;
    if (typeof global.globalThis == 'undefined')
        global.globalThis = global;
    var watchedNavigator = watched(navigator, 'navigator');
    global.navigator = watchedNavigator;
    global.clientInformation = watchedNavigator;
    global.screen = watched(screen, 'screen');
    global.history = watched(history, 'history');
    global.document = watched(document, 'document');
    var storageProfile = part('storage');
    global.localStorage = watched(makeStorage(pick(storageProfile, 'local', {})), 'localStorage');
    global.sessionStorage = watched(makeStorage(pick(storageProfile, 'session', {})), 'sessionStorage');
    if (!accessor(global, 'location', function () { return watched(location, 'location'); },
                  function (v) { setLocationPart('href', v); }))
        global.location = location;
    var windowListeners = {};
    method(global, 'addEventListener', function addEventListener(type, listener) {
        var list = own(windowListeners, type) ? windowListeners[type] : (windowListeners[type] = []);
        if (listener && indexIn(list, listener) < 0)
            list.push(listener);
    });
    method(global, 'removeEventListener', function removeEventListener(type, listener) {
        var list = own(windowListeners, type) ? windowListeners[type] : [], i = indexIn(list, listener);
        if (i >= 0)
            list.splice(i, 1);
    });
    method(global, 'dispatchEvent', function dispatchEvent(event) {
        var list = own(windowListeners, event.type) ? copyArray(windowListeners[event.type]) : [];
        event.target = event.currentTarget = global;
        for (var i = 0; i < list.length; i++)
            list[i].call(global, event);
        return !event.defaultPrevented;
    });
    method(global, 'getComputedStyle', function getComputedStyle(el) {
        requireArgs(arguments, 1, 'getComputedStyle', 'Window');
        return raw(el).style;
    });
    method(global, 'matchMedia', function matchMedia(query) {
        var list = {matches: false, media: String(query), onchange: null};
        list.addListener = list.removeListener = list.addEventListener = list.removeEventListener = native(function () {}, 'addListener');
        return list;
    });
    method(global, 'alert', function alert() {});
    method(global, 'confirm', function confirm() { return false; });
    method(global, 'prompt', function prompt() { return null; });
    method(global, 'open', function open() { return null; });
    method(global, 'close', function close() {});
    method(global, 'focus', function focus() {});
    method(global, 'blur', function blur() {});
    method(global, 'scrollTo', function scrollTo() {});
    method(global, 'scroll', function scroll() {});
    method(global, 'postMessage', function postMessage() {});
    method(global, 'getSelection', function getSelection() { return null; });
    var Image = native(function Image(width, height) {
        var img = makeElement('img');
        if (width !== undefined)
            img.width = Number(width);
        if (height !== undefined)
            img.height = Number(height);
        return img;
    }, 'Image');
    Image.prototype = HTMLImageElement.prototype;
    global.Image = Image;
    global.MutationObserver = native(function MutationObserver(callback) {
        this.observe = native(function observe() {}, 'observe');
        this.disconnect = native(function disconnect() {}, 'disconnect');
        this.takeRecords = native(function takeRecords() { return []; }, 'takeRecords');
    }, 'MutationObserver');

    // ---- performance, seeds, console -------------------------------------------------------
    var started = new Date().getTime();
    // In a deterministic run Date reads the timers' clock: performance.now() is that clock.
    var clockOnly = typeof QUILLBOX == 'object' && QUILLBOX && QUILLBOX.deterministic === true;
    function performanceNow() { return clockOnly ? clock : new Date().getTime() - started + clock; }
    var Performance = interfaceOf('Performance'), performance = instance(Performance);
    performance.timeOrigin = started;
    performance.timing = {navigationStart: started, fetchStart: started, domainLookupStart: started,
                          domainLookupEnd: started, connectStart: started, connectEnd: started,
                          requestStart: started, responseStart: started, responseEnd: started,
                          domLoading: started, domInteractive: started, domContentLoadedEventStart: started,
                          domContentLoadedEventEnd: started, domComplete: started, loadEventStart: started,
                          loadEventEnd: started};
    method(Performance.prototype, 'now', function now() { return performanceNow(); });
    method(Performance.prototype, 'getEntriesByType', function getEntriesByType() { return []; });
    method(Performance.prototype, 'getEntriesByName', function getEntriesByName() { return []; });
    method(Performance.prototype, 'mark', function mark() {});
    method(Performance.prototype, 'measure', function measure() {});
    global.performance = watched(performance, 'performance');
    if (typeof Date.now != 'function')
        setHidden(Date, 'now', native(function now() { return new Date().getTime(); }, 'now'));
    // A profile with "randomSeed" makes Math.random repeat itself run after run.
    if (typeof profile.randomSeed == 'number') {
        var seed = profile.randomSeed >>> 0;
        setHidden(Math, 'random', native(function random() {
            seed = (seed + 0x6D2B79F5) >>> 0;
            var t = seed;
            t = Math.imul ? Math.imul(t ^ (t >>> 15), t | 1) : ((t ^ (t >>> 15)) * (t | 1)) >>> 0;
            t ^= t + (Math.imul ? Math.imul(t ^ (t >>> 7), t | 61) : ((t ^ (t >>> 7)) * (t | 61)) >>> 0);
            return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
        }, 'random'));
    }
    if (typeof Uint8Array == 'function') {
        var Crypto = interfaceOf('Crypto'), crypto = instance(Crypto);
        method(Crypto.prototype, 'getRandomValues', function getRandomValues(array) {
            requireArgs(arguments, 1, 'getRandomValues', 'Crypto');
            var bytes = array.BYTES_PER_ELEMENT || 1, max = Math.pow(2, 8 * bytes);
            for (var i = 0; i < array.length; i++)
                array[i] = Math.floor(nativeRandom() * max);
            return array;
        });
        global.crypto = watched(crypto, 'crypto');
    }
    if (!realConsole) {
        // The native engine has no console: lines go to the log the program shows.
        var consoleLine = function (type) {
            return native(function () {
                var parts = [];
                for (var i = 0; i < arguments.length; i++)
                    parts.push(String(arguments[i]));
                if (typeof QUILLBOX == 'object' && QUILLBOX && QUILLBOX.log)
                    QUILLBOX.log.push({type: type, msg: parts.join(' ')});
            }, type);
        };
        global.console = {log: consoleLine('log'), info: consoleLine('info'), warn: consoleLine('warn'),
                          error: consoleLine('error'), debug: consoleLine('debug')};
    }

    // ---- base64 ----------------------------------------------------------------------------
    var alphabet = 'ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/';
    method(global, 'btoa', function btoa(data) {
        requireArgs(arguments, 1, 'btoa', 'Window');
        var s = String(data), out = '';
        for (var i = 0; i < s.length; i++)
            if (s.charCodeAt(i) > 255)
                throw domError('InvalidCharacterError', "Failed to execute 'btoa' on 'Window': The string to be encoded contains characters outside of the Latin1 range.");
        for (var j = 0; j < s.length; j += 3) {
            var a = s.charCodeAt(j), b = s.charCodeAt(j + 1), c = s.charCodeAt(j + 2);
            var n = (a << 16) | ((isNaN(b) ? 0 : b) << 8) | (isNaN(c) ? 0 : c);
            out += alphabet.charAt(n >> 18) + alphabet.charAt((n >> 12) & 63) +
                   (isNaN(b) ? '=' : alphabet.charAt((n >> 6) & 63)) + (isNaN(c) ? '=' : alphabet.charAt(n & 63));
        }
        return out;
    });
    method(global, 'atob', function atob(data) {
        requireArgs(arguments, 1, 'atob', 'Window');
        var s = String(data).replace(/[\t\n\f\r ]/g, '');
        if (s.length % 4 === 0)
            s = s.replace(/==?$/, '');
        if (s.length % 4 == 1 || /[^A-Za-z0-9+\/]/.test(s))
            throw domError('InvalidCharacterError', "Failed to execute 'atob' on 'Window': The string to be decoded is not correctly encoded.");
        var out = '', bits = 0, count = 0;
        for (var i = 0; i < s.length; i++) {
            bits = (bits << 6) | alphabet.indexOf(s.charAt(i));
            count += 6;
            if (count >= 8) {
                count -= 8;
                out += String.fromCharCode((bits >> count) & 255);
            }
        }
        return out;
    });

    // ---- XMLHttpRequest over $$.ajax -------------------------------------------------------
    var XMLHttpRequest = native(function XMLHttpRequest() {
        this.readyState = 0;
        this.status = 0;
        this.statusText = '';
        this.responseText = this.response = '';
        this.responseType = this.responseURL = '';
        this.responseXML = null;
        this.timeout = 0;
        this.withCredentials = false;
        this.onreadystatechange = this.onload = this.onerror = this.onloadend = this.ontimeout = this.onabort = null;
        this.upload = {};
        setHidden(this, '__request', null);
    }, 'XMLHttpRequest');
    XMLHttpRequest.prototype = inherit(EventTarget.prototype);
    setHidden(XMLHttpRequest.prototype, 'constructor', XMLHttpRequest);
    tag(XMLHttpRequest.prototype, 'XMLHttpRequest');
    var xhrStates = {UNSENT: 0, OPENED: 1, HEADERS_RECEIVED: 2, LOADING: 3, DONE: 4};
    for (var xs in xhrStates)
        if (own(xhrStates, xs))
            XMLHttpRequest[xs] = XMLHttpRequest.prototype[xs] = xhrStates[xs];
    function xhrState(xhr, state) {
        xhr.readyState = state;
        fire(xhr, new Event('readystatechange'));
    }
    method(XMLHttpRequest.prototype, 'open', function open(verb, url, async) {
        requireArgs(arguments, 2, 'open', 'XMLHttpRequest');
        settle();
        var u = resolve(String(url), urlText(here));
        if (!u)
            throw domError('SyntaxError', "Failed to execute 'open' on 'XMLHttpRequest': Invalid URL");
        this.__request = {method: String(verb).toUpperCase(), url: urlText(u), parts: u, async: async !== false, headers: {}};
        this.status = 0;
        this.responseText = this.response = '';
        xhrState(this, 1);
    });
    method(XMLHttpRequest.prototype, 'setRequestHeader', function setRequestHeader(name, value) {
        requireArgs(arguments, 2, 'setRequestHeader', 'XMLHttpRequest');
        if (this.readyState !== 1 || !this.__request)
            throw domError('InvalidStateError', "Failed to execute 'setRequestHeader' on 'XMLHttpRequest': The object's state must be OPENED.");
        var h = this.__request.headers;
        h[name] = own(h, name) ? h[name] + ', ' + value : String(value);
    });
    method(XMLHttpRequest.prototype, 'overrideMimeType', function overrideMimeType() {});
    method(XMLHttpRequest.prototype, 'getResponseHeader', function getResponseHeader() { return null; });
    method(XMLHttpRequest.prototype, 'getAllResponseHeaders', function getAllResponseHeaders() { return ''; });
    method(XMLHttpRequest.prototype, 'abort', function abort() {
        this.__request = null;
        this.readyState = 0;
    });
    method(XMLHttpRequest.prototype, 'send', function send(body) {
        var xhr = this, request = xhr.__request;
        if (xhr.readyState !== 1 || !request)
            throw domError('InvalidStateError', "Failed to execute 'send' on 'XMLHttpRequest': The object's state must be OPENED.");
        function finish(ok, text) {
            xhr.status = ok ? 200 : 0;
            xhr.statusText = ok ? 'OK' : '';
            xhr.responseText = xhr.response = ok ? text : '';
            xhr.responseURL = request.url;
            xhrState(xhr, 4);
            fire(xhr, new Event(ok ? 'load' : 'error'));
            fire(xhr, new Event('loadend'));
        }
        function perform() {
            // $$.ajax tells only success (status 200, the text) or failure.
            var host = typeof $$ == 'object' && $$ && typeof $$.ajax == 'function' ? $$ : null;
            if (!host) {
                if (!request.async)
                    throw domError('NetworkError', "Failed to execute 'send' on 'XMLHttpRequest': Failed to load '" + request.url + "'.");
                finish(false, '');
                return;
            }
            var answered = false, ok = false, text = '';
            host.ajax({url: request.url, type: request.method, headers: request.headers,
                       data: body === undefined || body === null ? '' : String(body),
                       cookies: cookiesFor(request.parts, new Date().getTime()), code: 'utf-8',
                       success: function (t) { answered = ok = true; text = t; },
                       error: function (t) { answered = true; text = t; }});
            if (!answered && !request.async)
                throw domError('NetworkError', "Failed to execute 'send' on 'XMLHttpRequest': Failed to load '" + request.url + "'.");
            finish(ok, text);
        }
        if (request.async)
            addTimer(perform, 0, [], false);
        else
            perform();
    });
    global.XMLHttpRequest = XMLHttpRequest;

    // ---- the host's handle -------------------------------------------------------------------
    function settle() {
        takeLocationWrites();
        takeCookieWrites();
        showLocation();
        showDocument();
    }
    var handle = {
        profileName: pick(profile, 'name', ''),
        // After every evaluation: the native engine's writes taken in, then the timers run.
        settle: function () {
            settle();
            var ran = runTimers(pick(options, 'timerWindow', 10000));
            settle();
            return ran;
        },
        runTimers: function (within) {
            settle();
            var ran = runTimers(within);
            settle();
            return ran;
        },
        pendingTimers: function () { return timers.length; },
        // The timers' clock: ms they have moved on since the environment was loaded.
        timerClock: function () { return clock; },
        cookies: function () { settle(); return readCookie(); },
        logging: logging,
        // The access log as JSON: [[object, property, value, count, where], ...] in order of
        // first use.
        accessLog: function () {
            var rows = [];
            for (var i = 0; i < logRows.length; i++) {
                var r = logRows[i];
                rows.push([r.path, r.name, r.value, r.count, r.where]);
            }
            return typeof JSON == 'object' ? JSON.stringify(rows) : '[]';
        },
        clearAccessLog: function () {
            logRows = [];
            logIndex = {};
        }
    };
    setHidden(global, 'QUILLBOX_BROWSER', handle);
    if (profile.document && typeof profile.document.cookie == 'string') {
        var initial = profile.document.cookie.split(/;\s*/);
        for (var ci = 0; ci < initial.length; ci++)
            if (initial[ci])
                writeCookie(initial[ci] + '; path=/');
    }
    showDocument();

    // Globals read that do not exist. The global object's prototype cannot change here, so each
    // watched name nothing defines becomes a hidden accessor that notes the read and gives
    // undefined (a read that would have thrown a ReferenceError goes on, and the log lists every
    // missing name, not the first); the first write or declaration makes it a plain global.
    function watchGlobal(name) {
        Object.defineProperty(global, name, {configurable: true, enumerable: false,
            get: function () {
                record('window', name, undefined);
                return undefined;
            },
            set: function (v) {
                delete global[name];
                global[name] = v;
            }});
    }
    if (logging && options.watch) {
        for (var wi = 0; wi < options.watch.length; wi++)
            if (!(options.watch[wi] in global))
                watchGlobal(options.watch[wi]);
    }
})(this, /*@profile*/{}, /*@options*/{});
