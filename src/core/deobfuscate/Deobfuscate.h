#pragma once
// Deobfuscation: webcrack (embedded, run in the tools context) turns obfuscated code back
// into readable code. The string decoders it finds are evaluated in a sandbox the program
// gives it: a fresh, empty ChakraCore engine per request, with a time and a memory limit,
// never the user's loaded project. The original is never changed: the result is new text.
//
// A result that still holds decoder calls, or a run whose decoding failed, is partial: it
// is said so, and what was done is kept, never passed off as complete.
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace quillbox::tools {
class Stop;
class ToolsContext;
}

namespace quillbox::deobfuscate {

// What the sandbox may use for one request of decoded strings.
struct SandboxLimits {
    std::chrono::milliseconds time{10000};
    std::size_t memoryBytes = std::size_t(256) << 20;
};

struct Report {
    std::string obfuscator;            // "" when no known obfuscator was recognised
    std::vector<std::string> options;  // the options recognised ("string array encoding rc4" ...)
    int stringsRestored = 0;           // decoder calls replaced by their strings
    int decoderCallsLeft = 0;
    int functionsInlined = 0;          // decoder wrappers and functions held in objects
    int deadCodeAndControlFlow = 0;    // dead branches, flattened switches, merged strings
    int antiDebugAndSelfDefending = 0; // debug protection and self-defending code removed
    int sandboxRuns = 0;               // fresh engines made for decoders
};

struct Deobfuscation {
    bool ok = false;          // a result is there (complete or partial)
    bool stopped = false;     // the Stop ended it (not ok)
    std::string error;        // why there is none, or why it is partial
    bool partial = false;     // decoder calls left, or the decoding failed: `why` says
    std::string why;
    std::string code;
    Report report;
};

class Deobfuscator {
public:
    explicit Deobfuscator(SandboxLimits limits = {});
    ~Deobfuscator();
    Deobfuscator(const Deobfuscator&) = delete;
    Deobfuscator& operator=(const Deobfuscator&) = delete;

    Deobfuscation run(const std::string& code);
    // The stop of the runs that follow, their sandbox engines included (none: they run to
    // their end); any thread may stop it.
    void setStop(std::shared_ptr<const tools::Stop> stop);
    const tools::Stop* currentStop() const { return stop_.get(); }

private:
    std::string sandbox(const std::string& code, bool& ok);

    std::shared_ptr<const tools::Stop> stop_;
    SandboxLimits limits_;
    std::unique_ptr<tools::ToolsContext> tools_;
    int sandboxRuns_ = 0;
};

// The report as lines without line ends: what was found and done, and the verdict.
std::vector<std::string> reportLines(const Deobfuscation& result);

// ---- the check: the original and the result, each in a fresh engine of one kind ----

enum class CheckEngine { Chakra, Native };

struct CheckedExpression {
    std::string expression;
    std::string original;  // "type:value", or "error: ..."
    std::string result;
    bool agree = false;
};

struct BehaviourCheck {
    std::string originalError;  // the original did not load: why
    std::string resultError;
    std::vector<CheckedExpression> expressions;
    bool stopped = false;  // a stop ended it; the expressions not run say "error: stopped"
    bool allAgree() const;
};

// The expressions' values ("type:value", objects as JSON, or "error: ...") with the code loaded
// in a fresh engine of the kind; `loadError` says why the code did not load ("" when it did).
std::vector<std::string> evaluateWith(const std::string& code, const std::vector<std::string>& expressions,
                                      CheckEngine engine, std::string& loadError);

// A stop ends the engine's run at once (code that loops is otherwise cut only by each
// engine's 30 s limit), and no further expression is run.
BehaviourCheck checkBehaviour(const std::string& original, const std::string& result,
                              const std::vector<std::string>& expressions, CheckEngine engine,
                              const tools::Stop* stop = nullptr);
std::vector<std::string> checkLines(const BehaviourCheck& check, CheckEngine engine);

}  // namespace quillbox::deobfuscate
