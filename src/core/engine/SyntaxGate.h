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
#include <memory>
#include <string>

namespace quillbox::engine {

class ChakraCore;

enum class SyntaxLevel {
    JScript,     // the native engine's language
    ChakraCore,  // the ChakraCore engine's language
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

    SyntaxVerdict check(const std::string& code, SyntaxLevel level);

    // The engine's name in messages: "ChakraCore 1.11" or "JScript 5.7".
    static const char* engineName(SyntaxLevel level);

private:
    bool ready();

    std::unique_ptr<ChakraCore> parser_;
    bool loaded_ = false;
};

}  // namespace quillbox::engine
