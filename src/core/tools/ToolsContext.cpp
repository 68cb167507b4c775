#include "core/tools/ToolsContext.h"

#include <JavaScriptCore/JavaScript.h>
#include <jsc/jsc.h>

#include <mutex>
#include <set>

#include "core/platform/Assets.h"
#include "core/text/Text.h"
#include "core/tools/Stop.h"

// Exported by JavaScriptCore, declared only in its private headers.
extern "C" {
void JSContextGroupSetExecutionTimeLimit(JSContextGroupRef group, double limit,
                                         bool (*shouldTerminate)(JSContextRef, void*), void* context);
void JSContextGroupClearExecutionTimeLimit(JSContextGroupRef group);
}

namespace quillbox::tools {

namespace {

// How often a running tool looks at its Stop: JavaScriptCore's execution time limit calls
// back this often while script runs (polling traps: compiled code checks a flag).
constexpr double kStopPollSeconds = 0.1;
constexpr const char* kStoppedText = "stopped";

// libChakraCore.so asks JavaScriptCore for polling traps before its first engine (compiled
// code then checks a flag when interrupted instead of being thrown away). The options can be
// set only before the first engine of the process (setting one later crashes), and this
// context may be that one: it asks for the same, and leaves it when it is already set.
void configureEngineOnce() {
    static std::once_flag once;
    std::call_once(once, [] {
        gboolean polling = FALSE;
        if (!jsc_options_get_boolean("usePollingTraps", &polling) || !polling)
            jsc_options_set_boolean("usePollingTraps", TRUE);
    });
}

class String {
public:
    explicit String(const std::string& utf8) {
        const std::u16string chars = text::utf8ToUtf16(utf8);
        ref_ = JSStringCreateWithCharacters(reinterpret_cast<const JSChar*>(chars.data()), chars.size());
    }
    explicit String(JSStringRef adopted) : ref_(adopted) {}
    ~String() {
        if (ref_)
            JSStringRelease(ref_);
    }
    String(const String&) = delete;
    String& operator=(const String&) = delete;
    JSStringRef ref() const { return ref_; }
    std::string utf8() const {
        if (!ref_)
            return {};
        const auto* chars = reinterpret_cast<const char16_t*>(JSStringGetCharactersPtr(ref_));
        return text::utf16ToUtf8(std::u16string_view(chars, JSStringGetLength(ref_)));
    }

private:
    JSStringRef ref_ = nullptr;
};

std::string valueText(JSContextRef ctx, JSValueRef value) {
    JSValueRef ignored = nullptr;
    JSStringRef s = JSValueToStringCopy(ctx, value, &ignored);
    return String(s).utf8();
}

// The thrown value as text, with the line the engine placed it at when it gave one.
std::string errorText(JSContextRef ctx, JSValueRef exception) {
    std::string text = valueText(ctx, exception);
    if (JSValueIsObject(ctx, exception)) {
        JSValueRef ignored = nullptr;
        String lineName("line");
        JSValueRef line = JSObjectGetProperty(ctx, JSValueToObject(ctx, exception, &ignored), lineName.ref(), &ignored);
        if (!ignored && JSValueIsNumber(ctx, line))
            text += " (line " + std::to_string(static_cast<long long>(JSValueToNumber(ctx, line, &ignored))) + ")";
    }
    return text;
}

// What every tool may call without harm: a console that says nothing.
constexpr const char* kPrelude =
    "var console = (function () { function quiet() {} "
    "return { log: quiet, info: quiet, warn: quiet, error: quiet, debug: quiet, trace: quiet }; })();";

}  // namespace

struct ToolsContext::State {
    JSContextGroupRef group = nullptr;
    JSGlobalContextRef ctx = nullptr;
    std::set<std::string> loaded;
    std::shared_ptr<const Stop> stop;
    bool polling = false;

    bool stopped() const { return stop && stop->stopped(); }
    // What ends a call: the exception the stop made it throw, or a stop before it began.
    static ToolResult stoppedResult() {
        ToolResult r;
        r.stopped = true;
        r.error = kStoppedText;
        return r;
    }
};

namespace {

bool shouldTerminate(JSContextRef, void* data) {
    auto* state = static_cast<ToolsContext::State*>(data);
    // JavaScriptCore calls back once per arming: arm again so the stop keeps being polled.
    JSContextGroupSetExecutionTimeLimit(state->group, kStopPollSeconds, shouldTerminate, state);
    return state->stopped();
}

}  // namespace

ToolsContext::ToolsContext() : state_(std::make_unique<State>()) {
    configureEngineOnce();
    state_->group = JSContextGroupCreate();
    state_->ctx = JSGlobalContextCreateInGroup(state_->group, nullptr);
    run(kPrelude, "tools/prelude.js");
}

ToolsContext::~ToolsContext() {
    if (state_->polling)
        JSContextGroupClearExecutionTimeLimit(state_->group);
    JSGlobalContextRelease(state_->ctx);
    JSContextGroupRelease(state_->group);
}

void ToolsContext::setStop(std::shared_ptr<const Stop> stop) {
    state_->stop = std::move(stop);
    if (state_->stop && !state_->polling)
        JSContextGroupSetExecutionTimeLimit(state_->group, kStopPollSeconds, shouldTerminate, state_.get());
    else if (!state_->stop && state_->polling)
        JSContextGroupClearExecutionTimeLimit(state_->group);
    state_->polling = state_->stop != nullptr;
}

ToolResult ToolsContext::run(const std::string& script, const std::string& url) {
    if (state_->stopped())
        return State::stoppedResult();
    ToolResult result;
    String source(script);
    String name(url);
    JSValueRef exception = nullptr;
    JSValueRef value = JSEvaluateScript(state_->ctx, source.ref(), nullptr, name.ref(), 1, &exception);
    if (exception && state_->stopped())
        return State::stoppedResult();
    if (exception) {
        result.error = errorText(state_->ctx, exception);
        return result;
    }
    result.ok = true;
    if (value && !JSValueIsUndefined(state_->ctx, value))
        result.text = valueText(state_->ctx, value);
    return result;
}

ToolResult ToolsContext::load(const std::string& asset) {
    ToolResult result;
    if (state_->loaded.count(asset)) {
        result.ok = true;
        return result;
    }
    const auto text = assets::find(asset);
    if (!text) {
        result.error = "the tool " + asset + " is not in this program";
        return result;
    }
    result = run(std::string(*text), asset);
    if (result.ok)
        state_->loaded.insert(asset);
    return result;
}

ToolResult ToolsContext::call(const std::string& function, const std::vector<std::string>& arguments) {
    if (state_->stopped())
        return State::stoppedResult();
    ToolResult result;
    JSContextRef ctx = state_->ctx;
    String name(function);
    JSValueRef exception = nullptr;
    JSValueRef callee = JSObjectGetProperty(ctx, JSContextGetGlobalObject(ctx), name.ref(), &exception);
    if (exception || !callee || !JSValueIsObject(ctx, callee) ||
        !JSObjectIsFunction(ctx, JSValueToObject(ctx, callee, nullptr))) {
        result.error = function + " is not a function of the tools context";
        return result;
    }
    std::vector<JSValueRef> values;
    values.reserve(arguments.size());
    for (const std::string& argument : arguments) {
        String s(argument);
        values.push_back(JSValueMakeString(ctx, s.ref()));
        // Kept from the collector: the vector is not on the stack it scans.
        JSValueProtect(ctx, values.back());
    }
    JSValueRef value = JSObjectCallAsFunction(ctx, JSValueToObject(ctx, callee, nullptr), nullptr, values.size(),
                                              values.data(), &exception);
    for (JSValueRef v : values)
        JSValueUnprotect(ctx, v);
    if (exception && state_->stopped())
        return State::stoppedResult();
    if (exception) {
        result.error = errorText(ctx, exception);
        return result;
    }
    result.ok = true;
    result.text = valueText(ctx, value);
    return result;
}

}  // namespace quillbox::tools
