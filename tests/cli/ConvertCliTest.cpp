// quillbox-cli convert end to end, and the conversion suite: real npm files that the native
// engine refuses as they are, converted and run there against Node's results.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "core/convert/Convert.h"
#include "core/json/JsonDocument.h"
#include "core/online/Signing.h"
#include "core/project/ProjectFile.h"
#include "core/text/Text.h"
#include "support/TestSupport.h"

using namespace quillbox;
using quillbox::test::freshDirectory;
using quillbox::test::readFile;
using quillbox::test::runProcess;
using quillbox::test::writeFile;

namespace {

const std::string kCli = QUILLBOX_CLI;
const std::string kNodeModules = QUILLBOX_NODE_MODULES;
const std::string kSuite = std::string(QUILLBOX_SOURCE_DIR) + "/tests/cli/convert-suite";

std::string script(const std::string& name, const std::string& code) {
    const std::string path = freshDirectory("convert") + "/" + name;
    writeFile(path, code);
    return path;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(ConvertCommand, WritesCodeTheNativeEngineRunsAndLeavesTheFileAlone) {
    const std::string source = "const greet = (who) => `hi ${who}`;\nvar o = {default: [1, 2].map(x => x * 2),};\n";
    const std::string file = script("modern.js", source);
    const std::string out = freshDirectory("convert-out") + "/old.js";
    const auto r = runProcess(kCli, {"convert", file, "-o", out, "--report", "--check", "greet('E')", "--check", "o['default'].join()"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(file), source);
    const std::string converted = readFile(out);
    EXPECT_EQ(converted.rfind("// ==== 旧引擎补丁 ====\r\n// ---- es5-shim 4.6.7: uses .map\r\n", 0), 0u) << converted.substr(0, 200);
    // Not named after its variable: JScript would declare the name in the enclosing scope.
    EXPECT_TRUE(contains(converted, "// ==== modern ====\r\nvar greet = function (who) {"));
    EXPECT_TRUE(contains(converted, "\"default\": [1, 2].map(function (x) {"));
    EXPECT_TRUE(contains(r.out, "converted modern: arrow functions ×2, let and const ×1, template strings ×1\n")) << r.out;
    EXPECT_TRUE(contains(r.out, "shim es5-shim 4.6.7: uses .map\n"));
    EXPECT_TRUE(contains(r.out, "加载成功：the converted code loads in the native engine\n"));
    EXPECT_TRUE(contains(r.out, "一致 greet('E') = string:hi E\n"));
    EXPECT_TRUE(contains(r.out, "一致 o['default'].join() = string:2,4\n"));

    // The result runs in the native engine as any script does.
    const auto run = runProcess(kCli, {"run", out, "--engine", "native", "-e", "greet('old')"});
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_TRUE(contains(run.out, ">>[结果] hi old\n")) << run.out;
}

TEST(ConvertCommand, ExitsWithOneAndSaysWhereWhenSomethingCannotRun) {
    const std::string file = script("acc.js", "var a = 1;\nvar box = { get size() { return 3; } };\nvar p = new Proxy({}, {});\n");
    const auto r = runProcess(kCli, {"convert", file, "--report"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "cannot run in JScript 5.7: acc:2:13: getter size — accessors have no ES3 form")) << r.err;
    EXPECT_TRUE(contains(r.err, "cannot run in JScript 5.7: acc:3:13: Proxy — ")) << r.err;
    EXPECT_TRUE(contains(r.err, "转换完成，但有 3 处 JScript 5.7 无法运行")) << r.err;  // and the gate's refusal
    EXPECT_TRUE(contains(r.out, "get size()"));  // what converts is still written

    // Without --report only what cannot run is said.
    const auto quiet = runProcess(kCli, {"convert", file, "-o", freshDirectory("q") + "/x.js"});
    EXPECT_EQ(quiet.status, 1);
    EXPECT_FALSE(contains(quiet.out, "shim"));
    EXPECT_TRUE(contains(quiet.out, "acc:2:13: getter size"));
}

TEST(ConvertCommand, RefusesWhatDoesNotParseOrCannotBeReadAndWritesNothing) {
    const std::string dir = freshDirectory("bad");
    const std::string file = script("broken.js", "let x = ;\n");
    const auto r = runProcess(kCli, {"convert", file, "-o", dir + "/out.js"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "quillbox-cli convert: broken:1:9: ")) << r.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.js"));
    EXPECT_EQ(runProcess(kCli, {"convert", dir + "/missing.js"}).status, 1);
    EXPECT_EQ(runProcess(kCli, {"convert"}).status, 2);
    EXPECT_EQ(runProcess(kCli, {"convert", file, "--check", ""}).status, 2);
}

// --timeout covers the whole command: code that loops at load would keep the check by
// running for ever. Whichever part the limit falls in, the command ends and says so.
TEST(ConvertCommand, TimeoutEndsTheCommandWhereverItIs) {
    const std::string file = script("spin.js", "let spins = 0;\nwhile (true) spins++;\n");
    const std::string dir = freshDirectory("spin");
    const auto r = runProcess(kCli, {"convert", file, "-o", dir + "/old.js", "--timeout", "10"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(contains(r.err, "quillbox-cli convert: stopped: the time limit (--timeout 10 s) was up: ")) << r.err;
    if (contains(r.err, "the check by running did not finish")) {
        EXPECT_TRUE(contains(readFile(dir + "/old.js"), "while (true)"));
        EXPECT_TRUE(contains(r.out, "检查已停止")) << r.out;
    }
    // Shorter than Babel's load: the conversion itself stops, and nothing is written.
    const auto early = runProcess(kCli, {"convert", file, "-o", dir + "/early.js", "--timeout", "0.001"});
    EXPECT_EQ(early.status, 1);
    EXPECT_TRUE(contains(early.err, "(--timeout 0.001 s) was up: nothing was written")) << early.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/early.js"));
    for (const char* bad : {"0", "-1", "soon", ""})
        EXPECT_EQ(runProcess(kCli, {"convert", file, "--timeout", bad}).status, 2) << bad;
}

TEST(ConvertCommand, AProjectFileBecomesANewProjectWithTheShimsFirst) {
    const std::string text = project_file::build(
        "demo", {{"first", "const a = [1, 2, 3];\r\n", false}, {"second", "var total = a.reduce((s, x) => s + x, 0);\r\n", true}});
    const std::string file = script("demo.js", text::toGb18030(text));
    const std::string out = freshDirectory("proj") + "/demo_old.js";
    const auto r = runProcess(kCli, {"convert", file, "-o", out, "--check", "total"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    const project_file::SplitProject split = project_file::split(text::fromGb18030(readFile(out)));
    EXPECT_EQ(split.name, "demo_旧引擎");
    EXPECT_EQ(split.moduleNames, (std::vector<std::string>{"旧引擎补丁", "first", "second"}));
    EXPECT_TRUE(contains(split.codes[2], "a.reduce(function (s, x) {"));
    EXPECT_TRUE(contains(r.out, "一致 total = number:6"));
}

// ---- the suite ----

struct SuiteCase {
    std::string file;
    std::string host;
    std::vector<std::string> expressions;
    std::string stops;  // what the report or the load says stops it; "" when it must give Node's results
};

std::vector<SuiteCase> suiteCases(JsonDocument& cases) {
    std::vector<SuiteCase> list;
    EXPECT_TRUE(cases.parse(readFile(kSuite + "/cases.json")).ok);
    for (std::size_t i = 0, n = cases.count("cases"); i < n; ++i) {
        const JsonDocument c = cases.at("cases", i);
        SuiteCase s{c.string("file"), c.string("host"), {}, c.string("stops")};
        for (std::size_t k = 0, m = c.count("expressions"); k < m; ++k)
            s.expressions.push_back(c.at("expressions", k).string());
        list.push_back(std::move(s));
    }
    return list;
}

TEST(ConvertSuite, RealNpmFilesTheNativeEngineRefusesGiveNodesResultsAfterConversion) {
    JsonDocument cases;
    const std::vector<SuiteCase> suite = suiteCases(cases);
    JsonDocument node;
    ASSERT_TRUE(node.parse(readFile(kSuite + "/node-results.json")).ok);
    ASSERT_GE(suite.size(), 25u);
    convert::Converter converter;
    std::size_t givingNodesResults = 0;
    for (const SuiteCase& c : suite) {
        SCOPED_TRACE(c.file);
        const JsonDocument expected = node.member("", c.file);
        const std::string source = readFile(kNodeModules + "/" + c.file);
        // The very file Node ran (the package-lock pins the version; this pins the bytes).
        ASSERT_EQ(online::sha256Hex(source), expected.string("sha256"));
        const std::string host = cases.member("hosts", c.host).string();
        const std::vector<convert::SourceModule> modules{{std::filesystem::path(c.file).stem().string(), text::decodeFileText(source)}};
        const convert::Conversion conversion = converter.convert(modules);
        ASSERT_TRUE(conversion.ok) << conversion.error;
        const convert::RunCheck check = convert::checkByRunning(modules, conversion, c.expressions, host);
        std::vector<std::string> results;
        for (const convert::CheckedExpression& e : check.expressions)
            results.push_back(e.converted);
        std::vector<std::string> nodeResults;
        for (std::size_t i = 0, n = expected.count("results"); i < n; ++i) {
            // The program's JSON reader gives line breaks as CR LF; Node's texts had LF alone.
            std::string result = expected.at("results", i).string();
            for (std::size_t at; (at = result.find("\r\n")) != std::string::npos;)
                result.erase(at, 1);
            nodeResults.push_back(result);
        }
        if (c.stops.empty()) {
            EXPECT_TRUE(check.loaded) << check.loadError;
            EXPECT_EQ(results, nodeResults);
            givingNodesResults += results == nodeResults;
            continue;
        }
        // Every other file is reported with the construct that stops it.
        std::string said = check.loadError;
        for (const std::string& line : convert::reportLines(conversion))
            said += "\n" + line;
        EXPECT_TRUE(contains(said, c.stops)) << said;
        EXPECT_NE(results, nodeResults) << "gives Node's results now: move it among those that do";
    }
    std::cout << "conversion suite: " << givingNodesResults << " of " << suite.size()
              << " files give Node's results in the native engine after conversion\n";
    EXPECT_GE(givingNodesResults, 20u);
}

}  // namespace
