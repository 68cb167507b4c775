// The user's commands on the project tree, with the exact texts they show.
#include <algorithm>
#include "StoreFixture.h"

using namespace quillbox;
using quillbox::test::StoreFixture;

namespace {
const std::string kPickParent = "请选中父\\子项目后再进行操作";
}

using AddProject = StoreFixture;

TEST_F(AddProject, AsksForTheNameAndSelectsTheNewProject) {
    dialogs.inputAnswers.push_back("demo");
    store.addProject();
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.records[0].text, "请输入项目名称");
    EXPECT_EQ(dialogs.records[0].title, "项目名称") << "the pre-filled text";
    EXPECT_EQ(json(), "{\"demo\":{\"js\":[]}}");
    const NodeId node = nodeOf("demo");
    ASSERT_NE(node, kNoNode);
    EXPECT_EQ(store.tree().selected(), node);
    const TreeNode* n = store.tree().node(node);
    EXPECT_EQ(n->image, 1);
    EXPECT_EQ(n->selectedImage, 1);
    EXPECT_EQ(n->value, 1);
    EXPECT_EQ(layoutRefreshes, 1);
}

TEST_F(AddProject, TwoProjectsKeepTheirOrder) {
    dialogs.inputAnswers = {std::string("x"), std::string("y")};
    store.addProject();
    store.addProject();
    EXPECT_EQ(json(), "{\"x\":{\"js\":[]},\"y\":{\"js\":[]}}");
    ASSERT_EQ(store.tree().topLevel().size(), 2u);
    EXPECT_EQ(store.tree().text(store.tree().topLevel()[0]), "x");
    EXPECT_EQ(store.tree().text(store.tree().topLevel()[1]), "y");
}

TEST_F(AddProject, DuplicateNameIsRefused) {
    project("demo");
    dialogs.inputAnswers.push_back("demo");
    store.addProject();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"名称重复！请重新命名"});
    EXPECT_EQ(dialogs.records.back().title, "警告");
    EXPECT_EQ(dialogs.records.back().icon, MessageIcon::Warning);
    EXPECT_EQ(store.tree().topLevel().size(), 1u);
}

TEST_F(AddProject, EmptyOrCancelledAnswerChangesNothing) {
    dialogs.inputAnswers = {std::string(""), std::nullopt};
    store.addProject();
    store.addProject();
    EXPECT_EQ(json(), "{}");
    EXPECT_TRUE(store.tree().topLevel().empty());
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST_F(AddProject, NamesWithPathCharactersKeepTheirModules) {
    for (const std::string name : {"a.b", "a[0]", "x]y", "back\\slash", "a_b"}) {
        project(name);
        module("m", "code of " + name);
        EXPECT_EQ(store.moduleNames(name), std::vector<std::string>{"m"}) << name;
        EXPECT_EQ(store.moduleCount(name), 1u) << name;
    }
    EXPECT_EQ(store.projectNames(), (std::vector<std::string>{"a.b", "a[0]", "x]y", "back\\slash", "a_b"}));
}

using AddModule = StoreFixture;

TEST_F(AddModule, AsksWithTheProjectNameAndShowsTheNewPage) {
    project("demo");
    dialogs.inputAnswers.push_back("util");
    store.addModule();
    ASSERT_EQ(dialogs.records.size(), 1u);
    EXPECT_EQ(dialogs.records[0].text, "当前项目(demo)请输入子项目名称");
    EXPECT_EQ(dialogs.records[0].title, "模块名称");
    EXPECT_EQ(json(), "{\"demo\":{\"js\":[\"util\"]}}");
    const NodeId node = nodeOf("demo", "util");
    ASSERT_NE(node, kNoNode);
    EXPECT_EQ(store.tree().selected(), node);
    EXPECT_EQ(childTexts(node), (std::vector<std::string>{"方法", "属性"}));
    const std::vector<NodeId>& groups = store.tree().children(node);
    EXPECT_EQ(store.tree().value(groups[0]), 5);
    EXPECT_EQ(store.tree().value(groups[1]), 6);
    EXPECT_EQ(store.tree().node(groups[1])->image, 5);
    EXPECT_EQ(store.tree().node(node)->image, 2);
    EXPECT_EQ(pageNames(), std::vector<std::string>{"demo_util.js"});
    EXPECT_EQ(store.currentPagePosition(), 1);
    EXPECT_EQ(titles, std::vector<std::string>{"demo_util.js"});
    EXPECT_EQ(ProjectStore::titleText(titles[0]), "Quillbox 1.30 By : Zorvan (当前项目:demo_util.js)");
}

TEST_F(AddModule, FromAModuleNodeAddsToItsProject) {
    project("demo");
    store.selectNode(module("a"));
    dialogs.inputAnswers.push_back("b");
    store.addModule();
    EXPECT_EQ(store.moduleNames("demo"), (std::vector<std::string>{"a", "b"}));
}

TEST_F(AddModule, SameNameTwiceIsRefusedAndCreatesNothing) {
    project("demo");
    module("util");
    dialogs.inputAnswers.push_back("util");
    store.addModule();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"名称重复[util]！请重新命名"});
    EXPECT_EQ(store.pageCount(), 1);
    EXPECT_EQ(store.tree().children(nodeOf("demo")).size(), 1u);
    EXPECT_EQ(json(), "{\"demo\":{\"js\":[\"util\"]}}");
}

TEST_F(AddModule, NamesThatJsonEscapesAreStillFoundAsDuplicates) {
    project("demo");
    module("a/b");
    module("say \"hi\"");
    EXPECT_EQ(module("a/b"), kNoNode);
    EXPECT_EQ(module("say \"hi\""), kNoNode);
    EXPECT_EQ(store.pageCount(), 2);
}

TEST_F(AddModule, NothingOrAGroupSelectedIsRefused) {
    store.addModule();
    project("demo");
    const NodeId m = module("m");
    store.selectNode(store.tree().children(m)[0]);  // "方法"
    store.addModule();
    EXPECT_EQ(dialogs.messages(), (std::vector<std::string>{kPickParent, kPickParent}));
    EXPECT_EQ(module("x"), kNoNode) << "the core checks the selection too";
    EXPECT_EQ(dialogs.messages().size(), 3u);
    EXPECT_EQ(store.pageCount(), 1);
}

TEST_F(AddModule, SameModuleNameInTwoProjectsIsFine) {
    project("a");
    module("m", "A");
    project("b");
    module("m", "B");
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"a_m.js", "b_m.js"}));
    EXPECT_EQ(store.page(store.findPage("b", "m"))->getText(), "B");
}

using DeleteProject = StoreFixture;

TEST_F(DeleteProject, RemovesPagesMemberAndNodes) {
    project("keep");
    module("k");
    project("gone");
    module("a");
    module("b");
    store.selectNode(nodeOf("gone"));
    store.deleteProject();
    EXPECT_TRUE(dialogs.messages().empty()) << "empty pages are removed without asking";
    EXPECT_EQ(pageNames(), std::vector<std::string>{"keep_k.js"});
    EXPECT_EQ(store.findPage("keep", "k"), 1);
    EXPECT_EQ(json(), "{\"keep\":{\"js\":[\"k\"]}}");
    EXPECT_EQ(store.tree().topLevel().size(), 1u);
    EXPECT_EQ(store.currentPagePosition(), 1) << "page 1 is shown after a removal";
}

// A project goes whole or not at all, after one question that names how many modules it holds.
TEST_F(DeleteProject, OneQuestionThenAllOrNothing) {
    project("other");
    module("o", "kept");
    const NodeId p = project("p");
    module("a", "1");
    module("b", "");
    module("c", "3");
    store.selectNode(p);
    dialogs.yesNoAnswers = {MessageAnswer::No};
    store.deleteProject();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"项目[p]中还有代码(共3个模块),确定删除吗？"});
    EXPECT_EQ(dialogs.records[0].icon, MessageIcon::None);
    EXPECT_EQ(dialogs.records[0].buttons, MessageButtons::YesNo);
    // No: nothing changed, every module with its node and page.
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"other_o.js", "p_a.js", "p_b.js", "p_c.js"}));
    EXPECT_EQ(json(), "{\"other\":{\"js\":[\"o\"]},\"p\":{\"js\":[\"a\",\"b\",\"c\"]}}");
    EXPECT_EQ(childTexts(nodeOf("p")), (std::vector<std::string>{"a.js", "b.js", "c.js"}));

    std::vector<int> shown;
    store.onPageShown = [&](int position) { shown.push_back(position); };
    store.selectNode(nodeOf("p", "c"));
    store.selectNode(p);
    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    store.deleteProject();
    EXPECT_EQ(dialogs.messages().size(), 2u) << "one more question, not one per module";
    EXPECT_EQ(pageNames(), std::vector<std::string>{"other_o.js"});
    EXPECT_EQ(json(), "{\"other\":{\"js\":[\"o\"]}}");
    EXPECT_EQ(nodeOf("p"), kNoNode);
    // The shown module went: the window is told that page 1 is shown now.
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 1);
    EXPECT_EQ(store.currentPagePosition(), 1);
    // The name is free again.
    EXPECT_NE(project("p"), kNoNode);
}

TEST_F(DeleteProject, ManyModulesOneQuestion) {
    project("keep");
    module("k", "kept");
    const NodeId big = project("big");
    for (int i = 0; i < 500; ++i)
        module("m" + std::to_string(i), "var m" + std::to_string(i) + ";");
    store.selectNode(big);
    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    store.deleteProject();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"项目[big]中还有代码(共500个模块),确定删除吗？"});
    EXPECT_EQ(store.pageCount(), 1);
    EXPECT_EQ(store.projectNames(), std::vector<std::string>{"keep"});
}

TEST_F(DeleteProject, EitherAnswerKeepsNodesAndPagesTogether) {
    using A = MessageAnswer;
    for (const A answer : {A::No, A::Yes}) {
        ScriptedDialogs d;
        ProjectStore s(d, [](const std::string& name, std::string code) {
            return std::make_unique<MemoryPage>(name, code);
        });
        std::vector<int> shown;
        s.onPageShown = [&](int position) { shown.push_back(position); };
        s.selectNode(s.addProjectCore("other"));
        s.addModuleCore("o", "");
        const NodeId p = s.addProjectCore("p");
        s.selectNode(p);
        for (const char* m : {"a", "b", "c"})
            s.addModuleCore(m, "code");
        s.selectNode(p);
        d.yesNoAnswers = {answer};
        s.deleteProject();
        const bool gone = answer == A::Yes;
        const std::vector<std::string> all{"a", "b", "c"};
        // Each module left has its node, its document entry and exactly one page.
        EXPECT_EQ(s.moduleNames("p"), gone ? std::vector<std::string>{} : all);
        EXPECT_EQ(s.hasProject("p"), !gone);
        EXPECT_EQ(s.pageCount(), gone ? 1 : 4);
        for (const std::string& m : all) {
            EXPECT_EQ(s.moduleNode("p", m) != kNoNode, !gone) << m;
            EXPECT_EQ(s.findPage("p", m) != 0, !gone) << m;
        }
        // The other project's page, before the ones that went, still knows its module.
        EXPECT_EQ(s.findPage("other", "o"), 1);
        EXPECT_EQ(s.projectOfPage(1), "other");
        EXPECT_EQ(s.moduleOfPage(1), "o");
        // What is shown afterwards is told to the window: page 1 when the project went.
        if (gone) {
            ASSERT_FALSE(shown.empty());
            EXPECT_EQ(shown.back(), 1);
            EXPECT_EQ(s.currentPagePosition(), 1);
        }
    }
}

TEST_F(DeleteProject, UnderscoreInTheNameFindsItsOwnPagesOnly) {
    project("a");
    module("b_m", "of a");
    project("a_b");
    module("m", "of a_b");
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"a_b_m.js", "a_b_m.js"}));
    store.selectNode(nodeOf("a_b"));
    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    store.deleteProject();
    ASSERT_EQ(store.pageCount(), 1);
    EXPECT_EQ(store.page(1)->getText(), "of a");
    EXPECT_EQ(store.projectNames(), std::vector<std::string>{"a"});
}

TEST_F(DeleteProject, NeedsAProjectSelected) {
    project("p");
    store.selectNode(module("m"));
    store.deleteProject();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"请选中项目后再进行操作"});
    EXPECT_EQ(store.pageCount(), 1);
}

TEST_F(DeleteProject, NameWithDotsIsRemovedWhole) {
    project("v1.2");
    module("m");
    store.selectNode(nodeOf("v1.2"));
    store.deleteProject();
    EXPECT_EQ(json(), "{}");
    EXPECT_EQ(store.pageCount(), 0);
}

using DeleteModules = StoreFixture;

// Several selected modules, of one project or more, go after one question, all or none.
TEST_F(DeleteModules, OneQuestionThenAllOrNothing) {
    const NodeId p = project("p");
    const NodeId a = module("a", "1");
    module("b", "2");
    const NodeId c = module("c", "");
    project("q");
    const NodeId x = module("x", "3");
    const std::vector<NodeId> picked{a, c, x, p, a};  // the project node and the repeat are ignored
    dialogs.yesNoAnswers = {MessageAnswer::No};
    store.deleteModules(picked);
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"项目[p_a.js,p_c.js,q_x.js]中还有代码(共3个模块),确定删除吗？"});
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"p_a.js", "p_b.js", "p_c.js", "q_x.js"}));
    EXPECT_EQ(json(), "{\"p\":{\"js\":[\"a\",\"b\",\"c\"]},\"q\":{\"js\":[\"x\"]}}");

    dialogs.yesNoAnswers = {MessageAnswer::Yes};
    store.deleteModules(picked);
    EXPECT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(pageNames(), std::vector<std::string>{"p_b.js"});
    EXPECT_EQ(json(), "{\"p\":{\"js\":[\"b\"]},\"q\":{\"js\":[]}}");
    EXPECT_EQ(childTexts(nodeOf("p")), std::vector<std::string>{"b.js"});
    EXPECT_TRUE(childTexts(nodeOf("q")).empty());
    EXPECT_EQ(store.currentPagePosition(), 1);
    // The names are free again.
    store.selectNode(nodeOf("p"));
    EXPECT_NE(module("a", "again"), kNoNode);
}

TEST_F(DeleteModules, EmptyModulesGoWithoutAQuestionAndOneIsDeleteModule) {
    project("p");
    const NodeId a = module("a");
    const NodeId b = module("b");
    const NodeId c = module("c", "code");
    store.deleteModules({a, b});
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"c"});
    dialogs.yesNoAnswers = {MessageAnswer::No};
    store.deleteModules({c});
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"项目[p_c.js]中还有代码,确定删除吗？"});
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"c"});
    store.deleteModules({});
    EXPECT_EQ(dialogs.messages().back(), "请选中子项目后再进行操作");
}

using DeleteModule = StoreFixture;

TEST_F(DeleteModule, MiddleOfThreeSelectsTheFirst) {
    project("p");
    const NodeId a = module("a");
    const NodeId b = module("b");
    module("c");
    store.selectNode(b);
    store.deleteModule();
    EXPECT_EQ(store.tree().selected(), a);
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"a", "c"}));
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"p_a.js", "p_c.js"}));
    EXPECT_EQ(store.currentPagePosition(), 1) << "the page of a is shown";
}

TEST_F(DeleteModule, FirstSelectsTheNextAndLastLeavesNothing) {
    project("p");
    const NodeId a = module("a");
    const NodeId b = module("b");
    store.selectNode(a);
    store.deleteModule();
    EXPECT_EQ(store.tree().selected(), b);
    store.deleteModule();
    EXPECT_EQ(store.tree().selected(), kNoNode);
    EXPECT_EQ(json(), "{\"p\":{\"js\":[]}}");
}

TEST_F(DeleteModule, NoToTheQuestionKeepsEverything) {
    project("p");
    store.selectNode(module("m", "code"));
    store.deleteModule();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"项目[p_m.js]中还有代码,确定删除吗？"});
    EXPECT_EQ(store.pageCount(), 1);
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"m"});
    EXPECT_NE(nodeOf("p", "m"), kNoNode);
}

TEST_F(DeleteModule, NameContainingDotJsIsRemovedFromTheDocument) {
    project("p");
    store.selectNode(module("a.jsx"));
    store.deleteModule();
    EXPECT_EQ(json(), "{\"p\":{\"js\":[]}}");
}

TEST_F(DeleteModule, NeedsAModuleSelected) {
    project("p");
    module("m");
    store.deleteModule();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"请选中子项目后再进行操作"});
}

using RenameModule = StoreFixture;

TEST_F(RenameModule, RenamesDocumentNodeAndPageInPlace) {
    project("p");
    module("a");
    const NodeId b = module("b");
    module("c");
    store.selectNode(b);
    dialogs.inputAnswers.push_back("z");
    store.renameModule();
    EXPECT_EQ(dialogs.records.back().text, "请输入子项目名称");
    EXPECT_EQ(dialogs.records.back().title, "模块名称");
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"a", "z", "c"}));
    EXPECT_EQ(store.tree().text(b), "z.js");
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"p_a.js", "p_z.js", "p_c.js"}));
    EXPECT_EQ(store.findPage("p", "z"), 2);
}

TEST_F(RenameModule, ToASiblingsNameIsRefusedAndChangesNothing) {
    project("p");
    module("a", "code of a");
    const NodeId b = module("b", "code of b");
    store.selectNode(b);
    dialogs.inputAnswers.push_back("a");
    store.renameModule();
    EXPECT_EQ(dialogs.messages(), std::vector<std::string>{"名称重复[a]！请重新命名"});
    EXPECT_EQ(dialogs.records.back().title, "警告");
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(store.tree().text(b), "b.js");
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"p_a.js", "p_b.js"}));
    EXPECT_EQ(store.page(store.findPage("p", "b"))->getText(), "code of b");

    // The old name becomes free and the new one taken.
    dialogs.inputAnswers.push_back("c");
    store.renameModule();
    store.selectNode(nodeOf("p"));
    EXPECT_NE(module("b"), kNoNode);
    EXPECT_EQ(module("c"), kNoNode);
    // Renaming to its own name is no change and no warning.
    store.selectNode(nodeOf("p", "a"));
    dialogs.records.clear();
    dialogs.inputAnswers.push_back("a");
    store.renameModule();
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"a", "c", "b"}));
}

TEST_F(RenameModule, BlankNamesAreRefusedWhereverANameEnters) {
    project("p");
    const NodeId m = module("m");
    for (const std::string& blank : {std::string(""), std::string("   "), std::string("\t \xE3\x80\x80")}) {
        store.selectNode(m);
        dialogs.inputAnswers = {blank};
        store.renameModule();
        dialogs.inputAnswers = {blank};
        store.addModule();
        dialogs.inputAnswers = {blank};
        store.addProject();
        EXPECT_EQ(module(blank), kNoNode);
    }
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"m"});
    EXPECT_EQ(store.projectNames(), std::vector<std::string>{"p"});
    EXPECT_EQ(store.pageCount(), 1);
    EXPECT_FALSE(ProjectStore::isBlankName(" a "));
}

TEST_F(RenameModule, OnlyOnAModuleAndNotWithAnEmptyName) {
    project("p");
    dialogs.inputAnswers.push_back("never asked");
    store.renameModule();
    EXPECT_TRUE(dialogs.records.empty());
    store.selectNode(module("m"));
    dialogs.inputAnswers = {std::string("")};
    store.renameModule();
    EXPECT_EQ(store.moduleNames("p"), std::vector<std::string>{"m"});
}

using MoveModule = StoreFixture;

TEST_F(MoveModule, UpMovesNodeAndDocumentButNotPages) {
    project("p");
    const NodeId a = module("a");
    const NodeId b = module("b");
    store.selectNode(b);
    store.moveModuleUp();
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"b", "a"}));
    EXPECT_EQ(store.tree().children(nodeOf("p")), (std::vector<NodeId>{b, a}));
    EXPECT_EQ(store.tree().selected(), b);
    EXPECT_EQ(pageNames(), (std::vector<std::string>{"p_a.js", "p_b.js"}));
}

TEST_F(MoveModule, UpOnTheFirstChangesNothing) {
    project("p");
    const NodeId a = module("a");
    module("b");
    store.selectNode(a);
    store.moveModuleUp();
    EXPECT_EQ(json(), "{\"p\":{\"js\":[\"a\",\"b\"]}}");
}

TEST_F(MoveModule, DownIsTheMirrorOfUp) {
    project("p");
    const NodeId a = module("a");
    const NodeId b = module("b");
    const NodeId c = module("c");
    store.selectNode(a);
    store.moveModuleDown();
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"b", "a", "c"}));
    EXPECT_EQ(store.tree().children(nodeOf("p")), (std::vector<NodeId>{b, a, c}));
    store.moveModuleDown();
    store.moveModuleDown();  // already last
    EXPECT_EQ(store.moduleNames("p"), (std::vector<std::string>{"b", "c", "a"}));
    EXPECT_EQ(store.tree().children(nodeOf("p")), (std::vector<NodeId>{b, c, a}));
}

TEST_F(MoveModule, OnlyModulesMove) {
    project("p");
    module("a");
    store.selectNode(nodeOf("p"));
    store.moveModuleUp();
    store.moveModuleDown();
    EXPECT_TRUE(dialogs.records.empty());
    EXPECT_EQ(json(), "{\"p\":{\"js\":[\"a\"]}}");
}

using SelectModule = StoreFixture;

TEST_F(SelectModule, ShowsExactlyItsPage) {
    project("p");
    const NodeId a = module("a");
    const NodeId b = module("b");
    store.selectNode(b);
    EXPECT_EQ(store.currentPagePosition(), 2);
    EXPECT_FALSE(store.page(1)->visible());
    store.selectNode(a);
    EXPECT_EQ(store.currentPagePosition(), 1);
    EXPECT_FALSE(store.page(2)->visible());
    EXPECT_EQ(titles, (std::vector<std::string>{"p_b.js", "p_a.js"}));
    EXPECT_EQ(store.currentProject(), "p");
}

TEST_F(SelectModule, OtherNodesLeaveThePagesAlone) {
    project("p");
    store.selectNode(module("a"));
    store.selectNode(nodeOf("p"));
    EXPECT_EQ(store.currentPagePosition(), 1);
    EXPECT_EQ(titles.size(), 1u);
}

TEST_F(SelectModule, ProjectOfAPageIsTheStoredOne) {
    project("a_b");
    store.selectNode(module("m"));
    EXPECT_EQ(store.currentProject(), "a_b");
    EXPECT_EQ(store.moduleOfPage(1), "m");
}
