#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <memory>

#include "support/LoaderFixture.h"
#include "support/WhileStopping.h"
#include "core/engine/ResultTree.h"

using namespace quillbox;
using namespace quillbox::engine;

namespace {

class CodeLoaderTest : public test::LoaderFixture {
protected:
    // Texts of the items under a module's group ("方法" or "属性").
    std::vector<std::string> listed(const std::string& project, const std::string& module, const char* group) {
        std::vector<std::string> out;
        const NodeId g = store.tree().findChild(module + ".js", group);
        (void)project;
        for (NodeId n : store.tree().children(g))
            out.push_back(store.tree().text(n));
        return out;
    }

    std::vector<std::string> membersOf(const std::string& object) {
        std::vector<std::string> out;
        const NodeId g = store.tree().findChild("属性", object);
        for (NodeId n : store.tree().children(g))
            out.push_back(store.tree().text(n));
        return out;
    }
};

using Lines = std::vector<std::string>;

TEST_F(CodeLoaderTest, NativeLoadReportsEachModuleAndListsItsNames) {
    addProject("demo", {{"a", "function f() { return 1; }\nvar obj = {x: 1, y: 2};"},
                        {"b", "function g() { return f() + 1; }\nvar text = 'abc';"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), (Lines{">>demo_a.js：加载成功", ">>demo_b.js：加载成功", ">>[demo] 加载成功"}));
    EXPECT_EQ(output.currentTab(), 1);
    // Each module's listing holds everything defined up to and including it.
    EXPECT_EQ(listed("demo", "a", "方法"), (Lines{"f"}));
    EXPECT_EQ(listed("demo", "b", "方法"), (Lines{"f", "g"}));
    EXPECT_EQ(listed("demo", "b", "属性"), (Lines{"obj"}));
    EXPECT_EQ(membersOf("obj"), (Lines{"x", "y"}));
    ASSERT_EQ(loader.listings().size(), 2u);
    EXPECT_EQ(loader.listings()[1].module, "demo_b.js");
    EXPECT_EQ(loader.listings()[1].objects[0].members, (Lines{"x", "y"}));
    // Node values tell functions, objects and members apart.
    const NodeId f = store.tree().findChild("方法", "f");
    EXPECT_EQ(store.tree().value(f), node_value::kFunction);
    EXPECT_EQ(store.tree().value(store.tree().findChild("属性", "obj")), node_value::kObject);
    EXPECT_EQ(store.tree().value(store.tree().findChild("obj", "x")), node_value::kMember);
}

TEST_F(CodeLoaderTest, NativeLoadStopsAtAFailingModuleAndLeavesTheEngineEmpty) {
    addProject("demo", {{"a", "function f() { return 1; }"},
                        {"b", "var ok = 1;\nvar broken = ;\nvar after = 2;"},
                        {"c", "function never() {}"}});
    EXPECT_FALSE(loader.load(kNativeEngine));
    const Lines lines = output.texts();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], ">>demo_a.js：加载成功");
    EXPECT_EQ(lines[1], ">>发生错误：1002");
    EXPECT_EQ(lines[2].rfind(">>错误描述：", 0), 0u);
    EXPECT_EQ(lines[3], ">>错误位置：2行0字符");
    EXPECT_EQ(lines[4], ">>错误代码：var broken = ;");
    EXPECT_EQ(output.currentTab(), 0);
    // The failing module's page is the one shown, with the failing line selected.
    Page* b = store.page(store.findPage("demo", "b"));
    EXPECT_EQ(store.currentPage(), b);
    EXPECT_EQ(b->selectedText(), "var broken = ;");
    // The first module was listed; nothing stays loaded.
    EXPECT_EQ(listed("demo", "a", "方法"), (Lines{"f"}));
    EXPECT_EQ(native.Eval("typeof f").text(), "undefined");
}

TEST_F(CodeLoaderTest, NativeLoadRefusesNewerSyntaxWithTheLineLocated) {
    addProject("p", {{"m", "var a = 1;\nvar b = 2;\nlet c = 3;"}});
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts()[2], ">>错误位置：3行0字符");
    EXPECT_EQ(output.texts()[3], ">>错误代码：let c = 3;");
}

TEST_F(CodeLoaderTest, AnErrorWithoutALineSaysTheModuleFailed) {
    addProject("p", {{"m", "throw 'no line';"}});
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts()[0], ">>p_m.js：加载失败");
    EXPECT_EQ(output.texts()[1], ">>发生错误：5022");
}

TEST_F(CodeLoaderTest, TheProjectOfTheCurrentPageIsLoadedEvenWithAnUnderscoreInItsName) {
    addProject("a", {{"x", "function fromA() {}"}});
    addProject("a_b", {{"c", "function fromAB() {}"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), (Lines{">>a_b_c.js：加载成功", ">>[a_b] 加载成功"}));
    EXPECT_EQ(native.Eval("typeof fromA").text(), "undefined");
    EXPECT_EQ(native.Eval("typeof fromAB").text(), "function");
}

TEST_F(CodeLoaderTest, WithoutACurrentPageLoadAndEvaluateDoNothing) {
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_EQ(loader.evaluate("1", kNativeEngine), Evaluation::Nothing);
    EXPECT_TRUE(output.lines.empty());
}

TEST_F(CodeLoaderTest, AnObjectShowsThirtyMembersThenTooMany) {
    addProject("p", {{"m", "var big = {}; for (var i = 0; i < 31; i++) big['k' + i] = i;\n"
                           "var exact = {}; for (var j = 0; j < 30; j++) exact['e' + j] = j;"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    const Lines big = membersOf("big");
    ASSERT_EQ(big.size(), 31u);
    EXPECT_EQ(big[29], "k29");
    EXPECT_EQ(big[30], "成员过多");
    const Lines exact = membersOf("exact");
    EXPECT_EQ(exact.size(), 30u);
    EXPECT_EQ(exact.back(), "e29");
}

// A load makes no item per listed name: a module's groups get theirs when first opened, and
// an object its members. What they then show is what the listing held for that module.
TEST_F(CodeLoaderTest, AListingMakesItsItemsWhenTheyAreOpened) {
    std::vector<std::pair<std::string, std::string>> modules;
    for (int i = 0; i < 40; ++i) {
        const std::string n = std::to_string(i);
        modules.push_back({"m" + n, "function f" + n + "() {}\nvar o" + n + " = {k" + n + ": 1};"});
    }
    addProject("p", modules);
    std::size_t added = 0;
    store.tree().observer = [&](TreeEvent event, NodeId) { added += event == TreeEvent::Added; };
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(added, 0u) << "nothing is made before it is looked at";
    const ProjectTree& tree = store.tree();
    const NodeId methods = tree.node(store.moduleNode("p", "m10"))->children[0];
    const NodeId properties = tree.node(store.moduleNode("p", "m10"))->children[1];
    EXPECT_TRUE(tree.hasLazyChildren(methods));
    EXPECT_TRUE(tree.node(methods)->children.empty());
    const std::vector<NodeId> functions = tree.children(methods);
    ASSERT_EQ(functions.size(), 11u);
    EXPECT_EQ(tree.text(functions.back()), "f10");
    EXPECT_FALSE(tree.hasLazyChildren(methods));
    const std::vector<NodeId> objects = tree.children(properties);
    ASSERT_EQ(objects.size(), 11u);
    EXPECT_EQ(added, 22u) << "only m10's functions and objects, no members yet";
    EXPECT_TRUE(tree.hasLazyChildren(objects[3]));
    ASSERT_EQ(tree.children(objects[3]).size(), 1u);
    EXPECT_EQ(tree.text(tree.children(objects[3])[0]), "k3");
    EXPECT_EQ(tree.value(tree.children(objects[3])[0]), node_value::kMember);
    // A group with nothing listed under it has no children to make.
    addProject("q", {{"empty", "var n = 1;"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    const NodeId empty = store.moduleNode("q", "empty");
    for (NodeId group : store.tree().node(empty)->children)
        EXPECT_FALSE(store.tree().hasLazyChildren(group));
}

// Members are read once, when first wanted after the load: a later module that adds to an
// earlier module's object shows under both (the object is the same one), and an object a
// later module replaces keeps, under the earlier module, the members it had.
TEST_F(CodeLoaderTest, MembersAreThoseOfTheObjectEachModuleListed) {
    addProject("p", {{"a", "var NS = {first: 1}; var cfg = {old: 1};"},
                     {"b", "NS.second = 2; cfg = {fresh: 1};"}});
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        if (engine == kChakraEngine && !ChakraCore::libraryLoaded())
            continue;
        SCOPED_TRACE(engineName(engine));
        ASSERT_TRUE(loader.load(engine));
        const auto& listings = loader.listings();
        ASSERT_EQ(listings.size(), 2u);
        const auto members = [&](std::size_t module, const std::string& name) {
            for (const ListedObject& o : listings[module].objects)
                if (o.name == name)
                    return o.members;
            return Lines{"(not listed)"};
        };
        EXPECT_EQ(members(0, "NS"), (Lines{"first", "second"}));
        EXPECT_EQ(members(1, "NS"), (Lines{"first", "second"}));
        EXPECT_EQ(members(0, "cfg"), (Lines{"old"}));
        EXPECT_EQ(members(1, "cfg"), (Lines{"fresh"}));
    }
}

// quillbox-cli run lists nothing: the load says the same and the code runs the same.
TEST_F(CodeLoaderTest, ALoadWithoutListingReportsTheSame) {
    addProject("p", {{"a", "function f() { return 1; }\nvar o = {x: 1};"}, {"b", "var g = function () { return f() + 1; };"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    const Lines listedLines = output.texts();
    output.lines.clear();
    loader.setListing(false);
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), listedLines);
    EXPECT_TRUE(loader.listings().empty());
    EXPECT_EQ(listed("p", "b", "方法"), Lines{});
    EXPECT_EQ(native.Eval("g()").text(), "2");
}

TEST_F(CodeLoaderTest, TheListingLeavesOutQuillboxAndTheHiddenObjects) {
    addProject("p", {{"m", "var _a = {x: 1}; var $$ = {y: 2}; var kept = {z: 3}; var zero = 0; var no = null;"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(listed("p", "m", "属性"), (Lines{"kept"}));
    EXPECT_EQ(listed("p", "m", "方法"), Lines{});
}

TEST_F(CodeLoaderTest, TheListingNeverRunsAStringAsCode) {
    addProject("p", {{"m", "var ran = 0; var code = 'ran = 1'; var name = 'helper'; function helper() {}"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(native.Eval("ran").text(), "0");
    EXPECT_EQ(listed("p", "m", "方法"), (Lines{"helper"}));
}

// Globals named as no identifier could be: their members are listed all the same, and the
// names come back exactly as the script wrote them.
TEST_F(CodeLoaderTest, NamesThatAreNotIdentifiersAreListedExactly) {
    addProject("p", {{"one", "this['my-obj'] = {a: 1};\nthis['class'] = {b: 2};\nthis['nl\\nx'] = {'c\\u0001d': 3};\n"
                             "this['a);ran=1;('] = {e: 4};\nvar ran = 0;\nvar later = {f: 6};"},
                     {"two", "function g() { return 5; }"}});
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        if (engine == kChakraEngine && !ChakraCore::libraryLoaded())
            continue;
        output.lines.clear();
        ASSERT_TRUE(loader.load(engine)) << engineName(engine) << ::testing::PrintToString(output.texts());
        EXPECT_EQ(membersOf("my-obj"), (Lines{"a"})) << engineName(engine);
        EXPECT_EQ(membersOf("class"), (Lines{"b"})) << engineName(engine);
        EXPECT_EQ(membersOf("nl\nx"), (Lines{"c\x01" "d"})) << engineName(engine);
        EXPECT_EQ(membersOf("a);ran=1;("), (Lines{"e"})) << engineName(engine);
        EXPECT_EQ(membersOf("later"), (Lines{"f"})) << engineName(engine);
        EXPECT_EQ(listed("p", "two", "方法"), (Lines{"g"})) << engineName(engine);
        EXPECT_EQ(loader.evaluate("ran", engine), Evaluation::Result);
        EXPECT_EQ(output.texts().back(), ">>[结果] 0") << "a listed name is never run as code";
    }
}

TEST_F(CodeLoaderTest, AListingThatIsNotJsonListsNothing) {
    addProject("p", {{"m", "function f() {}\nQUILLBOX.JSON.stringify = function () { return 'not json'; };"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(listed("p", "m", "方法"), Lines{});
    EXPECT_EQ(output.texts(), (Lines{">>p_m.js：加载成功", ">>[p] 加载成功"}));
}

TEST_F(CodeLoaderTest, AModuleWithoutAPageIsSkippedSilently) {
    addProject("p", {{"a", "var a = 1;"}, {"b", "var b = 2;"}, {"c", "var c = 3;"}});
    dialogs.yesNoAnswers.push_back(MessageAnswer::Yes);  // "still holds code, remove?"
    ASSERT_TRUE(store.removePageCore(store.findPage("p", "b")));
    store.showPage(store.findPage("p", "a"));
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), (Lines{">>p_a.js：加载成功", ">>p_c.js：加载成功", ">>[p] 加载成功"}));
    EXPECT_EQ(native.Eval("typeof b").text(), "undefined");
}

TEST_F(CodeLoaderTest, AReloadReplacesTheEarlierListing) {
    addProject("p", {{"m", "function one() {}"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    store.currentPage()->setText("function two() {}");
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(listed("p", "m", "方法"), (Lines{"two"}));
}

TEST_F(CodeLoaderTest, NativeLoadRelaysTheScriptLog) {
    addProject("p", {{"m", "QUILLBOX.log.push({type: 'info', msg: 'hello'});\nQUILLBOX.log.push({type: 'n', msg: 5});"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), (Lines{">>p_m.js：加载成功", ">>[info] hello", ">>[n] 5", ">>[p] 加载成功"}));
}

TEST_F(CodeLoaderTest, NativeEvaluationRunsTheExpressionOnce) {
    addProject("p", {{"m", "var calls = 0;\nfunction f(x) { calls++; QUILLBOX.log.push({type: 't', msg: 'call ' + calls}); "
                           "return x * 2; }\nvar n = 0; function inc() { n = n + 1; return n; }"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("f(21)", kNativeEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[t] call 1", ">>[结果] 42"}));
    EXPECT_EQ(output.currentTab(), 1);
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("inc()", kNativeEngine), Evaluation::Result);
    EXPECT_EQ(loader.evaluate("inc()", kNativeEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] 1", ">>[结果] 2"}));
    // A boolean is refused after one run too.
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("inc() > 0", kNativeEngine), Evaluation::Refused);
    EXPECT_EQ(native.Eval("n").text(), "3");
}

// A value that cannot be made text is an error, reported as one, never an empty result;
// a call that throws only when run again fails the one run there is.
TEST_F(CodeLoaderTest, NativeResultsWithoutTextAreErrors) {
    addProject("p", {{"m", "function bare() { return Object.create(null); }\n"
                           "function loud() { return {toString: function () { throw new Error('no text'); }}; }\n"
                           "var c = 0; function once() { c++; if (c > 1) throw new Error('x'); return 'first'; }"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    const std::pair<const char*, const char*> failing[] = {{"bare()", ">>发生错误：错误号=5007"},
                                                          {"loud()", ">>发生错误：错误号=5000"}};
    for (const auto& [expression, first] : failing) {
        output.lines.clear();
        EXPECT_EQ(loader.evaluate(expression, kNativeEngine), Evaluation::Failed) << expression;
        ASSERT_EQ(output.texts().size(), 3u) << expression;
        EXPECT_EQ(output.texts()[0], first) << expression;
    }
    EXPECT_EQ(output.texts()[2], ">>错误描述：：no text");
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("once()", kNativeEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] first"}));
}

TEST_F(CodeLoaderTest, NativeEvaluationRefusesABoolean) {
    addProject("p", {{"m", "function yes() { return true; }"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("yes()", kNativeEngine), Evaluation::Refused);
    EXPECT_EQ(output.texts(), (Lines{">>执行后结果为逻辑值,请使用ChakraCore引擎或浏览器运行"}));
    EXPECT_EQ(output.currentTab(), 1) << "in the transcript, with the expression";
}

TEST_F(CodeLoaderTest, NativeEvaluationErrorMarksTheLine) {
    addProject("p", {{"m", "function f() {\n  return missing + 1;\n}"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("f()", kNativeEngine), Evaluation::Failed);
    ASSERT_EQ(output.texts().size(), 3u);
    EXPECT_EQ(output.texts()[0], ">>发生错误：错误号=5009");
    EXPECT_EQ(output.texts()[1], ">>错误位置：2行17字符处");
    EXPECT_EQ(output.texts()[2].rfind(">>错误描述：：", 0), 0u);
    EXPECT_EQ(store.currentPage()->selectedText(), "  return missing + 1;");
    EXPECT_EQ(output.currentTab(), 1);
}

TEST_F(CodeLoaderTest, AnEmptyExpressionDoesNothing) {
    addProject("p", {{"m", "var a = 1;"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("", kNativeEngine), Evaluation::Nothing);
    EXPECT_TRUE(output.lines.empty());
}

// ---- ChakraCore ----

TEST_F(CodeLoaderTest, TheNativeEngineIsStoppedInALoadAndInAnEvaluationAndGoesOn) {
    addProject("p", {{"m", "function spin() { while (true) {} }\nvar loaded = 1;"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    output.lines.clear();
    const Evaluation outcome =
        quillbox::test::whileStopping(*native.ControlObject(), [&] { return loader.evaluate("spin()", kNativeEngine); });
    EXPECT_EQ(outcome, Evaluation::Stopped);
    EXPECT_EQ(output.texts(), (Lines{">>执行已停止", ">>引擎已重新创建,请重新加载项目"}));
    EXPECT_EQ(output.currentTab(), 0);
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("typeof loaded", kNativeEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] undefined"}));

    store.currentPage()->setText("var x = 1;\nwhile (true) {}");
    native.ControlObject()->setTimeLimit(std::chrono::milliseconds(300));
    output.lines.clear();
    EXPECT_FALSE(loader.load(kNativeEngine));
    EXPECT_EQ(output.texts(), (Lines{">>执行已停止", ">>引擎已重新创建,请重新加载项目"}));
    store.currentPage()->setText("var fine = 1;");
    output.lines.clear();
    EXPECT_TRUE(loader.load(kNativeEngine));
}

class ChakraLoaderTest : public CodeLoaderTest {
protected:
    void SetUp() override {
        if (!ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so not built: " << ChakraCore::libraryError();
    }
};

TEST_F(ChakraLoaderTest, LoadsModernCodeAndListsItsNames) {
    addProject("demo", {{"a", "let add = (a, b) => a + b;\nfunction f() { return add(1, 2); }\nvar o = {k: 1};"}});
    ASSERT_TRUE(loader.load(kChakraEngine)) << ::testing::PrintToString(output.texts());
    EXPECT_EQ(output.texts(), (Lines{">>demo_a.js：加载成功", ">>[demo] 加载成功"}));
    EXPECT_EQ(output.currentTab(), 1);
    EXPECT_EQ(listed("demo", "a", "方法"), (Lines{"f"}));
    const Lines objects = listed("demo", "a", "属性");
    EXPECT_NE(std::find(objects.begin(), objects.end(), "o"), objects.end());
    EXPECT_EQ(std::find(objects.begin(), objects.end(), "$$"), objects.end());
    EXPECT_EQ(std::find(objects.begin(), objects.end(), "QUILLBOX"), objects.end());
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("f()", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] 3"}));
}

// The host object is set on the global as console and $$; only $$ is left out of the listing.
// Both engines list globals in the order the code declares them, as ChakraCore and JScript
// do, module after module; a name only a comment mentions early does not move up.
TEST_F(ChakraLoaderTest, BothEnginesListNamesInDeclarationOrder) {
    std::string first = "// f_29 and yak are declared further down\n";
    Lines functions, objects;
    for (int i = 0; i < 30; ++i) {
        const std::string f = "f_" + std::to_string((i * 7) % 30);
        first += "function " + f + "() { return " + std::to_string(i) + "; }\n";
        functions.push_back(f);
        if (i % 10 == 3) {
            const std::string o = "o_" + std::to_string(29 - i);
            first += "var " + o + " = {k: " + std::to_string(i) + "};\n";
            objects.push_back(o);
        }
    }
    first += "var yak = {y: 1};\n";
    objects.push_back("yak");
    addProject("order", {{"a", first}, {"b", "function alpha() {}\nthis['late-obj'] = {x: 1};\nvar early = {e: 1};\n"}});
    functions.push_back("alpha");
    objects.insert(objects.end(), {"early", "late-obj"});
    const auto ours = [](Lines names, const Lines& known) {
        std::erase_if(names, [&](const std::string& n) { return std::find(known.begin(), known.end(), n) == known.end(); });
        return names;
    };
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        SCOPED_TRACE(engineName(engine));
        ASSERT_TRUE(loader.load(engine)) << ::testing::PrintToString(output.texts());
        EXPECT_EQ(ours(listed("order", "b", "方法"), functions), functions);
        EXPECT_EQ(ours(listed("order", "b", "属性"), objects), objects);
    }
}

TEST_F(ChakraLoaderTest, TheHostObjectIsListedAsConsole) {
    addProject("p", {{"m", "var o = {k: 1};"}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    Lines objects = listed("p", "m", "属性");
    std::sort(objects.begin(), objects.end());
    EXPECT_EQ(objects, (Lines{"console", "o"}));
}

TEST_F(ChakraLoaderTest, ConsoleOutputReachesTheConsoleBoxWhileLoading) {
    addProject("p", {{"m", "console.log('hi', {a: 1});\nconsole.warn('careful');"}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    EXPECT_EQ(output.texts(), (Lines{">>[string] hi", ">>[object] {\"a\":1}", ">>[string] careful",
                                     ">>p_m.js：加载成功", ">>[p] 加载成功"}));
    EXPECT_EQ(output.lines[2].kind, RecordingOutput::Kind::ErrorConsole);
}

TEST_F(ChakraLoaderTest, ErrorsAreReportedWithOneBasedLines) {
    addProject("p", {{"a", "var fine = 1;"}, {"b", "var x = 1;\n\nnotDefined();\n"}});
    EXPECT_FALSE(loader.load(kChakraEngine));
    const Lines lines = output.texts();
    ASSERT_EQ(lines.size(), 4u) << ::testing::PrintToString(lines);
    EXPECT_EQ(lines[0], ">>p_a.js：加载成功");
    EXPECT_EQ(lines[1].rfind(">>错误描述：", 0), 0u);
    EXPECT_NE(lines[1].find("notDefined"), std::string::npos);
    EXPECT_EQ(lines[2].rfind(">>错误位置：3行", 0), 0u);
    EXPECT_EQ(lines[3], ">>错误代码：notDefined();");
    EXPECT_EQ(store.currentPage()->selectedText(), "notDefined();");
    EXPECT_EQ(output.currentTab(), 0);
}

// A listing that throws is an empty listing and leaves nothing pending: the modules after it
// load, and the objects after it show their members.
TEST_F(ChakraLoaderTest, AFailedMemberListingLeavesTheEngineClean) {
    addProject("p", {{"one", "var first = {a: 1};\nthis.px = new Proxy({}, {ownKeys() { throw new Error('no keys'); }});\n"
                             "var last = {z: 1};"},
                     {"two", "function g() { return 5; }"}});
    ASSERT_TRUE(loader.load(kChakraEngine)) << ::testing::PrintToString(output.texts());
    EXPECT_EQ(membersOf("px"), Lines{});
    EXPECT_EQ(membersOf("first"), (Lines{"a"}));
    EXPECT_EQ(membersOf("last"), (Lines{"z"}));
    EXPECT_EQ(listed("p", "two", "方法"), (Lines{"g"}));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("g()", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] 5"}));
}

// A throw is a failure whatever its value, described readably; a value that carries no
// position blames no line.
TEST_F(ChakraLoaderTest, EveryThrowFailsAndNoPositionBlamesNoLine) {
    addProject("p", {{"m", "var ok = 1;\nthrow Symbol('s');"}});
    EXPECT_FALSE(loader.load(kChakraEngine));
    EXPECT_EQ(output.texts(), (Lines{">>p_m.js：加载失败", ">>错误描述：未知错误 (Symbol(s))", ">>错误位置：引擎未给出错误位置"}));
    EXPECT_EQ(store.currentPage()->selectedText(), "") << "no line is marked";
    EXPECT_EQ(output.currentTab(), 0);

    store.currentPage()->setText("function t1() { throw ''; }\nfunction t2() { throw Object.create(null); }\n"
                                 "function t3() { throw Symbol(); }\nfunction bare() { return Object.create(null); }");
    ASSERT_TRUE(loader.load(kChakraEngine));
    const std::pair<const char*, const char*> cases[] = {{"t1()", "未知错误 (\"\")"},
                                                         {"t2()", "未知错误 ({})"},
                                                         {"t3()", "未知错误 (Symbol())"}};
    for (const auto& [expression, description] : cases) {
        output.lines.clear();
        EXPECT_EQ(loader.evaluate(expression, kChakraEngine), Evaluation::Failed) << expression;
        EXPECT_EQ(output.texts(), (Lines{">>错误位置：引擎未给出错误位置", std::string(">>错误描述：：") + description}));
    }
    // A result that cannot be made text is an error too.
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("bare()", kChakraEngine), Evaluation::Failed);
    ASSERT_EQ(output.texts().size(), 2u);
    EXPECT_EQ(output.texts()[1].rfind(">>错误描述：：TypeError", 0), 0u) << output.texts()[1];
}

TEST_F(ChakraLoaderTest, EvaluationErrorsAndTheEmptyPageRule) {
    addProject("p", {{"m", "function f() {\n  throw new Error('bad');\n}"}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("f()", kChakraEngine), Evaluation::Failed);
    ASSERT_EQ(output.texts().size(), 2u);
    EXPECT_EQ(output.texts()[0].rfind(">>错误位置：2行", 0), 0u);
    EXPECT_EQ(output.texts()[1], ">>错误描述：：Error: bad");
    EXPECT_EQ(store.currentPage()->selectedText(), "  throw new Error('bad');");
    // The native engine's refusal does not apply here.
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("1 == 1", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] true"}));
    // With an empty page nothing happens at all.
    store.currentPage()->setText("");
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("1 + 1", kChakraEngine), Evaluation::Nothing);
    EXPECT_TRUE(output.lines.empty());
}

// Before any load and after a failed one ChakraCore has no runtime. An evaluation then runs
// against an empty engine, as the native engine's does, and never passes off nothing as a
// result.
TEST_F(ChakraLoaderTest, EvaluationWithoutALoadedEngineRunsAgainstAnEmptyOne) {
    addProject("p", {{"m", "function g() { return 1; }"}});
    EXPECT_EQ(loader.evaluate("1 + 1", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] 2"}));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("g()", kChakraEngine), Evaluation::Failed);
    ASSERT_EQ(output.texts().size(), 2u) << ::testing::PrintToString(output.texts());
    EXPECT_NE(output.texts()[1].find("ReferenceError"), std::string::npos) << output.texts()[1];

    store.currentPage()->setText("function g() { return 1; }\nvar broken = (;");
    EXPECT_FALSE(loader.load(kChakraEngine));
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("g() + (2 * ", kChakraEngine), Evaluation::Failed);
    ASSERT_EQ(output.texts().size(), 2u) << ::testing::PrintToString(output.texts());
    EXPECT_EQ(output.texts()[0], ">>错误位置：1行11字符处");
    EXPECT_EQ(output.texts()[1].rfind(">>错误描述：：SyntaxError", 0), 0u) << output.texts()[1];
    // The console of the empty engine still reaches the console box.
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("console.log('still here'), 3", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[string] still here", ">>[结果] 3"}));
}

TEST_F(ChakraLoaderTest, ARunawayModuleIsStoppedByTheTimeLimit) {
    addProject("p", {{"m", "while (true) {}"}});
    chakra.setTimeLimit(std::chrono::milliseconds(300));
    EXPECT_FALSE(loader.load(kChakraEngine));
    EXPECT_EQ(output.texts(), (Lines{">>执行已停止", ">>引擎已重新创建,请重新加载项目"}));
    // The program goes on: the next load works.
    store.currentPage()->setText("var fine = 1;");
    output.lines.clear();
    EXPECT_TRUE(loader.load(kChakraEngine));
}

TEST_F(ChakraLoaderTest, AnEvaluationCanBeStoppedFromAnotherThread) {
    addProject("p", {{"m", "function spin() { while (true) {} }"}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    ASSERT_EQ(listed("p", "m", "方法"), (Lines{"spin"}));
    output.lines.clear();
    const Evaluation outcome =
        quillbox::test::whileStopping(chakra, [&] { return loader.evaluate("spin()", kChakraEngine); });
    EXPECT_EQ(outcome, Evaluation::Stopped);
    EXPECT_EQ(output.texts(), (Lines{">>执行已停止", ">>引擎已重新创建,请重新加载项目"}));
    EXPECT_EQ(output.currentTab(), 0);
    // What the tree listed is gone with the engine.
    EXPECT_EQ(listed("p", "m", "方法"), Lines{});
    EXPECT_TRUE(loader.listings().empty());
    // The engine goes on working, empty: the loaded code is gone.
    output.lines.clear();
    EXPECT_EQ(loader.evaluate("typeof spin", kChakraEngine), Evaluation::Result);
    EXPECT_EQ(output.texts(), (Lines{">>[结果] undefined"}));
}

}  // namespace

namespace {

// An evaluation's error is placed where it lies: in the expression (shown under it, no module
// marked) or in the module whose code threw (named, its line marked), in both engines.
void expectErrorsWhereTheyAre(CodeLoaderTest& test, RecordingOutput& output, ProjectStore& store,
                              CodeLoader& loader, EngineKind engine) {
    output.lines.clear();
    output.spots.clear();
    output.echoes.clear();
    store.currentPage()->select(1, 1, 1, 0);
    EXPECT_EQ(loader.evaluate("1 + nothing", engine), Evaluation::Failed);
    EXPECT_EQ(output.echoes, (std::vector<std::string>{"1 + nothing"}));
    ASSERT_EQ(output.spots.size(), 1u);
    EXPECT_EQ(output.spots[0].page, "") << "the expression's own error";
    EXPECT_EQ(output.spots[0].excerpt, "1 + nothing");
    EXPECT_TRUE(output.spots[0].evaluation);
    EXPECT_EQ(store.currentPage()->selectedText(), "") << "no module line is marked";
    EXPECT_EQ(output.currentTab(), 1) << "errors of evaluations are in the transcript";

    // The error lies in the second module, though the first is shown.
    output.spots.clear();
    EXPECT_EQ(loader.evaluate("callsB()", engine), Evaluation::Failed);
    ASSERT_EQ(output.spots.size(), 1u);
    EXPECT_EQ(output.spots[0].page, "p_b.js");
    EXPECT_EQ(output.spots[0].line, 2);
    EXPECT_EQ(output.spots[0].excerpt, "  throw new Error('in b');");
    Page* b = store.page(store.findPage("p", "b"));
    EXPECT_EQ(b->selectedText(), "  throw new Error('in b');");
    EXPECT_EQ(store.currentPage()->name(), "p_a.js") << "the page shown stays";
    (void)test;
}

}  // namespace

TEST_F(CodeLoaderTest, NativeEvaluationErrorsAreShownWhereTheyLie) {
    addProject("p", {{"a", "function callsB() { return b(); }"}, {"b", "function b() {\n  throw new Error('in b');\n}"}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    expectErrorsWhereTheyAre(*this, output, store, loader, kNativeEngine);
}

TEST_F(ChakraLoaderTest, ChakraEvaluationErrorsAreShownWhereTheyLie) {
    addProject("p", {{"a", "function callsB() { return b(); }"}, {"b", "function b() {\n  throw new Error('in b');\n}"}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    expectErrorsWhereTheyAre(*this, output, store, loader, kChakraEngine);
    // A syntax error in the expression: the caret under its column.
    output.spots.clear();
    EXPECT_EQ(loader.evaluate("callsB( + ", kChakraEngine), Evaluation::Failed);
    ASSERT_EQ(output.spots.size(), 1u);
    EXPECT_EQ(output.spots[0].page, "");
    EXPECT_GT(output.spots[0].caret, 0);
}

// Minified code: the failing line of a load is told as an excerpt around the column, and the
// editor goes to the column instead of selecting the whole line.
TEST_F(ChakraLoaderTest, ALoadErrorInALongLineIsAnExcerptAtTheColumn) {
    const std::string line = "var s='" + std::string(199 * 1024, 'q') + "';var x=;var after=1;";
    addProject("p", {{"m", "// minified\n" + line}});
    EXPECT_FALSE(loader.load(kChakraEngine));
    const std::vector<std::string> texts = output.texts();
    const auto code = std::find_if(texts.begin(), texts.end(), [](const std::string& t) { return t.rfind(">>错误代码：", 0) == 0; });
    ASSERT_NE(code, texts.end());
    EXPECT_LT(code->size(), 200u) << "never the whole line";
    EXPECT_NE(code->find("var x=;"), std::string::npos) << *code;
    ASSERT_EQ(output.spots.size(), 1u);
    EXPECT_EQ(output.spots[0].page, "p_m.js");
    EXPECT_EQ(output.spots[0].line, 2);
    EXPECT_FALSE(output.spots[0].evaluation);
    const SelectionRange selected = store.currentPage()->selectionRange();
    EXPECT_EQ(selected.startRow, 2);
    EXPECT_LE(selected.endColumn - selected.startColumn, 1) << "the column, not the line";
    EXPECT_GT(selected.startColumn, 199 * 1024);
}

namespace {

// A result with members is offered as a tree read level by level, and as JSON text, alike
// in both engines (both go through QUILLBOX.JSON).
void expectAResultTree(RecordingOutput& output, CodeLoader& loader, EngineKind engine) {
    output.objects.clear();
    ASSERT_EQ(loader.evaluate("make()", engine), Evaluation::Result);
    ASSERT_EQ(output.objects.size(), 1u);
    const ObjectNode& root = output.objects[0];
    EXPECT_EQ(root.type, "object");
    EXPECT_EQ(root.preview, "Object {4}");
    // A function shows its source's first line, in both engines.
    const std::string function = "function (x) {";
    const std::vector<ObjectEntry> first{{"name", "string", "\"box\"", false},
                                         {"list", "array", "Array(3)", true},
                                         {"many", "array", "Array(150)", true},
                                         {"run", "function", function, false}};
    EXPECT_EQ(root.entries, first);

    ObjectNode level;
    loader.describeResult({"list"}, [&](ObjectNode node) { level = std::move(node); });
    ASSERT_EQ(level.entries.size(), 3u);
    EXPECT_EQ(level.entries[2], (ObjectEntry{"2", "object", "Object {1}", true}));
    loader.describeResult({"list", "2"}, [&](ObjectNode node) { level = std::move(node); });
    EXPECT_EQ(level.entries, (std::vector<ObjectEntry>{{"deep", "boolean", "true", false}}));
    loader.describeResult({"many"}, [&](ObjectNode node) { level = std::move(node); });
    EXPECT_EQ(level.entries.size(), static_cast<std::size_t>(kResultMembers));
    EXPECT_TRUE(level.truncated);
    loader.describeResult({"nothing", "here"}, [&](ObjectNode node) { level = std::move(node); });
    EXPECT_TRUE(level.entries.empty());

    std::string json;
    loader.resultJson({"list"}, [&](std::string text) { json = std::move(text); });
    EXPECT_EQ(json, "[\n  1,\n  \"two\",\n  {\n    \"deep\": true\n  }\n]");
    // A plain value offers no tree.
    output.objects.clear();
    ASSERT_EQ(loader.evaluate("make().name", engine), Evaluation::Result);
    EXPECT_TRUE(output.objects.empty());
}

const char* const kMaker =
    "function make() {\n"
    "  var many = [];\n  for (var i = 0; i < 150; i++) many.push(i);\n"
    "  return {name: 'box', list: [1, 'two', {deep: true}], many: many, run: function (x) {\n    return x;\n  }};\n"
    "}";

}  // namespace

TEST_F(CodeLoaderTest, NativeObjectResultsOpenLevelByLevel) {
    addProject("p", {{"m", kMaker}});
    ASSERT_TRUE(loader.load(kNativeEngine));
    expectAResultTree(output, loader, kNativeEngine);
}

TEST_F(ChakraLoaderTest, ChakraObjectResultsOpenLevelByLevel) {
    addProject("p", {{"m", kMaker}});
    ASSERT_TRUE(loader.load(kChakraEngine));
    expectAResultTree(output, loader, kChakraEngine);
}
