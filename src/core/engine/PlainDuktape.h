#pragma once
// A Duktape context without the JScript profile, for libraries the program runs itself (the
// transform library where no ChakraCore is found): ES5 as our Duktape build has it, the code
// compiled as the standard says (none of JScript's deviations), the same memory limit as the
// engines. One context per job: made, used and dropped on one thread.
//
// What stays of our Duktape build in every heap: ES5's built-ins only (no JSON object either),
// and strings without index properties ("abc"[1] is undefined, a patch of ours). A library run
// here needs shims for what it calls beyond that, and a test against ChakraCore.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "core/engine/MemoryLimit.h"

namespace quillbox::engine {

struct DuktapeHeap;

class PlainDuktape {
public:
    explicit PlainDuktape(std::size_t memoryLimit = kDefaultMemoryLimit);
    ~PlainDuktape();
    PlainDuktape(const PlainDuktape&) = delete;
    PlainDuktape& operator=(const PlainDuktape&) = delete;

    // Runs the script at global level; false when it threw (error() says what).
    bool run(const std::string& script, const std::string& name);
    // Calls the global function with the texts as its arguments and gives its value as text;
    // false when it threw.
    bool call(const std::string& function, const std::vector<std::string>& arguments, std::string& result);
    // The thrown value as text ("Error: Unterminated comment."), or the memory limit's
    // description when the script passed it. After a failure the context takes no more work.
    const std::string& error() const { return error_; }
    bool outOfMemory() const { return outOfMemory_; }

private:
    bool finish(int rc, bool ok);

    std::size_t memoryLimit_;
    std::unique_ptr<DuktapeHeap> heap_;
    std::string error_;
    bool outOfMemory_ = false;
};

}  // namespace quillbox::engine
