#include "core/editor/SearchPattern.h"

#define PCRE2_CODE_UNIT_WIDTH 16
#include <pcre2.h>

namespace quillbox::editor {
namespace {

PCRE2_SPTR16 units(std::u16string_view s) { return reinterpret_cast<PCRE2_SPTR16>(s.data()); }

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

struct Code {
    pcre2_code* code = nullptr;
    pcre2_match_data* data = nullptr;
    ~Code() {
        if (data)
            pcre2_match_data_free(data);
        if (code)
            pcre2_code_free(code);
    }
};

bool compileInto(Code& out, std::u16string_view pattern, bool caseSensitive) {
    uint32_t options = PCRE2_UTF | PCRE2_MATCH_INVALID_UTF | PCRE2_ALT_BSUX | PCRE2_ALLOW_EMPTY_CLASS |
                       PCRE2_MATCH_UNSET_BACKREF;
    if (!caseSensitive)
        options |= PCRE2_CASELESS;
    pcre2_compile_context* context = pcre2_compile_context_create(nullptr);
    if (!context)
        return false;
    pcre2_set_compile_extra_options(context, PCRE2_EXTRA_ALT_BSUX);
    int error = 0;
    PCRE2_SIZE errorOffset = 0;
    out.code = pcre2_compile(units(pattern), pattern.size(), options, &error, &errorOffset, context);
    pcre2_compile_context_free(context);
    if (!out.code)
        return false;
    // Without JIT (not every build has it) the interpreter gives the same matches.
    pcre2_jit_compile(out.code, PCRE2_JIT_COMPLETE);
    out.data = pcre2_match_data_create_from_pattern(out.code, nullptr);
    return out.data != nullptr;
}

// The characters a RegExp needs escaped to stand for themselves.
std::u16string escapeRegExp(std::u16string_view needle) {
    static constexpr std::u16string_view kSpecial = u".*+?^${}()|[]/\\";
    std::u16string out;
    out.reserve(needle.size() * 2);
    for (char16_t c : needle) {
        if (kSpecial.find(c) != std::u16string_view::npos)
            out += u'\\';
        out += c;
    }
    return out;
}

// Whether the code point at the start of s is a letter, a digit or "_".
bool startsWithWordCharacter(std::u16string_view s) {
    thread_local Code word;
    thread_local const bool compiled = compileInto(word, u"^[\\p{L}\\p{N}_]", true);
    if (!compiled || s.empty())
        return false;
    return pcre2_match(word.code, units(s), s.size(), 0, 0, word.data, nullptr) > 0;
}

std::u16string lastCharacter(std::u16string_view s) {
    if (s.size() >= 2 && isLowSurrogate(s.back()) && isHighSurrogate(s[s.size() - 2]))
        return std::u16string(s.substr(s.size() - 2));
    return std::u16string(s.substr(s.size() - 1));
}

// Whole words: bounded wherever the needle starts or ends with a word character, and
// always for a regular expression.
std::u16string addWordBoundary(std::u16string_view needle, bool regExp) {
    std::u16string out;
    if (regExp || startsWithWordCharacter(needle))
        out += u"(?<=^|[^\\p{L}\\p{N}_])";
    out += needle;
    if (regExp || startsWithWordCharacter(lastCharacter(needle)))
        out += u"(?=[^\\p{L}\\p{N}_]|$)";
    return out;
}

// Splits an expression at its line breaks into one expression per line, each anchored at
// the line ends it meets.
std::vector<std::u16string> splitLines(std::u16string_view pattern) {
    std::vector<std::u16string> parts(1);
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char16_t c = pattern[i];
        if (c == u'\r' || c == u'\n') {
            if (c == u'\r' && i + 1 < pattern.size() && pattern[i + 1] == u'\n')
                ++i;
            parts.back() += u'$';
            parts.emplace_back(u"^");
        } else {
            parts.back() += c;
        }
    }
    return parts;
}

// Reads the replacement as the editor does before handing it to String.replace.
std::u16string parseReplaceString(std::u16string_view s) {
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const char16_t c = s[i];
        if (c == u'\\') {
            if (++i >= s.size()) {
                out += u'\\';
                break;
            }
            if (s[i] == u'\\')
                out += u'\\';
            else if (s[i] == u'n')
                out += u'\n';
            else if (s[i] == u't')
                out += u'\t';
            continue;
        }
        if (c == u'$') {
            if (++i >= s.size()) {
                out += u'$';
                break;
            }
            const char16_t next = s[i];
            if (next == u'$') {
                out += u"$$";
                continue;
            }
            if (next == u'0' || next == u'&') {
                out += u"$&";
                continue;
            }
            if (next >= u'1' && next <= u'9') {
                out += u'$';
                out += next;
                continue;
            }
        }
        out += s[i];
    }
    return out.empty() ? std::u16string(s) : out;
}

bool isDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

}  // namespace

struct SearchPattern::Part {
    Code code;
};

SearchPattern::~SearchPattern() = default;

std::shared_ptr<const SearchPattern> SearchPattern::compile(std::u16string_view needle, const FindOptions& options) {
    if (needle.empty())
        return nullptr;
    std::u16string pattern = options.regExp ? std::u16string(needle) : escapeRegExp(needle);
    if (options.wholeWord)
        pattern = addWordBoundary(pattern, options.regExp);
    std::shared_ptr<SearchPattern> compiled(new SearchPattern);
    compiled->options_ = options;
    for (const std::u16string& part : splitLines(pattern)) {
        auto p = std::make_unique<Part>();
        if (!compileInto(p->code, part, options.caseSensitive))
            return nullptr;
        compiled->parts_.push_back(std::move(p));
    }
    return compiled;
}

std::optional<LineMatch> SearchPattern::exec(std::u16string_view line, std::size_t from, std::size_t part) const {
    if (from > line.size() || part >= parts_.size())
        return std::nullopt;
    // Never start inside a surrogate pair.
    if (from > 0 && from < line.size() && isLowSurrogate(line[from]) && isHighSurrogate(line[from - 1]))
        ++from;
    const Code& code = parts_[part]->code;
    const int rc = pcre2_match(code.code, units(line), line.size(), from, 0, code.data, nullptr);
    if (rc <= 0)  // no match, or a match limit reached
        return std::nullopt;
    const PCRE2_SIZE* ovector = pcre2_get_ovector_pointer(code.data);
    LineMatch match;
    match.offset = ovector[0];
    match.length = ovector[1] - ovector[0];
    uint32_t groups = 0;
    pcre2_pattern_info(code.code, PCRE2_INFO_CAPTURECOUNT, &groups);
    for (uint32_t g = 1; g <= groups; ++g) {
        if (static_cast<int>(g) < rc && ovector[2 * g] != PCRE2_UNSET)
            match.groups.emplace_back(std::make_pair(ovector[2 * g], ovector[2 * g + 1] - ovector[2 * g]));
        else
            match.groups.emplace_back(std::nullopt);
    }
    return match;
}

std::u16string SearchPattern::expand(std::u16string_view replacement, std::u16string_view line,
                                     const LineMatch& match) const {
    if (!options_.regExp || multiLine())
        return std::u16string(replacement);
    const std::u16string s = parseReplaceString(replacement);
    const std::size_t groupCount = match.groups.size();
    auto group = [&](std::size_t n) -> std::u16string {
        const auto& g = match.groups[n - 1];
        return g ? std::u16string(line.substr(g->first, g->second)) : std::u16string();
    };
    std::u16string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != u'$' || i + 1 >= s.size()) {
            out += s[i];
            continue;
        }
        const char16_t next = s[i + 1];
        if (next == u'$') {
            out += u'$';
            ++i;
        } else if (next == u'&') {
            out += line.substr(match.offset, match.length);
            ++i;
        } else if (next == u'`' || next == u'\'') {
            // The editor replaces within the matched text alone: nothing before or after.
            ++i;
        } else if (isDigit(next)) {
            const std::size_t one = next - u'0';
            if (i + 2 < s.size() && isDigit(s[i + 2])) {
                const std::size_t two = one * 10 + (s[i + 2] - u'0');
                if (two >= 1 && two <= groupCount) {
                    out += group(two);
                    i += 2;
                    continue;
                }
            }
            if (one >= 1 && one <= groupCount) {
                out += group(one);
                ++i;
            } else {
                out += u'$';
            }
        } else {
            out += u'$';
        }
    }
    return out;
}

}  // namespace quillbox::editor
