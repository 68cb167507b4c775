#pragma once
// The E-code command: the source of one E subroutine that loads the current project's
// script into an engine and evaluates an expression passed to it. The subroutine refers
// to the text constant that the script-to-constant command makes from the same project,
// "#常量_" followed by the subroutine name. All texts here are program text (UTF-8); the
// clipboard gets them in code page 936.
#include <optional>
#include <string>
#include <string_view>

#include "core/platform/Clipboard.h"
#include "core/platform/Dialogs.h"
#include "core/platform/Output.h"

namespace quillbox {
class ProjectStore;
}

namespace quillbox::ecode {

// The three ways of hosting a script engine from E code; the numbers are what the
// settings file stores (`memory_save_method`).
enum class CallStyle {
    ScriptControl = 1000,    // "对象调用"
    JScriptClass = 1001,     // "JScript类调用"
    ChakraCoreClass = 1002,  // "ChakraCore类调用"
};

// The style in force: the first checked item in the order 1000, 1001, 1002; 1000 when
// none is checked.
CallStyle callStyleFromChecks(bool scriptControl, bool jscriptClass, bool chakraCoreClass);
// "1000", "1001" or "1002"; nothing for any other text.
std::optional<CallStyle> parseCallStyle(std::string_view text);

// The two check marks of the "代码转换" menu that the command reads.
struct CallWrapperSettings {
    CallStyle style = CallStyle::ScriptControl;
    bool rename = false;  // "子程序重命名": ask for the subroutine's name every time
};

// Replaces every character that cannot stand in an E identifier with "_" (. - \ / > < ;
// ' " | { } [ ] 【 】 ` ~ + ? *), then deletes every space. Works on characters, so a
// Chinese character is never split. The result may be empty.
std::string sanitizeName(std::string_view name);

// "JS_" and the sanitized project name.
std::string proposedSubroutineName(std::string_view project);

// The template of a style, with its placeholders "{name}" and "{注释}"; every line ends
// with CR LF, the last included.
std::string callWrapperTemplate(CallStyle style);

// The expression as it goes into the remark: each double quotation mark becomes
// `" + #引号 + "`, then every line break (CR LF, lone CR, lone LF) and every space is
// deleted, so the remark stays on its line.
std::string escapeExpression(std::string_view expression);

// 计算例子:调试输出(NAME("ESCAPED"))
std::string callWrapperRemark(std::string_view subroutineName, std::string_view expression);

// The filled template: "{name}" (any letter case) becomes the subroutine name, then
// "{注释}" (exactly) the remark.
std::string fillCallWrapper(CallStyle style, std::string_view subroutineName, std::string_view expression);

// The subroutine name for a project: the proposed name, or, when `settings.rename` is
// set, what the user types into the prompt "请输入子程序名" (taken as typed; a cancel keeps
// the proposed name).
std::string chooseSubroutineName(std::string_view project, const CallWrapperSettings& settings, Dialogs& dialogs);

// The E source for a project, the rename prompt included.
std::string callWrapperForProject(std::string_view project, std::string_view expression,
                                  const CallWrapperSettings& settings, Dialogs& dialogs);

// The plain-text clipboard entry: CF_TEXT, code page 936 bytes and a terminating zero.
ClipboardEntry plainTextEntry(std::string_view text);

// The whole command on the current page's project. Does nothing without a current page;
// otherwise puts the source on the clipboard and writes "复制易代码成功", or
// "复制易代码失败" when the clipboard could not be written. True when it was written.
bool generateCallWrapper(const ProjectStore& store, std::string_view expression, const CallWrapperSettings& settings,
                         Dialogs& dialogs, Clipboard& clipboard, Output& output);

}  // namespace quillbox::ecode
