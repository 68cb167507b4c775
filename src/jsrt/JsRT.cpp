// The JsRT calls over JavaScriptCore.
//
// Mapping:
// - a runtime is a JSContextGroup (one JavaScriptCore VM) with our bookkeeping: the pending
//   exception, the property ids, the sources run (for the exception metadata), the counts of
//   JsAddRef, and the stop flag;
// - a context is a JSGlobalContext; the current context is kept per thread;
// - a JsValueRef is the JSValueRef itself (on 64-bit targets a primitive is encoded in the
//   reference, so no value is ever the null reference); a JsPropertyIdRef is a JSStringRef
//   interned by the runtime.
//
// Where JavaScriptCore cannot give what ChakraCore gives, we say so here:
// - SyntaxError carries a line but no column: compile errors report column 0. Values thrown
//   that are not Error objects carry no position at all: line and column 0.
// - `length` in the metadata is 0: JavaScriptCore does not report the span of the error.
// - Promise jobs run in JavaScriptCore's own queue, which it drains before the outermost
//   call into the engine (JsRun, JsCallFunction, ...) returns. So every continuation has
//   run before the call that queued it returns, in the language's order (after the code that
//   queued it); the callback given to JsSetPromiseContinuationCallback is kept but not called.
// - The stop: JsDisableRuntimeExecution sets a flag that JavaScriptCore's execution time
//   limit polls every kStopPollSeconds while script runs (only in runtimes created with
//   JsRuntimeAttributeAllowScriptInterrupt, so other runtimes pay nothing).
// - Memory: JavaScriptCore neither reports a VM's allocations one by one nor refuses them, so
//   a runtime's usage is the growth of the process's resident memory while its calls run
//   (kept from call to call), polled with the stop's flag, every kMemoryPollSeconds, once a
//   limit or an allocation callback is set. The callback hears that growth as JsMemoryAllocate
//   (or JsMemoryFree for a fall) at each poll, after the fact; when it refuses, or the usage
//   passes the limit, the script is ended as by the stop and the call returns
//   JsErrorOutOfMemory (after JsMemoryFailure). Memory another thread's engine gains while
//   this runtime runs counts for this runtime too; a single allocation is not refused, so a
//   runtime can pass its limit by what one built-in call allocates.
#include "JsRT.h"

#include <JavaScriptCore/JavaScript.h>
#include <jsc/jsc.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

// Exported by JavaScriptCore, declared only in its private headers.
extern "C" {
void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit,
                                         bool (*shouldTerminate)(JSContextRef, void*), void* context);
void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef group);
void JSSynchronousGarbageCollectForDebugging(JSContextRef ctx);
void JSGlobalContextSetEvalEnabled(JSGlobalContextRef ctx, bool enabled, JSStringRef message);
}

static_assert(sizeof(void*) == 8, "values are JSValueRefs: needs the 64-bit encoding of JavaScriptCore");

namespace {

constexpr double kStopPollSeconds = 0.1;
constexpr double kMemoryPollSeconds = 0.05;
constexpr size_t kNoMemoryLimit = static_cast<size_t>(-1);
// Sources kept for the metadata's `source` line; the oldest go first.
constexpr size_t kMaxKeptSources = 1024;

struct Runtime;

struct Context {
    JSGlobalContextRef ctx = nullptr;
    Runtime* runtime = nullptr;
    unsigned refCount = 0;
    JsPromiseContinuationCallback continuation = nullptr;
    void* continuationState = nullptr;
    // The realm's own objects, taken before any user script can replace them.
    JSObjectRef errorConstructor = nullptr;
    JSObjectRef syntaxErrorConstructor = nullptr;
    JSObjectRef dataViewConstructor = nullptr;
    JSObjectRef getOwnPropertyNames = nullptr;
    JSObjectRef functionPrototype = nullptr;
    JSObjectRef strictSetter = nullptr;
};

struct KeptSource {
    std::u16string url;
    JSStringRef source;
};

struct PendingException {
    JSValueRef value = nullptr;  // protected while pending
    bool positioned = false;     // the engine told where it was thrown
    int line = 0;                // 0-based
    int column = 0;              // 0-based
    std::u16string url;
    std::u16string sourceLine;
};

struct Runtime {
    JSContextGroupRef group = nullptr;
    unsigned attributes = 0;
    std::vector<Context*> contexts;
    std::atomic<bool> disabled{false};
    bool polling = false;                   // JavaScriptCore's time limit calls shouldTerminate
    bool terminated = false;                // the running call was ended by the stop
    // Memory; read and written on the runtime's own thread only.
    size_t memoryLimit = kNoMemoryLimit;
    JsMemoryAllocationCallback memoryCallback = nullptr;
    void* memoryCallbackState = nullptr;
    long long retainedMemory = 0;           // resident growth kept from calls that have ended
    long long callStartResident = 0;        // resident memory when the outermost call began
    long long callEndResident = 0;          // and when the last one ended
    size_t reportedMemory = 0;              // the usage the callback was last told of
    bool memoryFailed = false;              // the running call was ended by the memory limit
    JSValueRef terminationValue = nullptr;  // what the engine threw to end it (protected)
    int depth = 0;                          // calls into the engine in progress
    PendingException exception;
    bool hasException = false;
    std::unordered_map<std::string, JSStringRef> propertyIds;
    std::unordered_set<const void*> propertyIdSet;
    std::deque<KeptSource> sources;
    std::u16string runningUrl;
    std::unordered_map<const void*, unsigned> valueRefs;
};

std::mutex registryMutex;
std::unordered_set<Runtime*> runtimes;
std::unordered_map<const void*, Context*> contextsByRef;  // our Context* and its JSGlobalContextRef

thread_local Context* current = nullptr;

bool isRuntime(JsRuntimeHandle handle) {
    std::lock_guard lock(registryMutex);
    return runtimes.count(static_cast<Runtime*>(handle)) != 0;
}

Context* findContext(const void* ref) {
    std::lock_guard lock(registryMutex);
    auto it = contextsByRef.find(ref);
    return it == contextsByRef.end() ? nullptr : it->second;
}

// ---- text ----

std::u16string utf8ToUtf16(const char* s, size_t n) {
    std::u16string out;
    out.reserve(n);
    size_t i = 0;
    auto bad = [&] { out.push_back(0xFFFD); ++i; };
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        if (c < 0x80) {
            out.push_back(c);
            ++i;
            continue;
        }
        int extra = 0;
        char32_t least = 0;
        if (c >= 0xC2 && c <= 0xDF)
            extra = 1, least = 0x80;
        else if (c >= 0xE0 && c <= 0xEF)
            extra = 2, least = 0x800;
        else if (c >= 0xF0 && c <= 0xF4)
            extra = 3, least = 0x10000;
        // A sequence cut short counts as one bad character, as decoders that replace
        // maximal subparts do.
        bool ok = extra > 0;
        int seen = 0;
        char32_t cp = c & (0x3F >> extra);
        for (int k = 1; ok && k <= extra; ++k) {
            if (i + k >= n || (static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
            ++seen;
        }
        if (!ok) {
            out.push_back(0xFFFD);
            i += 1 + seen;
            continue;
        }
        if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            bad();
            continue;
        }
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += extra + 1;
    }
    return out;
}

// Lone surrogates become U+FFFD, as ChakraCore writes them.
std::string utf16ToUtf8(const char16_t* s, size_t n) {
    std::string out;
    out.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        char32_t cp = s[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD;
        }
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else if (cp < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

struct StringRef {
    JSStringRef ref;
    explicit StringRef(JSStringRef r) : ref(r) {}
    StringRef(const char16_t* s, size_t n)
        : ref(JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(s), n)) {}
    explicit StringRef(std::u16string_view s) : StringRef(s.data(), s.size()) {}
    ~StringRef() {
        if (ref)
            JSStringRelease(ref);
    }
    StringRef(const StringRef&) = delete;
    StringRef& operator=(const StringRef&) = delete;
    std::u16string_view view() const {
        if (!ref)
            return {};
        return {reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(ref)), JSStringGetLength(ref)};
    }
};

JSValueRef makeString(JSContextRef ctx, std::u16string_view s) {
    StringRef str(s);
    return JSValueMakeString(ctx, str.ref);
}

// ---- memory ----

// The process's resident memory in bytes; 0 when it cannot be read.
long long residentBytes() {
    static const int statm = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    static const long page = sysconf(_SC_PAGESIZE);
    char text[128];
    const ssize_t n = statm < 0 ? -1 : pread(statm, text, sizeof text - 1, 0);
    if (n <= 0)
        return 0;
    text[n] = '\0';
    unsigned long long size = 0, resident = 0;
    if (std::sscanf(text, "%llu %llu", &size, &resident) != 2)
        return 0;
    return static_cast<long long>(resident) * page;
}

bool watchesMemory(const Runtime* rt) {
    return rt->memoryLimit != kNoMemoryLimit || rt->memoryCallback;
}

size_t memoryUsage(const Runtime* rt) {
    long long usage = rt->retainedMemory;
    if (rt->depth > 0)
        usage += residentBytes() - rt->callStartResident;
    return usage > 0 ? static_cast<size_t>(usage) : 0;
}

// Tells the callback how the usage moved since it last heard; false when the runtime must
// stop: the callback refused the growth or the usage is over the limit.
bool memoryAllowed(Runtime* rt) {
    const size_t usage = memoryUsage(rt);
    bool allowed = true;
    if (rt->memoryCallback && usage > rt->reportedMemory)
        allowed = rt->memoryCallback(rt->memoryCallbackState, JsMemoryAllocate, usage - rt->reportedMemory);
    else if (rt->memoryCallback && usage < rt->reportedMemory)
        rt->memoryCallback(rt->memoryCallbackState, JsMemoryFree, rt->reportedMemory - usage);
    rt->reportedMemory = usage;
    if (rt->memoryLimit != kNoMemoryLimit && usage > rt->memoryLimit)
        allowed = false;
    if (!allowed && rt->memoryCallback)
        rt->memoryCallback(rt->memoryCallbackState, JsMemoryFailure, usage);
    return allowed;
}

// ---- the stop ----

double pollSeconds(const Runtime* rt) {
    return watchesMemory(rt) ? kMemoryPollSeconds : kStopPollSeconds;
}

bool shouldTerminate(JSContextRef, void* data) {
    auto* runtime = static_cast<Runtime*>(data);
    // JavaScriptCore calls us once per arming: arm again so the stop flag keeps being polled.
    JSContextGroupSetExecutionTimeLimit(runtime->group, pollSeconds(runtime), shouldTerminate, runtime);
    if (runtime->disabled.load()) {
        runtime->terminated = true;
        return true;
    }
    if (watchesMemory(runtime) && runtime->depth > 0 && !memoryAllowed(runtime)) {
        runtime->memoryFailed = true;
        runtime->terminated = true;
        return true;
    }
    return false;
}

void startPolling(Runtime* rt) {
    JSContextGroupSetExecutionTimeLimit(rt->group, pollSeconds(rt), shouldTerminate, rt);
    rt->polling = true;
}

// ---- exceptions ----

JSValueRef ownProperty(JSContextRef ctx, JSObjectRef object, const char* name) {
    JSStringRef key = JSStringCreateWithUTF8CString(name);
    JSValueRef ignored = nullptr;
    JSValueRef value = JSObjectGetProperty(ctx, object, key, &ignored);
    JSStringRelease(key);
    return ignored ? nullptr : value;
}

// The text of the 0-based line, without its line end; false when the text is shorter.
bool lineOf(std::u16string_view text, int line, std::u16string& found) {
    size_t start = 0;
    for (int k = 0; k < line; ++k) {
        size_t nl = text.find(u'\n', start);
        if (nl == std::u16string_view::npos)
            return false;
        start = nl + 1;
    }
    size_t end = text.find(u'\n', start);
    std::u16string_view l = text.substr(start, end == std::u16string_view::npos ? text.size() - start : end - start);
    if (!l.empty() && l.back() == u'\r')
        l.remove_suffix(1);
    found.assign(l);
    return true;
}

void recordException(Context* c, JSValueRef value) {
    Runtime* rt = c->runtime;
    JSContextRef ctx = c->ctx;
    PendingException& e = rt->exception;
    e = PendingException{};
    e.value = value;
    JSValueProtect(ctx, value);
    rt->hasException = true;
    e.url = rt->runningUrl;

    JSValueRef ignored = nullptr;
    if (!JSValueIsObject(ctx, value) || !JSValueIsInstanceOfConstructor(ctx, value, c->errorConstructor, &ignored))
        return;
    auto* error = const_cast<JSObjectRef>(reinterpret_cast<const OpaqueJSValue*>(value));
    if (JSValueRef line = ownProperty(ctx, error, "line"); line && JSValueIsNumber(ctx, line)) {
        e.line = std::max(0, static_cast<int>(JSValueToNumber(ctx, line, nullptr)) - 1);
        e.positioned = true;
    }
    if (JSValueRef column = ownProperty(ctx, error, "column"); column && JSValueIsNumber(ctx, column))
        e.column = std::max(0, static_cast<int>(JSValueToNumber(ctx, column, nullptr)) - 1);
    if (JSValueRef url = ownProperty(ctx, error, "sourceURL"); url && JSValueIsString(ctx, url)) {
        StringRef s(JSValueToStringCopy(ctx, url, nullptr));
        e.url = std::u16string(s.view());
    }
    // Scripts often share one URL: take the latest of them that is long enough.
    for (auto it = rt->sources.rbegin(); it != rt->sources.rend(); ++it) {
        if (it->url != e.url)
            continue;
        StringRef source(JSStringRetain(it->source));
        if (lineOf(source.view(), e.line, e.sourceLine))
            break;
    }
}

void clearException(Runtime* rt, JSContextRef ctx) {
    if (rt->hasException && rt->exception.value)
        JSValueUnprotect(ctx, rt->exception.value);
    rt->exception = PendingException{};
    rt->hasException = false;
}

// What a call into the engine ended with. `exception` is what JavaScriptCore threw, if
// anything; `compileError` marks a script that did not parse.
JsErrorCode finishCall(Context* c, JSValueRef exception, bool compileError = false) {
    Runtime* rt = c->runtime;
    if (rt->terminated) {
        if (exception && !rt->terminationValue) {
            rt->terminationValue = exception;
            JSValueProtect(c->ctx, exception);
        }
        const bool outOfMemory = rt->memoryFailed;
        if (rt->depth == 0) {
            rt->terminated = false;
            rt->memoryFailed = false;
            if (rt->terminationValue)
                JSValueUnprotect(c->ctx, rt->terminationValue);
            rt->terminationValue = nullptr;
        }
        return outOfMemory ? JsErrorOutOfMemory : JsErrorScriptTerminated;
    }
    if (!exception)
        return JsNoError;
    recordException(c, exception);
    return compileError ? JsErrorScriptCompile : JsErrorScriptException;
}

// Every call that needs a current context starts here. Calls that run no script work
// whatever state the runtime is in.
JsErrorCode enter(Context*& c) {
    c = current;
    return c ? JsNoError : JsErrorNoCurrentContext;
}

// Calls that may run script: refused while an exception is pending or the runtime is stopped.
JsErrorCode enterScript(Context*& c) {
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    if (c->runtime->disabled.load())
        return JsErrorInDisabledState;
    if (c->runtime->hasException)
        return JsErrorInExceptionState;
    if (watchesMemory(c->runtime) && c->runtime->depth == 0 && c->runtime->memoryLimit != kNoMemoryLimit &&
        memoryUsage(c->runtime) > c->runtime->memoryLimit)
        return JsErrorOutOfMemory;
    return JsNoError;
}

// A call into the engine. The outermost one measures the resident memory it gains.
struct Depth {
    Runtime* rt;
    explicit Depth(Runtime* r) : rt(r) {
        if (rt->depth++ != 0 || !watchesMemory(rt))
            return;
        rt->callStartResident = residentBytes();
        // JavaScriptCore hands freed pages back in the background, mostly between calls: a fall
        // since the last call counts as this runtime's (a rise is another's).
        if (rt->callEndResident > rt->callStartResident)
            rt->retainedMemory = std::max(0LL, rt->retainedMemory - (rt->callEndResident - rt->callStartResident));
    }
    ~Depth() {
        if (--rt->depth != 0 || !watchesMemory(rt))
            return;
        rt->callEndResident = residentBytes();
        rt->retainedMemory = std::max(0LL, rt->retainedMemory + rt->callEndResident - rt->callStartResident);
        rt->reportedMemory = std::min(rt->reportedMemory, static_cast<size_t>(rt->retainedMemory));
    }
};

// Runs fn(JSValueRef* exception) as a call into the engine.
template <class F>
JsErrorCode scriptCall(Context* c, F fn) {
    JSValueRef exception = nullptr;
    {
        Depth depth(c->runtime);
        fn(&exception);
    }
    return finishCall(c, exception);
}

// ---- functions made by JsCreateFunction ----

struct NativeFunction {
    JsNativeFunction function;
    void* state;
};

JSValueRef callNative(JSContextRef ctx, JSObjectRef function, JSValueRef thisValue, bool construct,
                      size_t argc, const JSValueRef argv[], JSValueRef* exception) {
    auto* native = static_cast<NativeFunction*>(JSObjectGetPrivate(function));
    Context* c = findContext(JSContextGetGlobalContext(ctx));
    if (!native || !c)
        return JSValueMakeUndefined(ctx);
    Context* saved = current;
    current = c;
    size_t count = std::min<size_t>(argc + 1, USHRT_MAX);
    std::vector<JsValueRef> args(count);
    args[0] = const_cast<OpaqueJSValue*>(thisValue ? thisValue : JSValueMakeUndefined(ctx));
    for (size_t k = 1; k < count; ++k)
        args[k] = const_cast<OpaqueJSValue*>(argv[k - 1]);
    JsValueRef result =
        native->function(function, construct, args.data(), static_cast<unsigned short>(count), native->state);
    current = saved;
    Runtime* rt = c->runtime;
    // A script called from the native function was stopped: end the caller too.
    if (rt->terminated) {
        *exception = rt->terminationValue ? rt->terminationValue : makeString(ctx, u"Script terminated");
        return JSValueMakeUndefined(ctx);
    }
    // An exception left pending by the native function is thrown into its caller.
    if (rt->hasException) {
        JSValueRef value = rt->exception.value;
        rt->exception = PendingException{};
        rt->hasException = false;
        *exception = value;
        JSValueUnprotect(ctx, value);
        return JSValueMakeUndefined(ctx);
    }
    return result ? static_cast<JSValueRef>(result) : JSValueMakeUndefined(ctx);
}

JSValueRef callAsFunction(JSContextRef ctx, JSObjectRef function, JSObjectRef thisObject, size_t argc,
                          const JSValueRef argv[], JSValueRef* exception) {
    return callNative(ctx, function, thisObject, false, argc, argv, exception);
}

JSObjectRef callAsConstructor(JSContextRef ctx, JSObjectRef constructor, size_t argc, const JSValueRef argv[],
                              JSValueRef* exception) {
    JSValueRef result = callNative(ctx, constructor, nullptr, true, argc, argv, exception);
    if (*exception)
        return nullptr;
    if (JSValueIsObject(ctx, result))
        return const_cast<JSObjectRef>(reinterpret_cast<const OpaqueJSValue*>(result));
    return JSObjectMake(ctx, nullptr, nullptr);
}

void finalizeNative(JSObjectRef object) {
    delete static_cast<NativeFunction*>(JSObjectGetPrivate(object));
}

JSClassRef nativeFunctionClass() {
    static JSClassRef cls = [] {
        JSClassDefinition def = kJSClassDefinitionEmpty;
        def.className = "Function";
        def.callAsFunction = callAsFunction;
        def.callAsConstructor = callAsConstructor;
        def.finalize = finalizeNative;
        return JSClassCreate(&def);
    }();
    return cls;
}

// ---- helpers for values ----

JSObjectRef asObject(JSValueRef v) {
    return const_cast<JSObjectRef>(reinterpret_cast<const OpaqueJSValue*>(v));
}

JSValueRef asValue(JsValueRef v) {
    return static_cast<JSValueRef>(v);
}

JsValueRef out(JSValueRef v) {
    return const_cast<OpaqueJSValue*>(v);
}

void protect(JSContextRef ctx, JSObjectRef o) {
    if (o)
        JSValueProtect(ctx, o);
}

void unprotect(JSContextRef ctx, JSObjectRef o) {
    if (o)
        JSValueUnprotect(ctx, o);
}

// Also removes JavaScriptCore's own `console`, which ChakraCore's global does not have: a
// host that sets `console` must get a plain enumerable property, as it would there.
void takeRealmObjects(Context* c) {
    static const char16_t kScript[] =
        u"delete globalThis.console, [Error, SyntaxError, typeof DataView == 'function' ? DataView : null, Object.getOwnPropertyNames,"
        u" Function.prototype, function (o, k, v) { 'use strict'; o[k] = v; }]";
    StringRef script(kScript, sizeof kScript / sizeof kScript[0] - 1);
    JSValueRef list = JSEvaluateScript(c->ctx, script.ref, nullptr, nullptr, 1, nullptr);
    if (!list || !JSValueIsObject(c->ctx, list))
        return;
    auto at = [&](unsigned k) -> JSObjectRef {
        JSValueRef v = JSObjectGetPropertyAtIndex(c->ctx, asObject(list), k, nullptr);
        return v && JSValueIsObject(c->ctx, v) ? asObject(v) : nullptr;
    };
    c->errorConstructor = at(0);
    c->syntaxErrorConstructor = at(1);
    c->dataViewConstructor = at(2);
    c->getOwnPropertyNames = at(3);
    c->functionPrototype = at(4);
    c->strictSetter = at(5);
    for (JSObjectRef o : {c->errorConstructor, c->syntaxErrorConstructor, c->dataViewConstructor,
                          c->getOwnPropertyNames, c->functionPrototype, c->strictSetter})
        protect(c->ctx, o);
}

// Makes the context's world ChakraCore 1.11's before any script of the host runs: the
// built-ins 1.11 lacks are removed and Error takes JScript's two arguments (number,
// description). The script is generated from the browser-compatibility data at build time.
void applyChakraCoreProfile(Context* c) {
    static const char kProfile[] =
#include "chakracore-profile.inc"
        ;
    const std::u16string text = utf8ToUtf16(kProfile, sizeof kProfile - 1);
    StringRef script(text);
    JSEvaluateScript(c->ctx, script.ref, nullptr, nullptr, 1, nullptr);
}

void releaseContext(Context* c) {
    for (JSObjectRef o : {c->errorConstructor, c->syntaxErrorConstructor, c->dataViewConstructor,
                          c->getOwnPropertyNames, c->functionPrototype, c->strictSetter})
        unprotect(c->ctx, o);
    JSGlobalContextRelease(c->ctx);
    delete c;
}

bool isInstance(JSContextRef ctx, JSValueRef v, JSObjectRef constructor) {
    if (!constructor)
        return false;
    JSValueRef ignored = nullptr;
    return JSValueIsInstanceOfConstructor(ctx, v, constructor, &ignored) && !ignored;
}

JsErrorCode valueType(Context* c, JSValueRef v, JsValueType* type) {
    JSContextRef ctx = c->ctx;
    switch (JSValueGetType(ctx, v)) {
    case kJSTypeUndefined: *type = JsUndefined; return JsNoError;
    case kJSTypeNull: *type = JsNull; return JsNoError;
    case kJSTypeBoolean: *type = JsBoolean; return JsNoError;
    case kJSTypeNumber: *type = JsNumber; return JsNoError;
    case kJSTypeString: *type = JsString; return JsNoError;
    case kJSTypeSymbol: *type = JsSymbol; return JsNoError;
    case kJSTypeObject: break;
    default:
        // BigInt has no type of its own in the table: it reads as a number.
        *type = JsNumber;
        return JsNoError;
    }
    JSObjectRef o = asObject(v);
    JSTypedArrayType typed = JSValueGetTypedArrayType(ctx, v, nullptr);
    if (typed == kJSTypedArrayTypeArrayBuffer)
        *type = JsArrayBuffer;
    else if (typed != kJSTypedArrayTypeNone)
        *type = JsTypedArray;
    else if (JSObjectIsFunction(ctx, o))
        *type = JsFunction;
    else if (JSValueIsArray(ctx, v))
        *type = JsArray;
    else if (isInstance(ctx, v, c->errorConstructor))
        *type = JsError;
    else if (isInstance(ctx, v, c->dataViewConstructor))
        *type = JsDataView;
    else
        *type = JsObject;
    return JsNoError;
}

// The characters of a string value, without running script.
bool stringChars(JSContextRef ctx, JSValueRef v, std::u16string& chars) {
    if (!v || !JSValueIsString(ctx, v))
        return false;
    StringRef s(JSValueToStringCopy(ctx, v, nullptr));
    chars.assign(s.view());
    return true;
}

bool isPropertyKey(JSContextRef ctx, JSValueRef key) {
    return key && (JSValueIsString(ctx, key) || JSValueIsSymbol(ctx, key));
}

// The characters of a string value, for the two copy calls.
JsErrorCode stringValueChars(JsValueRef value, std::u16string& chars) {
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    return stringChars(c->ctx, asValue(value), chars) ? JsNoError : JsErrorInvalidArgument;
}

// object[key] read in script (getters run, exceptions are recorded), for the property reads
// by key and by index.
JsErrorCode getForKey(Context* c, JsValueRef object, JsValueRef key, JsValueRef* value) {
    JSValueRef got = nullptr;
    JsErrorCode code = scriptCall(c, [&](JSValueRef* exception) {
        got = JSObjectGetPropertyForKey(c->ctx, asObject(asValue(object)), asValue(key), exception);
    });
    if (code == JsNoError)
        *value = out(got);
    return code;
}

}  // namespace

// ======================= runtimes and contexts =======================

namespace {
// By default JavaScriptCore interrupts compiled code by throwing the code away, so every poll
// of the stop flag would send a hot loop back through the compilers (measured: a 2e8-step
// loop ran about 1.6 times slower). With polling traps the compiled code checks a flag
// instead and keeps its speed. Set once, before the first engine is made. The options are
// the process's: once JavaScriptCore has made its first engine they are frozen, and setting
// one then crashes. Another user of JavaScriptCore in the process (the program's tools
// context) asks for the same before its own first engine, so a value already set is left.
void configureEngineOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        gboolean polling = FALSE;
        if (!jsc_options_get_boolean("usePollingTraps", &polling) || !polling)
            jsc_options_set_boolean("usePollingTraps", TRUE);
    });
}
}  // namespace

JSRT_API JsCreateRuntime(JsRuntimeAttributes attributes, JsThreadServiceCallback, JsRuntimeHandle* runtime) {
    if (!runtime)
        return JsErrorNullArgument;
    configureEngineOnce();
    auto* rt = new Runtime;
    rt->group = JSContextGroupCreate();
    rt->attributes = attributes;
    if (attributes & JsRuntimeAttributeAllowScriptInterrupt)
        startPolling(rt);
    {
        std::lock_guard lock(registryMutex);
        runtimes.insert(rt);
    }
    *runtime = rt;
    return JsNoError;
}

JSRT_API JsDisposeRuntime(JsRuntimeHandle runtime) {
    auto* rt = static_cast<Runtime*>(runtime);
    {
        std::lock_guard lock(registryMutex);
        if (!runtimes.count(rt))
            return JsErrorInvalidArgument;
        if (rt->depth > 0 || (current && current->runtime == rt))
            return JsErrorRuntimeInUse;
        runtimes.erase(rt);
        for (Context* c : rt->contexts) {
            contextsByRef.erase(c);
            contextsByRef.erase(c->ctx);
        }
    }
    if (!rt->contexts.empty()) {
        JSContextRef ctx = rt->contexts.front()->ctx;
        clearException(rt, ctx);
        for (auto& [value, count] : rt->valueRefs)
            for (unsigned k = 0; k < count; ++k)
                JSValueUnprotect(ctx, static_cast<JSValueRef>(value));
    }
    for (auto& [name, id] : rt->propertyIds)
        JSStringRelease(id);
    for (KeptSource& s : rt->sources)
        JSStringRelease(s.source);
    for (Context* c : rt->contexts)
        releaseContext(c);
    if (rt->polling)
        JSContextGroupClearExecutionTimeLimit(rt->group);
    JSContextGroupRelease(rt->group);
    delete rt;
    return JsNoError;
}

JSRT_API JsCollectGarbage(JsRuntimeHandle runtime) {
    if (!isRuntime(runtime))
        return JsErrorInvalidArgument;
    auto* rt = static_cast<Runtime*>(runtime);
    if (!rt->contexts.empty())
        JSSynchronousGarbageCollectForDebugging(rt->contexts.front()->ctx);
    return JsNoError;
}

JSRT_API JsCreateContext(JsRuntimeHandle runtime, JsContextRef* newContext) {
    if (!newContext)
        return JsErrorNullArgument;
    if (!isRuntime(runtime))
        return JsErrorInvalidArgument;
    auto* rt = static_cast<Runtime*>(runtime);
    auto* c = new Context;
    c->runtime = rt;
    c->ctx = JSGlobalContextCreateInGroup(rt->group, nullptr);
    takeRealmObjects(c);
    applyChakraCoreProfile(c);
    if (rt->attributes & JsRuntimeAttributeDisableEval) {
        StringRef message(std::u16string_view(u"eval is disabled"));
        JSGlobalContextSetEvalEnabled(c->ctx, false, message.ref);
    }
    rt->contexts.push_back(c);
    {
        std::lock_guard lock(registryMutex);
        contextsByRef[c] = c;
        contextsByRef[c->ctx] = c;
    }
    *newContext = c;
    return JsNoError;
}

JSRT_API JsSetCurrentContext(JsContextRef context) {
    if (!context) {
        current = nullptr;
        return JsNoError;
    }
    Context* c = findContext(context);
    if (!c || c != context)
        return JsErrorInvalidArgument;
    current = c;
    return JsNoError;
}

JSRT_API JsGetCurrentContext(JsContextRef* currentContext) {
    if (!currentContext)
        return JsErrorNullArgument;
    *currentContext = current;
    return JsNoError;
}

JSRT_API JsAddRef(JsRef ref, unsigned int* count) {
    if (!ref)
        return JsErrorInvalidArgument;
    if (Context* c = findContext(ref); c && c == ref) {
        ++c->refCount;
        if (count)
            *count = c->refCount;
        return JsNoError;
    }
    Context* c = current;
    if (!c)
        return JsErrorNoCurrentContext;
    Runtime* rt = c->runtime;
    if (rt->propertyIdSet.count(ref)) {
        if (count)
            *count = 1;
        return JsNoError;
    }
    JSValueProtect(c->ctx, asValue(ref));
    unsigned n = ++rt->valueRefs[ref];
    if (count)
        *count = n;
    return JsNoError;
}

JSRT_API JsRelease(JsRef ref, unsigned int* count) {
    if (!ref)
        return JsErrorInvalidArgument;
    if (Context* c = findContext(ref); c && c == ref) {
        if (c->refCount)
            --c->refCount;
        if (count)
            *count = c->refCount;
        return JsNoError;
    }
    Context* c = current;
    if (!c)
        return JsErrorNoCurrentContext;
    Runtime* rt = c->runtime;
    unsigned n = 0;
    if (auto it = rt->valueRefs.find(ref); it != rt->valueRefs.end()) {
        JSValueUnprotect(c->ctx, asValue(ref));
        n = --it->second;
        if (n == 0)
            rt->valueRefs.erase(it);
    }
    if (count)
        *count = n;
    return JsNoError;
}

JSRT_API JsDisableRuntimeExecution(JsRuntimeHandle runtime) {
    std::lock_guard lock(registryMutex);
    auto* rt = static_cast<Runtime*>(runtime);
    if (!runtimes.count(rt))
        return JsErrorInvalidArgument;
    if (!(rt->attributes & JsRuntimeAttributeAllowScriptInterrupt))
        return JsErrorCannotDisableExecution;
    rt->disabled.store(true);
    return JsNoError;
}

JSRT_API JsEnableRuntimeExecution(JsRuntimeHandle runtime) {
    std::lock_guard lock(registryMutex);
    auto* rt = static_cast<Runtime*>(runtime);
    if (!runtimes.count(rt))
        return JsErrorInvalidArgument;
    rt->disabled.store(false);
    return JsNoError;
}

JSRT_API JsIsRuntimeExecutionDisabled(JsRuntimeHandle runtime, bool* isDisabled) {
    if (!isDisabled)
        return JsErrorNullArgument;
    std::lock_guard lock(registryMutex);
    auto* rt = static_cast<Runtime*>(runtime);
    if (!runtimes.count(rt))
        return JsErrorInvalidArgument;
    *isDisabled = rt->disabled.load();
    return JsNoError;
}

JSRT_API JsGetRuntimeMemoryUsage(JsRuntimeHandle runtime, size_t* memoryUsage) {
    if (!memoryUsage)
        return JsErrorNullArgument;
    if (!isRuntime(runtime))
        return JsErrorInvalidArgument;
    *memoryUsage = ::memoryUsage(static_cast<Runtime*>(runtime));
    return JsNoError;
}

JSRT_API JsGetRuntimeMemoryLimit(JsRuntimeHandle runtime, size_t* memoryLimit) {
    if (!memoryLimit)
        return JsErrorNullArgument;
    if (!isRuntime(runtime))
        return JsErrorInvalidArgument;
    *memoryLimit = static_cast<Runtime*>(runtime)->memoryLimit;
    return JsNoError;
}

JSRT_API JsSetRuntimeMemoryLimit(JsRuntimeHandle runtime, size_t memoryLimit) {
    if (!isRuntime(runtime))
        return JsErrorInvalidArgument;
    auto* rt = static_cast<Runtime*>(runtime);
    if (rt->depth > 0)
        return JsErrorRuntimeInUse;
    rt->memoryLimit = memoryLimit;
    if (watchesMemory(rt))
        startPolling(rt);
    return JsNoError;
}

JSRT_API JsSetRuntimeMemoryAllocationCallback(JsRuntimeHandle runtime, void* callbackState,
                                              JsMemoryAllocationCallback allocationCallback) {
    if (!isRuntime(runtime))
        return JsErrorInvalidArgument;
    auto* rt = static_cast<Runtime*>(runtime);
    if (rt->depth > 0)
        return JsErrorRuntimeInUse;
    rt->memoryCallback = allocationCallback;
    rt->memoryCallbackState = callbackState;
    if (watchesMemory(rt))
        startPolling(rt);
    return JsNoError;
}

// ======================= running =======================

JSRT_API JsRun(JsValueRef script, JsSourceContext, JsValueRef sourceUrl, JsParseScriptAttributes parseAttributes,
               JsValueRef* result) {
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    if (!script || !sourceUrl)
        return JsErrorNullArgument;
    JSContextRef ctx = c->ctx;
    std::u16string url;
    if (!stringChars(ctx, asValue(sourceUrl), url))
        return JsErrorInvalidArgument;

    std::u16string text;
    if (!stringChars(ctx, asValue(script), text)) {
        if (JSValueGetTypedArrayType(ctx, asValue(script), nullptr) != kJSTypedArrayTypeArrayBuffer)
            return JsErrorInvalidArgument;
        JSObjectRef buffer = asObject(asValue(script));
        auto* bytes = static_cast<const char*>(JSObjectGetArrayBufferBytesPtr(ctx, buffer, nullptr));
        size_t size = JSObjectGetArrayBufferByteLength(ctx, buffer, nullptr);
        if (parseAttributes & JsParseScriptAttributeArrayBufferIsUtf16Encoded)
            text.assign(reinterpret_cast<const char16_t*>(bytes), size / 2);
        else
            text = utf8ToUtf16(bytes, size);
    }

    Runtime* rt = c->runtime;
    JSStringRef source = JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(text.data()), text.size());
    StringRef urlString(url);
    if (!rt->sources.empty() && rt->sources.back().url == url && JSStringIsEqual(rt->sources.back().source, source)) {
        // the same text again (a repeated evaluation): keep one copy
    } else {
        rt->sources.push_back({url, JSStringRetain(source)});
        if (rt->sources.size() > kMaxKeptSources) {
            JSStringRelease(rt->sources.front().source);
            rt->sources.pop_front();
        }
    }
    std::u16string outerUrl = rt->runningUrl;
    rt->runningUrl = url;

    JSValueRef exception = nullptr;
    JSValueRef value = nullptr;
    {
        Depth depth(rt);
        value = JSEvaluateScript(ctx, source, nullptr, urlString.ref, 1, &exception);
    }
    bool compileError = false;
    if (exception && !rt->terminated && isInstance(ctx, exception, c->syntaxErrorConstructor))
        compileError = !JSCheckScriptSyntax(ctx, source, urlString.ref, 1, nullptr);
    JSStringRelease(source);
    JsErrorCode code = finishCall(c, exception, compileError);
    rt->runningUrl = outerUrl;
    if (result)
        *result = code == JsNoError && value ? out(value) : nullptr;
    return code;
}

JSRT_API JsCallFunction(JsValueRef function, JsValueRef* arguments, unsigned short argumentCount,
                        JsValueRef* result) {
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    if (!function)
        return JsErrorNullArgument;
    if (argumentCount == 0 || !arguments)
        return JsErrorInvalidArgument;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(function)) || !JSObjectIsFunction(ctx, asObject(asValue(function))))
        return JsErrorInvalidArgument;
    JSValueRef self = asValue(arguments[0]);
    JSObjectRef thisObject = nullptr;
    if (self && JSValueIsObject(ctx, self))
        thisObject = asObject(self);
    else if (self && !JSValueIsUndefined(ctx, self) && !JSValueIsNull(ctx, self))
        thisObject = JSValueToObject(ctx, self, nullptr);
    std::vector<JSValueRef> args;
    for (unsigned k = 1; k < argumentCount; ++k)
        args.push_back(asValue(arguments[k]));
    JSValueRef value = nullptr;
    JsErrorCode code = scriptCall(c, [&](JSValueRef* exception) {
        value = JSObjectCallAsFunction(ctx, asObject(asValue(function)), thisObject, args.size(), args.data(),
                                       exception);
    });
    if (result)
        *result = code == JsNoError && value ? out(value) : nullptr;
    return code;
}

JSRT_API JsSetPromiseContinuationCallback(JsPromiseContinuationCallback callback, void* callbackState) {
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    c->continuation = callback;
    c->continuationState = callbackState;
    return JsNoError;
}

// ======================= exceptions =======================

JSRT_API JsHasException(bool* hasException) {
    if (!hasException)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError) {
        *hasException = false;
        return e;
    }
    *hasException = c->runtime->hasException;
    return JsNoError;
}

JSRT_API JsGetAndClearException(JsValueRef* exception) {
    if (!exception)
        return JsErrorNullArgument;
    *exception = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    Runtime* rt = c->runtime;
    if (!rt->hasException)
        return JsErrorInvalidArgument;
    JSValueRef value = rt->exception.value;
    clearException(rt, c->ctx);
    *exception = out(value);
    return JsNoError;
}

JSRT_API JsGetAndClearExceptionWithMetadata(JsValueRef* metadata) {
    if (!metadata)
        return JsErrorNullArgument;
    *metadata = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    Runtime* rt = c->runtime;
    if (!rt->hasException)
        return JsErrorInvalidArgument;
    JSContextRef ctx = c->ctx;
    PendingException e = rt->exception;
    JSObjectRef record = JSObjectMake(ctx, nullptr, nullptr);
    auto set = [&](const char* name, JSValueRef value) {
        JSStringRef key = JSStringCreateWithUTF8CString(name);
        JSObjectSetProperty(ctx, record, key, value, kJSPropertyAttributeNone, nullptr);
        JSStringRelease(key);
    };
    set("exception", e.value);
    // Without a position (a thrown value that is not an Error) the record has no line and
    // column, rather than pointing at the start of the script.
    if (e.positioned) {
        set("line", JSValueMakeNumber(ctx, e.line));
        set("column", JSValueMakeNumber(ctx, e.column));
    }
    set("length", JSValueMakeNumber(ctx, 0));
    set("source", makeString(ctx, e.sourceLine));
    set("url", makeString(ctx, e.url));
    clearException(rt, ctx);
    *metadata = record;
    return JsNoError;
}

// ======================= values =======================

JSRT_API JsGetGlobalObject(JsValueRef* globalObject) {
    if (!globalObject)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *globalObject = JSContextGetGlobalObject(c->ctx);
    return JsNoError;
}

JSRT_API JsGetUndefinedValue(JsValueRef* undefinedValue) {
    if (!undefinedValue)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *undefinedValue = out(JSValueMakeUndefined(c->ctx));
    return JsNoError;
}

JSRT_API JsGetNullValue(JsValueRef* nullValue) {
    if (!nullValue)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *nullValue = out(JSValueMakeNull(c->ctx));
    return JsNoError;
}

JSRT_API JsCreateObject(JsValueRef* object) {
    if (!object)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *object = JSObjectMake(c->ctx, nullptr, nullptr);
    return JsNoError;
}

JSRT_API JsCreateFunction(JsNativeFunction nativeFunction, void* callbackState, JsValueRef* function) {
    if (!function || !nativeFunction)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    JSObjectRef f = JSObjectMake(c->ctx, nativeFunctionClass(), new NativeFunction{nativeFunction, callbackState});
    // Give it call, apply and bind like any function.
    if (c->functionPrototype)
        JSObjectSetPrototype(c->ctx, f, c->functionPrototype);
    *function = f;
    return JsNoError;
}

JSRT_API JsGetValueType(JsValueRef value, JsValueType* type) {
    if (!value || !type)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    return valueType(c, asValue(value), type);
}

JSRT_API JsConvertValueToString(JsValueRef value, JsValueRef* stringValue) {
    if (!value || !stringValue)
        return JsErrorNullArgument;
    *stringValue = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    if (JSValueIsString(ctx, asValue(value))) {
        *stringValue = value;
        return JsNoError;
    }
    JSValueRef made = nullptr;
    JsErrorCode code = scriptCall(c, [&](JSValueRef* exception) {
        JSStringRef s = JSValueToStringCopy(ctx, asValue(value), exception);
        if (s) {
            made = JSValueMakeString(ctx, s);
            JSStringRelease(s);
        }
    });
    if (code == JsNoError)
        *stringValue = out(made);
    return code;
}

JSRT_API JsIntToNumber(int intValue, JsValueRef* value) {
    return JsDoubleToNumber(intValue, value);
}

JSRT_API JsDoubleToNumber(double doubleValue, JsValueRef* value) {
    if (!value)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *value = out(JSValueMakeNumber(c->ctx, doubleValue));
    return JsNoError;
}

JSRT_API JsNumberToDouble(JsValueRef value, double* doubleValue) {
    if (!value || !doubleValue)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    JSValueRef v = asValue(value);
    if (JSValueIsNumber(ctx, v)) {
        *doubleValue = JSValueToNumber(ctx, v, nullptr);
        return JsNoError;
    }
    if (JSValueIsBigInt(ctx, v)) {
        StringRef s(JSValueToStringCopy(ctx, v, nullptr));
        std::string digits = utf16ToUtf8(s.view().data(), s.view().size());
        *doubleValue = std::strtod(digits.c_str(), nullptr);
        return JsNoError;
    }
    return JsErrorInvalidArgument;
}

JSRT_API JsNumberToInt(JsValueRef value, int* intValue) {
    if (!intValue)
        return JsErrorNullArgument;
    double d = 0;
    if (JsErrorCode e = JsNumberToDouble(value, &d); e != JsNoError)
        return e;
    // ToInt32: wraps modulo 2^32; NaN and the infinities give 0.
    if (!std::isfinite(d)) {
        *intValue = 0;
        return JsNoError;
    }
    double m = std::fmod(std::trunc(d), 4294967296.0);
    if (m < 0)
        m += 4294967296.0;
    *intValue = static_cast<int>(static_cast<uint32_t>(m));
    return JsNoError;
}

JSRT_API JsBoolToBoolean(bool value, JsValueRef* booleanValue) {
    if (!booleanValue)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *booleanValue = out(JSValueMakeBoolean(c->ctx, value));
    return JsNoError;
}

JSRT_API JsBooleanToBool(JsValueRef value, bool* boolValue) {
    if (!value || !boolValue)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    if (!JSValueIsBoolean(c->ctx, asValue(value)))
        return JsErrorInvalidArgument;
    *boolValue = JSValueToBoolean(c->ctx, asValue(value));
    return JsNoError;
}

// ======================= strings =======================

JSRT_API JsCreateString(const char* content, size_t length, JsValueRef* value) {
    if (!value || (!content && length))
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *value = out(makeString(c->ctx, utf8ToUtf16(content, length)));
    return JsNoError;
}

JSRT_API JsCreateStringUtf16(const uint16_t* content, size_t length, JsValueRef* value) {
    if (!value || (!content && length))
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    *value = out(makeString(c->ctx, {reinterpret_cast<const char16_t*>(content), length}));
    return JsNoError;
}

JSRT_API JsCopyString(JsValueRef value, char* buffer, size_t bufferSize, size_t* length) {
    if (!value)
        return JsErrorNullArgument;
    std::u16string chars;
    if (JsErrorCode e = stringValueChars(value, chars); e != JsNoError)
        return e;
    std::string utf8 = utf16ToUtf8(chars.data(), chars.size());
    size_t n = utf8.size();
    if (buffer) {
        n = std::min(n, bufferSize);
        std::memcpy(buffer, utf8.data(), n);
    }
    if (length)
        *length = n;
    return JsNoError;
}

JSRT_API JsCopyStringUtf16(JsValueRef value, int start, int length, uint16_t* buffer, size_t* written) {
    if (!value)
        return JsErrorNullArgument;
    std::u16string chars;
    if (JsErrorCode e = stringValueChars(value, chars); e != JsNoError)
        return e;
    if (start < 0 || static_cast<size_t>(start) > chars.size())
        return JsErrorInvalidArgument;
    size_t available = chars.size() - start;
    size_t n = length < 0 ? available : std::min(available, static_cast<size_t>(length));
    if (buffer)
        std::memcpy(buffer, chars.data() + start, n * sizeof(uint16_t));
    if (written)
        *written = n;
    return JsNoError;
}

JSRT_API JsGetStringLength(JsValueRef stringValue, int* length) {
    if (!stringValue || !length)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    if (!JSValueIsString(c->ctx, asValue(stringValue)))
        return JsErrorInvalidArgument;
    StringRef s(JSValueToStringCopy(c->ctx, asValue(stringValue), nullptr));
    *length = static_cast<int>(JSStringGetLength(s.ref));
    return JsNoError;
}

// ======================= properties =======================

JSRT_API JsCreatePropertyId(const char* name, size_t length, JsPropertyIdRef* propertyId) {
    if (!propertyId || (!name && length))
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enter(c); e != JsNoError)
        return e;
    Runtime* rt = c->runtime;
    std::string key(name ? name : "", length);
    auto it = rt->propertyIds.find(key);
    if (it == rt->propertyIds.end()) {
        std::u16string chars = utf8ToUtf16(key.data(), key.size());
        JSStringRef id = JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(chars.data()), chars.size());
        it = rt->propertyIds.emplace(key, id).first;
        rt->propertyIdSet.insert(id);
    }
    *propertyId = it->second;
    return JsNoError;
}

JSRT_API JsGetProperty(JsValueRef object, JsPropertyIdRef propertyId, JsValueRef* value) {
    if (!object || !propertyId || !value)
        return JsErrorNullArgument;
    *value = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    if (!c->runtime->propertyIdSet.count(propertyId))
        return JsErrorInvalidArgument;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(object)))
        return JsErrorArgumentNotObject;
    JSValueRef got = nullptr;
    JsErrorCode code = scriptCall(c, [&](JSValueRef* exception) {
        got = JSObjectGetProperty(ctx, asObject(asValue(object)), static_cast<JSStringRef>(propertyId), exception);
    });
    if (code == JsNoError)
        *value = out(got);
    return code;
}

JSRT_API JsSetProperty(JsValueRef object, JsPropertyIdRef propertyId, JsValueRef value, bool useStrictRules) {
    if (!object || !propertyId || !value)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    if (!c->runtime->propertyIdSet.count(propertyId))
        return JsErrorInvalidArgument;
    JSValueRef key = makeString(c->ctx, StringRef(JSStringRetain(static_cast<JSStringRef>(propertyId))).view());
    return JsObjectSetProperty(object, out(key), value, useStrictRules);
}

JSRT_API JsObjectGetProperty(JsValueRef object, JsValueRef key, JsValueRef* value) {
    if (!object || !key || !value)
        return JsErrorNullArgument;
    *value = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(object)))
        return JsErrorArgumentNotObject;
    if (!isPropertyKey(ctx, asValue(key)))
        return JsErrorInvalidArgument;
    return getForKey(c, object, key, value);
}

JSRT_API JsObjectSetProperty(JsValueRef object, JsValueRef key, JsValueRef value, bool useStrictRules) {
    if (!object || !key || !value)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(object)))
        return JsErrorArgumentNotObject;
    if (!isPropertyKey(ctx, asValue(key)))
        return JsErrorInvalidArgument;
    return scriptCall(c, [&](JSValueRef* exception) {
        if (useStrictRules && c->strictSetter) {
            JSValueRef args[] = {asValue(object), asValue(key), asValue(value)};
            JSObjectCallAsFunction(ctx, c->strictSetter, nullptr, 3, args, exception);
        } else {
            JSObjectSetPropertyForKey(ctx, asObject(asValue(object)), asValue(key), asValue(value),
                                      kJSPropertyAttributeNone, exception);
        }
    });
}

JSRT_API JsGetIndexedProperty(JsValueRef object, JsValueRef index, JsValueRef* result) {
    if (!object || !index || !result)
        return JsErrorNullArgument;
    *result = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(object)))
        return JsErrorArgumentNotObject;
    return getForKey(c, object, index, result);
}

JSRT_API JsSetIndexedProperty(JsValueRef object, JsValueRef index, JsValueRef value) {
    if (!object || !index || !value)
        return JsErrorNullArgument;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(object)))
        return JsErrorArgumentNotObject;
    return scriptCall(c, [&](JSValueRef* exception) {
        JSObjectSetPropertyForKey(ctx, asObject(asValue(object)), asValue(index), asValue(value),
                                  kJSPropertyAttributeNone, exception);
    });
}

JSRT_API JsGetOwnPropertyNames(JsValueRef object, JsValueRef* propertyNames) {
    if (!object || !propertyNames)
        return JsErrorNullArgument;
    *propertyNames = nullptr;
    Context* c = nullptr;
    if (JsErrorCode e = enterScript(c); e != JsNoError)
        return e;
    JSContextRef ctx = c->ctx;
    if (!JSValueIsObject(ctx, asValue(object)))
        return JsErrorArgumentNotObject;
    if (!c->getOwnPropertyNames)
        return JsErrorFatal;
    JSValueRef names = nullptr;
    JsErrorCode code = scriptCall(c, [&](JSValueRef* exception) {
        JSValueRef args[] = {asValue(object)};
        names = JSObjectCallAsFunction(ctx, c->getOwnPropertyNames, nullptr, 1, args, exception);
    });
    if (code == JsNoError)
        *propertyNames = out(names);
    return code;
}
