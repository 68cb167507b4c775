#include "core/engine/ScriptControl.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <strings.h>

#include <duktape.h>

#include "core/engine/ConditionalCompilation.h"
#include "core/engine/DuktapeHeap.h"
#include "core/engine/SupportScripts.h"
#include "core/platform/Process.h"
#include "core/text/Text.h"

namespace quillbox::engine {

// The native engine's heap: the limits and the fatal guard every Duktape heap of ours has.
struct ScriptControl::Heap : DuktapeHeap {};

namespace {

// ---- Protected steps. They run inside duk_safe_call and touch only the value stack and
// plain data: Duktape unwinds errors with longjmp, which must not cross C++ objects.

struct ArgData {
    int kind;  // 0 undefined, 1 boolean, 2 number, 3 string
    double number;
    const char* text;
    std::size_t length;
};

struct ExecData {
    int mode;  // 0 program, 1 eval, 2 call
    const char* code;
    std::size_t codeLength;
    const char* name;  // chunk name, or the function's name for a call
    const ArgData* args;
    std::size_t argc;
    int phase;  // out: 0 success, 1 compile error, 2 runtime error
    bool library = false;  // our own code run at every reset: its functions keep no source
    int keep;   // an evaluation's value is kept as QUILLBOX.last (see Eval)
};

duk_ret_t execStep(duk_context* ctx, void* udata) {
    auto* d = static_cast<ExecData*>(udata);
    if (d->mode == 2) {
        duk_get_global_string(ctx, d->name);
        for (std::size_t i = 0; i < d->argc; ++i) {
            const ArgData& a = d->args[i];
            if (a.kind == 1)
                duk_push_boolean(ctx, a.number != 0);
            else if (a.kind == 2)
                duk_push_number(ctx, a.number);
            else if (a.kind == 3)
                duk_push_lstring(ctx, a.text, a.length);
            else
                duk_push_undefined(ctx);
        }
        d->phase = duk_pcall(ctx, static_cast<duk_idx_t>(d->argc)) == DUK_EXEC_SUCCESS ? 0 : 2;
        return 1;
    }
    duk_push_string(ctx, d->name);
    duk_uint_t flags = d->mode == 1 ? DUK_COMPILE_EVAL : 0;
    // The profile's functions stand for JScript's built-ins: toString shows them as native.
    if (d->library)
        flags |= DUK_COMPILE_LIBRARY;
    if (duk_pcompile_lstring_filename(ctx, flags, d->code, d->codeLength) != 0) {
        d->phase = 1;
        return 1;
    }
    d->phase = duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS ? 0 : 2;
    if (d->phase == 0 && d->mode == 1 && d->keep) {
        duk_get_global_string(ctx, "QUILLBOX");
        if (duk_is_object(ctx, -1)) {
            duk_dup(ctx, -2);
            duk_put_prop_string(ctx, -2, "last");
        }
        duk_pop(ctx);
    }
    return 1;
}

// [value] -> [kind, text]: kind 0 empty, 1 boolean, 2 number, 3 string, 4 object. A value
// that has no text (an object whose toString throws or gives no primitive, a Symbol,
// which Duktape keeps as a string of internal bytes) throws: it is an error, not a result.
duk_ret_t describeValueStep(duk_context* ctx, void*) {
    int kind = 4;
    switch (duk_get_type(ctx, -1)) {
    case DUK_TYPE_NONE:
    case DUK_TYPE_UNDEFINED:
    case DUK_TYPE_NULL: kind = 0; break;
    case DUK_TYPE_BOOLEAN: kind = 1; break;
    case DUK_TYPE_NUMBER: kind = 2; break;
    case DUK_TYPE_STRING: kind = duk_is_symbol(ctx, -1) ? 4 : 3; break;
    default: kind = 4; break;
    }
    duk_push_int(ctx, kind);
    if (kind == 0)
        duk_push_string(ctx, "");
    else if (kind == 3)
        duk_dup(ctx, -2);
    else {
        duk_dup(ctx, -2);
        duk_to_string(ctx, -1);
    }
    return 2;
}

// The chunk name of the code run at every reset. An error made by its functions (Error,
// ActiveXObject) is reported at the user's line that called them, not at the profile's.
const char* const kProfileChunk = "jscript-profile";

// [thrown] -> [isError, name, message, line, fileName, number, offset] as primitives; number
// is the error's own `number` (JScript's Error(number, description)), 0 without one; offset
// is the byte offset in the compiled source of the token that raised it, -1 when unknown.
// An error made inside the profile (Error, ActiveXObject, a wrapped built-in) is placed at
// the innermost frame outside it: the user's line that called the profile.
duk_ret_t describeErrorStep(duk_context* ctx, void*) {
    const duk_idx_t thrown = duk_get_top(ctx) - 1;
    const bool isError = duk_is_error(ctx, thrown);
    duk_push_boolean(ctx, isError);
    if (isError) {
        duk_get_prop_string(ctx, thrown, "name");
        duk_safe_to_string(ctx, -1);
        duk_get_prop_string(ctx, thrown, "message");
        if (duk_is_undefined(ctx, -1)) {
            duk_pop(ctx);
            duk_push_string(ctx, "");
        } else {
            duk_safe_to_string(ctx, -1);
        }
        duk_push_error_location(ctx, thrown, kProfileChunk);  // [file line offset]
        if (!duk_is_string(ctx, -3)) {
            duk_pop_3(ctx);
            duk_push_int(ctx, 0);
            duk_push_string(ctx, "");
            duk_push_int(ctx, -1);
        } else {
            duk_swap(ctx, -3, -2);  // [line file offset]
        }
        duk_get_prop_string(ctx, thrown, "number");
        duk_push_number(ctx, duk_get_number_default(ctx, -1, 0));
        duk_remove(ctx, -2);
        duk_swap(ctx, -2, -1);  // [line file number offset]
    } else {
        duk_push_string(ctx, "");
        duk_dup(ctx, thrown);
        duk_safe_to_string(ctx, -1);
        duk_push_number(ctx, 0);
        duk_push_string(ctx, "");
        duk_push_number(ctx, 0);
        duk_push_int(ctx, -1);
    }
    return 7;
}


const char* const kHideBuiltins =
    "(function (g) { var k, n = []; for (k in g) n.push(k);"
    " for (var i = 0; i < n.length; i++) Object.defineProperty(g, n[i], {enumerable: false}); })(this);";

// The record of the last RegExp match (kept by the patched engine under a key no script can
// spell): the profile takes this reader, with the RegExp constructor as its argument, off the
// global object before any other code runs.
constexpr const char* kLastMatchReader = "__quillboxLastMatch";
duk_ret_t readLastMatch(duk_context* ctx) {
    duk_get_prop_literal(ctx, 0, DUK_REGEXP_LAST_MATCH_KEY);
    return 1;
}

bool contains(const std::string& s, const char* part) { return s.find(part) != std::string::npos; }

// Duktape ends compile messages with " (line N)"; the line is reported on its own.
std::string withoutLineSuffix(std::string message) {
    const std::size_t at = message.rfind(" (line ");
    if (at != std::string::npos && !message.empty() && message.back() == ')')
        message.erase(at);
    return message;
}

long numberForError(const std::string& name, const std::string& message, bool heapRefused) {
    if (heapRefused || contains(message, "alloc failed"))
        return error_number::kOutOfMemory;
    if (name == "RangeError" && (contains(message, "stack") || contains(message, "recursion limit")))
        return error_number::kOutOfStack;
    if (name == "SyntaxError") return error_number::kSyntax;
    if (name == "TypeError") return error_number::kType;
    if (name == "ReferenceError") return error_number::kReference;
    if (name == "RangeError") return error_number::kRange;
    if (name == "URIError") return error_number::kUri;
    if (name == "EvalError") return error_number::kEval;
    return error_number::kError;
}

}  // namespace

ScriptControl::ScriptControl(std::size_t heapLimit) : heapLimit_(heapLimit) { createHeap(); }

ScriptControl::~ScriptControl() {
    if (heap_ && heap_->ctx)
        duk_destroy_heap(heap_->ctx);
}

void ScriptControl::createHeap() {
    auto heap = std::make_unique<Heap>();
    heap->stopRequested = &stopRequested_;
    heap->create(heapLimit_);
    heap_ = std::move(heap);
    chunks_.clear();
    if (!heap_->ctx)
        return;
    // The engine's own enumerable globals (performance) are not the script's: hide them
    // from for-in so the listing of globals shows only what the code defined.
    // Then the JScript profile puts in what JScript has and takes away what it lacks.
    duk_push_c_function(heap_->ctx, readLastMatch, 1);
    duk_put_global_string(heap_->ctx, kLastMatchReader);
    const std::string& profile = jscriptProfile();
    const std::pair<const char*, std::size_t> setup[] = {{kHideBuiltins, std::strlen(kHideBuiltins)},
                                                         {profile.data(), profile.size()}};
    for (const auto& [code, length] : setup) {
        ExecData data{0, code, length, kProfileChunk, nullptr, 0, 0, true, 0};
        if (guardedCall(heap_.get(), execStep, &data, 0, 1) < 0) {
            heap_->ctx = nullptr;  // unusable; calls report it
            return;
        }
        duk_set_top(heap_->ctx, 0);
    }
}

bool ScriptControl::SetLanguage(const std::string& language) {
    if (strcasecmp(language.c_str(), "jscript") != 0 || language.size() != std::strlen("jscript"))
        return false;
    language_ = "JScript";
    return true;
}

void ScriptControl::Reset() {
    error_ = ScriptError();
    if (heap_ && heap_->ctx)
        duk_destroy_heap(heap_->ctx);
    heap_.reset();
    createHeap();
}

bool ScriptControl::stop() {
    std::lock_guard lock(stopMutex_);
    if (!running_)
        return false;
    stopRequested_ = true;
    return true;
}

bool ScriptControl::execute(Mode mode, const std::string& code, const std::string& name,
                            const std::vector<Value>& args, Value* result) {
    {
        // A stop that came as the call before finished anyway holds for this one.
        std::lock_guard lock(stopMutex_);
        running_ = true;
        stopRequested_ = std::exchange(pendingStop_, false);
    }
    lastCallStopped_ = false;
    lastCallOutOfMemory_ = false;
    if (heap_) {
        heap_->stopped = false;
        heap_->memoryExceeded = false;
        heap_->hasDeadline = timeLimit_.count() > 0;
        if (heap_->hasDeadline)
            heap_->deadline = std::chrono::steady_clock::now() + timeLimit_;
    }
    const bool ok = run(mode, code, name, args, result);
    {
        std::lock_guard lock(stopMutex_);
        running_ = false;
        pendingStop_ = stopRequested_ && !(heap_ && heap_->stopped);
        stopRequested_ = false;
    }
    if (heap_ && heap_->stopped && !heap_->memoryExceeded) {
        // The script was ended from outside: whatever it left half done goes with the heap.
        if (result)
            *result = Value();
        Reset();
        lastCallStopped_ = true;
        ++stops_;
        error_ = {error_number::kEngineReset, kRuntimeSource, "the script was stopped; the engine was made anew and all added code is gone",
                  0, 0, "", ""};
        return false;
    }
    if (heap_)
        heap_->hasDeadline = false;
    if (heap_ && (heap_->memoryExceeded || (!ok && error_.Number == error_number::kOutOfMemory && heap_->refusedAllocation))) {
        // The script reached the limit and did not get over it: the heap goes, and with it
        // what the script held, so the memory is the system's again.
        if (result)
            *result = Value();
        Reset();
        process::returnFreeMemory();
        lastCallOutOfMemory_ = true;
        error_ = {error_number::kOutOfMemory, kRuntimeSource, memoryLimitDescription(heapLimit_, "added"), 0, 0, "", ""};
        return false;
    }
    return ok;
}

void ScriptControl::setMemoryLimit(std::size_t bytes) {
    heapLimit_ = bytes;
    if (heap_)
        heap_->limit = bytes ? bytes : SIZE_MAX;
}

bool ScriptControl::run(Mode mode, const std::string& code, const std::string& name, const std::vector<Value>& args,
                        Value* result) {
    error_ = ScriptError();
    if (!heap_->ctx) {
        error_ = {error_number::kOutOfMemory, kRuntimeSource, "out of memory: the script engine could not be created", 0, 0, "", ""};
        return false;
    }
    duk_context* ctx = heap_->ctx;
    duk_set_top(ctx, 0);
    heap_->refusedAllocation = false;

    // Conditional compilation (/*@cc_on ... @*/) is applied to the text the engine compiles;
    // lines and columns stay those of the user's text.
    const std::string source = toCesu8(mode == Mode::Call ? code : applyConditionalCompilation(code));
    const std::string target = mode == Mode::Call ? toCesu8(name) : name;
    std::vector<std::string> argTexts;
    argTexts.reserve(args.size());
    std::vector<ArgData> argData;
    for (const Value& a : args) {
        argTexts.push_back(toCesu8(a.text()));
        switch (a.kind()) {
        case Value::Kind::Empty: argData.push_back({0, 0, nullptr, 0}); break;
        case Value::Kind::Boolean: argData.push_back({1, a.boolean() ? 1.0 : 0.0, nullptr, 0}); break;
        case Value::Kind::Number: argData.push_back({2, a.number(), nullptr, 0}); break;
        default: argData.push_back({3, 0, argTexts.back().c_str(), argTexts.back().size()}); break;
        }
    }
    if (mode != Mode::Call) {
        // Keep the code so an error's line can be shown; an expression is kept only until
        // the next one, module code until the next reset.
        if (mode == Mode::Eval && !chunks_.empty() && chunks_.back().first.rfind("eval", 0) == 0)
            chunks_.pop_back();
        chunks_.emplace_back(name, code);
    }

    ExecData data{static_cast<int>(mode), source.data(), source.size(), target.c_str(), argData.data(),
                  argData.size(), 0, false, keepResult_ ? 1 : 0};
    int rc = guardedCall(heap_.get(), execStep, &data, 0, 1);
    if (rc < 0) {
        recordFatal();
        return false;
    }
    if (rc != DUK_EXEC_SUCCESS)  // the step itself failed (out of memory while pushing)
        data.phase = 2;
    if (data.phase != 0) {
        recordError(data.phase, mode == Mode::Call ? "" : name);
        duk_set_top(ctx, 0);
        return false;
    }
    if (result) {
        rc = guardedCall(heap_.get(), describeValueStep, nullptr, 1, 2);
        if (rc < 0) {
            recordFatal();
            return false;
        }
        if (rc != DUK_EXEC_SUCCESS) {
            // The value could not be made text: the error the conversion threw is the
            // call's error (it sits under one undefined filler).
            duk_pop(ctx);
            recordError(2, "");
            duk_set_top(ctx, 0);
            return false;
        }
        {
            const int kind = duk_get_int(ctx, -2);
            std::string text = stackString(ctx, -1);
            switch (kind) {
            case 1: *result = Value::boolean(text == "true"); break;
            case 2: *result = Value::number(std::strtod(text.c_str(), nullptr), text); break;
            case 3: *result = Value::string(std::move(text)); break;
            case 4: *result = Value::object(std::move(text)); break;
            default: *result = Value(); break;
            }
            // strtod does not know the script's spellings of the special numbers.
            if (kind == 2 && (text == "NaN" || text == "Infinity" || text == "-Infinity"))
                *result = Value::number(text == "NaN" ? std::nan("") : text == "Infinity" ? HUGE_VAL : -HUGE_VAL, text);
        }
    }
    duk_set_top(ctx, 0);
    return true;
}

void ScriptControl::recordError(int phase, const std::string& chunk) {
    duk_context* ctx = heap_->ctx;
    const bool refused = heap_->refusedAllocation;
    error_.Source = phase == 1 ? kCompileSource : kRuntimeSource;
    const int rc = guardedCall(heap_.get(), describeErrorStep, nullptr, 1, 7);
    if (rc < 0) {
        recordFatal();
        return;
    }
    std::string name, message, file;
    bool isError = false;
    double ownNumber = 0;
    long offset = -1;
    if (rc == DUK_EXEC_SUCCESS) {
        isError = duk_get_boolean(ctx, -7);
        name = stackString(ctx, -6);
        message = stackString(ctx, -5);
        error_.Line = static_cast<int>(duk_get_number(ctx, -4));
        file = stackString(ctx, -3);
        ownNumber = duk_get_number(ctx, -2);
        offset = static_cast<long>(duk_get_number(ctx, -1));
    }
    if (isError) {
        error_.Number = numberForError(name, message, refused);
        // An error that carries its own number reports it, as JScript does: its own errors
        // (facility 0x800A in the high word) by their code, others as they are.
        if (ownNumber != 0 && std::isfinite(ownNumber) && ownNumber == std::trunc(ownNumber)) {
            const auto bits = static_cast<std::uint32_t>(static_cast<std::int64_t>(ownNumber));
            error_.Number = (bits >> 16) == 0x800A ? static_cast<long>(bits & 0xFFFF) : static_cast<long>(ownNumber);
        }
        message = withoutLineSuffix(message);
        // An error without a message still needs a description: callers take an empty
        // one for success.
        error_.Description = message.empty() ? (name.empty() ? std::string("Error") : name) : message;
    } else {
        error_.Number = refused ? error_number::kOutOfMemory : error_number::kThrownValue;
        error_.Description = message.empty() ? std::string("Exception thrown and not caught")
                                             : "Exception thrown and not caught: " + message;
        if (refused)
            error_.Description = "out of memory";
    }
    if (error_.Line < 0)
        error_.Line = 0;
    if (file.empty() && phase == 1)
        file = chunk;
    error_.Text = sourceLine(file, error_.Line);
    error_.Column = sourceColumn(file, offset);
    error_.File = file;
}

void ScriptControl::recordFatal() {
    const std::string message = heap_->fatalMessage;
    // The heap is in an unknown state after a fatal error: leave it alone (its memory is
    // lost) and start a fresh one, as after Reset.
    heap_->ctx = nullptr;
    heap_.release();
    createHeap();
    error_ = ScriptError();
    error_.Number = error_number::kEngineReset;
    error_.Source = kRuntimeSource;
    error_.Description = "the script engine failed (" + message + ") and was reset; all added code is gone";
}

std::string ScriptControl::sourceLine(const std::string& chunk, int line) const {
    if (line <= 0 || chunk.empty())
        return "";
    for (const auto& [name, code] : chunks_) {
        if (name != chunk)
            continue;
        std::size_t start = 0;
        for (int i = 1; i < line; ++i) {
            start = code.find('\n', start);
            if (start == std::string::npos)
                return "";
            ++start;
        }
        std::size_t end = code.find('\n', start);
        std::string text = code.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (!text.empty() && text.back() == '\r')
            text.pop_back();
        return text;
    }
    return "";
}

int ScriptControl::sourceColumn(const std::string& chunk, long offset) const {
    if (offset < 0 || chunk.empty())
        return 0;
    for (const auto& [name, code] : chunks_) {
        if (name != chunk)
            continue;
        // The offset counts the bytes of the code as the engine compiled it (CESU-8); the
        // column counts UTF-16 units from the start of the line, as the editor does.
        const std::string compiled = toCesu8(code);
        const auto end = std::min(static_cast<std::size_t>(offset), compiled.size());
        std::size_t start = compiled.find_last_of("\r\n", end == 0 ? 0 : end - 1);
        start = (start == std::string::npos || start >= end) ? 0 : start + 1;
        int column = 0;
        for (std::size_t i = start; i < end; ++i)
            if ((static_cast<unsigned char>(compiled[i]) & 0xC0) != 0x80)
                ++column;
        return column;
    }
    return 0;
}

}  // namespace quillbox::engine
