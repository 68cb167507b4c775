#include "core/engine/DuktapeHeap.h"

#include <cstdio>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/text/Text.h"

// Asked by the engine every so many instructions, and by long built-ins (our patches), through
// DUK_USE_EXEC_TIMEOUT_CHECK. Once it says yes, the engine throws from the next instruction on,
// so a script cannot catch its way out: not of a stop, a deadline, nor of the memory limit once
// an allocation was refused for it (the script might otherwise catch "out of memory" for ever).
extern "C" duk_bool_t quillbox_duktape_timeout_check(void* udata) {
    auto* heap = static_cast<quillbox::engine::DuktapeHeap*>(udata);
    if (!heap || heap->stopped)
        return heap != nullptr;
    if ((heap->stopRequested && heap->stopRequested->load(std::memory_order_relaxed)) ||
        (heap->hasDeadline && std::chrono::steady_clock::now() >= heap->deadline))
        heap->stopped = true;
    else if (heap->refusedAllocation)
        heap->stopped = heap->memoryExceeded = true;
    return heap->stopped;
}

namespace quillbox::engine {

namespace {

constexpr std::size_t kHeader = 16;  // keeps the block's size; 16 keeps malloc's alignment

void* heapAlloc(void* udata, duk_size_t size) {
    auto* heap = static_cast<DuktapeHeap*>(udata);
    if (size > heap->limit - heap->used) {
        heap->refusedAllocation = true;
        return nullptr;
    }
    auto* block = static_cast<char*>(std::malloc(size + kHeader));
    if (!block)
        return nullptr;
    std::memcpy(block, &size, sizeof size);
    heap->used += size;
    return block + kHeader;
}

void heapFree(void* udata, void* ptr) {
    if (!ptr)
        return;
    auto* heap = static_cast<DuktapeHeap*>(udata);
    char* block = static_cast<char*>(ptr) - kHeader;
    std::size_t size;
    std::memcpy(&size, block, sizeof size);
    heap->used -= size;
    std::free(block);
}

void* heapRealloc(void* udata, void* ptr, duk_size_t size) {
    if (!ptr)
        return heapAlloc(udata, size);
    if (size == 0) {
        heapFree(udata, ptr);
        return nullptr;
    }
    auto* heap = static_cast<DuktapeHeap*>(udata);
    char* block = static_cast<char*>(ptr) - kHeader;
    std::size_t old;
    std::memcpy(&old, block, sizeof old);
    if (size > old && size - old > heap->limit - heap->used) {
        heap->refusedAllocation = true;
        return nullptr;
    }
    auto* grown = static_cast<char*>(std::realloc(block, size + kHeader));
    if (!grown)
        return nullptr;
    std::memcpy(grown, &size, sizeof size);
    heap->used = heap->used - old + size;
    return grown + kHeader;
}

void onFatal(void* udata, const char* message) {
    auto* heap = static_cast<DuktapeHeap*>(udata);
    std::snprintf(heap->fatalMessage, sizeof heap->fatalMessage, "%s", message ? message : "");
    if (heap->jump)
        std::longjmp(*heap->jump, 1);
    // Only reached when Duktape fails outside our guarded calls, which we never do.
    std::abort();
}

}  // namespace

void DuktapeHeap::create(std::size_t bytes) {
    limit = bytes ? bytes : SIZE_MAX;
    ctx = duk_create_heap(heapAlloc, heapRealloc, heapFree, this, onFatal);
}

// Duktape keeps strings in CESU-8 (characters above U+FFFF as two encoded surrogates), which
// gives scripts the standard string lengths. Texts cross this boundary as UTF-8.
std::string toCesu8(const std::string& utf8) {
    std::string out;
    out.reserve(utf8.size());
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t n = utf8.size();
    for (std::size_t i = 0; i < n;) {
        if (s[i] >= 0xF0 && s[i] <= 0xF4 && i + 3 < n) {
            char32_t cp = ((s[i] & 0x07u) << 18) | ((s[i + 1] & 0x3Fu) << 12) | ((s[i + 2] & 0x3Fu) << 6) |
                          (s[i + 3] & 0x3Fu);
            if (cp >= 0x10000 && cp <= 0x10FFFF) {
                cp -= 0x10000;
                for (char32_t unit : {char32_t(0xD800 + (cp >> 10)), char32_t(0xDC00 + (cp & 0x3FF))}) {
                    out += static_cast<char>(0xE0 | (unit >> 12));
                    out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
                    out += static_cast<char>(0x80 | (unit & 0x3F));
                }
                i += 4;
                continue;
            }
        }
        out += static_cast<char>(s[i]);
        ++i;
    }
    return out;
}

std::string fromCesu8(const char* data, std::size_t n) {
    std::string out;
    out.reserve(n);
    const auto* s = reinterpret_cast<const unsigned char*>(data);
    auto surrogate = [&](std::size_t i, unsigned lowBits, unsigned highBits) {
        return i + 2 < n && s[i] == 0xED && s[i + 1] >= lowBits && s[i + 1] <= highBits && (s[i + 2] & 0xC0) == 0x80;
    };
    for (std::size_t i = 0; i < n;) {
        if (surrogate(i, 0xA0, 0xAF) && surrogate(i + 3, 0xB0, 0xBF)) {
            const char32_t high = 0xD000 | ((s[i + 1] & 0x3Fu) << 6) | (s[i + 2] & 0x3Fu);
            const char32_t low = 0xD000 | ((s[i + 4] & 0x3Fu) << 6) | (s[i + 5] & 0x3Fu);
            const char32_t cp = 0x10000 + ((high - 0xD800) << 10) + (low - 0xDC00);
            out += static_cast<char>(0xF0 | (cp >> 18));
            out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (cp & 0x3F));
            i += 6;
        } else if (surrogate(i, 0xA0, 0xBF)) {
            out += "\xEF\xBF\xBD";  // a lone surrogate
            i += 3;
        } else {
            out += static_cast<char>(s[i]);
            ++i;
        }
    }
    return out;
}

// A string from the stack as UTF-8. Duktape strings may hold any bytes (internal keys,
// buffer contents): what is not UTF-8 becomes U+FFFD, so no caller prints raw bytes.
std::string stackString(duk_context* ctx, duk_idx_t index) {
    duk_size_t len = 0;
    const char* p = duk_get_lstring(ctx, index, &len);
    return p ? text::replaceInvalidUtf8(fromCesu8(p, len)) : std::string();
}

// Runs a protected step under the fatal-error guard. Returns the step's duk_safe_call
// result, or -1 when the engine failed fatally (the heap must then be abandoned).
int guardedCall(DuktapeHeap* heap, duk_safe_call_function step, void* udata, duk_idx_t nargs,
                duk_idx_t nrets) {
    std::jmp_buf jump;
    std::jmp_buf* outer = heap->jump;
    heap->jump = &jump;
    if (setjmp(jump) != 0) {
        heap->jump = outer;
        return -1;
    }
    const int rc = duk_safe_call(heap->ctx, step, udata, nargs, nrets);
    heap->jump = outer;
    return rc;
}

}  // namespace quillbox::engine
