#pragma once
// The syntax gate: code passes it before it reaches an engine, so that syntax the real
// engine lacks is refused here as that engine would refuse it, naming what is missing.
//
// Two languages: ChakraCore 1.11's (ES2017 with its regular expressions) and JScript 5.7's
// (ES3) as the script control speaks it. What each accepts comes from the browser
// compatibility data at build time (docs/engines.md). The parser is acorn, run in a private
// ChakraCore engine that the gate keeps between calls.
//
// Positions: lines count from 1, columns from 0 in UTF-16 units (as the editor counts them).
//
// Code that a quick scan finds free of any syntax after ES2017 passes ChakraCore's gate
// without a parse (SyntaxScan.h). Verdicts are remembered for the code last seen (by a digest of its text), so loading a
// project again re-checks only the modules that changed: parsing is what costs.
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace quillbox::engine {

class ChakraCore;

enum class SyntaxLevel {
    JScript,     // the native engine's language
    ChakraCore,  // the ChakraCore engine's language
};

// A name a module defines at its top level (see SymbolIndex.h).
struct Symbol {
    std::string name;    // "sign", or a dotted path for a member ("config.load")
    std::string kind;    // "function", "object", "class", "variable" or "member"
    int line = 0;        // 1-based
    int column = 0;      // 0-based, UTF-16 units
    std::string params;  // a function's parameters as written ("key, data")
    bool operator==(const Symbol&) const = default;
};

struct SyntaxVerdict {
    enum class Kind {
        Passed,       // the engine may run it
        Refused,      // a feature the engine's language lacks
        SyntaxError,  // wrong in every version of the language: the engine reports it itself
        Unavailable,  // the gate could not run (no engine library): nothing was checked
    };
    Kind kind = Kind::Passed;
    int line = 0;
    int column = 0;
    std::string feature;  // the feature's id (Refused)
    std::string message;  // "可选链 ?. 需要 ES2020, ChakraCore 1.11 不支持", or the parser's message

    bool refused() const { return kind == Kind::Refused; }
};

class SyntaxGate {
public:
    SyntaxGate();
    ~SyntaxGate();
    SyntaxGate(const SyntaxGate&) = delete;
    SyntaxGate& operator=(const SyntaxGate&) = delete;

    // Both may be called from either engine's thread: one check runs at a time.
    SyntaxVerdict check(const std::string& code, SyntaxLevel level);
    // Where the parser places the syntax error of code that an engine refused without saying
    // where in the line (Kind::SyntaxError with line and column), always by a parse.
    SyntaxVerdict locateError(const std::string& code);

    // What the code defines at its top level, in order; nothing for code the parser cannot
    // read.
    std::vector<Symbol> symbols(const std::string& code);

    // The code with each eval call's first argument passed through the watch log
    // (watch-sites.js); "" when it has none, or the parser cannot read it.
    std::string watchedCode(const std::string& code);
    // The engine's name in messages: "ChakraCore 1.11" or "JScript 5.7".
    static const char* engineName(SyntaxLevel level);

    // How many checks ran the parser (the others came from the remembered verdicts).
    std::size_t parses() const { return parses_; }

private:
    struct Remembered {
        std::size_t digest;
        std::size_t size;
        SyntaxLevel level;
        SyntaxVerdict verdict;
    };

    bool ready();
    SyntaxVerdict parse(const std::string& code, SyntaxLevel level, bool quickScan);

    std::mutex mutex_;
    std::unique_ptr<ChakraCore> parser_;
    bool loaded_ = false;
    // Whether ChakraCore 1.11 lacks nothing but syntax after ES2017 by the table, so that code
    // the quick scan finds free of it needs no parse.
    bool quickScanDecides_ = false;
    std::list<Remembered> remembered_;  // most recent first
    std::size_t parses_ = 0;
};

}  // namespace quillbox::engine
