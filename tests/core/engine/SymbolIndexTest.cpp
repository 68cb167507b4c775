// The symbol index: what each module defines, found by name across the project, searched,
// and the name under the editor's cursor.
#include <gtest/gtest.h>

#include "core/engine/SymbolIndex.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

class SymbolIndexTest : public test::MemoryStoreFixture {
protected:
    void SetUp() override {
        if (!ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so not built: " << ChakraCore::libraryError();
    }
    SyntaxGate gate;
};

TEST_F(SymbolIndexTest, ListsWhatAModuleDefinesWithPlacesAndParameters) {
    const std::vector<Symbol> symbols =
        gate.symbols("function sign(key, data) { return 1; }\n"
                     "var config = {load: function (url) {}, size: 2},\n    count = 0;\n"
                     "window.api.call = function (name, cb) {};\n"
                     "let twice = (x = 1, ...rest) => x;\nclass Box {}\n");
    const std::vector<Symbol> expected{
        {"sign", "function", 1, 9, "key, data"},
        {"config", "object", 2, 4, ""},
        {"config.load", "function", 2, 14, "url"},
        {"config.size", "member", 2, 39, ""},
        {"count", "variable", 3, 4, ""},
        {"window.api.call", "function", 4, 0, "name, cb"},
        {"twice", "function", 5, 4, "x = 1, ...rest"},
        {"Box", "class", 6, 6, ""},
    };
    EXPECT_EQ(symbols, expected);
    EXPECT_TRUE(gate.symbols("var broken = ;").empty());
}

TEST_F(SymbolIndexTest, FindsDefinitionsAcrossModulesAndSearches) {
    addProject("p", {{"a", "function main() { return helper(1); }"},
                     {"b", "// helpers\nfunction helper(n) { return n; }\nvar util = {helper: function (x) {}};"}});
    SymbolIndex index(gate);
    index.update(store, "p");
    const std::vector<SymbolPlace> helper = index.definitions("helper");
    ASSERT_EQ(helper.size(), 1u);
    EXPECT_EQ(helper[0].page, "p_b.js");
    EXPECT_EQ(helper[0].symbol.line, 2);
    EXPECT_EQ(helper[0].symbol.params, "n");
    // A member by its path, or by its last part when nothing has the whole name.
    EXPECT_EQ(index.definitions("util.helper").at(0).symbol.line, 3);
    EXPECT_EQ(index.definitions("other.main").at(0).page, "p_a.js");
    EXPECT_TRUE(index.definitions("nothing").empty());

    std::vector<std::string> names;
    for (const SymbolPlace& place : index.search("HELP"))
        names.push_back(place.symbol.name);
    EXPECT_EQ(names, (std::vector<std::string>{"helper", "util.helper"}));
    EXPECT_EQ(index.search("ai").at(0).symbol.name, "main");

    // An edit is seen at the next update; a module gone takes its symbols with it.
    store.page(store.findPage("p", "b"))->setText("function renamed() {}");
    index.update(store, "p");
    EXPECT_TRUE(index.definitions("helper").empty());
    EXPECT_EQ(index.definitions("renamed").at(0).page, "p_b.js");
}

TEST(NameAt, TheIdentifierAndItsPathUnderTheCursor) {
    const struct {
        const char* line;
        int column;
        const char* name;
    } cases[] = {
        {"x = sign(key);", 5, "sign"},    {"x = sign(key);", 8, "sign"},   // just after it
        {"a.b.call(1)", 5, "a.b.call"},   {"a.b.call(1)", 2, "a.b"},       {"  ", 1, ""},
        {"f( 1.5 )", 4, ""},              {"错误 = $el;", 7, "$el"},       {"q", 99, "q"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(nameAt(c.line, c.column), c.name) << c.line << " @" << c.column;
}

}  // namespace
