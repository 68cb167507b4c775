// The ChakraCore engine's life, its calls, the stop and the memory limit. The library's calls
// (chakra/Api), value conversion (chakra/Values), the host objects (chakra/HostObjects) and
// ajax (chakra/Ajax), the exception record (chakra/Exception), the time limit's thread
// (chakra/Watchdog) and the engine-library check (chakra/LibraryCheck) live beside.
#include "core/engine/ChakraCore.h"


#include <utility>

#include "core/engine/MemoryLimit.h"
#include "core/engine/chakra/Api.h"
#include "core/engine/chakra/Values.h"
#include "core/engine/chakra/Watchdog.h"
#include "core/net/HttpClient.h"
#include "core/platform/Process.h"

namespace quillbox::engine {

using namespace chakra;

namespace {

// Told by the runtime of its memory: a failure means the running script passed the limit.
bool noteMemoryEvent(void* state, JsMemoryEventType event, size_t) {
    if (event == JsMemoryFailure)
        *static_cast<bool*>(state) = true;
    return true;
}

}  // namespace

// ---------------------------------------------------------------- life

ChakraCore::ChakraCore() : watchdog_(std::make_unique<Watchdog>([this] { stop(); })) {}

ChakraCore::~ChakraCore() {
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
    memoryFailed_ = false;
    if (memoryLimit_ != 0) {
        js->JsSetRuntimeMemoryLimit(runtime_, memoryLimit_);
        js->JsSetRuntimeMemoryAllocationCallback(runtime_, &memoryFailed_, noteMemoryEvent);
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
        // Hand what the runtime held back to the system now rather than at the allocator's
        // leisure: after a memory-limit stop that is up to the whole limit.
        process::returnFreeMemory();
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
        // A stop that came as the call before finished anyway holds for this one.
        stopRequested_ = std::exchange(pendingStop_, false);
        if (stopRequested_ && runtime_)
            if (const Api* js = api())
                js->JsDisableRuntimeExecution(runtime_);
        lastCallStopped_ = false;
        lastCallOutOfMemory_ = false;
        memoryLimitError_ = ChakraException();
    }
    if (outermost)
        memoryFailed_ = false;
    ++depth_;
    if (outermost && timeLimit_.count() > 0)
        watchdog_->arm(timeLimit_);
    auto result = body();
    --depth_;
    if (!outermost)
        return result;
    watchdog_->disarm();
    if (memoryFailed_ && !lastCallStopped_)
        lastCallOutOfMemory_ = true;
    bool stopped = false;
    {
        std::lock_guard lock(stopMutex_);
        running_ = false;
        stopped = stopRequested_;
        stopRequested_ = false;
    }
    if (stopped)
        afterStop();
    else if (lastCallOutOfMemory_)
        afterMemoryLimit();
    return result;
}

// The script passed the memory limit: the runtime and all it holds go, a new one takes its
// place, and the error that says so waits for TakeException.
void ChakraCore::afterMemoryLimit() {
    const Api* js = api();
    if (js && hasException(*js))
        dropException(*js);
    Reset();
    New();
    memoryLimitError_.thrown = true;
    memoryLimitError_.exception = "Error: " + memoryLimitDescription(memoryLimit_, "loaded");
    memoryLimitError_.line = -1;
    memoryLimitError_.column = -1;
}

void ChakraCore::setMemoryLimit(std::size_t bytes) {
    memoryLimit_ = bytes;
    const Api* js = api();
    if (js && runtime_ && depth_ == 0)
        js->JsSetRuntimeMemoryLimit(runtime_, bytes == 0 ? static_cast<size_t>(-1) : bytes);
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
        std::lock_guard lock(stopMutex_);
        pendingStop_ = true;
        return;
    }
    js->JsEnableRuntimeExecution(runtime_);
    ++stops_;
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

bool ChakraCore::AddCode(const std::string& script, const std::string& url) {
    const Api* js = api();
    if (!js || !context_)
        return false;
    makeCurrent();
    return runGuarded([&] {
        JsValueRef result = nullptr;
        JsErrorCode code = js->JsRun(makeStringUtf16(*js, script), 0, makeStringUtf16(*js, url),
                                     JsParseScriptAttributeNone, &result);
        if (code == JsErrorScriptTerminated || code == JsErrorInDisabledState)
            lastCallStopped_ = true;
        if (code == JsErrorOutOfMemory)
            memoryFailed_ = true;
        return !lastCallStopped_ && !memoryFailed_ && !hasException(*js);
    });
}

std::string ChakraCore::Eval(const std::string& script, const std::string& url, bool keep) {
    const Api* js = api();
    if (!js || !context_)
        return {};
    makeCurrent();
    return runGuarded([&]() -> std::string {
        JsValueRef result = nullptr;
        JsErrorCode code = js->JsRun(makeStringUtf16(*js, script), 0, makeStringUtf16(*js, url),
                                     JsParseScriptAttributeNone, &result);
        if (code == JsErrorScriptTerminated || code == JsErrorInDisabledState) {
            lastCallStopped_ = true;
            return {};
        }
        if (code == JsErrorOutOfMemory) {
            memoryFailed_ = true;
            return {};
        }
        if (hasException(*js))
            return {};
        if (keep && result)
            if (JsValueRef host = getProperty(*js, global_, "QUILLBOX"); host && typeName(*js, host) == "object")
                setProperty(*js, host, "last", result);
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
        if (code == JsErrorOutOfMemory) {
            memoryFailed_ = true;
            return {};
        }
        if (hasException(*js))
            return {};
        return resultText(result);
    });
}

// ---------------------------------------------------------------- the stop

void ChakraCore::dropPendingStop() {
    std::lock_guard lock(stopMutex_);
    pendingStop_ = false;
}

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

}  // namespace quillbox::engine
