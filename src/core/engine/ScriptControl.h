#pragma once
// The native engine's script control: an old-style JavaScript engine (Duktape, ES5.1) with
// the operations and the Error object that the program relies on. Code added earlier stays
// defined until Reset; every call first clears Error, so Error always describes the last call.
//
// Error.Number, one stable value per kind of error:
//      0  no error
//      5  the engine failed internally, or the script was stopped: its heap was replaced,
//         so all code is gone
//      7  out of memory: the memory limit was reached (the call failed with it: the heap
//         was replaced, so all code is gone, and Description names the limit), or an
//         allocation the script caught was refused
//     28  out of stack space (runaway recursion)
//   1002  syntax error (compiling added code, or SyntaxError raised while running)
//   5000  Error, or an error object of a kind not listed here
//   5007  TypeError
//   5009  ReferenceError
//   5022  a thrown value that is not an error object (throw "text", throw 5)
//   5029  RangeError
//   5030  URIError
//   5031  EvalError
#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/engine/MemoryLimit.h"
#include "core/engine/Value.h"

namespace quillbox::engine {

// The values of Error.Number (above).
namespace error_number {
inline constexpr long kEngineReset = 5;
inline constexpr long kOutOfMemory = 7;
inline constexpr long kOutOfStack = 28;
inline constexpr long kSyntax = 1002;
inline constexpr long kError = 5000;
inline constexpr long kType = 5007;
inline constexpr long kReference = 5009;
inline constexpr long kThrownValue = 5022;
inline constexpr long kRange = 5029;
inline constexpr long kUri = 5030;
inline constexpr long kEval = 5031;
}  // namespace error_number

struct ScriptError {
    long Number = 0;
    std::string Source;       // kCompileSource, kRuntimeSource, or "" without error
    std::string Description;  // never empty when Number is not 0
    int Line = 0;             // 1-based; 0 when unknown
    int Column = 0;           // 0-based, in UTF-16 units of Line's text; 0 when unknown
    std::string Text;         // the source line of Line, when the code is known
    std::string File;         // the name of the code Line lies in (see AddCode), when known
};

class ScriptControl {
public:
    static constexpr const char* kCompileSource = "JScript compilation error";
    static constexpr const char* kRuntimeSource = "JScript runtime error";
    // Memory the scripts may use before allocations fail with "out of memory".
    static constexpr std::size_t kDefaultHeapLimit = kDefaultMemoryLimit;

    explicit ScriptControl(std::size_t heapLimit = kDefaultHeapLimit);
    ~ScriptControl();
    ScriptControl(const ScriptControl&) = delete;
    ScriptControl& operator=(const ScriptControl&) = delete;

    // Only "JScript" is spoken; setting another language is refused (false) and changes nothing.
    const std::string& Language() const { return language_; }
    bool SetLanguage(const std::string& language);

    // Runs code as global code. False when it failed to compile or threw (see Error()).
    // `name` is what Error().File tells when the error lies in this code (default: a name
    // of the engine's own).
    bool AddCode(const std::string& code, const std::string& name = "");
    bool ExecuteStatement(const std::string& statement);
    // The completion value of the expression or statements; empty on failure. With `keep`,
    // the value itself stays as QUILLBOX.last (when QUILLBOX exists), for the result's tree.
    Value Eval(const std::string& expression, bool keep = false);
    // Calls the global function `name` with the arguments; empty on failure.
    Value Run(const std::string& name, const std::vector<Value>& args = {});
    // Drops all code and state.
    void Reset();

    const ScriptError& Error() const { return error_; }
    void ClearError() { error_ = ScriptError(); }

    // ---- stopping a script ----
    // Ends the AddCode, ExecuteStatement, Eval or Run that is running; any thread may call
    // it. Without a call running it does nothing and returns false.
    bool stop();
    // Each call is stopped after this long; zero: no limit (the default).
    void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
    std::chrono::milliseconds timeLimit() const { return timeLimit_; }
    // Whether the last call was stopped. A stopped call leaves the engine made anew, as
    // after Reset, and Error says so (Number 5); the next call runs normally.
    bool lastCallStopped() const { return lastCallStopped_; }
    // How many calls a stop has ended since the engine was made: a caller that makes several
    // calls for one command sees a stop that landed in any of them.
    unsigned stops() const { return stops_; }
    // Forgets a stop that came as the last call finished: a new command begins.
    void dropPendingStop();

    // ---- the memory limit ----
    // What the scripts may use (0: no limit); takes effect at once (the owner's thread only,
    // between calls).
    // A script whose allocation passes it is ended (catching "out of memory" does not keep it
    // going) and the engine is made anew, as after a stop, with Error 7 naming the limit
    // (memoryLimitDescription).
    void setMemoryLimit(std::size_t bytes);
    std::size_t memoryLimit() const { return heapLimit_; }
    bool lastCallOutOfMemory() const { return lastCallOutOfMemory_; }

    struct Heap;

private:
    enum class Mode { Program, Eval, Call };
    bool execute(Mode mode, const std::string& code, const std::string& name, const std::vector<Value>& args,
                 Value* result);
    bool run(Mode mode, const std::string& code, const std::string& name, const std::vector<Value>& args,
             Value* result);
    void createHeap();
    void recordError(int phase, const std::string& chunk);
    void recordFatal();
    std::string sourceLine(const std::string& chunk, int line) const;
    int sourceColumn(const std::string& chunk, long offset) const;
    bool keepResult_ = false;

    std::size_t heapLimit_;
    std::unique_ptr<Heap> heap_;
    std::string language_ = "JScript";
    ScriptError error_;
    // The code of every chunk compiled since the last reset, by chunk name, for Error.Text.
    std::vector<std::pair<std::string, std::string>> chunks_;
    unsigned chunkCounter_ = 0;

    // The stop, shared with other threads: stop() sets the flag under stopMutex_ while a
    // call runs; the engine polls it (with the deadline) between instructions.
    std::mutex stopMutex_;
    bool running_ = false;
    std::atomic<bool> stopRequested_{false};
    // A stop asked for while a call ran that then finished anyway: it ends the next call (a
    // command of several calls is stopped however the request falls). Behind stopMutex_.
    bool pendingStop_ = false;
    bool lastCallStopped_ = false;
    unsigned stops_ = 0;
    bool lastCallOutOfMemory_ = false;
    std::chrono::milliseconds timeLimit_{0};
};

}  // namespace quillbox::engine
