#include <gtest/gtest.h>

#include "core/ecode/CallWrapper.h"
#include "core/net/Addresses.h"
#include "core/platform/Dialogs.h"
#include "core/text/Text.h"

using namespace quillbox;
using namespace quillbox::ecode;

namespace {

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2)
        out.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last CR LF";
    return out;
}

}  // namespace

// ---- Name sanitizing ----------------------------------------------------------------------

TEST(SanitizeName, ReplacesEveryCharacterThatCannotStandInAnIdentifier) {
    EXPECT_EQ(sanitizeName(".-\\/><;'\"|{}[]【】`~+?*"), std::string(21, '_'));
    EXPECT_EQ(sanitizeName("my-lib.beta"), "my_lib_beta");
    EXPECT_EQ(sanitizeName("a b  c "), "abc");
    EXPECT_EQ(sanitizeName("   "), "");
    EXPECT_EQ(sanitizeName(""), "");
}

TEST(SanitizeName, KeepsLettersDigitsChineseAndOtherPunctuation) {
    EXPECT_EQ(sanitizeName("项目_1(x)!，@#$%^&=:"), "项目_1(x)!，@#$%^&=:");
    // In code page 936 these characters end in the bytes of [ \ ] { | }; they are whole
    // characters and stay whole.
    EXPECT_EQ(sanitizeName("乕乗乚亄亅亇"), "乕乗乚亄亅亇");
    EXPECT_EQ(sanitizeName("【工具】 v1.0"), "_工具_v1_0");
}

TEST(SanitizeName, ProposedSubroutineNameIsJsAndTheSanitizedProject) {
    EXPECT_EQ(proposedSubroutineName("my-lib.beta"), "JS_my_lib_beta");
    EXPECT_EQ(proposedSubroutineName("a_b"), "JS_a_b");
    EXPECT_EQ(proposedSubroutineName("   "), "JS_");
}

// ---- Call styles ----------------------------------------------------------------------------

TEST(CallStyleChoice, FirstCheckedItemWinsAndNoneMeansTheObjectCall) {
    EXPECT_EQ(callStyleFromChecks(false, false, false), CallStyle::ScriptControl);
    EXPECT_EQ(callStyleFromChecks(true, true, true), CallStyle::ScriptControl);
    EXPECT_EQ(callStyleFromChecks(false, true, true), CallStyle::JScriptClass);
    EXPECT_EQ(callStyleFromChecks(false, false, true), CallStyle::ChakraCoreClass);
    EXPECT_EQ(parseCallStyle("1001"), CallStyle::JScriptClass);
    EXPECT_FALSE(parseCallStyle("999"));
    EXPECT_FALSE(parseCallStyle(" 1000"));
}

// ---- Templates --------------------------------------------------------------------------------

TEST(CallWrapperTemplates, ObjectCallIsFilledLineByLine) {
    const std::vector<std::string> got = lines(fillCallWrapper(CallStyle::ScriptControl, "JS_demo", "add(1, 2)"));
    const std::vector<std::string> expected = {
        ".版本 2",
        "",
        ".子程序 JS_demo, 文本型, 公开, 计算例子:调试输出(JS_demo(\"add(1,2)\"))",
        ".参数 表达式, 文本型, ,Quillbox by Zorvan",
        ".局部变量 js, 对象",
        ".局部变量 返回, 文本型",
        "",
        "'CoInitialize (0)  ' ",
        "Js.创建 (“ScriptControl”, )",
        "Js.写属性 (“Language”, “JavaScript”)",
        "Js.数值方法 (“AddCode”, #常量_JS_demo) '在工具中点击复制常量 可直接粘贴进易语言",
        "返回 ＝ Js.通用方法 (“eval”, 表达式).取文本 ()",
        "'CoUninitialize ()",
        "return (返回)",
    };
    EXPECT_EQ(got, expected);
}

TEST(CallWrapperTemplates, JScriptClassIsFilledLineByLine) {
    const std::vector<std::string> got = lines(fillCallWrapper(CallStyle::JScriptClass, "JS_demo", "f()"));
    const std::vector<std::string> expected = {
        ".版本 2",
        "",
        ".子程序 JS_demo, 文本型, 公开, 计算例子:调试输出(JS_demo(\"f()\"))",
        ".参数 表达式, 文本型, ,Quillbox by Zorvan",
        ".局部变量 Js, JScript, , , 调用[Parcelkit]工具->菜单处可下载",
        ".局部变量 返回, 文本型",
        "",
        "Js.AddCode (#常量_JS_demo)",
        "返回 ＝ Js.Eval (表达式).取文本 ()'在工具中点击复制常量 可直接粘贴进易语言",
        "Js.Reset ()",
        "return (返回)",
    };
    EXPECT_EQ(got, expected);
}

TEST(CallWrapperTemplates, ChakraCoreClassNamesTheDownloadAddress) {
    const std::vector<std::string> got = lines(fillCallWrapper(CallStyle::ChakraCoreClass, "JS_demo", "f()"));
    const std::vector<std::string> expected = {
        ".版本 2",
        "",
        ".子程序 JS_demo, 文本型, 公开, 计算例子:调试输出(JS_demo(\"f()\"))",
        ".参数 表达式, 文本型, ,Quillbox by Zorvan",
        ".局部变量 Js, ChakraCore, , , 下载地址:" + std::string(addresses::kChakraCoreModuleDownload) +
            " 调用[ChakraCore引擎]",
        ".局部变量 返回, 文本型",
        "Js.New()",
        "Js.AddCode (#常量_JS_demo)",
        "返回 ＝ Js.Eval (表达式) '在工具中点击复制常量 可直接粘贴进易语言",
        "Js.Reset ()",
        "return (返回)",
    };
    EXPECT_EQ(got, expected);
}

TEST(CallWrapperTemplates, ChineseQuotesAndFullWidthEqualsSurviveIntoCodePage936) {
    const std::string bytes = text::toGb18030(fillCallWrapper(CallStyle::ScriptControl, "JS_x", ""));
    EXPECT_NE(bytes.find("\xA1\xB0ScriptControl\xA1\xB1"), std::string::npos);
    EXPECT_NE(bytes.find("\xB7\xB5\xBB\xD8 \xA3\xBD Js"), std::string::npos);  // 返回 ＝ Js
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
}

TEST(CallWrapperTemplates, NamePlaceholdersAreReplacedOnceWithoutRescanning) {
    // A typed name that itself looks like a placeholder is taken literally.
    const std::string text = fillCallWrapper(CallStyle::JScriptClass, "{NAME}", "x");
    EXPECT_NE(text.find(".子程序 {NAME}, 文本型"), std::string::npos);
    EXPECT_NE(text.find("#常量_{NAME})"), std::string::npos);
    EXPECT_EQ(text.find("{name}"), std::string::npos);
    EXPECT_EQ(text.find("{注释}"), std::string::npos);
}

// ---- Expression and remark ------------------------------------------------------------------

TEST(CallWrapperRemark, QuotesAreSpelledOutThenSpacesDeleted) {
    EXPECT_EQ(escapeExpression("f(\"a b\")"), "f(\"+#引号+\"ab\"+#引号+\")");
    EXPECT_EQ(callWrapperRemark("JS_demo", "add(1, 2)"), "计算例子:调试输出(JS_demo(\"add(1,2)\"))");
}

TEST(CallWrapperRemark, EveryKindOfLineBreakIsDeleted) {
    EXPECT_EQ(escapeExpression("a(1,\r\n2)\n+b(\r3)"), "a(1,2)+b(3)");
    const std::string text = fillCallWrapper(CallStyle::ScriptControl, "JS_a", "f(1,\n 2)\r\n");
    EXPECT_EQ(lines(text).at(2), ".子程序 JS_a, 文本型, 公开, 计算例子:调试输出(JS_a(\"f(1,2)\"))");
    EXPECT_EQ(text.find('\n', text.find(".子程序")), text.find("\r\n", text.find(".子程序")) + 1)
        << "the header line ends at its own CR LF";
}

TEST(CallWrapperRemark, EmptyExpressionEndsInTwoQuotesAndTwoParentheses) {
    EXPECT_EQ(callWrapperRemark("JS_a", ""), "计算例子:调试输出(JS_a(\"\"))");
}

// ---- The rename prompt -----------------------------------------------------------------------

TEST(RenamePrompt, TypedNameIsTakenAsTyped) {
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back("计算");
    const std::string text = callWrapperForProject("demo", "f()", {CallStyle::ScriptControl, true}, dialogs);
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.records[0].text, "请输入子程序名");
    EXPECT_EQ(dialogs.records[0].title, "JS_demo") << "the proposed name is the initial text";
    EXPECT_EQ(lines(text).at(2).rfind(".子程序 计算, ", 0), 0u);
    EXPECT_NE(text.find("#常量_计算)"), std::string::npos);

    dialogs.inputAnswers.push_back("my name.x");
    EXPECT_NE(callWrapperForProject("demo", "", {CallStyle::ScriptControl, true}, dialogs).find("#常量_my name.x)"),
              std::string::npos)
        << "not sanitized again";
}

TEST(RenamePrompt, CancelKeepsTheProposedNameAndAnEmptyAnswerIsEmpty) {
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back(std::nullopt);
    EXPECT_NE(callWrapperForProject("my-lib.beta", "", {CallStyle::JScriptClass, true}, dialogs)
                  .find("#常量_JS_my_lib_beta)"),
              std::string::npos);
    dialogs.inputAnswers.push_back("");
    EXPECT_NE(callWrapperForProject("demo", "", {CallStyle::JScriptClass, true}, dialogs).find("(#常量_)"),
              std::string::npos);
}

TEST(RenamePrompt, NotShownWhenTheSwitchIsClear) {
    ScriptedDialogs dialogs;
    dialogs.inputAnswers.push_back("ignored");
    const std::string text = callWrapperForProject("a_b", "", {CallStyle::ScriptControl, false}, dialogs);
    EXPECT_TRUE(dialogs.records.empty());
    EXPECT_NE(text.find(".子程序 JS_a_b, "), std::string::npos);
}

TEST(PlainTextEntry, IsCfTextInCodePage936WithATerminatingZero) {
    const ClipboardEntry entry = plainTextEntry("返回 ＝ 1\r\n");
    EXPECT_EQ(entry.format, "");
    EXPECT_EQ(entry.number, 1u);
    EXPECT_EQ(entry.bytes, std::string("\xB7\xB5\xBB\xD8 \xA3\xBD 1\r\n", 11) + '\0');
}
