#pragma once
// Watch points (ChakraCore engine): with watching on, a load notes every place where the code
// hands text to be run or sends something out of the page (eval, Function, setTimeout and
// setInterval with a string, document.cookie writes, XMLHttpRequest.send, $$.ajax) with its
// arguments, shortened, and the module and line that made it, in order (assets/js/watch.js).
#include <string>
#include <vector>

namespace quillbox::engine {

// The name the watch script runs under; its own frames are never a call's place.
inline constexpr const char* kWatchSourceName = "quillbox-watch";

// The script a watched load runs after the support scripts and before the modules. Frames of
// `environmentPage` (the browser environment's page, or "") are not a call's place either.
std::string watchScript(const std::string& environmentPage);

// After each module: wraps what the modules so far define (the environment's timers,
// document and requests).
inline constexpr const char* kWatchHookScript = "QUILLBOX_WATCH.hook()";
// The rows noted since it was last run, as JSON; "" in an engine without watching.
inline constexpr const char* kWatchTakeScript =
    "(typeof QUILLBOX_WATCH=='object'&&QUILLBOX_WATCH)?QUILLBOX_WATCH.take():''";

struct WatchRow {
    std::string call;   // "eval", "Function", "setTimeout", "document.cookie", "XMLHttpRequest.send", "$$.ajax"
    std::string args;   // the arguments, each shortened; a request's first is "METHOD address"
    std::string where;  // "module:line" ("求值:line" for an expression); "" unknown
    bool operator==(const WatchRow&) const = default;
};

// The rows of kWatchTakeScript's answer; empty when unreadable.
std::vector<WatchRow> parseWatchLog(const std::string& json);

// The page and line of a row's place; false when it names none.
bool splitPlace(const std::string& where, std::string& page, int& line);

// The log as the user copies it: a header line, then one tab-separated line per row.
std::string watchTableText(const std::vector<WatchRow>& rows);

}  // namespace quillbox::engine
