// Export to and import from project script files, through the store and real files.
#include <filesystem>
#include <csignal>
#include <sys/resource.h>

#include "StoreFixture.h"
#include "core/text/Text.h"
#include "support/ProjectFileText.h"
#include "support/TestSupport.h"

using namespace quillbox;
using quillbox::test::StoreFixture;
using quillbox::test::freshDirectory;
using quillbox::test::kSep;
using quillbox::test::readFile;
using quillbox::test::writeFile;

namespace {
const std::string kEmoji = "\xF0\x9F\x98\x80";  // U+1F600, not in GBK
}  // namespace

class Export : public StoreFixture {
protected:
    std::string dir = freshDirectory("export");
    std::string target = dir + "/out.js";
};

TEST_F(Export, WritesTheWorkedExampleAfterTheSaveDialog) {
    project("demo");
    module("main", "var a=1;");
    dialogs.saveAnswers.push_back(target);
    EXPECT_TRUE(store.exportProject("demo"));
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.records[0].kind, DialogRecord::SaveFile);
    EXPECT_EQ(dialogs.lastSaveRequest.title, "Quillbox 保存Js");
    EXPECT_EQ(dialogs.lastSaveRequest.filter, "js文件(*.js)|*.js");
    EXPECT_EQ(dialogs.lastSaveRequest.defaultExtension, ".js");
    EXPECT_EQ(dialogs.lastSaveRequest.initialDirectory, std::getenv("XDG_DESKTOP_DIR"));
    EXPECT_EQ(readFile(target), test::projectFileText("demo", {{"main", "var a=1;"}}));
    EXPECT_EQ(store.lastExportPath(), target);
}

TEST_F(Export, SecondExportOffersTheSamePath) {
    project("demo");
    module("main", "v1");
    dialogs.saveAnswers.push_back(target);
    store.exportProject("demo");
    store.page(1)->setText("v2");
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    EXPECT_TRUE(store.exportProject("demo"));
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"保存为[" + target + "]?"});
    EXPECT_EQ(dialogs.records.back().buttons, MessageButtons::YesNo);
    EXPECT_EQ(dialogs.records.back().icon, MessageIcon::None);
    EXPECT_EQ(readFile(target), test::projectFileText("demo", {{"main", "v2"}}));
}

TEST_F(Export, NoToTheQuestionOpensTheDialogAndCancelWritesNothing) {
    project("demo");
    module("main", "x");
    store.setLastExportPath(target);
    dialogs.yesNoAnswers.push_back(MessageAnswer::No);
    EXPECT_FALSE(store.exportProject("demo"));
    EXPECT_EQ(dialogs.records.back().kind, DialogRecord::SaveFile);
    EXPECT_FALSE(std::filesystem::exists(target));
    EXPECT_EQ(store.lastExportPath(), "") << "the cancelled dialog's answer is the new last path";
}

TEST_F(Export, ProjectBIntoProjectAsFile) {
    project("A");
    module("a", "AAA");
    project("B");
    module("b", "BBB");
    dialogs.saveAnswers.push_back(target);
    store.exportProject("A");
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    store.exportProject("B");
    EXPECT_EQ(readFile(target), test::projectFileText("B", {{"b", "BBB"}}));
}

TEST_F(Export, ModuleOrderFollowsTheDocumentAndTailsFollowThePages) {
    project("p");
    module("a", "A");
    const NodeId b = module("b", "B");
    store.selectNode(b);
    store.moveModuleUp();
    // b is listed first but its page is the last page: it gets the single line break.
    const std::string text = store.exportText("p");
    EXPECT_NE(text.find("b.js\r\n" + kSep + "\r\nB\r\n" + kSep), std::string::npos);
    EXPECT_NE(text.find("a.js\r\n" + kSep + "\r\nA\r\n\r\n\r\n\r\n\r\n\r\n" + kSep), std::string::npos);
}

TEST_F(Export, ModuleNotOnTheLastPageGetsFiveLineBreaks) {
    project("p");
    module("m", "M");
    project("q");
    module("other");
    EXPECT_EQ(store.exportText("p"), test::projectFileText("p", {{"m", "M\r\n\r\n\r\n\r\n"}}));
}

TEST_F(Export, EmptyProject) {
    project("p");
    EXPECT_EQ(store.exportText("p"), kSep + "\r\n//       START   p\r\n" + kSep + "\r\n\r\n\r\n" + kSep +
                                         "\r\n//       END   p\r\n" + kSep + "\r\n\r\n//Quillbox By Zorvan 1.30");
}

TEST_F(Export, ProjectNamedAUnderscoreBExportsItsOwnCode) {
    project("a");
    module("b_m", "wrong project");
    project("a_b");
    store.selectNode(module("m", "right project"));
    dialogs.saveAnswers.push_back(target);
    EXPECT_TRUE(store.exportCurrentProject());
    EXPECT_EQ(readFile(target), test::projectFileText("a_b", {{"m", "right project"}}));
}

TEST_F(Export, ModuleRenamedOntoASiblingsNameKeepsBothModules) {
    project("p");
    module("a", "first");
    store.selectNode(module("b", "second"));
    dialogs.inputAnswers.push_back("a");
    store.renameModule();
    EXPECT_EQ(store.exportText("p"), test::projectFileText("p", {{"a", "first"}, {"b", "second"}}));
}

TEST_F(Export, FileThatWouldNotImportBackIsRefusedAndNothingWritten) {
    const std::string exported = test::projectFileText("inner", {{"x", "var x=1;"}});
    struct Case {
        std::vector<std::pair<std::string, std::string>> modules;
        std::string unstorable;  // "" when the export goes through
    };
    for (const Case& c : std::vector<Case>{
             // The header line of "end game" reads as the END line: the project would end there.
             {{{"first", "1"}, {"end game", "2"}, {"last", "3"}}, "end game"},
             {{{"first", "1"}, {"End  x", "2"}}, "End  x"},
             // Code holding a project file, or just a module header, would be split on import.
             {{{"pasted", exported}, {"after", "2"}}, "pasted"},
             {{{"m", "a\r\n" + kSep + "\r\n//  other.js\r\n" + kSep + "\r\nb"}}, "m"},
             // What the format does hold: trailing line breaks, separators alone, spaces in names.
             {{{"m", "x\r\n\r\n"}, {"n", kSep + "\r\n" + kSep}}, ""},
             {{{"my module", "1"}}, ""},
         }) {
        ScriptedDialogs d;
        ProjectStore s(d, [](const std::string& name, std::string code) {
            return std::make_unique<MemoryPage>(name, code);
        });
        s.selectNode(s.addProjectCore("my demo"));
        for (const auto& [name, code] : c.modules)
            ASSERT_NE(s.addModuleCore(name, code), kNoNode);
        std::remove(target.c_str());
        d.saveAnswers.push_back(target);
        const bool written = s.exportProject("my demo");
        const ProjectStore::CheckedExport checked = s.checkedExportBytes("my demo");
        if (c.unstorable.empty()) {
            EXPECT_TRUE(written) << (d.messages().empty() ? "" : d.messages().back());
            EXPECT_TRUE(checked.ok());
            continue;
        }
        EXPECT_FALSE(written) << c.unstorable;
        EXPECT_FALSE(std::filesystem::exists(target)) << c.unstorable;
        ASSERT_EQ(d.records.size(), 1u) << "no save dialog before the refusal";
        EXPECT_EQ(d.records[0].text.rfind("导出失败: 模块[" + c.unstorable + "]", 0), 0u) << d.records[0].text;
        EXPECT_EQ(d.records[0].title, "错误");
        EXPECT_FALSE(checked.ok());
        EXPECT_TRUE(checked.bytes.empty());
    }
}

TEST_F(Export, NamesWithPathCharactersExportTheirCode) {
    for (const std::string name : {"v1.0", "a[1]", "x]", "c\\d"}) {
        project(name);
        module("m", "code");
        EXPECT_NE(store.exportText(name).find("m.js\r\n" + kSep + "\r\ncode"), std::string::npos) << name;
    }
}

TEST_F(Export, WritesGb18030SoEveryCharacterSurvives) {
    project("中文");
    module("m", "var s='中" + kEmoji + "';");
    dialogs.saveAnswers.push_back(target);
    store.exportProject("中文");
    const std::string bytes = readFile(target);
    EXPECT_NE(bytes.find("\xD6\xD0\xCE\xC4"), std::string::npos) << "GBK bytes for the project name";
    EXPECT_EQ(bytes.find('?'), std::string::npos);
    EXPECT_EQ(text::fromGb18030(bytes), test::projectFileText("中文", {{"m", "var s='中" + kEmoji + "';"}}));
}

TEST_F(Export, FailedWriteKeepsTheOldFileAndSaysSo) {
    project("p");
    module("m", "new code, longer than the file size limit below");
    writeFile(target, "old file");
    store.setLastExportPath(target);
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    // A file size limit makes the write fail for any user, root included.
    struct rlimit saved {};
    ::getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit tiny = saved;
    tiny.rlim_cur = 16;
    auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    const bool written = store.exportProject("p");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(written);
    EXPECT_EQ(readFile(target), "old file");
    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].rfind("导出失败: ", 0), 0u) << dialogs.messages()[1];
    EXPECT_EQ(dialogs.records.back().title, "错误");
    EXPECT_EQ(store.lastExportPath(), target);
    // No temporary file is left beside the target.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(Export, WriteIntoAMissingDirectoryReportsTheReason) {
    project("p");
    dialogs.saveAnswers.push_back(dir + "/no/such/dir/x.js");
    EXPECT_FALSE(store.exportProject("p"));
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_NE(dialogs.messages()[0].find("导出失败: "), std::string::npos);
    EXPECT_NE(dialogs.messages()[0].find("No such file"), std::string::npos) << dialogs.messages()[0];
}

TEST_F(Export, CurrentProjectWithoutAPageDoesNothing) {
    project("p");
    EXPECT_FALSE(store.exportCurrentProject());
    EXPECT_TRUE(dialogs.records.empty());
}

TEST_F(Export, CrashSavePointTellsThenExports) {
    project("p");
    store.selectNode(module("m", "unsaved work"));
    dialogs.saveAnswers.push_back(target);
    store.crashSavePoint();
    ASSERT_GE(dialogs.records.size(), 2u);
    EXPECT_EQ(dialogs.records[0].text, "程序崩溃,请选择项目保存点");
    EXPECT_EQ(dialogs.records[0].buttons, MessageButtons::Ok);
    EXPECT_EQ(dialogs.records[0].icon, MessageIcon::None);
    EXPECT_EQ(readFile(target), test::projectFileText("p", {{"m", "unsaved work"}}));
}

TEST_F(Export, CrashSavePointWithoutAPageOnlyTells) {
    store.crashSavePoint();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"程序崩溃,请选择项目保存点"});
    EXPECT_EQ(dialogs.records.size(), 1u);
}

class Import : public StoreFixture {
protected:
    std::string dir = freshDirectory("import");
    std::string write(const std::string& name, const std::string& bytes) {
        writeFile(dir + "/" + name, bytes);
        return dir + "/" + name;
    }
};

TEST_F(Import, CreatesProjectModulesNodesAndPages) {
    const std::string path = write("demo.js", test::projectFileText("demo", {{"main", "var a=1;"}, {"util", "function u(){}"}}));
    ImportResult r = store.importFile(path);
    EXPECT_EQ(r.outcome, ImportOutcome::Imported);
    EXPECT_EQ(r.project, "demo");
    EXPECT_TRUE(dialogs.records.empty());
    EXPECT_EQ(json(), "{\"demo\":{\"js\":[\"main\",\"util\"]}}");
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"demo_main.js", "demo_util.js"}));
    EXPECT_EQ(store.page(1)->getText(), "var a=1;\r\n\r\n\r\n\r\n");
    EXPECT_EQ(store.page(2)->getText(), "function u(){}\r\n");
    EXPECT_EQ(store.tree().selected(), nodeOf("demo"));
    EXPECT_EQ(childTexts(nodeOf("demo")), (std::vector<std::string>{"main.js", "util.js"}));
    EXPECT_EQ(childTexts(nodeOf("demo", "util")), (std::vector<std::string>{"方法", "属性"}));
}

TEST_F(Import, ExportImportRoundTripKeepsEveryCharacter) {
    project("rt");
    module("m", "var s='中" + kEmoji + "';");
    const std::string path = dir + "/rt.js";
    dialogs.saveAnswers.push_back(path);
    store.exportProject("rt");
    ProjectStore other(dialogs, [](const std::string& n, const std::string& c) {
        return std::make_unique<MemoryPage>(n, c);
    });
    ASSERT_EQ(other.importFile(path).outcome, ImportOutcome::Imported);
    EXPECT_EQ(other.page(1)->getText(), "var s='中" + kEmoji + "';\r\n");
}

TEST_F(Import, Utf8FileReadsAsUtf8AndGbkFileAsGb18030) {
    const std::string text = test::projectFileText("项目", {{"模块", "var s='中文';"}});
    store.importFile(write("utf8.js", text));
    dialogs.inputAnswers.push_back("second");
    store.importFile(write("gbk.js", text::toGb18030(text)));
    EXPECT_EQ(store.projectNames(), (std::vector<std::string>{"项目", "second"}));
    EXPECT_EQ(store.page(1)->getText(), "var s='中文';\r\n");
    EXPECT_EQ(store.page(2)->getText(), "var s='中文';\r\n");
}

TEST_F(Import, SpaceInTheProjectNameIsRemoved) {
    store.importFile(write("x.js", test::projectFileText("my demo", {})));
    EXPECT_EQ(store.projectNames(), std::vector<std::string>{"mydemo"});
}

TEST_F(Import, ExistingNameAsksForAnotherUntilItIsFree) {
    project("demo");
    project("demo2");
    dialogs.inputAnswers = {std::string("demo2"), std::string("demo3")};
    ImportResult r = store.importFile(write("d.js", test::projectFileText("demo", {{"m", "x"}})));
    EXPECT_EQ(r.outcome, ImportOutcome::Imported);
    EXPECT_EQ(r.project, "demo3");
    EXPECT_EQ(dialogs.messages(),
              (std::vector<std::string>{"重复的项目名称,请重新输入名称", "重复的项目名称,请重新输入名称"}));
    EXPECT_EQ(dialogs.records[0].title, "错误");
    EXPECT_EQ(dialogs.records[1].text, "请输入项目名称");
    EXPECT_EQ(dialogs.records[1].title, "项目名称");
    EXPECT_EQ(pageNames(), std::vector<std::string>{"demo3_m.js"});
}

TEST_F(Import, EmptyOrCancelledNewNameEndsTheImport) {
    project("demo");
    for (std::optional<std::string> answer : {std::optional<std::string>(""), std::optional<std::string>()}) {
        dialogs.records.clear();
        dialogs.inputAnswers = {answer};
        ImportResult r = store.importFile(write("d.js", test::projectFileText("demo", {{"m", "x"}})));
        EXPECT_EQ(r.outcome, ImportOutcome::Refused);
        EXPECT_EQ(dialogs.messages(),
                  (std::vector<std::string>{"重复的项目名称,请重新输入名称", "错误的导入操作"}));
        EXPECT_EQ(dialogs.records.back().title, "错误");
        EXPECT_EQ(dialogs.records.back().icon, MessageIcon::Warning);
    }
    EXPECT_EQ(store.projectNames(), std::vector<std::string>{"demo"});
    EXPECT_EQ(store.pageCount(), 0);
}

TEST_F(Import, NoModuleHeadersGivesAnEmptyProject) {
    ImportResult r = store.importFile(write("e.js", test::projectFileText("empty", {})));
    EXPECT_EQ(r.outcome, ImportOutcome::Imported);
    EXPECT_EQ(json(), "{\"empty\":{\"js\":[]}}");
    EXPECT_EQ(store.pageCount(), 0);
}

TEST_F(Import, OtherExtensionAsksFirst) {
    const std::string path = write("notes.txt", test::projectFileText("t", {}));
    EXPECT_EQ(store.importFile(path).outcome, ImportOutcome::Declined);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"导入的不是Js文件,是否继续导入?"});
    EXPECT_EQ(dialogs.records[0].title, "警告");
    EXPECT_EQ(dialogs.records[0].icon, MessageIcon::Warning);
    EXPECT_EQ(dialogs.records[0].buttons, MessageButtons::YesNo);
    EXPECT_TRUE(store.projectNames().empty());
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);
    EXPECT_EQ(store.importFile(path).outcome, ImportOutcome::Imported);
}

TEST_F(Import, UpperCaseJsDoesNotAsk) {
    store.importFile(write("UP.JS", test::projectFileText("up", {})));
    store.importFile(write("mixed.Js", test::projectFileText("mixed", {})));
    EXPECT_TRUE(dialogs.records.empty());
    EXPECT_EQ(store.projectNames().size(), 2u);
}

TEST_F(Import, RepeatedModuleIsSkippedAfterTheWarning) {
    ImportResult r = store.importFile(write("r.js", test::projectFileText("p", {{"m", "first"}, {"m", "second"}, {"n", "third"}})));
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"名称重复[m]！请重新命名"});
    EXPECT_EQ(r.modules, (std::vector<std::string>{"m", "n"}));
    EXPECT_EQ(r.skipped, std::vector<std::string>{"m"});
    EXPECT_EQ(store.page(store.findPage("p", "m"))->getText(), "first\r\n\r\n\r\n\r\n");
    EXPECT_EQ(store.page(store.findPage("p", "n"))->getText(), "third\r\n");
}

TEST_F(Import, FileWithoutProjectChangesNothingAndSaysSo) {
    ImportResult r = store.importFile(write("plain.js", "var a = 1;\r\n"));
    EXPECT_EQ(r.outcome, ImportOutcome::NoProject);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"导入失败: 文件中没有项目"});
    EXPECT_EQ(json(), "{}");
}

TEST_F(Import, BytesWithoutProjectAreLeftToTheCaller) {
    ImportResult r = store.importBytes("var a = 1;\r\n");
    EXPECT_EQ(r.outcome, ImportOutcome::NoProject);
    EXPECT_TRUE(dialogs.records.empty());
    EXPECT_EQ(json(), "{}");
}

TEST_F(Import, PlainScriptBecomesAProjectOfOneModuleWhenAsked) {
    const std::string path = write("crypto.min.js", "var k = \"中\";\r\n");
    project("crypto.min");
    module("kept", "existing");
    // The name is taken: asked for another, as for any import; the existing project stays.
    dialogs.inputAnswers.push_back("second");
    ImportResult r = store.importFile(path, PlainScript::AsModule);
    ASSERT_EQ(r.outcome, ImportOutcome::Imported);
    EXPECT_EQ(r.project, "second");
    EXPECT_EQ(r.modules, std::vector<std::string>{"crypto.min"});
    EXPECT_EQ(store.moduleNames("crypto.min"), std::vector<std::string>{"kept"});
    EXPECT_EQ(store.page(store.findPage("second", "crypto.min"))->getText(), "var k = \"中\";\r\n");

    // Showing the first module selects its node and shows its page.
    EXPECT_TRUE(store.showFirstModule("second"));
    EXPECT_EQ(store.tree().selected(), store.moduleNode("second", "crypto.min"));
    EXPECT_EQ(store.currentPagePosition(), store.findPage("second", "crypto.min"));
    EXPECT_FALSE(store.showFirstModule("missing"));

    // A project script file is still imported as a project.
    r = store.importFile(write("p.js", test::projectFileText("proj", {{"m", "1"}})), PlainScript::AsModule);
    EXPECT_EQ(r.project, "proj");
    // A file whose name gives no project name is refused with a message.
    r = store.importFile(write("   .js", "var a;"), PlainScript::AsModule);
    EXPECT_EQ(r.outcome, ImportOutcome::NoProject);
    EXPECT_EQ(dialogs.messages().back().rfind("导入失败: ", 0), 0u);
}

TEST_F(Import, BlankModuleNamesAreSkippedWithAWarning) {
    ImportResult r = store.importBytes(test::projectFileText("p", {{" ", "lost?"}, {"m", "1"}}));
    ASSERT_EQ(r.outcome, ImportOutcome::Imported);
    EXPECT_EQ(r.skipped, std::vector<std::string>{""});
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"m"});
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"名称不能为空！请重新命名"});
}

TEST_F(Import, UnreadableFileChangesNothingAndSaysWhy) {
    ImportResult r = store.importFile(dir + "/missing.js");
    EXPECT_EQ(r.outcome, ImportOutcome::Unreadable);
    ASSERT_EQ(dialogs.messages().size(), 1u);
    EXPECT_EQ(dialogs.messages()[0].rfind("导入失败: ", 0), 0u);
    EXPECT_NE(dialogs.messages()[0].find("missing.js"), std::string::npos);
    EXPECT_EQ(json(), "{}");
}

TEST_F(Import, ImportedProjectWithPathCharactersIsFullyUsable) {
    store.importFile(write("v.js", test::projectFileText("v1.2[x]", {{"m", "code"}})));
    EXPECT_EQ(store.moduleNames("v1.2[x]"), std::vector<std::string>{"m"});
    EXPECT_EQ(store.exportText("v1.2[x]"), test::projectFileText("v1.2[x]", {{"m", "code\r\n"}}));
}
