// Deobfuscation end to end: javascript-obfuscator's outputs of our two sample scripts, made at
// set-up by scripts/deobfuscate-suite.mjs at a dozen option sets, deobfuscated and run in both
// engines against the results Node computed from the unobfuscated samples; and the command
// line's promises (the file untouched, partial results refused, the checks).
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "core/deobfuscate/Deobfuscate.h"
#include "core/json/JsonDocument.h"
#include "core/text/Text.h"
#include "support/TestSupport.h"

using namespace quillbox;
using quillbox::test::freshDirectory;
using quillbox::test::readFile;
using quillbox::test::runProcess;
using quillbox::test::writeFile;

namespace {

const std::string kCli = QUILLBOX_CLI;
const std::string kNode = QUILLBOX_NODE;
const std::string kNodeModules = QUILLBOX_NODE_MODULES;
const std::string kSource = QUILLBOX_SOURCE_DIR;

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// The suite's files, made once per process.
const std::string& suiteDirectory() {
    static const std::string dir = [] {
        const std::string out = freshDirectory("deobfuscate-suite");
        const auto r = runProcess(kNode, {kSource + "/scripts/deobfuscate-suite.mjs", kNodeModules,
                                          kSource + "/tests/cli/deobfuscate-suite", out});
        EXPECT_EQ(r.status, 0) << r.out << r.err;
        return out;
    }();
    return dir;
}

std::string withoutCarriageReturns(std::string text) {
    for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

TEST(DeobfuscateSuite, EveryOptionSetGivesNodesResultsInBothEnginesWithTheStringsBack) {
    JsonDocument expected;
    ASSERT_TRUE(expected.parse(readFile(suiteDirectory() + "/expected.json")).ok);
    std::vector<std::string> sets;
    for (std::size_t i = 0, n = expected.count("sets"); i < n; ++i)
        sets.push_back(expected.at("sets", i).string());
    ASSERT_GE(sets.size(), 8u);
    deobfuscate::Deobfuscator deobfuscator;
    for (const std::string sample : {"signer", "catalog"}) {
        const JsonDocument wanted = expected.member("", sample);
        std::vector<std::string> expressions, nodeResults, literals;
        for (std::size_t i = 0, n = wanted.count("expressions"); i < n; ++i) {
            expressions.push_back(wanted.at("expressions", i).string());
            nodeResults.push_back(withoutCarriageReturns(wanted.at("results", i).string()));
        }
        for (std::size_t i = 0, n = wanted.count("literals"); i < n; ++i)
            literals.push_back(wanted.at("literals", i).string());
        ASSERT_GE(expressions.size(), 5u);
        for (const std::string& set : sets) {
            SCOPED_TRACE(std::string(sample) + "." + set);
            const std::string obfuscated = readFile(suiteDirectory() + "/" + sample + "." + set + ".js");
            const deobfuscate::Deobfuscation result = deobfuscator.run(obfuscated);
            ASSERT_TRUE(result.ok) << result.error;
            EXPECT_FALSE(result.partial) << result.why;
            EXPECT_EQ(result.report.decoderCallsLeft, 0);
            EXPECT_GT(result.report.stringsRestored, 0);
            // The sample's strings are plain string literals again.
            for (const std::string& literal : literals)
                EXPECT_TRUE(contains(result.code, "\"" + literal + "\"") || contains(result.code, "'" + literal + "'"))
                    << literal << "\n" << result.code.substr(0, 600);
            for (const auto engine : {deobfuscate::CheckEngine::Chakra, deobfuscate::CheckEngine::Native}) {
                SCOPED_TRACE(engine == deobfuscate::CheckEngine::Native ? "native" : "chakra");
                std::string loadError;
                const std::vector<std::string> values = deobfuscate::evaluateWith(result.code, expressions, engine, loadError);
                EXPECT_EQ(loadError, "");
                std::vector<std::string> cleaned;
                for (const std::string& v : values)
                    cleaned.push_back(withoutCarriageReturns(v));
                EXPECT_EQ(cleaned, nodeResults);
            }
        }
    }
}

TEST(DeobfuscateCommand, WritesReadableCodeReportsWhatItFoundAndChecksBehaviour) {
    const std::string file = suiteDirectory() + "/signer.string-array-rc4.js";
    const std::string before = readFile(file);
    const std::string out = freshDirectory("deobf-out") + "/plain.js";
    const auto r = runProcess(kCli, {"deobfuscate", file, "-o", out, "--report", "--check", "sign({a: 1}, 5)", "--check",
                                     "typeof verify", "--check", "checksum(null)"});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(readFile(file), before);
    const std::string plain = readFile(out);
    EXPECT_TRUE(contains(plain, "\"quillbox-demo-key\"")) << plain.substr(0, 400);
    EXPECT_TRUE(contains(r.out, "obfuscator: javascript-obfuscator")) << r.out;
    EXPECT_TRUE(contains(r.out, "string array encoding rc4")) << r.out;
    EXPECT_TRUE(contains(r.out, "解混淆完成：no decoder calls left")) << r.out;
    EXPECT_TRUE(contains(r.out, "一致 sign({a: 1}, 5) = string:qb_sign:")) << r.out;
    EXPECT_TRUE(contains(r.out, "一致 typeof verify = string:function")) << r.out;
    // The same error on both sides is behaviour kept.
    EXPECT_TRUE(contains(r.out, "一致 checksum(null) = error: ")) << r.out;

    // A check in the native engine, and one that cannot agree: the result has no such name.
    const auto native = runProcess(kCli, {"deobfuscate", file, "-o", out, "--engine", "native", "--check", "toHex(4095)",
                                          "--check", "typeof _0x1234"});
    EXPECT_EQ(native.status, 0) << native.out << native.err;
    EXPECT_TRUE(contains(native.out, "一致 toHex(4095) = string:00000fff")) << native.out;
}

TEST(DeobfuscateCommand, RefusesHalfDecodedCodeUnlessAskedAndThenMarksIt) {
    // A decoder that never returns: the sandbox's time limit stops it and nothing is decoded.
    std::string code = readFile(suiteDirectory() + "/catalog.defaults.js");
    std::smatch decoder;  // function _0x4618(_0xa,_0xb){
    ASSERT_TRUE(std::regex_search(code, decoder, std::regex(R"(function _0x[0-9a-f]+\(_0x[0-9a-f]+,_0x[0-9a-f]+\)\{)")));
    code.insert(static_cast<std::size_t>(decoder.position(0) + decoder.length(0)), "for(;;){}");
    const std::string dir = freshDirectory("deobf-partial");
    const std::string file = dir + "/loop.js";
    writeFile(file, code);
    deobfuscate::Deobfuscator quick({std::chrono::milliseconds(300), std::size_t(64) << 20});
    const deobfuscate::Deobfuscation result = quick.run(code);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_TRUE(result.partial);
    EXPECT_TRUE(contains(result.why, "the strings were not decoded")) << result.why;
    EXPECT_GT(result.report.decoderCallsLeft, 0);

    const auto refused = runProcess(kCli, {"deobfuscate", file, "-o", dir + "/out.js"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_TRUE(contains(refused.err, "the result is partial")) << refused.err;
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.js"));
    const auto kept = runProcess(kCli, {"deobfuscate", file, "-o", dir + "/out.js", "--partial", "--report"});
    EXPECT_EQ(kept.status, 1);
    EXPECT_EQ(readFile(dir + "/out.js").rfind("// 解混淆不完整 (partial): ", 0), 0u);
    EXPECT_TRUE(contains(kept.out, "解混淆不完整 (partial)")) << kept.out;
}

TEST(DeobfuscateCommand, DecodersRunInAnEngineWithoutHostObjects) {
    // A decoder that fails where it sees the program's host object (its ajax reaches the
    // network): it decodes, so the sandbox has none.
    std::string code = readFile(suiteDirectory() + "/catalog.defaults.js");
    std::smatch decoder;
    ASSERT_TRUE(std::regex_search(code, decoder, std::regex(R"(function _0x[0-9a-f]+\(_0x[0-9a-f]+,_0x[0-9a-f]+\)\{)")));
    code.insert(static_cast<std::size_t>(decoder.position(0) + decoder.length(0)),
                "if(typeof $$!=='undefined'||typeof console!=='undefined')throw new Error('host objects');");
    deobfuscate::Deobfuscator deobfuscator;
    const deobfuscate::Deobfuscation result = deobfuscator.run(code);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_FALSE(result.partial) << result.why;
    EXPECT_TRUE(contains(result.code, "\"Spring catalogue\""));
}

TEST(DeobfuscateCommand, PlainCodePassesThroughAndBadInputChangesNothing) {
    const std::string dir = freshDirectory("deobf-plain");
    writeFile(dir + "/plain.js", "function add(a, b) { return a + b; }\n");
    const auto plain = runProcess(kCli, {"deobfuscate", dir + "/plain.js", "--report", "--check", "add(2, 3)"});
    EXPECT_EQ(plain.status, 0) << plain.err;
    EXPECT_TRUE(contains(plain.out, "function add(a, b) {\n  return a + b;\n}")) << plain.out;
    EXPECT_TRUE(contains(plain.err, "obfuscator: none recognised")) << plain.err;
    EXPECT_TRUE(contains(plain.err, "一致 add(2, 3) = number:5")) << plain.err;

    const auto missing = runProcess(kCli, {"deobfuscate", dir + "/none.js", "-o", dir + "/out.js"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_FALSE(std::filesystem::exists(dir + "/out.js"));
    const auto badEngine = runProcess(kCli, {"deobfuscate", dir + "/plain.js", "--engine", "v8"});
    EXPECT_EQ(badEngine.status, 2);
    EXPECT_TRUE(contains(badEngine.err, "--engine is chakra or native"));
}

// --timeout covers the whole command, the check too: a checked expression that loops would
// otherwise hold each engine until its own 30 s limit. In both check engines the command ends,
// says which part the limit fell in, and the file is never touched.
TEST(DeobfuscateCommand, TimeoutEndsTheCommandWhereverItIs) {
    const std::string dir = freshDirectory("deobf-spin");
    const std::string code = "function spin() { for (;;) {} }\nfunction one() { return 1; }\n";
    writeFile(dir + "/spin.js", code);
    for (const char* engine : {"chakra", "native"}) {
        const std::string out = dir + "/" + engine + ".js";
        const auto r = runProcess(kCli, {"deobfuscate", dir + "/spin.js", "-o", out, "--engine", engine, "--check",
                                         "one()", "--check", "spin()", "--check", "one()", "--timeout", "5"});
        EXPECT_EQ(r.status, 1) << engine;
        EXPECT_TRUE(contains(r.err, "quillbox-cli deobfuscate: stopped: the time limit (--timeout 5 s) was up: ")) << r.err;
        if (contains(r.err, "the check did not finish")) {
            EXPECT_TRUE(contains(readFile(out), "function spin()"));
            EXPECT_TRUE(contains(r.out, "检查已停止")) << r.out;
            EXPECT_TRUE(contains(r.out, "不一致 spin(): original error: stopped")) << r.out;
            EXPECT_FALSE(contains(r.out, "30 s")) << r.out;
        } else {
            EXPECT_TRUE(contains(r.err, "nothing was written")) << r.err;
            EXPECT_FALSE(std::filesystem::exists(out));
        }
    }
    EXPECT_EQ(readFile(dir + "/spin.js"), code);
    for (const char* bad : {"0", "-1", "soon", ""})
        EXPECT_EQ(runProcess(kCli, {"deobfuscate", dir + "/spin.js", "--timeout", bad}).status, 2) << bad;
}

}  // namespace
