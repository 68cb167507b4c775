#include "core/ecode/CallWrapper.h"

#include "core/net/Addresses.h"
#include "core/project/ProjectStore.h"
#include "core/text/Text.h"

namespace quillbox::ecode {
namespace {

// The first lines are the same in every style.
constexpr std::string_view kHead =
    ".版本 2\r\n"
    "\r\n"
    ".子程序 {name}, 文本型, 公开, {注释}\r\n"
    ".参数 表达式, 文本型, ,Quillbox by Zorvan\r\n";

// “ ” are the Chinese quotation marks and ＝ the full-width equals sign: the E editor
// reads them as such, and their ASCII look-alikes would not parse.
constexpr std::string_view kScriptControlBody =
    ".局部变量 js, 对象\r\n"
    ".局部变量 返回, 文本型\r\n"
    "\r\n"
    "'CoInitialize (0)  ' \r\n"
    "Js.创建 (“ScriptControl”, )\r\n"
    "Js.写属性 (“Language”, “JavaScript”)\r\n"
    "Js.数值方法 (“AddCode”, #常量_{name}) '在工具中点击复制常量 可直接粘贴进易语言\r\n"
    "返回 ＝ Js.通用方法 (“eval”, 表达式).取文本 ()\r\n"
    "'CoUninitialize ()\r\n"
    "return (返回)\r\n";

constexpr std::string_view kJScriptClassBody =
    ".局部变量 Js, JScript, , , 调用[Parcelkit]工具->菜单处可下载\r\n"
    ".局部变量 返回, 文本型\r\n"
    "\r\n"
    "Js.AddCode (#常量_{name})\r\n"
    "返回 ＝ Js.Eval (表达式).取文本 ()'在工具中点击复制常量 可直接粘贴进易语言\r\n"
    "Js.Reset ()\r\n"
    "return (返回)\r\n";

constexpr std::string_view kChakraCoreClassBodyAfterAddress =
    " 调用[ChakraCore引擎]\r\n"
    ".局部变量 返回, 文本型\r\n"
    "Js.New()\r\n"
    "Js.AddCode (#常量_{name})\r\n"
    "返回 ＝ Js.Eval (表达式) '在工具中点击复制常量 可直接粘贴进易语言\r\n"
    "Js.Reset ()\r\n"
    "return (返回)\r\n";

constexpr std::string_view kQuoteReplacement = "\" + #引号 + \"";

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Replaces every occurrence of `needle`, scanning left to right over the original text
// (a replacement is never searched again). ASCII letters compare without case when asked;
// in UTF-8 no byte of a multibyte character is ASCII, so nothing else can match by accident.
std::string replaceAll(std::string_view text, std::string_view needle, std::string_view replacement, bool ignoreCase) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        bool match = text.size() - i >= needle.size();
        for (std::size_t k = 0; match && k < needle.size(); ++k)
            match = ignoreCase ? asciiLower(text[i + k]) == asciiLower(needle[k]) : text[i + k] == needle[k];
        if (match && !needle.empty()) {
            out.append(replacement);
            i += needle.size();
        } else {
            out.push_back(text[i++]);
        }
    }
    return out;
}

}  // namespace

CallStyle callStyleFromChecks(bool scriptControl, bool jscriptClass, bool chakraCoreClass) {
    if (scriptControl)
        return CallStyle::ScriptControl;
    if (jscriptClass)
        return CallStyle::JScriptClass;
    if (chakraCoreClass)
        return CallStyle::ChakraCoreClass;
    return CallStyle::ScriptControl;
}

std::optional<CallStyle> parseCallStyle(std::string_view text) {
    if (text == "1000")
        return CallStyle::ScriptControl;
    if (text == "1001")
        return CallStyle::JScriptClass;
    if (text == "1002")
        return CallStyle::ChakraCoreClass;
    return std::nullopt;
}

std::string sanitizeName(std::string_view name) {
    constexpr std::string_view kAsciiReplaced = ".-\\/><;'\"|{}[]`~+?*";
    constexpr std::string_view kOpenLenticular = "【";
    constexpr std::string_view kCloseLenticular = "】";
    std::string out;
    out.reserve(name.size());
    for (std::size_t i = 0; i < name.size();) {
        const std::string_view rest = name.substr(i);
        if (rest.starts_with(kOpenLenticular) || rest.starts_with(kCloseLenticular)) {
            out.push_back('_');
            i += kOpenLenticular.size();
        } else if (name[i] == ' ') {
            ++i;
        } else {
            out.push_back(kAsciiReplaced.find(name[i]) != std::string_view::npos ? '_' : name[i]);
            ++i;
        }
    }
    return out;
}

std::string proposedSubroutineName(std::string_view project) { return "JS_" + sanitizeName(project); }

std::string callWrapperTemplate(CallStyle style) {
    std::string text(kHead);
    switch (style) {
    case CallStyle::ScriptControl:
        text += kScriptControlBody;
        break;
    case CallStyle::JScriptClass:
        text += kJScriptClassBody;
        break;
    case CallStyle::ChakraCoreClass:
        text += ".局部变量 Js, ChakraCore, , , 下载地址:";
        text += addresses::kChakraCoreModuleDownload;
        text += kChakraCoreClassBodyAfterAddress;
        break;
    }
    return text;
}

std::string escapeExpression(std::string_view expression) {
    std::string escaped = replaceAll(expression, "\"", kQuoteReplacement, false);
    std::string out;
    out.reserve(escaped.size());
    for (char c : escaped)
        if (c != '\r' && c != '\n' && c != ' ')
            out.push_back(c);
    return out;
}

std::string callWrapperRemark(std::string_view subroutineName, std::string_view expression) {
    std::string remark = "计算例子:调试输出(";
    remark += subroutineName;
    remark += "(\"";
    remark += escapeExpression(expression);
    remark += "\"))";
    return remark;
}

std::string fillCallWrapper(CallStyle style, std::string_view subroutineName, std::string_view expression) {
    const std::string named = replaceAll(callWrapperTemplate(style), "{name}", subroutineName, true);
    return replaceAll(named, "{注释}", callWrapperRemark(subroutineName, expression), false);
}

std::string chooseSubroutineName(std::string_view project, const CallWrapperSettings& settings, Dialogs& dialogs) {
    std::string name = proposedSubroutineName(project);
    if (settings.rename)
        if (std::optional<std::string> typed = dialogs.inputBox("请输入子程序名", name, ""))
            name = *typed;
    return name;
}

std::string callWrapperForProject(std::string_view project, std::string_view expression,
                                  const CallWrapperSettings& settings, Dialogs& dialogs) {
    return fillCallWrapper(settings.style, chooseSubroutineName(project, settings, dialogs), expression);
}

ClipboardEntry plainTextEntry(std::string_view text) {
    std::string bytes = text::toGb18030(text);
    bytes.push_back('\0');
    return {"", 1, std::move(bytes)};
}

bool generateCallWrapper(const ProjectStore& store, std::string_view expression, const CallWrapperSettings& settings,
                         Dialogs& dialogs, Clipboard& clipboard, Output& output) {
    if (store.currentPagePosition() == 0)
        return false;
    const std::string source = callWrapperForProject(store.currentProject(), expression, settings, dialogs);
    const bool written = clipboard.write({plainTextEntry(source)});
    output.messageLine(written ? "复制易代码成功" : "复制易代码失败");
    return written;
}

}  // namespace quillbox::ecode
