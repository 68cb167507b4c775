#pragma once
// The ChakraCore engine: one runtime with one context, loaded at run time from
// libChakraCore.so in the program's directory (ours is built from src/jsrt over
// JavaScriptCore; a genuine ChakraCore build for Linux exports the same calls and can
// replace it).
//
// Scripts see one host object under two names, `$$` and `console`, with `log`, `warn` and
// `ajax`. Texts are UTF-8 on our side and UTF-16 in the engine.
//
// Failures are return values: a script error makes AddCode return false and Eval and Call
// return "", and stays pending until TakeException reads and clears it.
//
// Threads: every call belongs to one thread (the one that owns the engine), except stop(),
// which any thread may call to end the script that is running. The time limit has one
// watchdog thread per instance, started by the first call that has a limit.
#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/engine/MemoryLimit.h"
#include "core/net/Addresses.h"

namespace quillbox {
class Dialogs;
class Shell;
}

namespace quillbox::net {
class HttpClient;
}

namespace quillbox::engine {

namespace chakra {
class Watchdog;
}

// The description of a thrown value that has no text of its own ("", an object without a
// string form, a Symbol), followed by a readable form of the value: 未知错误 (Symbol(x)).
inline constexpr const char* kUnknownError = "未知错误";

// What TakeException hands back: the line and column count from 0, as the engine gives them,
// and are -1 when the engine gave no position (a thrown value that is not an Error).
struct ChakraException {
    bool thrown = false;    // an exception was pending; the record is empty otherwise
    std::string source;     // the text of the line
    std::string url;
    std::string exception;  // the thrown value as text; never empty when thrown (see kUnknownError)
    int line = 0;
    int column = 0;
    int length = 0;

    bool positioned() const { return line >= 0; }

    bool operator==(const ChakraException&) const = default;
};

class ChakraCore {
public:
    // (type name, text) for each argument of console.log or console.warn.
    using ConsoleCallback = std::function<void(const std::string& type, const std::string& text)>;

    ChakraCore();
    ~ChakraCore();
    ChakraCore(const ChakraCore&) = delete;
    ChakraCore& operator=(const ChakraCore&) = delete;

    // Creates the runtime, its context and the host objects. A runtime made before is
    // disposed first.
    void New();
    // The name scripts run under unless given one; an exception tells the name of the
    // script it came from (ChakraException::url).
    static constexpr const char* kScriptUrl = "Zorvan";
    // Runs the script; true when no exception is pending afterwards.
    bool AddCode(const std::string& script, const std::string& url = kScriptUrl);
    // Calls the global function with the texts as string arguments; "" on exception.
    std::string Call(const std::string& name, const std::vector<std::string>& arguments);
    // The completion value of the script as text; "" on exception.
    // With `keep`, the value itself stays as QUILLBOX.last (when QUILLBOX exists).
    std::string Eval(const std::string& script, const std::string& url = kScriptUrl, bool keep = false);
    // Reads and clears the pending exception; an empty record when none is pending.
    ChakraException TakeException();
    // Disposes the runtime; true when that succeeded (or there was none).
    bool Reset();
    // Whether New has made a runtime that Reset has not disposed of since. Without one,
    // AddCode, Eval and Call do nothing and report nothing.
    bool hasRuntime() const { return context_ != nullptr; }
    void SetLogCallback(ConsoleCallback callback) { logCallback_ = std::move(callback); }
    void SetWarnCallback(ConsoleCallback callback) { warnCallback_ = std::move(callback); }

    // ---- stopping a script ----
    // Ends the AddCode, Eval or Call that is running (from any thread), and a request that
    // `ajax` is waiting for. Without a call running it does nothing. False when nothing ran.
    bool stop();
    // Each AddCode, Eval and Call is stopped after this long; zero: no limit (the default).
    void setTimeLimit(std::chrono::milliseconds limit) { timeLimit_ = limit; }
    std::chrono::milliseconds timeLimit() const { return timeLimit_; }
    // Whether the last AddCode, Eval or Call was stopped. A stopped call leaves the engine
    // reset and made anew (empty, with the console callbacks kept), so work goes on.
    bool lastCallStopped() const { return lastCallStopped_; }
    // How many calls a stop has ended: a caller that makes several calls for one command
    // sees a stop that landed in any of them.
    unsigned stops() const { return stops_; }
    // Forgets a stop that came as the last call finished: a new command begins.
    void dropPendingStop();

    // ---- the memory limit ----
    // What a runtime may use (kDefaultMemoryLimit unless set; 0: no limit). Runtimes made
    // from now on get it, and so does the current one between calls.
    void setMemoryLimit(std::size_t bytes);
    std::size_t memoryLimit() const { return memoryLimit_; }
    // Whether the last AddCode, Eval or Call passed the limit. Such a call failed, the engine
    // was made anew (empty, console callbacks kept), and TakeException gives an error whose
    // text names the limit (memoryLimitDescription), without a position.
    bool lastCallOutOfMemory() const { return lastCallOutOfMemory_; }

    // Whether libChakraCore.so was found with every call this class makes; the reason when not.
    static bool libraryLoaded();
    static std::string libraryError();
    static std::string libraryPath();

    // The calls resolved from the library (internal).
    struct Api;

private:
    static const Api* api();
    void makeCurrent() const;
    std::string resultText(void* result);
    template <class F>
    auto runGuarded(F body) -> decltype(body());
    void afterStop();
    void afterMemoryLimit();

    static void* consoleHandler(void* callee, bool construct, void** args, unsigned short argc, void* state);
    static void* ajaxHandler(void* callee, bool construct, void** args, unsigned short argc, void* state);
    static void continuationHandler(void* task, void* state);
    void* ajax(void** args, unsigned short argc);

    ConsoleCallback logCallback_;
    ConsoleCallback warnCallback_;
    void* runtime_ = nullptr;
    void* global_ = nullptr;
    void* context_ = nullptr;

    // The stop: stopMutex_ guards running_, stopRequested_, runtime_ (as stop() reads it)
    // and activeRequest_, which the watchdog's and other threads read.
    std::mutex stopMutex_;
    bool running_ = false;
    bool stopRequested_ = false;
    // A stop asked for while a call ran that then finished anyway: it ends the next call.
    bool pendingStop_ = false;
    net::HttpClient* activeRequest_ = nullptr;
    int depth_ = 0;
    bool lastCallStopped_ = false;
    unsigned stops_ = 0;
    std::chrono::milliseconds timeLimit_{0};
    std::unique_ptr<chakra::Watchdog> watchdog_;

    // The memory limit; the engine's thread only (the runtime reports on that thread).
    std::size_t memoryLimit_ = kDefaultMemoryLimit;
    bool memoryFailed_ = false;
    bool lastCallOutOfMemory_ = false;
    ChakraException memoryLimitError_;
};

// ---- the engine-library check at start ----

inline constexpr const char* kEngineLibraryName = "libChakraCore.so";
inline constexpr const char* kEngineDownloadUrl = addresses::kEngineDownload;
inline constexpr const char* kEngineMissingText = "目录下未找到「libChakraCore.so」,是否前往下载？";
inline constexpr const char* kEngineMissingTitle = "警告";
inline constexpr const char* kEngineDownloadHintText =
    "提取码为「7k2p」\r\n下载完毕后,请将「libChakraCore.so」移至运行目录下";
inline constexpr const char* kEngineDownloadHintTitle = "提示";

// Whether the engine library is in the directory (by default the program's).
bool engineLibraryPresent(const std::string& directory);
bool engineLibraryPresent();

// The check the program makes before its window appears. With the library present: true.
// Without it: asks whether to go to the download page (Yes/No, warning icon); on Yes opens
// the page and shows where to put the file; then false whatever the answer: the program ends.
bool checkEngineLibrary(Dialogs& dialogs, Shell& shell, const std::string& directory);
bool checkEngineLibrary(Dialogs& dialogs, Shell& shell);

}  // namespace quillbox::engine
