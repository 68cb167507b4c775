#pragma once
// What every Duktape heap of ours shares: the allocator that keeps the memory limit, the stop
// and the deadline the engine polls, the guard against fatal errors, and texts across the
// boundary. The native engine (ScriptControl) and the plain context (PlainDuktape) build on it.
//
// Duktape asks one function, quillbox_duktape_timeout_check, whether to end the running
// script, with the heap's user data: every heap we make gets a DuktapeHeap as that data.
#include <atomic>
#include <chrono>
#include <csetjmp>
#include <cstddef>
#include <string>

#include <duktape.h>

namespace quillbox::engine {

struct DuktapeHeap {
    duk_context* ctx = nullptr;
    std::size_t used = 0;
    std::size_t limit = 0;
    bool refusedAllocation = false;
    std::jmp_buf* jump = nullptr;
    char fatalMessage[256] = {};
    // The stop: the owner's flag, the current call's deadline, and whether the engine was
    // told to end the script.
    const std::atomic<bool>* stopRequested = nullptr;
    bool hasDeadline = false;
    std::chrono::steady_clock::time_point deadline;
    bool stopped = false;
    // The script was ended because an allocation passed the memory limit.
    bool memoryExceeded = false;

    // Creates the engine's heap over our allocator (`limit` 0: no limit); ctx stays null when
    // Duktape could not make one.
    void create(std::size_t bytes);
};

// Runs a protected step under the fatal-error guard. Returns the step's duk_safe_call
// result, or -1 when the engine failed fatally (the heap must then be abandoned: Duktape's
// fatal handler may not return, so it jumps back here).
int guardedCall(DuktapeHeap* heap, duk_safe_call_function step, void* udata, duk_idx_t nargs, duk_idx_t nrets);

// Duktape keeps strings in CESU-8 (characters above U+FFFF as two encoded surrogates), which
// gives scripts the standard string lengths. Texts cross this boundary as UTF-8.
std::string toCesu8(const std::string& utf8);
std::string fromCesu8(const char* data, std::size_t n);
// A string from the stack as UTF-8. Duktape strings may hold any bytes (internal keys,
// buffer contents): what is not UTF-8 becomes U+FFFD, so no caller prints raw bytes.
std::string stackString(duk_context* ctx, duk_idx_t index);

}  // namespace quillbox::engine
