// The project script file format: what export writes and how import splits it.
#include <gtest/gtest.h>

#include "core/project/ProjectFile.h"
#include "support/ProjectFileText.h"

using namespace quillbox::project_file;
using quillbox::test::kSep;
using quillbox::test::kWorkedExample;

namespace {
std::string header(const std::string& module) { return kSep + "\r\n//       " + module + ".js\r\n" + kSep + "\r\n"; }
}  // namespace

TEST(ProjectFileBuild, WorkedExampleByteForByte) {
    EXPECT_EQ(build("demo", {{"main", "var a=1;", true}}), kWorkedExample);
}

TEST(ProjectFileBuild, ProjectWithoutModules) {
    EXPECT_EQ(build("p", {}), kSep + "\r\n//       START   p\r\n" + kSep + "\r\n\r\n" + "\r\n" + kSep +
                                  "\r\n//       END   p\r\n" + kSep + "\r\n\r\n//Quillbox By Zorvan 1.30");
}

TEST(ProjectFileBuild, ModuleNotOnTheLastPageGetsFiveLineBreaks) {
    const std::string text = build("p", {{"a", "A", false}, {"b", "B", true}});
    EXPECT_NE(text.find(header("a") + "A\r\n\r\n\r\n\r\n\r\n" + header("b") + "B\r\n\r\n" + kSep), std::string::npos);
}

TEST(ProjectFileBuild, NoSecondSignatureWhenCodeAlreadyHoldsOne) {
    const std::string text = build("p", {{"a", "// from //Quillbox By Zorvan 1.20", true}});
    EXPECT_EQ(text.substr(text.size() - kSep.size() - 2), kSep + "\r\n") << "nothing after the END block";
}

TEST(ProjectFileSplit, WorkedExampleGivesTheModuleWithOneExtraLineBreak) {
    SplitProject p = split(kWorkedExample);
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.name, "demo");
    ASSERT_EQ(p.moduleNames, std::vector<std::string>{"main"});
    EXPECT_EQ(p.codes, std::vector<std::string>{"var a=1;\r\n"});
}

TEST(ProjectFileSplit, RoundTripAddsFourLineBreaksToEveryModuleButTheLast) {
    SplitProject p = split(build("p", {{"a", "A", false}, {"b", "B\r\nC", false}, {"c", "", true}}));
    EXPECT_EQ(p.moduleNames, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(p.codes, (std::vector<std::string>{"A\r\n\r\n\r\n\r\n", "B\r\nC\r\n\r\n\r\n\r\n", "\r\n"}));
}

TEST(ProjectFileSplit, ProjectWithoutModules) {
    SplitProject p = split(build("empty", {}));
    EXPECT_EQ(p.name, "empty");
    EXPECT_TRUE(p.moduleNames.empty());
    EXPECT_TRUE(p.codes.empty());
}

TEST(ProjectFileSplit, SpacesAreRemovedFromTheProjectName) {
    // ASCII spaces and the ideographic space.
    EXPECT_EQ(split(build("my demo", {})).name, "mydemo");
    EXPECT_EQ(split(build("中\xE3\x80\x80文 x", {})).name, "中文x");
    // A name of spaces only is no project.
    EXPECT_EQ(split(build("   ", {})).name, "");
}

TEST(ProjectFileSplit, MarkersMatchInAnyLetterCase) {
    std::string text = build("p", {{"m", "x", true}});
    text.replace(text.find("START"), 5, "start");
    text.replace(text.find("END"), 3, "eNd");
    text.replace(text.find("m.js"), 4, "m.JS");
    SplitProject p = split(text);
    EXPECT_EQ(p.name, "p");
    EXPECT_EQ(p.moduleNames, std::vector<std::string>{"m"});
    EXPECT_EQ(p.codes, std::vector<std::string>{"x\r\n"});
}

TEST(ProjectFileSplit, SeparatorBlockInsideCodeSplitsTheModule) {
    const std::string code = "a();\r\n" + kSep + "\r\n//   inner.js\r\n" + kSep + "\r\nb();";
    SplitProject p = split(build("p", {{"m", code, true}}));
    EXPECT_EQ(p.moduleNames, (std::vector<std::string>{"m", "inner"}));
    EXPECT_EQ(p.codes, (std::vector<std::string>{"a();", "b();\r\n"}));
}

TEST(ProjectFileSplit, TextWithoutProjectGivesNoName) {
    SplitProject p = split("var a = 1;\r\n");
    EXPECT_TRUE(p.ok);
    EXPECT_EQ(p.name, "");
    EXPECT_EQ(split("").name, "");
    // The END block is missing: no project either.
    std::string cut = build("p", {{"m", "x", true}});
    EXPECT_EQ(split(cut.substr(0, cut.find("//       END"))).name, "");
}

TEST(ProjectFileSplit, TextAroundTheProjectIsIgnored) {
    SplitProject p = split("garbage\r\n" + build("p", {{"m", "x", true}}) + "\r\nmore");
    EXPECT_EQ(p.name, "p");
    EXPECT_EQ(p.codes, std::vector<std::string>{"x\r\n"});
}

TEST(ProjectFileSplit, RepeatedModuleNamesAreAllListed) {
    SplitProject p = split(build("p", {{"m", "1", false}, {"m", "2", true}}));
    EXPECT_EQ(p.moduleNames, (std::vector<std::string>{"m", "m"}));
    EXPECT_EQ(p.codes.size(), 2u);
}

TEST(ProjectFileSplit, LineEndsInCodeAreKeptAsTheyAre) {
    SplitProject p = split(build("p", {{"m", "a\nb\r\nc\rd", true}}));
    EXPECT_EQ(p.codes, std::vector<std::string>{"a\nb\r\nc\rd\r\n"});
}

TEST(ProjectFileSplit, NamesAndCodesKeepChineseText) {
    SplitProject p = split(build("项目", {{"模块", "var s='中文';", true}}));
    EXPECT_EQ(p.name, "项目");
    EXPECT_EQ(p.moduleNames, std::vector<std::string>{"模块"});
    EXPECT_EQ(p.codes, std::vector<std::string>{"var s='中文';\r\n"});
}
