#pragma once
// The native engine as the rest of the program and the generated E code know it: one
// script control speaking JScript. Copies share the same control, as the E side's copies
// share one object; the control lives until the last copy goes.
#include <memory>
#include <optional>
#include <string>

#include "core/engine/ScriptControl.h"
#include "core/engine/Value.h"

namespace quillbox::engine {

class JScript {
public:
    JScript();

    // Defines the global gettime_add(t) used by NowPlus.
    int DefineTimeHelper();
    // "【第L 行，第C列 错误】【代码：N】【源：S】【描述：D】【语句：T】" from the control's Error.
    std::string ErrorText() const;
    // The control itself, for callers that read Error or call the control directly.
    std::shared_ptr<ScriptControl> ControlObject() const { return control_; }
    int AddCode(const std::string& code);
    int ExecuteStatement(const std::string& statement);
    int Reset();
    // Calls a global function with the arguments given; an absent argument ends the list,
    // so no later one is passed either.
    Value Run(const std::string& name, const std::optional<std::string>& a1 = {},
              const std::optional<std::string>& a2 = {}, const std::optional<std::string>& a3 = {},
              const std::optional<std::string>& a4 = {}, const std::optional<std::string>& a5 = {},
              const std::optional<std::string>& a6 = {});
    Value Eval(const std::string& expression);
    void Reserved() {}
    std::string Random();
    std::string Now();
    std::string NowPlus(long long t);
    std::string Escape(const std::string& text);
    std::string Unescape(const std::string& text);
    std::string EncodeURI(const std::string& text);
    std::string DecodeURI(const std::string& text);
    std::string EncodeURIComponent(const std::string& text);
    std::string DecodeURIComponent(const std::string& text);

    static constexpr const char* kTimeHelper =
        "function gettime_add(t){\r\n\tdate=new Date;\r\n\treturn(date.getTime()+t);}\r\n";

private:
    std::string runText(const char* function, const std::string& text);
    std::shared_ptr<ScriptControl> control_;
};

}  // namespace quillbox::engine
