// The transform library in a plain Duktape context (the Windows build without ChakraCore)
// gives what it gives in ChakraCore, byte for byte: results, and failures' messages.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "core/transform/Transform.h"

using namespace quillbox;
using namespace quillbox::transform;

namespace {

struct Input {
    const char* name;
    std::string text;
};

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void expectSameInBothEngines(const Input& input) {
    for (const Mode mode : {Mode::Format, Mode::Compress}) {
        SCOPED_TRACE(std::string(input.name) + (mode == Mode::Format ? " (format)" : " (compress)"));
        const TransformResult chakra = runTransformInChakra(input.text, mode);
        const TransformResult duktape = runTransformInDuktape(input.text, mode);
        EXPECT_EQ(duktape.ok, chakra.ok);
        EXPECT_EQ(duktape.text, chakra.text);
        EXPECT_EQ(duktape.error, chakra.error);
    }
}

class TransformEnginesTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!engine::ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so not built: " << engine::ChakraCore::libraryError();
    }
};

TEST_F(TransformEnginesTest, ATableOfInputsGivesTheSameTextAndFailuresInBoth) {
    const Input inputs[] = {
        {"empty", ""},
        {"only a comment", "// only a comment\n"},
        {"Chinese text and names", "var 名字 = '中文';\nfunction 长度(){return 名字.length}\n"},
        // Characters beyond U+FFFF are two UTF-16 units in both engines (CESU-8 in Duktape).
        {"astral characters", "var s = '😀𠀀';/* 😀 */var n = s.length;\n"},
        {"escapes kept as written", "var v = '\\v\\u00e9\\x41\\0', r = /[\\u4e00-\\u9fa5]+\\//g;\n"},
        {"CR LF and tabs", "if (a)\r\n{\r\n\tb();\r\n}\r\nelse c();\r\n"},
        {"a byte order mark", "\xEF\xBB\xBFvar a=1;"},
        {"a NUL character", std::string("var z = '\0';", 12)},
        {"trailing commas", "var a = [1, 2, ,], o = {a: 1,};"},
        {"a named function expression", "var f = function g(){ return typeof g; }; var e; try { x() } catch (e) {}"},
        {"modern syntax", "class A extends B { #x = 1; static y = 2n; async *m() { yield await this.#x?.y ?? 0; } }\n"
                          "const f = ({a, ...r} = {}) => `t${a}${r}`; let [p, q] = [1, 2]; label: for (const k of o) break label;"},
        {"regular expressions and division", "var a = b / c / d, r = /=>[/]\\s*/.test(x) ? 1 : /a/g; x = a++ / 2;"},
        {"unterminated comment", "var a = 1; /* never closed"},
        {"unterminated string", "var a = 'never closed;\nvar b = 1;"},
        {"unbalanced brackets", "function f() { if (a) { b(); }\nvar c = [1, 2;\n"},
        {"deep nesting", std::string(300, '[') + std::string(300, ']') + ";" + std::string(200, '(') + "1" +
                             std::string(200, ')')},
        {"template with nested braces", "var t = `a${ {b: `c${d}`}.b }e`;"},
        {"already minified", "!function(e){var t={};function n(r){if(t[r])return t[r].exports}n.m=e}([]);"},
    };
    for (const Input& input : inputs)
        expectSameInBothEngines(input);
}

// Unmodified libraries from npm, as users paste them: readable and minified, old and modern.
TEST_F(TransformEnginesTest, RealLibrariesGiveTheSameResult) {
    const char* files[] = {
        "blueimp-md5/js/md5.js", "blueimp-md5/js/md5.min.js", "js-base64/base64.js", "json3/lib/json3.js",
        "big.js/big.js", "dayjs/dayjs.min.js", "jsmin/jsmin.js",
    };
    for (const char* file : files) {
        const std::string text = readFile(std::string(QUILLBOX_NODE_MODULES) + "/" + file);
        ASSERT_FALSE(text.empty()) << file;
        expectSameInBothEngines({file, text});
    }
}

}  // namespace
