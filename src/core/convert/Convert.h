#pragma once
// Converting modern code for the native engine (JScript 5.7's language, ES3): Babel in the
// tools context turns ES2015+ syntax into ES3, the shims the code needs are chosen by the
// built-ins it reaches for, and what no conversion can give JScript 5.7 is reported with
// its module, line and column. The original code is never changed: the result is new text.
//
// Positions: lines count from 1, columns from 1 (as the report prints them).
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace quillbox::engine {
class SyntaxGate;
}
namespace quillbox::tools {
class Stop;
class ToolsContext;
}

namespace quillbox::convert {

// The module the shims go in, named so the user sees what it is.
inline constexpr const char* kShimModule = "旧引擎补丁";
// The suffix of a converted project's or module's name.
inline constexpr const char* kConvertedSuffix = "_旧引擎";
// What a stopped conversion or check says instead of a result.
inline constexpr const char* kStoppedMessage = "stopped";

struct SourceModule {
    std::string name;
    std::string code;
};

struct ConvertedModule {
    std::string name;
    std::string code;
    std::vector<std::pair<std::string, int>> converted;  // (syntax converted, how often)
};

// Something that cannot run in JScript 5.7 as the original means it.
struct Problem {
    std::string module;
    int line = 0;
    int column = 0;
    std::string construct;
    std::string why;
};

struct Shim {
    std::string name;    // "es5-shim 4.6.7"
    std::string asset;   // "shims/es5-shim.js"
    std::string reason;  // the names that called for it
};

struct Conversion {
    bool ok = false;     // every module parsed and was converted
    bool stopped = false;  // the Stop ended it (not ok)
    std::string error;   // when not: "module:line:column: message"
    std::vector<ConvertedModule> modules;
    std::vector<Shim> shims;  // in the order they must run
    std::string shimCode;     // their texts joined, each after a comment line naming it
    std::vector<Problem> problems;
    // What converts but may run differently: code made at run time, the shims' limits met.
    std::vector<Problem> warnings;

    // Whether everything converted and nothing is left that JScript 5.7 cannot run.
    bool complete() const { return ok && problems.empty(); }
};

// The shims for the names a program reaches for: globals as they are ("JSON"), properties
// with a dot (".forEach"), properties of globals with their owner ("Math.sign"). In load
// order, each with the names that called for it.
std::vector<Shim> chooseShims(const std::vector<std::string>& uses);

class Converter {
public:
    Converter();
    ~Converter();
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the modules of one program (they share the shims).
    Conversion convert(const std::vector<SourceModule>& modules);
    // The stop of the conversions that follow (none: they run to their end); any thread may
    // stop it. A stopped conversion gives nothing but that it was stopped.
    void setStop(std::shared_ptr<const tools::Stop> stop);
    const tools::Stop* currentStop() const { return stop_.get(); }

private:
    std::shared_ptr<const tools::Stop> stop_;
    std::unique_ptr<tools::ToolsContext> tools_;
    std::unique_ptr<engine::SyntaxGate> gate_;
};

// The report: what was converted, the shims and why, what cannot run; lines without line ends.
std::vector<std::string> reportLines(const Conversion& conversion);

// ---- the check by running ----

struct CheckedExpression {
    std::string expression;
    std::string original;   // "type:value" in ChakraCore with the original code, or "error: ..."
    std::string converted;  // the same in the native engine with the converted code
    bool agree = false;
};

struct RunCheck {
    bool stopped = false;      // the Stop ended it: what was not done says "stopped"
    bool loaded = false;       // the shims and converted modules loaded in the native engine
    std::string loadError;     // the first error when not
    bool originalLoaded = false;
    std::string originalError;
    std::vector<CheckedExpression> expressions;

    bool allAgree() const;
};

// Loads the shims and the converted modules in a fresh native engine, and, when there are
// expressions, the original modules in a fresh ChakraCore engine; evaluates each expression
// in both. `prelude` runs before the modules in both, after the shims in the native engine
// (for code that expects a host: `var module = ...`). A stop ends the engine call under way
// and leaves the rest undone.
RunCheck checkByRunning(const std::vector<SourceModule>& original, const Conversion& conversion,
                        const std::vector<std::string>& expressions, const std::string& prelude = {},
                        const tools::Stop* stop = nullptr);

std::vector<std::string> checkLines(const RunCheck& check);

}  // namespace quillbox::convert
