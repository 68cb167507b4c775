// The window's conversion command on the store: what the selection names, and the result
// written as new modules or a new project while the original stays as it was.
#include <gtest/gtest.h>

#include "core/convert/ConvertInStore.h"
#include "core/project/ProjectStore.h"
#include "support/LoaderFixture.h"

using namespace quillbox;
using namespace quillbox::convert;

namespace {

Converter& converter() {
    static Converter c;
    return c;
}

class ConvertInStore : public test::MemoryStoreFixture {
protected:
    std::string code(const std::string& project, const std::string& module) {
        const int position = store.findPage(project, module);
        return position > 0 ? store.page(position)->getText() : "<none>";
    }
    void selectModule(const std::string& project, const std::string& module) {
        store.selectNode(store.moduleNode(project, module));
    }
    bool said(const std::string& part) const {
        for (const std::string& line : output.texts())
            if (line.find(part) != std::string::npos)
                return true;
        return false;
    }
    RecordingOutput output;
};

TEST_F(ConvertInStore, AModuleConvertsIntoNewModulesBesideItAndTheOriginalStays) {
    addProject("p", {{"lib", "const twice = (x) => x * 2;\n"}, {"main", "var n = [1, 2].map(twice);\n"}});
    selectModule("p", "main");
    const ConvertTarget target = convertTarget(store);
    ASSERT_TRUE(target.refusal.empty());
    EXPECT_EQ(target.module, "main");
    ASSERT_EQ(target.modules.size(), 1u);
    const std::string placed = placeConversion(store, target, runConversion(converter(), target), output);
    EXPECT_EQ(placed, "main_旧引擎");
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"lib", "main", "旧引擎补丁", "main_旧引擎"}));
    EXPECT_EQ(code("p", "main"), "var n = [1, 2].map(twice);\n");
    EXPECT_EQ(code("p", "lib"), "const twice = (x) => x * 2;\n");
    EXPECT_NE(code("p", "旧引擎补丁").find("es5-shim"), std::string::npos);
    EXPECT_TRUE(said("转换为旧引擎代码：p/main"));
    EXPECT_TRUE(said("shim es5-shim 4.6.7: uses .map"));
    EXPECT_TRUE(said("已写入新模块[main_旧引擎]，补丁在模块[旧引擎补丁]，原代码未改动"));
    EXPECT_TRUE(said("加载失败：main: "));  // `twice` is in another module: the check says so

    // Again: new names, nothing overwritten.
    selectModule("p", "main");
    const ConvertTarget again = convertTarget(store);
    EXPECT_EQ(placeConversion(store, again, runConversion(converter(), again), output), "main_旧引擎2");
    EXPECT_TRUE(store.hasModule("p", "旧引擎补丁2"));
}

TEST_F(ConvertInStore, AProjectConvertsIntoANewProjectWithTheShimsFirst) {
    addProject("site", {{"a", "let s = 'x'.repeat(3);\n"}, {"b", "class K { m() { return s; } }\n"}});
    store.selectNode(store.tree().parent(store.moduleNode("site", "a")));
    const ConvertTarget target = convertTarget(store);
    EXPECT_TRUE(target.module.empty());
    const ConvertOutcome outcome = runConversion(converter(), target);
    EXPECT_TRUE(outcome.check.loaded) << outcome.check.loadError;
    EXPECT_EQ(placeConversion(store, target, outcome, output), "site_旧引擎");
    EXPECT_EQ(store.moduleNames("site_旧引擎"), (std::vector<std::string>{"旧引擎补丁", "a", "b"}));
    EXPECT_EQ(store.moduleNames("site"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(code("site", "a"), "let s = 'x'.repeat(3);\n");
    EXPECT_NE(code("site_旧引擎", "b").find("function K()"), std::string::npos);
    EXPECT_TRUE(said("加载成功"));
}

TEST_F(ConvertInStore, NothingIsWrittenWhenTheCodeDoesNotParseOrNothingIsSelected) {
    addProject("q", {{"bad", "let = ;\n"}});
    store.tree().select(kNoNode);
    EXPECT_FALSE(convertTarget(store).refusal.empty());
    selectModule("q", "bad");
    const ConvertTarget target = convertTarget(store);
    EXPECT_EQ(placeConversion(store, target, runConversion(converter(), target), output), "");
    EXPECT_EQ(store.moduleNames("q"), (std::vector<std::string>{"bad"}));
    EXPECT_EQ(store.projectNames().size(), 1u);
    EXPECT_TRUE(said("转换失败：bad:1:"));
}

}  // namespace
