#pragma once
// The tools context: JavaScript tools that the program itself runs (Babel for the conversion
// to old JavaScript) run in a JavaScriptCore context of their own, never in the user's
// engines. The context has the language JavaScriptCore has, without the ChakraCore 1.11
// profile that libChakraCore.so gives every context it makes, and nothing of the program's
// host objects but a silent `console`.
//
// Tools are embedded at build time (assets under "tools/"): load() runs one once, call()
// calls a global function it defined with string arguments and takes a string back.
//
// Threads: a context belongs to the thread that uses it; one thread at a time. Its Stop may
// be stopped from any thread: the call under way ends, and later calls do not begin.
#include <memory>
#include <string>
#include <vector>

namespace quillbox::tools {

struct ToolResult {
    bool ok = false;
    std::string text;   // the returned string when ok
    std::string error;  // the thrown value's text (with its line when the engine gave one)
    bool stopped = false;  // the Stop ended the call or came before it began (not ok)
};

class Stop;

class ToolsContext {
public:
    ToolsContext();
    ~ToolsContext();
    ToolsContext(const ToolsContext&) = delete;
    ToolsContext& operator=(const ToolsContext&) = delete;

    // Runs a script in the context under the name `url`; an error when it throws.
    ToolResult run(const std::string& script, const std::string& url);
    // Runs the embedded asset once per context (later calls answer at once). An error when the
    // asset is missing or throws.
    ToolResult load(const std::string& asset);
    // Calls the global function with the texts as string arguments. A result that is not a
    // string is converted to one.
    ToolResult call(const std::string& function, const std::vector<std::string>& arguments);
    // The stop that ends the calls (none: they run to their end). A stopped call leaves the
    // context usable; what a tool kept between calls may be half made, and its next start
    // must begin it anew.
    void setStop(std::shared_ptr<const Stop> stop);

    struct State;  // the engine's side, in the .cpp

private:
    std::unique_ptr<State> state_;
};

}  // namespace quillbox::tools
