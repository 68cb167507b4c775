#include "core/engine/PlainDuktape.h"

#include "core/engine/ChakraCore.h"
#include "core/engine/DuktapeHeap.h"

namespace quillbox::engine {

namespace {

// ---- Protected steps: inside duk_safe_call only the value stack and plain data are touched
// (Duktape unwinds with longjmp). Each leaves [ok, text]: the value's or the thrown value's
// text.

struct Job {
    const char* code;  // the script, or the function's name
    std::size_t length;
    const char* name;  // the script's name
    const std::string* args;
    std::size_t argc;
};

void pushOutcome(duk_context* ctx, bool ok) {
    duk_push_boolean(ctx, ok);
    duk_swap(ctx, -2, -1);
    duk_safe_to_string(ctx, -1);
}

duk_ret_t runStep(duk_context* ctx, void* udata) {
    const auto* job = static_cast<const Job*>(udata);
    duk_push_string(ctx, job->name);
    if (duk_pcompile_lstring_filename(ctx, DUK_COMPILE_LIBRARY, job->code, job->length) != 0) {
        pushOutcome(ctx, false);
        return 2;
    }
    pushOutcome(ctx, duk_pcall(ctx, 0) == DUK_EXEC_SUCCESS);
    return 2;
}

duk_ret_t callStep(duk_context* ctx, void* udata) {
    const auto* job = static_cast<const Job*>(udata);
    duk_get_global_lstring(ctx, job->code, job->length);
    for (std::size_t i = 0; i < job->argc; ++i)
        duk_push_lstring(ctx, job->args[i].data(), job->args[i].size());
    pushOutcome(ctx, duk_pcall(ctx, static_cast<duk_idx_t>(job->argc)) == DUK_EXEC_SUCCESS);
    return 2;
}

}  // namespace

PlainDuktape::PlainDuktape(std::size_t memoryLimit) : memoryLimit_(memoryLimit), heap_(std::make_unique<DuktapeHeap>()) {
    heap_->create(memoryLimit_);
    if (!heap_->ctx)
        error_ = "Error: the script engine could not be created";
}

PlainDuktape::~PlainDuktape() {
    if (heap_ && heap_->ctx)
        duk_destroy_heap(heap_->ctx);
}

bool PlainDuktape::run(const std::string& script, const std::string& name) {
    if (!heap_ || !heap_->ctx || !error_.empty())
        return false;
    const std::string code = toCesu8(script);
    Job job{code.data(), code.size(), name.c_str(), nullptr, 0};
    const int rc = guardedCall(heap_.get(), runStep, &job, 0, 2);
    const bool ok = finish(rc, rc >= 0 && duk_get_boolean(heap_->ctx, -2));
    if (ok)
        duk_pop_2(heap_->ctx);
    return ok;
}

bool PlainDuktape::call(const std::string& function, const std::vector<std::string>& arguments, std::string& result) {
    result.clear();
    if (!heap_ || !heap_->ctx || !error_.empty())
        return false;
    const std::string name = toCesu8(function);
    std::vector<std::string> args;
    args.reserve(arguments.size());
    for (const std::string& a : arguments)
        args.push_back(toCesu8(a));
    Job job{name.data(), name.size(), "", args.data(), args.size()};
    const int rc = guardedCall(heap_.get(), callStep, &job, 0, 2);
    if (!finish(rc, rc >= 0 && duk_get_boolean(heap_->ctx, -2)))
        return false;
    result = stackString(heap_->ctx, -1);
    duk_pop_2(heap_->ctx);
    return true;
}

// Reads the outcome of a step: on failure, what went wrong, and the context is done with.
bool PlainDuktape::finish(int rc, bool ok) {
    if (rc < 0) {
        // A fatal error: Duktape may not be called on this heap again, not even to free it.
        error_ = std::string("Error: ") + heap_->fatalMessage;
        heap_->ctx = nullptr;
        static_cast<void>(heap_.release());
        return false;
    }
    if (heap_->memoryExceeded || (!ok && heap_->refusedAllocation)) {
        outOfMemory_ = true;
        error_ = "Error: " + memoryLimitDescription(memoryLimit_, "loaded");
        return false;
    }
    if (ok)
        return true;
    error_ = stackString(heap_->ctx, -1);
    if (error_.empty())
        error_ = std::string(kUnknownError) + " (\"\")";
    return false;
}

}  // namespace quillbox::engine
