// quillbox-cli run, list, format, compress and testpage, end to end.
#include <gtest/gtest.h>

#include <chrono>

#include "core/project/ProjectFile.h"
#include "core/text/Text.h"
#include "support/TestSupport.h"

using quillbox::test::freshDirectory;
using quillbox::test::readFile;
using quillbox::test::runProcess;
using quillbox::test::writeFile;

namespace {

const std::string kCli = QUILLBOX_CLI;
const std::string kNodeModules = QUILLBOX_NODE_MODULES;

bool chakraBuilt() { return quillbox::test::chakraBuiltBeside(kCli); }

#define REQUIRE_CHAKRA()                                                      \
    if (!chakraBuilt())                                                       \
    GTEST_SKIP() << "libChakraCore.so is not built beside quillbox-cli"

std::string script(const std::string& name, const std::string& code) {
    const std::string path = freshDirectory("scripts") + "/" + name;
    writeFile(path, code);
    return path;
}

// The standard answers for "abc" and one AES-128-CBC vector (key and IV as UTF-8 text).
const char* const kMd5 = "CryptoJS.MD5('abc').toString()";
const char* const kSha256 = "CryptoJS.SHA256('abc').toString()";
const char* const kAes =
    "CryptoJS.AES.encrypt('hello', CryptoJS.enc.Utf8.parse('0123456789abcdef'), "
    "{iv: CryptoJS.enc.Utf8.parse('abcdef9876543210')}).toString()";
const char* const kCryptoAnswers =
    ">>[结果] 900150983cd24fb0d6963f7d28e17f72\n"
    ">>[结果] ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad\n"
    ">>[结果] rkbumbtCClkN+Jkds7bQJw==\n";

TEST(RunCommand, LoadsAPlainScriptAsAProjectNamedAfterTheFile) {
    REQUIRE_CHAKRA();
    const std::string file = script("calc.js", "function twice(x) { return x * 2; }\n");
    const auto r = runProcess(kCli, {"run", file, "-e", "twice(21)", "-e", "'a' + 'b'"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ">>calc_calc.js：加载成功\n>>[calc] 加载成功\n>>[结果] 42\n>>[结果] ab\n");
}

TEST(RunCommand, AFailedExpressionDoesNotStopTheOnesAfterIt) {
    REQUIRE_CHAKRA();
    const std::string file = script("m.js", "var n = 1;\n");
    const auto r = runProcess(kCli, {"run", file, "-e", "missing()", "-e", "n + 1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find(">>错误描述：："), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(">>[结果] 2\n"), std::string::npos) << r.out;
}

TEST(RunCommand, AFailedLoadStopsBeforeTheExpressions) {
    REQUIRE_CHAKRA();
    const std::string file = script("bad.js", "var a = 1;\nthrow new Error('at load');\n");
    const auto r = runProcess(kCli, {"run", file, "-e", "a"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out.rfind(">>错误描述：Error: at load\n>>错误位置：2行", 0), 0u) << r.out;
    EXPECT_NE(r.out.find("字符\n>>错误代码：throw new Error('at load');\n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("[结果]"), std::string::npos);
}

TEST(RunCommand, TheNativeEngineRefusesABooleanAndThatIsNotAResult) {
    const std::string file = script("b.js", "function yes() { return true; }\n");
    const auto r = runProcess(kCli, {"run", file, "--engine", "native", "-e", "yes()"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, ">>b_b.js：加载成功\n>>[b] 加载成功\n>>执行后结果为逻辑值,请使用ChakraCore引擎或浏览器运行\n");
}

TEST(RunCommand, LoadsAProjectScriptFileModuleByModule) {
    const std::string text = quillbox::project_file::build(
        "demo", {{"first", "function one() { return 1; }", false}, {"second", "function two() { return one() + 1; }", true}});
    const std::string file = script("demo.txt", quillbox::text::toGb18030(text));
    const auto r = runProcess(kCli, {"run", file, "--engine", "native", "-e", "two()"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ">>demo_first.js：加载成功\n>>demo_second.js：加载成功\n>>[demo] 加载成功\n>>[结果] 2\n");
}

TEST(RunCommand, CryptoJs40GivesTheStandardAnswersInBothEngines) {
    const std::string file = kNodeModules + "/crypto-js-4.0.0/crypto-js.js";
    for (const char* engine : {"native", "chakra"}) {
        if (std::string(engine) == "chakra" && !chakraBuilt())
            continue;
        const auto r = runProcess(kCli, {"run", file, "--engine", engine, "-e", kMd5, "-e", kSha256, "-e", kAes});
        EXPECT_EQ(r.status, 0) << engine << ": " << r.out << r.err;
        EXPECT_EQ(r.out, std::string(">>crypto-js_crypto-js.js：加载成功\n>>[crypto-js] 加载成功\n") + kCryptoAnswers)
            << engine;
    }
}

TEST(RunCommand, CryptoJs42LoadsInChakraAndTheNativeEngineRefusesItsFirstLaterSyntax) {
    const std::string file = kNodeModules + "/crypto-js/crypto-js.js";
    const std::string code = readFile(file);
    // JScript 5.7 meets a trailing comma in an object literal (an ES5 addition) before the
    // first `let`: the property that ends with it.
    int commaLine = 0;
    std::string commaText;
    std::size_t start = 0;
    for (int line = 1; start < code.size(); ++line) {
        const std::size_t end = code.find('\n', start);
        const std::string text = code.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (text.find("_safe_map: '") != std::string::npos) {
            commaLine = line;
            commaText = text;
            break;
        }
        start = end == std::string::npos ? code.size() : end + 1;
    }
    ASSERT_GT(commaLine, 0);

    const auto native = runProcess(kCli, {"run", file, "--engine", "native", "-e", kMd5});
    EXPECT_EQ(native.status, 1);
    EXPECT_EQ(native.out, ">>发生错误：1002\n>>错误描述：对象字面量末尾的逗号 需要 ES5, JScript 5.7 不支持\n>>错误位置：" +
                              std::to_string(commaLine) + "行" +
                              std::to_string(quillbox::text::utf8ToUtf16(commaText).size() - 1) + "字符\n>>错误代码：" +
                              commaText + "\n");

    REQUIRE_CHAKRA();
    const auto chakra = runProcess(kCli, {"run", file, "-e", kMd5, "-e", kSha256, "-e", kAes});
    EXPECT_EQ(chakra.status, 0) << chakra.out;
    EXPECT_EQ(chakra.out, std::string(">>crypto-js_crypto-js.js：加载成功\n>>[crypto-js] 加载成功\n") + kCryptoAnswers);
}

TEST(RunCommand, AnEndlessLoopIsStoppedByTheTimeoutInEitherEngine) {
    for (const char* engine : {"native", "chakra"}) {
        if (std::string(engine) == "chakra" && !chakraBuilt())
            continue;
        // (each script() call starts a fresh directory)
        const std::string loop = script("loop.js", "while(true){}\n");
        // In a load: nothing more runs.
        const auto load = runProcess(kCli, {"run", loop, "--engine", engine, "--timeout", "1", "-e", "1"});
        EXPECT_EQ(load.status, 1) << engine;
        EXPECT_EQ(load.out, ">>执行已停止\n>>引擎已重新创建,请重新加载项目\n") << engine;
        // In an evaluation: the engine is made anew and answers the next one.
        const std::string fine = script("fine.js", "function spin() { while(true){} }\nvar n = 41;\n");
        const auto eval =
            runProcess(kCli, {"run", fine, "--engine", engine, "--timeout", "1", "-e", "spin()", "-e", "typeof n"});
        EXPECT_EQ(eval.status, 1) << engine;
        EXPECT_EQ(eval.out, ">>fine_fine.js：加载成功\n>>[fine] 加载成功\n>>执行已停止\n>>引擎已重新创建,请重新加载项目\n"
                            ">>[结果] undefined\n")
            << engine;
    }
}

// The stop reaches a regular expression and long built-in calls in the native engine too.
TEST(RunCommand, TheTimeoutStopsABacktrackingRegexpAndALongBuiltIn) {
    const std::string file = script("spots.js",
                                    "function re() { var s = new Array(41).join('a') + '!'; for (;;) /^(a+)+$/.test(s); }\n"
                                    "function sorting() { var a = []; for (var i = 0; i < 300000; i++) a.push(i % 977);"
                                    " for (;;) a.slice(0).sort(); }\n");
    for (const char* call : {"re()", "sorting()"}) {
        const auto r = runProcess(kCli, {"run", file, "--engine", "native", "--timeout", "1", "-e", call, "-e", "6*7"});
        EXPECT_EQ(r.status, 1) << call;
        EXPECT_EQ(r.out, ">>spots_spots.js：加载成功\n>>[spots] 加载成功\n>>执行已停止\n>>引擎已重新创建,请重新加载项目\n"
                         ">>[结果] 42\n")
            << call;
    }
}

TEST(RunCommand, AScriptPassingTheMemoryLimitFailsWithTheLimitNamedAndTheNextExpressionRuns) {
    const std::string file =
        script("hog.js", "function hog() { var x = new Array(100001).join('x'), a = []; for (;;) a.push(x + a.length); }\n");
    const auto native = runProcess(kCli, {"run", file, "--engine", "native", "--memory", "32", "-e", "hog()", "-e", "6*7"});
    EXPECT_EQ(native.status, 1);
    EXPECT_EQ(native.out, ">>hog_hog.js：加载成功\n>>[hog] 加载成功\n>>发生错误：错误号=7\n>>错误位置：0行0字符处\n"
                          ">>错误描述：：Out of memory: the script passed the memory limit of 32 MiB; the engine was made "
                          "anew and all added code is gone\n>>[结果] 42\n");
    REQUIRE_CHAKRA();
    const auto chakra = runProcess(kCli, {"run", file, "--memory", "64", "-e", "hog()", "-e", "6*7"});
    EXPECT_EQ(chakra.status, 1);
    EXPECT_EQ(chakra.out, ">>hog_hog.js：加载成功\n>>[hog] 加载成功\n>>错误位置：引擎未给出错误位置\n"
                          ">>错误描述：：Error: Out of memory: the script passed the memory limit of 64 MiB; the engine "
                          "was made anew and all loaded code is gone\n>>[结果] 42\n");
}

// A limit below a millisecond is still a limit: it is not rounded down to none.
TEST(RunCommand, ATimeoutBelowAMillisecondStillStops) {
    REQUIRE_CHAKRA();
    const std::string file = script("spin.js", "while(true){}\n");
    const auto r = runProcess(kCli, {"run", file, "--timeout", "0.0005"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, ">>执行已停止\n>>引擎已重新创建,请重新加载项目\n");
}

// Nothing to evaluate is said, never a silent failure.
TEST(RunCommand, AnExpressionThatCannotBeEvaluatedSaysWhy) {
    const std::string file = script("calc.js", "var q = 1;\n");
    const auto empty = runProcess(kCli, {"run", file, "-e", ""});
    EXPECT_EQ(empty.status, 2);
    EXPECT_NE(empty.err.find("-e needs an expression"), std::string::npos) << empty.err;
    EXPECT_EQ(empty.out, "");
    REQUIRE_CHAKRA();
    const auto blank = runProcess(kCli, {"run", script("blank.js", ""), "-e", "1 + 1"});
    EXPECT_EQ(blank.status, 1);
    EXPECT_EQ(blank.out, ">>blank_blank.js：加载成功\n>>[blank] 加载成功\n");
    EXPECT_NE(blank.err.find("'1 + 1' was not evaluated: the module's page is empty"), std::string::npos) << blank.err;
}

TEST(RunCommand, BadUsageChangesNothingAndSaysWhy) {
    const std::string file = script("u.js", "var a;\n");
    EXPECT_EQ(runProcess(kCli, {"run"}).status, 2);
    EXPECT_EQ(runProcess(kCli, {"run", file, "--engine", "v8"}).status, 2);
    EXPECT_EQ(runProcess(kCli, {"run", file, "--timeout", "soon"}).status, 2);
    EXPECT_EQ(runProcess(kCli, {"run", file, "--timeout", "0"}).status, 2);
    for (const char* memory : {"", "15", "1048577", "-64", "+64", "64.5", "64M", "lots"}) {
        const auto r = runProcess(kCli, {"run", file, "--memory", memory, "-e", "1"});
        EXPECT_EQ(r.status, 2) << memory;
        EXPECT_NE(r.err.find("--memory takes a whole number of MiB from 16 to 1048576"), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << memory;
    }
    const auto missing = runProcess(kCli, {"run", file + ".absent"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(missing.err.empty());
}

TEST(ListCommand, PrintsOnlyTheListingAsJson) {
    const std::string text = quillbox::project_file::build(
        "p", {{"a", "function f() {}\nvar o = {x: 1, y: [2]};", false}, {"b", "function g() {}", true}});
    const std::string file = script("p.txt", quillbox::text::toGb18030(text));
    const auto r = runProcess(kCli, {"list", file, "--engine", "native"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "[{\"module\":\"p_a.js\",\"functions\":[\"f\"],\"objects\":[{\"name\":\"o\",\"members\":[\"x\",\"y\"]}]},"
              "{\"module\":\"p_b.js\",\"functions\":[\"f\",\"g\"],\"objects\":[{\"name\":\"o\",\"members\":[\"x\",\"y\"]}]}]\n");
    EXPECT_NE(r.err.find(">>p_a.js：加载成功"), std::string::npos);
}

// Names holding control characters or line breaks come out escaped, exactly as written.
TEST(ListCommand, TheListingIsStrictJsonWhateverTheNames) {
    const std::string file = script("ctl.js", "this['a\\u0001b'] = function () {};\nthis['nl\\nx'] = {'q\"\\\\': 1};\n");
    const auto r = runProcess(kCli, {"list", file, "--engine", "native"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "[{\"module\":\"ctl_ctl.js\",\"functions\":[\"a\\u0001b\"],"
                     "\"objects\":[{\"name\":\"nl\\nx\",\"members\":[\"q\\\"\\\\\"]}]}]\n");
}

TEST(ListCommand, AFailedLoadListsTheModulesBeforeItAndFails) {
    const std::string text = quillbox::project_file::build(
        "p", {{"a", "function f() {}", false}, {"b", "var = broken;", true}});
    const std::string file = script("p.txt", quillbox::text::toGb18030(text));
    const auto r = runProcess(kCli, {"list", file, "--engine", "native"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "[{\"module\":\"p_a.js\",\"functions\":[\"f\"],\"objects\":[]}]\n");
    EXPECT_NE(r.err.find(">>发生错误："), std::string::npos);
}

TEST(TransformCommands, FormatAndCompressReadAFileOrStandardInput) {
    REQUIRE_CHAKRA();
    const auto formatted = runProcess(kCli, {"format"}, "function f(x){return x+1}");
    EXPECT_EQ(formatted.status, 0) << formatted.err;
    EXPECT_EQ(formatted.out, "function f(x) {\n    return x + 1\n}");
    const std::string file = script("c.js", "var a = 1 ;\n// gone\nvar b = '中' ;\n");
    const auto compressed = runProcess(kCli, {"compress", file});
    EXPECT_EQ(compressed.status, 0) << compressed.err;
    EXPECT_EQ(compressed.out, "var a=1;var b='中';");
    // GBK files are read as GBK.
    const std::string gbk = script("g.js", quillbox::text::toGb18030("var s  =  '中文';"));
    EXPECT_EQ(runProcess(kCli, {"compress", gbk}).out, "var s='中文';");
}

TEST(TransformCommands, AThrowingLibraryPrintsNothingAndFails) {
    REQUIRE_CHAKRA();
    const auto r = runProcess(kCli, {"compress"}, "var a = 1; /* never closed");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("转换失败"), std::string::npos);
    EXPECT_NE(r.err.find("Unterminated comment"), std::string::npos);
    EXPECT_EQ(runProcess(kCli, {"format", "a.js", "b.js"}).status, 2);
}

TEST(TestPageCommand, WritesThePageWithEveryModuleAndTheExpression) {
    const std::string text = quillbox::project_file::build(
        "t", {{"a", "var a = '中';", false}, {"b", "var b = '{hanshu}';", true}});
    const std::string file = script("t.txt", quillbox::text::toGb18030(text));
    const std::string out = freshDirectory("page") + "/page.html";
    const auto r = runProcess(kCli, {"testpage", file, "-e", "a + b", "-o", out});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string page = quillbox::text::fromGb18030(readFile(out));
    // Module a, then module b, each under its header, then the expression; the placeholder
    // in b's code is replaced by the expression too.
    std::size_t at = 0;
    for (const char* piece : {"<script type=\"text/javascript\">\r\n\n", "//========================\r\n//       a.js\r\n",
                              "var a = '中';", "//       b.js\r\n//========================\r\n", "var b = 'a + b';",
                              "\r\n\r\n\r\n\r\n\r\n\r\n        var content =(a + b);\r\n"}) {
        const std::size_t next = page.find(piece, at);
        ASSERT_NE(next, std::string::npos) << piece << "\n" << page;
        at = next;
    }
    EXPECT_EQ(page.find("{js代码}"), std::string::npos);
    EXPECT_EQ(page.rfind("<!DOCTYPE html>\r\n<html>\r\n<head>\r\n    <meta charset=\"gbk\">", 0), 0u);
}

TEST(TestPageCommand, WithoutAnExpressionThePageShowsOneInTheHomeDirectory) {
    const std::string file = script("one.js", "var x = 1;");
    ASSERT_EQ(runProcess(kCli, {"testpage", file}).status, 0);
    const std::string page = readFile(std::string(std::getenv("QUILLBOX_HOME")) + "/Js_Test.html");
    // The module's code as it stands, then five empty lines, then the expression 1.
    EXPECT_NE(page.find("//========================\r\n//       one.js\r\n//========================\r\nvar x = 1;"
                        "\r\n\r\n\r\n\r\n\r\n\r\n        var content =(1);\r\n"),
              std::string::npos)
        << page;
}

}  // namespace

TEST(RunCommand, TheSyntaxGateRefusesWhatEachRealEngineLacksWithItsPlace) {
    REQUIRE_CHAKRA();
    const std::string file = script("later.js", "var a = {x: 1};\nvar b = a?.x;\n");
    const auto chakra = runProcess(kCli, {"run", file, "-e", "b"});
    EXPECT_EQ(chakra.status, 1);
    EXPECT_EQ(chakra.out, ">>错误描述：SyntaxError: 可选链 ?. 需要 ES2020, ChakraCore 1.11 不支持\n>>错误位置：2行9字符\n"
                          ">>错误代码：var b = a?.x;\n");
    const auto native = runProcess(kCli, {"run", file, "--engine", "native", "-e", "b"});
    EXPECT_EQ(native.status, 1);
    EXPECT_EQ(native.out, ">>发生错误：1002\n>>错误描述：可选链 ?. 需要 ES2020, JScript 5.7 不支持\n>>错误位置：2行9字符\n"
                          ">>错误代码：var b = a?.x;\n");

    // An expression passes the gate too; what ChakraCore 1.11 has still runs.
    const std::string old = script("old.js", "var list = [3, 1, 2];\n");
    const auto evaluated = runProcess(kCli, {"run", old, "-e", "list.flat ? 'flat' : 'no flat'", "-e",
                                             "list.map(x => x * 2).join()", "-e", "list ?? 0"});
    EXPECT_EQ(evaluated.status, 1);
    EXPECT_EQ(evaluated.out, ">>old_old.js：加载成功\n>>[old] 加载成功\n>>[结果] no flat\n>>[结果] 6,2,4\n"
                             ">>错误位置：1行4字符处\n>>错误描述：：SyntaxError: 空值合并 ?? 需要 ES2020, ChakraCore 1.11 不支持\n");
}

// Both engines side by side: each answer, then whether they differ; exit 1 when they do.
TEST(RunCommand, BothEnginesShowTheirAnswersAndExitOneWhenTheyDiffer) {
    REQUIRE_CHAKRA();
    const std::string file = script("both.js", "function twice(x) { return x * 2; }\n");
    const auto same = runProcess(kCli, {"run", file, "--engine", "both", "-e", "twice(21)"});
    EXPECT_EQ(same.status, 0) << same.out << same.err;
    EXPECT_NE(same.out.find(">>[MSScriptControl] 42\n>>[ChakraCore] 42\n>>两个引擎结果相同\n"), std::string::npos)
        << same.out;
    const auto differ = runProcess(kCli, {"run", file, "--engine", "both", "-e", "twice(1)", "-e", "typeof [].map"});
    EXPECT_EQ(differ.status, 1) << differ.out << differ.err;
    EXPECT_NE(differ.out.find(">>[MSScriptControl] undefined\n>>[ChakraCore] function\n>>两个引擎结果不同：值不同\n"),
              std::string::npos)
        << differ.out;
    const auto usage = runProcess(kCli, {"run", file, "--engine", "all"});
    EXPECT_EQ(usage.status, 2);
}
