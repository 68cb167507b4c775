// quillbox-cli run --browser, --profile and --log-access, and the capture command, end to end.
#include <gtest/gtest.h>

#include <sstream>

#include "support/TestSupport.h"

using quillbox::test::freshDirectory;
using quillbox::test::readFile;
using quillbox::test::runProcess;
using quillbox::test::writeFile;

namespace {

const std::string kCli = QUILLBOX_CLI;

bool chakraBuilt() { return quillbox::test::chakraBuiltBeside(kCli); }

#define REQUIRE_CHAKRA()                                                      \
    if (!chakraBuilt())                                                       \
    GTEST_SKIP() << "libChakraCore.so is not built beside quillbox-cli"

std::string file(const std::string& name, const std::string& text) {
    const std::string path = freshDirectory("browser-cli-" + name) + "/" + name;
    writeFile(path, text);
    return path;
}

// The rows of the access table after "访问记录:", each split at its tabs.
std::vector<std::vector<std::string>> accessRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    const std::size_t at = out.find("访问记录:\n");
    if (at == std::string::npos)
        return rows;
    std::istringstream lines(out.substr(at));
    std::string line;
    std::getline(lines, line);  // the title
    std::getline(lines, line);  // the header
    while (std::getline(lines, line)) {
        std::vector<std::string> cells;
        std::istringstream split(line);
        for (std::string cell; std::getline(split, cell, '\t');)
            cells.push_back(cell);
        rows.push_back(cells);
    }
    return rows;
}

TEST(RunBrowser, TheAccessLogListsExactlyWhatTheEnvironmentLacks) {
    REQUIRE_CHAKRA();
    const std::string script = file("site.js",
                                    "var ua = navigator.userAgent;\n"
                                    "var info = [navigator.platform, navigator.deviceMemory, navigator.bluetooth,\n"
                                    "            screen.width, screen.orientation2, document.referrer];\n"
                                    "function check() { return typeof chrome + typeof navigator.keyboard + (window.fetch ? 1 : 0); }\n"
                                    "check(); check();\n");
    const auto r = runProcess(kCli, {"run", script, "--browser", "--log-access", "-e", "ua.length > 0 && typeof Notification"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_NE(r.out.find(">>[结果] undefined\n"), std::string::npos) << r.out;
    std::vector<std::vector<std::string>> missing;
    std::vector<std::string> present;
    for (const auto& row : accessRows(r.out)) {
        ASSERT_EQ(row.size(), 5u);
        if (row[2] == "undefined")
            missing.push_back({row[0], row[1], row[3], row[4]});
        else
            present.push_back(row[0] + "." + row[1]);
    }
    // In order of first use, with how often and where first (the module's page, as errors
    // name it).
    const std::vector<std::vector<std::string>> expected = {
        {"navigator", "bluetooth", "1", "site_site.js:2"}, {"screen", "orientation2", "1", "site_site.js:3"},
        {"window", "chrome", "2", "site_site.js:4"},        {"navigator", "keyboard", "2", "site_site.js:4"},
        {"window", "fetch", "2", "site_site.js:4"},         {"window", "Notification", "1", "求值:1"}};
    EXPECT_EQ(missing, expected) << r.out;
    EXPECT_EQ(present, (std::vector<std::string>{"navigator.userAgent", "navigator.platform", "navigator.deviceMemory",
                                                 "screen.width", "document.referrer"}))
        << r.out;
}

TEST(RunBrowser, BothEnginesLoadTheEnvironmentFirstAndRunItsTimersAfterEachExpression) {
    const std::string script = file("page.js", "var hits = 0; setTimeout(function () { hits++; }, 100);\n");
    for (const char* engine : {"native", "chakra"}) {
        if (std::string(engine) == "chakra" && !chakraBuilt())
            continue;
        SCOPED_TRACE(engine);
        const auto r = runProcess(kCli, {"run", script, "--browser", "--engine", engine, "-e", "String(hits)", "-e",
                                         "setTimeout(function () { hits += 10; }, 0), String(hits)", "-e", "String(hits)"});
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, ">>page_浏览器环境.js：加载成功\n>>page_page.js：加载成功\n>>[page] 加载成功\n"
                         ">>[结果] 1\n>>[结果] 1\n>>[结果] 11\n");
    }
}

TEST(RunBrowser, AProfileFileIsWhatTheCodeSees) {
    REQUIRE_CHAKRA();
    const std::string profile = file("p.json", R"({"navigator": {"userAgent": "Probe/2.0", "platform": "Linux x86_64"}})");
    const std::string script = file("ua.js", "var ua = navigator.userAgent + ' on ' + navigator.platform;\n");
    const auto r = runProcess(kCli, {"run", script, "--browser", "--profile", profile, "-e", "ua"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find(">>[结果] Probe/2.0 on Linux x86_64\n"), std::string::npos) << r.out;
}

TEST(RunBrowser, TheWatchLogListsWhatRanTextOrSentItOut) {
    REQUIRE_CHAKRA();
    const std::string script = file("w.js",
                                    "var key = eval('\"k\" + 1');\n"
                                    "document.cookie = 'sig=' + key;\n"
                                    "function later() { return new Function('return 2')(); }\n");
    const auto r = runProcess(kCli, {"run", script, "--browser", "--watch", "-e", "later()"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    const std::string table = r.out.substr(r.out.find("监视记录:\n"));
    EXPECT_EQ(table,
              "监视记录:\n调用\t参数\t位置\n"
              "eval\t\"\\\"k\\\" + 1\"\tw_w.js:1\n"
              "document.cookie\t\"sig=k1\"\tw_w.js:2\n"
              "Function\t\"return 2\"\tw_w.js:3\n")
        << r.out;
}

TEST(RunBrowser, BadOptionsAndProfilesAreRefusedBeforeAnythingRuns) {
    const std::string script = file("s.js", "var a = 1;\n");
    struct Bad {
        std::vector<std::string> args;
        int status;
        std::string message;
    };
    const std::vector<Bad> bad = {
        {{"--profile", script}, 2, "--profile needs --browser"},
        {{"--log-access"}, 2, "--log-access needs --browser"},
        {{"--browser", "--log-access", "--engine", "native"}, 2, "--log-access needs the chakra engine"},
        {{"--watch", "--engine", "native"}, 2, "--watch needs the chakra engine"},
        {{"--watch", "--engine", "both"}, 2, "--watch needs the chakra engine"},
        {{"--browser", "--profile", file("bad.json", "{\"navigator\": 1}")}, 1, "\"navigator\" is not an object"},
        {{"--browser", "--profile", file("broken.json", "{")}, 1, "not JSON"},
        {{"--browser", "--profile", "/nonexistent/profile.json"}, 1, "cannot read the profile"},
    };
    for (const Bad& b : bad) {
        std::vector<std::string> args = {"run", script, "-e", "a"};
        args.insert(args.end(), b.args.begin(), b.args.end());
        const auto r = runProcess(kCli, args);
        EXPECT_EQ(r.status, b.status) << b.message;
        EXPECT_EQ(r.out, "") << b.message;
        EXPECT_NE(r.err.find(b.message), std::string::npos) << r.err;
    }
}

TEST(CaptureCommand, WritesThePageWhereAskedAndRefusesAFile) {
    const std::string out = freshDirectory("capture") + "/c.html";
    auto r = runProcess(kCli, {"capture", "-o", out});
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string page = readFile(out);
    EXPECT_NE(page.find("window.quillboxProfile"), std::string::npos);
    EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
    r = runProcess(kCli, {"capture", out});
    EXPECT_EQ(r.status, 2);
}

}  // namespace
