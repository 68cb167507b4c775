// Real, unmodified third-party files from npm (pinned in package-lock.json), and what
// javascript-obfuscator and esbuild make of some of them, run in both engines as the load runs
// a module: the syntax gate first, then the engine. Every answer must be the one Node computed
// from the same files (tests/realfiles/realfiles.mjs, run at set-up); a file JScript 5.7
// cannot run must be refused by the native engine's gate, naming the construct and its line.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

#include "core/engine/ChakraCore.h"
#include "core/engine/ConditionalCompilation.h"
#include "core/engine/ScriptControl.h"
#include "core/engine/SyntaxGate.h"
#include "core/json/JsonDocument.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

// Far above the slowest case's run on a busy machine; only a hang reaches it.
constexpr std::chrono::seconds kHang{240};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

class RealFiles : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        const std::filesystem::path out = std::filesystem::path(::testing::TempDir()) / "quillbox-realfiles";
        const std::string command = std::string("\"") + QUILLBOX_NODE + "\" \"" + QUILLBOX_SOURCE_DIR +
                                    "/tests/realfiles/realfiles.mjs\" \"" + QUILLBOX_NODE_MODULES + "\" \"" +
                                    out.string() + "\" > \"" + out.string() + ".log\" 2>&1";
        setUpStatus_ = std::system(command.c_str());
        cases_ = new JsonDocument();
        cases_->parse(readFile((out / "cases.json").string()), true);
        setUpLog_ = readFile(out.string() + ".log");
    }
    static void TearDownTestSuite() {
        delete cases_;
        cases_ = nullptr;
    }
    void SetUp() override {
        ASSERT_EQ(setUpStatus_, 0) << setUpLog_;
        ASSERT_GE(cases_->count(""), 20u) << setUpLog_;
    }

    static int setUpStatus_;
    static std::string setUpLog_;
    static JsonDocument* cases_;
};

int RealFiles::setUpStatus_ = -1;
std::string RealFiles::setUpLog_;
JsonDocument* RealFiles::cases_ = nullptr;

TEST_F(RealFiles, AtLeastThirtyFilesAreInTheSuite) {
    std::set<std::string> files;
    for (std::size_t c = 0; c < cases_->count(""); ++c) {
        const JsonDocument entry = cases_->at("", c);
        for (std::size_t f = 0; f < entry.count("files"); ++f)
            files.insert(entry.at("files", f).text());
    }
    EXPECT_GE(files.size(), 30u);
}

TEST_F(RealFiles, TheNativeEngineGivesNodesAnswersOrRefusesWhatJScriptCannotRun) {
    SyntaxGate gate;
    for (std::size_t c = 0; c < cases_->count(""); ++c) {
        const JsonDocument entry = cases_->at("", c);
        SCOPED_TRACE(entry.text("name"));
        const bool refusedByJScript = entry.text("native") == "refused";
        ScriptControl sc;
        sc.setTimeLimit(kHang);
        bool refused = false;
        for (std::size_t f = 0; f < entry.count("files") && !refused; ++f) {
            const std::string file = entry.at("files", f).text();
            const std::string code = readFile(file);
            const SyntaxVerdict verdict = gate.check(applyConditionalCompilation(code), SyntaxLevel::JScript);
            if (verdict.refused()) {
                refused = true;
                EXPECT_TRUE(refusedByJScript) << file << ": " << verdict.message << " (line " << verdict.line << ")";
                // The message names the construct; the line is where it is.
                EXPECT_GT(verdict.line, 0) << file;
                EXPECT_FALSE(verdict.feature.empty()) << file;
                EXPECT_NE(verdict.message.find(SyntaxGate::engineName(SyntaxLevel::JScript)), std::string::npos)
                    << verdict.message;
                continue;
            }
            if (!sc.AddCode(code) && entry.text("native") == "fails") {
                // It needs a built-in JScript 5.7 lacks: the error names it and the line.
                EXPECT_NE(sc.Error().Description.find(entry.text("nativeError")), std::string::npos)
                    << sc.Error().Description;
                EXPECT_GT(sc.Error().Line, 0) << file;
                refused = true;
                continue;
            }
            ASSERT_EQ(sc.Error().Number, 0) << file << ": " << sc.Error().Description << " at line "
                                            << sc.Error().Line << ": " << sc.Error().Text.substr(0, 200);
        }
        if (refused)
            continue;
        EXPECT_FALSE(refusedByJScript) << "JScript 5.7 refuses this case, the native engine ran it";
        EXPECT_NE(entry.text("native"), "fails") << "JScript 5.7 cannot run this case, the native engine did";
        for (std::size_t e = 0; e < entry.count("expressions"); ++e) {
            const JsonDocument probe = entry.at("expressions", e);
            const auto started = std::chrono::steady_clock::now();
            const Value value = sc.Eval("String(" + probe.text("expression") + ")");
            EXPECT_FALSE(sc.lastCallStopped()) << "hung: " << probe.text("expression");
            EXPECT_EQ(value.text(), probe.text("expected"))
                << probe.text("expression") << "\n" << sc.Error().Description << " at line " << sc.Error().Line;
            if (std::getenv("QUILLBOX_REALFILES_TIMES"))
                std::printf("native %6lld ms  %s\n",
                            static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                       std::chrono::steady_clock::now() - started)
                                                       .count()),
                            entry.text("name").c_str());
        }
    }
}

TEST_F(RealFiles, TheChakraCoreEngineGivesNodesAnswers) {
    if (!ChakraCore::libraryLoaded())
        GTEST_SKIP() << ChakraCore::libraryError();
    SyntaxGate gate;
    for (std::size_t c = 0; c < cases_->count(""); ++c) {
        const JsonDocument entry = cases_->at("", c);
        SCOPED_TRACE(entry.text("name"));
        ChakraCore chakra;
        chakra.setTimeLimit(kHang);
        chakra.New();
        for (std::size_t f = 0; f < entry.count("files"); ++f) {
            const std::string file = entry.at("files", f).text();
            const std::string code = readFile(file);
            const SyntaxVerdict verdict = gate.check(code, SyntaxLevel::ChakraCore);
            ASSERT_FALSE(verdict.refused()) << file << ": " << verdict.message << " (line " << verdict.line << ")";
            ASSERT_TRUE(chakra.AddCode(code)) << file << ": " << chakra.TakeException().exception;
        }
        for (std::size_t e = 0; e < entry.count("expressions"); ++e) {
            const JsonDocument probe = entry.at("expressions", e);
            EXPECT_EQ(chakra.Eval("String(" + probe.text("expression") + ")"), probe.text("expected"))
                << probe.text("expression") << "\n" << chakra.TakeException().exception;
        }
    }
}

}  // namespace
