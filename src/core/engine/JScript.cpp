#include "core/engine/JScript.h"

#include <vector>

namespace quillbox::engine {

JScript::JScript() : control_(std::make_shared<ScriptControl>()) { control_->SetLanguage("JScript"); }

int JScript::DefineTimeHelper() {
    control_->ExecuteStatement(kTimeHelper);
    return 0;
}

std::string JScript::ErrorText() const {
    const ScriptError& e = control_->Error();
    return "【第" + std::to_string(e.Line) + " 行，第" + std::to_string(e.Column) + "列 错误】【代码：" +
           std::to_string(e.Number) + "】【源：" + e.Source + "】【描述：" + e.Description + "】【语句：" + e.Text +
           "】";
}

int JScript::AddCode(const std::string& code) {
    control_->AddCode(code);
    return 0;
}

int JScript::ExecuteStatement(const std::string& statement) {
    control_->ExecuteStatement(statement);
    return 0;
}

int JScript::Reset() {
    control_->Reset();
    return 0;
}

Value JScript::Run(const std::string& name, const std::optional<std::string>& a1, const std::optional<std::string>& a2,
                   const std::optional<std::string>& a3, const std::optional<std::string>& a4,
                   const std::optional<std::string>& a5, const std::optional<std::string>& a6) {
    std::vector<Value> args;
    for (const auto* a : {&a1, &a2, &a3, &a4, &a5, &a6}) {
        if (!a->has_value())
            break;
        args.push_back(Value::string(**a));
    }
    return control_->Run(name, args);
}

Value JScript::Eval(const std::string& expression) { return control_->Eval(expression); }

std::string JScript::Random() {
    std::string text = control_->Eval("Math.random()").text();
    if (!text.empty() && text[0] == '.')
        text.insert(text.begin(), '0');
    return text;
}

std::string JScript::Now() { return control_->Eval("new Date().getTime()").text(); }

std::string JScript::NowPlus(long long t) {
    DefineTimeHelper();
    // The offset goes in as a number: as a string, getTime()+t would join the digits
    // instead of adding the milliseconds.
    return control_->Run("gettime_add", {Value::number(static_cast<double>(t), std::to_string(t))}).text();
}

std::string JScript::runText(const char* function, const std::string& text) {
    return control_->Run(function, {Value::string(text)}).text();
}

std::string JScript::Escape(const std::string& text) { return runText("escape", text); }
std::string JScript::Unescape(const std::string& text) { return runText("unescape", text); }
std::string JScript::EncodeURI(const std::string& text) { return runText("encodeURI", text); }
std::string JScript::DecodeURI(const std::string& text) { return runText("decodeURI", text); }
std::string JScript::EncodeURIComponent(const std::string& text) { return runText("encodeURIComponent", text); }
std::string JScript::DecodeURIComponent(const std::string& text) { return runText("decodeURIComponent", text); }

}  // namespace quillbox::engine
