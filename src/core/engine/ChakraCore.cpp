#include "core/engine/ChakraCore.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <system_error>

#include "core/net/HttpClient.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Paths.h"
#include "core/platform/Shell.h"
#include "core/text/Text.h"
#include "jsrt/JsRT.h"

namespace quillbox::engine {

// ---------------------------------------------------------------- the library

struct ChakraCore::Api {
#define QB_JSRT_CALLS(X)                                                                                 \
    X(JsCreateRuntime) X(JsDisposeRuntime) X(JsCreateContext) X(JsSetCurrentContext) X(JsGetCurrentContext) \
    X(JsGetGlobalObject) X(JsCreateObject) X(JsSetPromiseContinuationCallback) X(JsCreateFunction)          \
    X(JsObjectSetProperty) X(JsObjectGetProperty) X(JsCreatePropertyId) X(JsGetProperty)                   \
    X(JsGetIndexedProperty) X(JsGetOwnPropertyNames) X(JsCreateString) X(JsCreateStringUtf16)              \
    X(JsCopyStringUtf16) X(JsGetStringLength) X(JsRun) X(JsHasException) X(JsGetAndClearException)                              \
    X(JsGetAndClearExceptionWithMetadata) X(JsGetValueType) X(JsConvertValueToString) X(JsCallFunction)    \
    X(JsIntToNumber) X(JsGetUndefinedValue) X(JsAddRef) X(JsRelease) X(JsDisableRuntimeExecution)         \
    X(JsEnableRuntimeExecution)
#define QB_JSRT_FIELD(name) decltype(&::name) name = nullptr;
    QB_JSRT_CALLS(QB_JSRT_FIELD)
#undef QB_JSRT_FIELD
    bool loaded = false;
    std::string error;
};

namespace {

ChakraCore::Api* loadApi() {
    auto* api = new ChakraCore::Api;
    const std::string path = ChakraCore::libraryPath();
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        api->error = why ? why : ("cannot load " + path);
        return api;
    }
#define QB_JSRT_RESOLVE(name)                                                        \
    api->name = reinterpret_cast<decltype(api->name)>(dlsym(handle, #name));       \
    if (!api->name) {                                                                \
        api->error = path + ": the call " #name " is missing";                       \
        return api;                                                                  \
    }
    QB_JSRT_CALLS(QB_JSRT_RESOLVE)
#undef QB_JSRT_RESOLVE
    api->loaded = true;
    return api;
}

}  // namespace

namespace {
// Loaded once and kept for the life of the process: runtimes may outlive any one instance.
const ChakraCore::Api& library() {
    static const ChakraCore::Api* loaded = loadApi();
    return *loaded;
}
}  // namespace

const ChakraCore::Api* ChakraCore::api() {
    return library().loaded ? &library() : nullptr;
}

std::string ChakraCore::libraryPath() {
    return paths::join(paths::programDirectory(), kEngineLibraryName);
}

bool ChakraCore::libraryLoaded() {
    return library().loaded;
}

std::string ChakraCore::libraryError() {
    return library().error;
}

// ---------------------------------------------------------------- values and texts

namespace {

using Api = ChakraCore::Api;

const char* const kTypeNames[] = {"undefined", "null", "number", "string", "boolean", "object", "function",
                                  "error", "array", "symbol", "array buffer", "typed array", "DataView"};

std::string typeName(const Api& js, JsValueRef value) {
    JsValueType type = JsUndefined;
    if (js.JsGetValueType(value, &type) != JsNoError)
        return "undefined";
    const int index = static_cast<int>(type);
    return index >= 0 && index < 13 ? kTypeNames[index] : "object";
}

JsValueRef makeString(const Api& js, const std::string& utf8) {
    JsValueRef value = nullptr;
    js.JsCreateString(utf8.data(), utf8.size(), &value);
    return value;
}

JsValueRef makeStringUtf16(const Api& js, const std::string& utf8) {
    const std::u16string chars = text::utf8ToUtf16(utf8);
    JsValueRef value = nullptr;
    js.JsCreateStringUtf16(reinterpret_cast<const uint16_t*>(chars.data()), chars.size(), &value);
    return value;
}

bool hasException(const Api& js) {
    bool has = false;
    return js.JsHasException(&has) == JsNoError && has;
}

// Drops an exception that one of our own conversions raised, so that it is never taken
// for the script's.
void dropException(const Api& js) {
    if (!hasException(js))
        return;
    JsValueRef dropped = nullptr;
    js.JsGetAndClearException(&dropped);
}

// The value converted to a string, as UTF-8; "" when it cannot be (the conversion's own
// exception is dropped).
std::string toText(const Api& js, JsValueRef value) {
    if (!value)
        return {};
    JsValueRef string = nullptr;
    if (js.JsConvertValueToString(value, &string) != JsNoError || !string) {
        dropException(js);
        return {};
    }
    int length = 0;
    if (js.JsGetStringLength(string, &length) != JsNoError || length < 0)
        return {};
    std::u16string chars(static_cast<size_t>(length), u'\0');
    size_t written = 0;
    if (length && js.JsCopyStringUtf16(string, 0, length, reinterpret_cast<uint16_t*>(chars.data()), &written) !=
                      JsNoError)
        return {};
    chars.resize(written);
    return text::utf16ToUtf8(chars);
}

JsValueRef getProperty(const Api& js, JsValueRef object, const std::string& name) {
    JsPropertyIdRef id = nullptr;
    JsValueRef value = nullptr;
    if (js.JsCreatePropertyId(name.data(), name.size(), &id) != JsNoError)
        return nullptr;
    if (js.JsGetProperty(object, id, &value) != JsNoError)
        return nullptr;
    return value;
}

void setProperty(const Api& js, JsValueRef object, const char* name, JsValueRef value) {
    js.JsObjectSetProperty(object, makeString(js, name), value, false);
}

JsValueRef undefinedValue(const Api& js) {
    JsValueRef value = nullptr;
    js.JsGetUndefinedValue(&value);
    return value;
}

// Calls fn with `this` and at most one argument; the string result, "" when there is none.
std::string callText(const Api& js, JsValueRef fn, JsValueRef self, JsValueRef argument) {
    if (!fn || typeName(js, fn) != "function")
        return {};
    JsValueRef call[] = {self, argument};
    JsValueRef result = nullptr;
    if (js.JsCallFunction(fn, call, argument ? 2 : 1, &result) != JsNoError) {
        dropException(js);
        return {};
    }
    return typeName(js, result) == "string" ? toText(js, result) : std::string();
}

// A thrown value as the user reads it: its own text, or, when that is empty or cannot be
// made, kUnknownError with the value's Symbol or JSON form, or at least its type.
std::string describeThrown(const Api& js, JsValueRef value) {
    std::string text = toText(js, value);
    if (!text.empty())
        return text;
    const std::string type = typeName(js, value);
    JsValueRef global = nullptr;
    js.JsGetGlobalObject(&global);
    std::string form;
    if (type == "string") {
        form = "\"\"";
    } else if (type == "symbol") {
        JsValueRef symbol = getProperty(js, global, "Symbol");
        JsValueRef prototype = symbol ? getProperty(js, symbol, "prototype") : nullptr;
        form = callText(js, prototype ? getProperty(js, prototype, "toString") : nullptr, value, nullptr);
    } else {
        JsValueRef json = getProperty(js, global, "JSON");
        form = callText(js, json ? getProperty(js, json, "stringify") : nullptr, global, value);
    }
    return std::string(kUnknownError) + " (" + (form.empty() ? type : form) + ")";
}

}  // namespace

// ---------------------------------------------------------------- life

ChakraCore::~ChakraCore() {
    stopTimer();
    Reset();
}

void ChakraCore::New() {
    const Api* js = api();
    if (!js)
        return;
    if (runtime_)
        Reset();
    void* runtime = nullptr;
    // Created so that it can be interrupted: stop() and the time limit need it.
    js->JsCreateRuntime(JsRuntimeAttributeAllowScriptInterrupt, nullptr, &runtime);
    {
        std::lock_guard lock(stopMutex_);
        runtime_ = runtime;
    }
    js->JsCreateContext(runtime_, &context_);
    js->JsSetCurrentContext(context_);
    js->JsGetGlobalObject(&global_);
    js->JsSetPromiseContinuationCallback(continuationHandler, nullptr);

    JsValueRef request = nullptr;
    js->JsCreateFunction(ajaxHandler, this, &request);
    JsValueRef host = nullptr;
    js->JsCreateObject(&host);
    setProperty(*js, global_, "$$", host);
    setProperty(*js, host, "ajax", request);
    setProperty(*js, global_, "console", host);

    JsValueRef log = nullptr;
    js->JsCreateFunction(consoleHandler, &logCallback_, &log);
    setProperty(*js, host, "log", log);
    JsValueRef warn = nullptr;
    js->JsCreateFunction(consoleHandler, &warnCallback_, &warn);
    setProperty(*js, host, "warn", warn);
}

bool ChakraCore::Reset() {
    const Api* js = api();
    if (!js)
        return false;
    js->JsSetCurrentContext(JS_INVALID_REFERENCE);
    bool ok = true;
    if (runtime_) {
        void* runtime = nullptr;
        {
            std::lock_guard lock(stopMutex_);
            runtime = runtime_;
            runtime_ = nullptr;
        }
        ok = js->JsDisposeRuntime(runtime) == JsNoError;
    }
    context_ = nullptr;
    global_ = nullptr;
    return ok;
}

// ---------------------------------------------------------------- running

template <class F>
auto ChakraCore::runGuarded(F body) -> decltype(body()) {
    const bool outermost = depth_ == 0;
    if (outermost) {
        std::lock_guard lock(stopMutex_);
        running_ = true;
        stopRequested_ = false;
        lastCallStopped_ = false;
    }
    ++depth_;
    if (outermost && timeLimit_.count() > 0)
        startTimer();
    auto result = body();
    --depth_;
    if (!outermost)
        return result;
    stopTimer();
    bool stopped = false;
    {
        std::lock_guard lock(stopMutex_);
        running_ = false;
        stopped = stopRequested_;
        stopRequested_ = false;
    }
    if (stopped)
        afterStop();
    return result;
}

// A stop asked for while a call ran. When it ended the script, the runtime goes and a new
// one takes its place; when the script had finished anyway, its result stands and the
// runtime is only enabled again.
void ChakraCore::afterStop() {
    const Api* js = api();
    if (!js || !runtime_)
        return;
    if (!lastCallStopped_) {
        js->JsEnableRuntimeExecution(runtime_);
        return;
    }
    js->JsEnableRuntimeExecution(runtime_);
    Reset();
    New();
}

// Other instances (the transforms' private ones) change the thread's current context.
void ChakraCore::makeCurrent() const {
    const Api* js = api();
    JsContextRef current = nullptr;
    js->JsGetCurrentContext(&current);
    if (current != context_)
        js->JsSetCurrentContext(context_);
}

// The text of a call's result. A stop that arrives just as the script finished refuses the
// conversion: that call counts as stopped rather than as an empty result.
std::string ChakraCore::resultText(void* result) {
    const Api* js = api();
    JsValueRef string = nullptr;
    if (js->JsConvertValueToString(result, &string) == JsErrorInDisabledState) {
        lastCallStopped_ = true;
        return {};
    }
    return toText(*js, string);
}

bool ChakraCore::AddCode(const std::string& script) {
    const Api* js = api();
    if (!js || !context_)
        return false;
    makeCurrent();
    return runGuarded([&] {
        JsValueRef result = nullptr;
        JsErrorCode code = js->JsRun(makeStringUtf16(*js, script), 0, makeStringUtf16(*js, "Zorvan"),
                                     JsParseScriptAttributeNone, &result);
        if (code == JsErrorScriptTerminated || code == JsErrorInDisabledState)
            lastCallStopped_ = true;
        return !lastCallStopped_ && !hasException(*js);
    });
}

std::string ChakraCore::Eval(const std::string& script) {
    const Api* js = api();
    if (!js || !context_)
        return {};
    makeCurrent();
    return runGuarded([&]() -> std::string {
        JsValueRef result = nullptr;
        JsErrorCode code = js->JsRun(makeStringUtf16(*js, script), 0, makeStringUtf16(*js, "Zorvan"),
                                     JsParseScriptAttributeNone, &result);
        if (code == JsErrorScriptTerminated || code == JsErrorInDisabledState) {
            lastCallStopped_ = true;
            return {};
        }
        if (hasException(*js))
            return {};
        return resultText(result);
    });
}

std::string ChakraCore::Call(const std::string& name, const std::vector<std::string>& arguments) {
    const Api* js = api();
    if (!js || !context_)
        return {};
    makeCurrent();
    return runGuarded([&]() -> std::string {
        std::vector<JsValueRef> list;
        list.push_back(global_);
        for (const std::string& argument : arguments)
            list.push_back(makeStringUtf16(*js, argument));
        JsValueRef function = nullptr;
        js->JsObjectGetProperty(global_, makeString(*js, name), &function);
        JsValueRef result = nullptr;
        const auto count = static_cast<unsigned short>(std::min<size_t>(list.size(), 65535));
        JsErrorCode code = js->JsCallFunction(function, list.data(), count, &result);
        if (code == JsErrorScriptTerminated || code == JsErrorInDisabledState) {
            lastCallStopped_ = true;
            return {};
        }
        if (hasException(*js))
            return {};
        return resultText(result);
    });
}

ChakraException ChakraCore::TakeException() {
    ChakraException record;
    const Api* js = api();
    if (!js || !context_)
        return record;
    makeCurrent();
    JsValueRef metadata = nullptr;
    if (js->JsGetAndClearExceptionWithMetadata(&metadata) != JsNoError || !metadata)
        return record;
    auto textOf = [&](const char* name) { return toText(*js, getProperty(*js, metadata, name)); };
    // A position the record does not hold is -1: no place to blame.
    auto numberOf = [&](const char* name, int absent) {
        JsValueRef value = getProperty(*js, metadata, name);
        return value && typeName(*js, value) == "number" ? std::atoi(toText(*js, value).c_str()) : absent;
    };
    record.thrown = true;
    record.source = textOf("source");
    record.url = textOf("url");
    record.exception = describeThrown(*js, getProperty(*js, metadata, "exception"));
    record.line = numberOf("line", -1);
    record.column = numberOf("column", -1);
    record.length = numberOf("length", 0);
    dropException(*js);
    return record;
}

// ---------------------------------------------------------------- the stop

bool ChakraCore::stop() {
    std::lock_guard lock(stopMutex_);
    if (!running_ || !runtime_)
        return false;
    stopRequested_ = true;
    if (const Api* js = api())
        js->JsDisableRuntimeExecution(runtime_);
    if (activeRequest_)
        activeRequest_->abort();
    return true;
}

void ChakraCore::startTimer() {
    stopTimer();
    {
        std::lock_guard lock(stopMutex_);
        timerCancelled_ = false;
    }
    const auto limit = timeLimit_;
    timer_ = std::thread([this, limit] {
        std::unique_lock lock(stopMutex_);
        if (timerWake_.wait_for(lock, limit, [this] { return timerCancelled_; }))
            return;
        lock.unlock();
        stop();
    });
}

void ChakraCore::stopTimer() {
    if (!timer_.joinable())
        return;
    {
        std::lock_guard lock(stopMutex_);
        timerCancelled_ = true;
    }
    timerWake_.notify_all();
    timer_.join();
}

// ---------------------------------------------------------------- host functions

void ChakraCore::continuationHandler(void* task, void*) {
    const Api* js = api();
    if (!js)
        return;
    js->JsAddRef(task, nullptr);
    JsValueRef global = nullptr;
    js->JsGetGlobalObject(&global);
    JsValueRef args[] = {global};
    JsValueRef result = nullptr;
    js->JsCallFunction(task, args, 1, &result);
    js->JsRelease(task, nullptr);
}

void* ChakraCore::consoleHandler(void*, bool, void** args, unsigned short argc, void* state) {
    const Api* js = api();
    if (!js)
        return nullptr;
    auto* callback = static_cast<ConsoleCallback*>(state);
    if (!callback || !*callback)
        return undefinedValue(*js);
    JsValueRef global = nullptr;
    js->JsGetGlobalObject(&global);
    JsValueRef json = getProperty(*js, global, "JSON");
    JsValueRef stringify = json ? getProperty(*js, json, "stringify") : nullptr;
    for (unsigned short k = 1; k < argc; ++k) {
        const std::string type = typeName(*js, args[k]);
        std::string message;
        if (type == "function" || type == "string" || type == "number" || type == "undefined" || type == "null" ||
            type == "boolean") {
            message = toText(*js, args[k]);
        } else {
            JsValueRef call[] = {global, args[k]};
            JsValueRef result = nullptr;
            if (stringify && js->JsCallFunction(stringify, call, 2, &result) == JsNoError) {
                message = toText(*js, result);
            } else if (hasException(*js)) {
                // A value JSON cannot write (a cycle, a BigInt inside) is logged by its
                // string form; logging never throws into the script.
                dropException(*js);
                message = toText(*js, args[k]);
            }
        }
        (*callback)(type, message);
    }
    return undefinedValue(*js);
}

void* ChakraCore::ajaxHandler(void*, bool, void** args, unsigned short argc, void* state) {
    return static_cast<ChakraCore*>(state)->ajax(args, argc);
}

void* ChakraCore::ajax(void** args, unsigned short argc) {
    const Api* js = api();
    if (!js)
        return nullptr;
    auto refuse = [&](const char* message) { return makeString(*js, message); };
    JsValueRef options = argc > 1 ? args[1] : nullptr;
    if (!options || typeName(*js, options) != "object")
        return refuse("parmas error");

    // A member that is absent (or undefined) is not given.
    auto member = [&](const char* name, const char* wanted, bool& given) -> JsValueRef {
        JsValueRef value = getProperty(*js, options, name);
        const std::string type = value ? typeName(*js, value) : "undefined";
        given = type != "undefined";
        return given && type == wanted ? value : nullptr;
    };
    bool given = false;
    JsValueRef url = member("url", "string", given);
    if (!url)
        return refuse("url error");
    // An optional text member: when absent `out` keeps its value; of another type it refuses.
    auto optionalText = [&](const char* name, std::string& out) {
        bool present = false;
        JsValueRef value = member(name, "string", present);
        if (present && !value)
            return false;
        if (value)
            out = toText(*js, value);
        return true;
    };
    std::string method;
    if (!optionalText("type", method))
        return refuse("type error");
    std::string cookies;
    if (!optionalText("cookies", cookies))
        return refuse("cookies error");
    JsValueRef headers = member("headers", "object", given);
    if (given && !headers)
        return refuse("headersObject error");
    std::string data;
    if (!optionalText("data", data))
        return refuse("data error");
    JsValueRef success = member("success", "function", given);
    if (given && !success)
        return refuse("successFunction error");
    JsValueRef failure = member("error", "function", given);
    if (given && !failure)
        return refuse("errorFunction error");
    std::string code = "gbk";
    if (!optionalText("code", code))
        return refuse("string error");

    auto http = std::make_unique<net::HttpClient>(net::HttpTransport::WinInet);
    http->setAutoHeaders();
    http->open(method, toText(*js, url));
    if (!cookies.empty())
        http->setCookies(cookies);
    if (headers) {
        JsValueRef names = nullptr;
        js->JsGetOwnPropertyNames(headers, &names);
        for (int k = 0; names; ++k) {
            JsValueRef index = nullptr;
            js->JsIntToNumber(k, &index);
            JsValueRef nameValue = nullptr;
            js->JsGetIndexedProperty(names, index, &nameValue);
            const std::string name = toText(*js, nameValue);
            const std::string value = toText(*js, getProperty(*js, headers, name));
            if (name.empty() || name == "undefined" || value.empty() || value == "undefined")
                break;
            http->setHeader(name, value);
        }
    }
    {
        std::lock_guard lock(stopMutex_);
        activeRequest_ = http.get();
        if (stopRequested_)
            http->abort();
    }
    http->send(data);
    {
        std::lock_guard lock(stopMutex_);
        activeRequest_ = nullptr;
    }

    std::string response;
    if (code == "gbk") {
        response = http->responseText();
    } else if (code == "byte") {
        const std::string bytes = http->responseBytes();
        response.reserve(bytes.size() * 4 + 2);
        response.push_back('[');
        for (size_t k = 0; k < bytes.size(); ++k) {
            if (k)
                response.push_back(',');
            response.append(std::to_string(static_cast<unsigned char>(bytes[k])));
        }
        response.push_back(']');
    } else {
        response = http->responseTextUtf8();
    }
    const int status = http->statusCode();
    http.reset();

    JsValueRef callback = status == 200 ? success : failure;
    if (callback) {
        JsValueRef call[] = {global_, makeString(*js, response)};
        JsValueRef result = nullptr;
        js->JsCallFunction(callback, call, 2, &result);
    }
    return undefinedValue(*js);
}

// ---------------------------------------------------------------- the check at start

bool engineLibraryPresent(const std::string& directory) {
    std::error_code ec;
    return std::filesystem::is_regular_file(paths::join(directory, kEngineLibraryName), ec);
}

bool engineLibraryPresent() {
    return engineLibraryPresent(paths::programDirectory());
}

bool checkEngineLibrary(Dialogs& dialogs, Shell& shell, const std::string& directory) {
    if (engineLibraryPresent(directory))
        return true;
    if (dialogs.messageBox(kEngineMissingText, kEngineMissingTitle, MessageIcon::Warning, MessageButtons::YesNo) ==
        MessageAnswer::Yes) {
        shell.open(kEngineDownloadUrl);
        dialogs.messageBox(kEngineDownloadHintText, kEngineDownloadHintTitle, MessageIcon::Warning,
                           MessageButtons::Ok);
    }
    return false;
}

bool checkEngineLibrary(Dialogs& dialogs, Shell& shell) {
    return checkEngineLibrary(dialogs, shell, paths::programDirectory());
}

}  // namespace quillbox::engine
