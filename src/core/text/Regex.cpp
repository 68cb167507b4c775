#include "core/text/Regex.h"

#define PCRE2_CODE_UNIT_WIDTH 8
#include <pcre2.h>

#include <cstdint>
#include <limits>

namespace quillbox::text {

namespace {

// PCRE2's default limits stop a lazy "[\s\S]*?" over a project file of a few megabytes
// (PCRE2_ERROR_MATCHLIMIT). The importer must read any file that fits in memory, so the
// limits are raised to what the machine can bear: the interpreter keeps its backtracking
// frames on the heap (bounded below), the JIT on its own growable stack.
constexpr uint32_t kMatchLimit = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kDepthLimit = std::numeric_limits<uint32_t>::max();
constexpr uint32_t kHeapLimitKiB = 2u * 1024u * 1024u;  // 2 GiB of backtracking frames
constexpr std::size_t kJitStackStart = 32 * 1024;
constexpr std::size_t kJitStackMax = 256 * 1024 * 1024;

std::string errorText(int code) {
    PCRE2_UCHAR buffer[256];
    const int n = pcre2_get_error_message(code, buffer, sizeof buffer);
    if (n < 0)
        return "regular expression error " + std::to_string(code);
    return std::string(reinterpret_cast<const char*>(buffer), static_cast<std::size_t>(n));
}

const std::string kEmpty;

// Length in bytes of the UTF-8 character starting at `at` (1 for a stray byte).
std::size_t characterLength(std::string_view s, std::size_t at) {
    std::size_t n = 1;
    while (at + n < s.size() && (static_cast<unsigned char>(s[at + n]) & 0xC0) == 0x80 && n < 4)
        ++n;
    return n;
}

}  // namespace

const std::string& RegexMatch::submatch(std::size_t n) const {
    if (n == 0)
        return value;
    if (n <= submatches.size())
        return submatches[n - 1];
    return kEmpty;
}

struct Regex::Impl {
    RegexOptions options;
    std::string error;
    pcre2_code* code = nullptr;
    bool jit = false;
    uint32_t groups = 0;

    ~Impl() {
        if (code)
            pcre2_code_free(code);
    }

    // One match from `start`; 1 matched, 0 no match, <0 error code. `data` holds the
    // offsets afterwards.
    int matchAt(std::string_view subject, std::size_t start, pcre2_match_data* data,
                pcre2_match_context* context) const {
        const auto* s = reinterpret_cast<PCRE2_SPTR>(subject.data());
        const int rc = jit ? pcre2_jit_match(code, s, subject.size(), start, 0, data, context)
                           : pcre2_match(code, s, subject.size(), start, 0, data, context);
        if (rc == PCRE2_ERROR_NOMATCH)
            return 0;
        if (rc < 0)
            return rc;
        return 1;
    }

    // Calls onMatch(ovector) for each match in order (only the first unless global).
    // Returns "" on success, else the error message.
    template <typename F>
    std::string forEachMatch(std::string_view subject, F&& onMatch, bool firstOnly = false) const {
        pcre2_match_data* data = pcre2_match_data_create_from_pattern(code, nullptr);
        pcre2_match_context* context = pcre2_match_context_create(nullptr);
        pcre2_jit_stack* stack = jit ? pcre2_jit_stack_create(kJitStackStart, kJitStackMax, nullptr) : nullptr;
        std::string failure;
        if (!data || !context || (jit && !stack)) {
            failure = "out of memory for the regular expression";
        } else {
            pcre2_set_match_limit(context, kMatchLimit);
            pcre2_set_depth_limit(context, kDepthLimit);
            pcre2_set_heap_limit(context, kHeapLimitKiB);
            if (stack)
                pcre2_jit_stack_assign(context, nullptr, stack);
            std::size_t start = 0;
            while (start <= subject.size()) {
                const int rc = matchAt(subject, start, data, context);
                if (rc < 0) {
                    failure = errorText(rc);
                    break;
                }
                if (rc == 0)
                    break;
                const PCRE2_SIZE* ov = pcre2_get_ovector_pointer(data);
                // "\K" can report a match that ends before it starts or begins before
                // `start`; such a match has no sound place in an enumeration.
                if (ov[1] < ov[0] || ov[0] < start) {
                    failure = "the regular expression reported a match outside the searched text";
                    break;
                }
                onMatch(ov);
                if (!options.global || firstOnly)
                    break;
                // An empty match moves on by one character, as script RegExp objects do.
                if (ov[1] == ov[0])
                    start = ov[1] + (ov[1] < subject.size() ? characterLength(subject, ov[1]) : 1);
                else
                    start = ov[1];
            }
        }
        if (stack)
            pcre2_jit_stack_free(stack);
        if (context)
            pcre2_match_context_free(context);
        if (data)
            pcre2_match_data_free(data);
        return failure;
    }
};

Regex::Regex(std::string_view pattern, const RegexOptions& options) : impl_(std::make_unique<Impl>()) {
    impl_->options = options;
    // UTF mode that tolerates ill-formed subjects; "$" only at the very end as in script
    // RegExp; "[^]" matches any character; \uHHHH escapes as script code writes them.
    uint32_t flags = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_DOLLAR_ENDONLY | PCRE2_ALLOW_EMPTY_CLASS |
                     PCRE2_ALT_BSUX;
    if (options.ignoreCase)
        flags |= PCRE2_CASELESS;
    if (options.multiline)
        flags |= PCRE2_MULTILINE;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context) {
        impl_->error = "out of memory for the regular expression";
        return;
    }
    // Only LF ends a line, so "." matches CR; "\s" covers CR and LF in any case.
    pcre2_set_newline(context, PCRE2_NEWLINE_LF);
    int code = 0;
    PCRE2_SIZE offset = 0;
    impl_->code = pcre2_compile(reinterpret_cast<PCRE2_SPTR>(pattern.data()), pattern.size(), flags, &code,
                                &offset, context);
    pcre2_compile_context_free(context);
    if (!impl_->code) {
        impl_->error = errorText(code) + " at offset " + std::to_string(offset);
        return;
    }
    pcre2_pattern_info(impl_->code, PCRE2_INFO_CAPTURECOUNT, &impl_->groups);
    // The JIT is an accelerator only: without it the interpreter gives the same answers.
    impl_->jit = pcre2_jit_compile(impl_->code, PCRE2_JIT_COMPLETE) == 0;
}

Regex::~Regex() = default;
Regex::Regex(Regex&&) noexcept = default;
Regex& Regex::operator=(Regex&&) noexcept = default;

bool Regex::valid() const { return impl_ && impl_->code; }

const std::string& Regex::error() const { return impl_ ? impl_->error : kEmpty; }

const RegexOptions& Regex::options() const {
    static const RegexOptions none;
    return impl_ ? impl_->options : none;
}

RegexResult Regex::execute(std::string_view subject) const {
    RegexResult result;
    if (!valid()) {
        result.ok = false;
        result.error = impl_ ? impl_->error : "no regular expression";
        return result;
    }
    const uint32_t groups = impl_->groups;
    std::string failure = impl_->forEachMatch(subject, [&](const PCRE2_SIZE* ov) {
        RegexMatch m;
        m.position = ov[0];
        m.value.assign(subject.substr(ov[0], ov[1] - ov[0]));
        m.submatches.resize(groups);
        for (uint32_t g = 1; g <= groups; ++g)
            if (ov[2 * g] != PCRE2_UNSET)
                m.submatches[g - 1].assign(subject.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
        result.matches.push_back(std::move(m));
    });
    if (!failure.empty()) {
        result.ok = false;
        result.error = std::move(failure);
        result.matches.clear();
    }
    return result;
}

std::string Regex::scan(std::string_view subject,
                        const std::function<void(const RegexMatchView&)>& onMatch) const {
    if (!valid())
        return impl_ ? impl_->error : "no regular expression";
    const uint32_t groups = impl_->groups;
    RegexMatchView view;
    view.submatches.resize(groups);
    return impl_->forEachMatch(subject, [&](const PCRE2_SIZE* ov) {
        view.position = ov[0];
        view.value = subject.substr(ov[0], ov[1] - ov[0]);
        for (uint32_t g = 1; g <= groups; ++g)
            view.submatches[g - 1] = ov[2 * g] == PCRE2_UNSET ? std::string_view()
                                                               : subject.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]);
        onMatch(view);
    });
}

bool Regex::test(std::string_view subject) const {
    if (!valid())
        return false;
    bool found = false;
    const std::string failure = impl_->forEachMatch(subject, [&](const PCRE2_SIZE*) { found = true; }, true);
    return failure.empty() && found;
}

ReplaceResult Regex::replace(std::string_view subject, std::string_view replacement) const {
    ReplaceResult result;
    if (!valid()) {
        result.ok = false;
        result.error = impl_ ? impl_->error : "no regular expression";
        return result;
    }
    const uint32_t groups = impl_->groups;
    std::string& out = result.text;
    std::size_t copied = 0;  // subject bytes already written to out
    auto appendGroup = [&](const PCRE2_SIZE* ov, uint32_t g) {
        if (ov[2 * g] != PCRE2_UNSET)
            out.append(subject.substr(ov[2 * g], ov[2 * g + 1] - ov[2 * g]));
    };
    std::string failure = impl_->forEachMatch(subject, [&](const PCRE2_SIZE* ov) {
        out.append(subject.substr(copied, ov[0] - copied));
        for (std::size_t i = 0; i < replacement.size(); ++i) {
            const char c = replacement[i];
            if (c != '$' || i + 1 >= replacement.size()) {
                out.push_back(c);
                continue;
            }
            const char next = replacement[i + 1];
            if (next == '$') {
                out.push_back('$');
                ++i;
            } else if (next == '&') {
                appendGroup(ov, 0);
                ++i;
            } else if (next == '`') {
                out.append(subject.substr(0, ov[0]));
                ++i;
            } else if (next == '\'') {
                out.append(subject.substr(ov[1]));
                ++i;
            } else if (next >= '0' && next <= '9') {
                uint32_t n = static_cast<uint32_t>(next - '0');
                std::size_t used = 1;
                if (i + 2 < replacement.size() && replacement[i + 2] >= '0' && replacement[i + 2] <= '9') {
                    const uint32_t two = n * 10 + static_cast<uint32_t>(replacement[i + 2] - '0');
                    if (two >= 1 && two <= groups) {
                        n = two;
                        used = 2;
                    }
                }
                if (n >= 1 && n <= groups) {
                    appendGroup(ov, n);
                    i += used;
                } else {
                    out.push_back('$');
                }
            } else {
                out.push_back('$');
            }
        }
        copied = ov[1];
        ++result.replacements;
    });
    if (!failure.empty()) {
        result.ok = false;
        result.error = std::move(failure);
        result.text.clear();
        result.replacements = 0;
        return result;
    }
    out.append(subject.substr(copied));
    return result;
}

}  // namespace quillbox::text
