// The script control's calls that are the same whichever engine runs beneath it (Duktape
// here, the system's JScript on Windows): each is one run of `execute`.
#include <mutex>

#include "core/engine/ScriptControl.h"

namespace quillbox::engine {

bool ScriptControl::AddCode(const std::string& code, const std::string& name) {
    ++chunkCounter_;
    return execute(Mode::Program, code, name.empty() ? "code" + std::to_string(chunkCounter_) : name, {}, nullptr);
}

bool ScriptControl::ExecuteStatement(const std::string& statement) {
    return execute(Mode::Program, statement, "statement" + std::to_string(++chunkCounter_), {}, nullptr);
}

Value ScriptControl::Eval(const std::string& expression, bool keep) {
    Value result;
    keepResult_ = keep;
    execute(Mode::Eval, expression, "eval" + std::to_string(++chunkCounter_), {}, &result);
    keepResult_ = false;
    return result;
}

Value ScriptControl::Run(const std::string& name, const std::vector<Value>& args) {
    Value result;
    execute(Mode::Call, "", name, args, &result);
    return result;
}

void ScriptControl::dropPendingStop() {
    std::lock_guard lock(stopMutex_);
    pendingStop_ = false;
}

}  // namespace quillbox::engine
