#pragma once
// Regular expressions with the semantics the project importer and the editor rely on
// (the classic script-host RegExp object): ignore case, multiline and global switches;
// "\s" matches CR and LF; "." matches every character but LF; lazy quantifiers;
// submatches numbered from 1; replacement texts with "$1" style references.
//
// Built on PCRE2 (8-bit, UTF mode) with its JIT. Nothing here throws: a pattern that
// does not compile, or a match that PCRE2 gives up on, yields a failure with a message.
#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quillbox::text {

struct RegexOptions {
    bool ignoreCase = false;
    bool multiline = false;  // "^" and "$" also at line starts and ends
    bool global = false;     // enumerate / replace every match, not only the first
};

struct RegexMatch {
    std::size_t position = 0;  // byte offset of the match in the subject
    std::string value;         // the whole match
    // submatches[i] is submatch i + 1; a group that did not take part is "".
    std::vector<std::string> submatches;
    // submatch(1) is the first group; 0 is the whole match; out of range gives "".
    const std::string& submatch(std::size_t n) const;
};

// A match seen in place: the views point into the subject and live as long as it does.
struct RegexMatchView {
    std::size_t position = 0;
    std::string_view value;
    std::vector<std::string_view> submatches;  // submatches[i] is submatch i + 1
};

struct RegexResult {
    bool ok = true;
    std::string error;  // why it failed, when !ok
    std::vector<RegexMatch> matches;
};

struct ReplaceResult {
    bool ok = true;
    std::string error;
    std::string text;
    std::size_t replacements = 0;
};

class Regex {
public:
    Regex(std::string_view pattern, const RegexOptions& options = {});
    ~Regex();
    Regex(Regex&&) noexcept;
    Regex& operator=(Regex&&) noexcept;
    Regex(const Regex&) = delete;
    Regex& operator=(const Regex&) = delete;

    // False when the pattern did not compile; error() says why and where.
    bool valid() const;
    const std::string& error() const;
    const RegexOptions& options() const;

    // Every match in order when global is set, else at most the first.
    RegexResult execute(std::string_view subject) const;
    // As execute, without copying: onMatch sees each match in order. Returns "" when the
    // scan ran to the end, else why it failed (matches already seen stay seen).
    std::string scan(std::string_view subject, const std::function<void(const RegexMatchView&)>& onMatch) const;
    // True when the pattern matches somewhere; false also on failure.
    bool test(std::string_view subject) const;
    // Replaces every match (global) or the first. In the replacement "$n" and "$nn" are
    // submatches (a two-digit number is taken only when that group exists), "$&" is the
    // whole match, "$`" and "$'" the text before and after it, "$$" one "$"; any other
    // "$" stands for itself.
    ReplaceResult replace(std::string_view subject, std::string_view replacement) const;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace quillbox::text
