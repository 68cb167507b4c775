#include <gtest/gtest.h>

#include "core/editor/MemoryPage.h"
#include "core/engine/SupportScripts.h"
#include "core/transform/Transform.h"

using namespace quillbox;
using namespace quillbox::transform;

namespace {

class TransformTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!engine::ChakraCore::libraryLoaded())
            GTEST_SKIP() << "libChakraCore.so not built: " << engine::ChakraCore::libraryError();
    }
    RecordingOutput output;
};

TEST_F(TransformTest, CompressAndFormatUseTheLibraryDefaults) {
    const TransformResult min = runTransform("var a = 1 ;\n// note\nfunction f ( x ) {\n  return x ;\n}\n", Mode::Compress);
    ASSERT_TRUE(min.ok) << min.error;
    EXPECT_EQ(min.text, "var a=1;function f(x){return x;}");
    const TransformResult pretty = runTransform("function f(x){if(x){return [1,2].map(function(y){return y*2})}}",
                                             Mode::Format);
    ASSERT_TRUE(pretty.ok) << pretty.error;
    EXPECT_EQ(pretty.text,
              "function f(x) {\n    if (x) {\n        return [1, 2].map(function(y) {\n            return y * 2\n"
              "        })\n    }\n}");
    // Existing blank lines are kept; modern syntax is formatted too.
    EXPECT_EQ(runTransform("let a = 1;\n\nconst f = (x) => x;", Mode::Format).text, "let a = 1;\n\nconst f = (x) => x;");
    EXPECT_EQ(runTransform("var s = '中文';", Mode::Compress).text, "var s='中文';");
}

TEST_F(TransformTest, ATransformOfNothingButCommentsIsEmptyAndStillASuccess) {
    const TransformResult r = runTransform("// only a comment\n", Mode::Compress);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.text, "");
}

TEST_F(TransformTest, AThrowingLibraryIsAFailureWithItsMessage) {
    const TransformResult r = runTransform("var a = 1; /* never closed", Mode::Compress);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.text, "");
    EXPECT_NE(r.error.find("Unterminated comment"), std::string::npos);
}

TEST_F(TransformTest, WithoutASelectionTheWholeTextIsReplacedAndTheCursorPutAtTheEnd) {
    MemoryPage page("p_m.js", "var a = 1 ;\nvar b = 2 ;\n");
    page.gotoLine(1);
    ASSERT_TRUE(transformPage(page, Mode::Compress, output));
    EXPECT_EQ(page.getText(), "var a=1;var b=2;");
    const SelectionRange at = page.selectionRange();
    EXPECT_EQ(at.startRow, page.lineCount());
    EXPECT_EQ(at.startRow, at.endRow);
    EXPECT_EQ(at.startColumn - 1, at.endColumn);  // an empty selection: the cursor
    EXPECT_EQ(at.endColumn, static_cast<int>(page.getLine(page.lineCount()).size()));
    EXPECT_TRUE(output.lines.empty());
}

TEST_F(TransformTest, ASelectionWithinOneLineTransformsTheWholeText) {
    MemoryPage page("p_m.js", "function f(){return 1}\nvar x=f();");
    page.select(1, 3, 1, 8);
    ASSERT_TRUE(transformPage(page, Mode::Format, output));
    EXPECT_EQ(page.getText(), "function f() {\n    return 1\n}\nvar x = f();");
}

TEST_F(TransformTest, ASelectionOverLinesIsTransformedAlone) {
    const std::string before = "var keep1 = [ 1 ];\nvar a = 1 ;   var b = 2 ;\nvar c = 3 ;\nvar d = 4 ;\nvar e = 5 ;   var f = 6 ;\n";
    MemoryPage page("p_m.js", before);
    // From the middle of line 2 to the middle of line 5.
    page.select(2, 15, 5, 11);
    const std::string selected = page.selectedText();
    ASSERT_EQ(selected, "var b = 2 ;\nvar c = 3 ;\nvar d = 4 ;\nvar e = 5 ;");
    ASSERT_TRUE(transformPage(page, Mode::Compress, output));
    EXPECT_EQ(page.getText(), "var keep1 = [ 1 ];\nvar a = 1 ;   var b=2;var c=3;var d=4;var e=5;   var f = 6 ;\n");
}

TEST_F(TransformTest, AFailedTransformLeavesTheCodeAsItWas) {
    const std::string code = "var a = 1;\n/* unterminated";
    MemoryPage page("p_m.js", code);
    EXPECT_FALSE(transformPage(page, Mode::Compress, output));
    EXPECT_EQ(page.getText(), code);
    ASSERT_EQ(output.texts().size(), 1u);
    EXPECT_EQ(output.texts()[0].rfind(">>转换失败：", 0), 0u);
    EXPECT_NE(output.texts()[0].find("Unterminated comment"), std::string::npos);
}

// The window runs the library on another thread while the user goes on typing.
TEST_F(TransformTest, AResultIsPutBackOnlyOntoTheTextItWasMadeFrom) {
    MemoryPage page("p_m.js", "var keep = 1;\nvar a = 1 ;\nvar b = 2 ;\n");
    page.select(2, 1, 3, 12);
    const TransformJob job = takeTransform(page, Mode::Compress);
    const TransformResult result = runTransform(job.text, job.mode);
    ASSERT_TRUE(result.ok);

    // An edit in between keeps the edit and says why nothing was written.
    page.gotoLine(1);
    page.insert("// typed meanwhile\n");
    const std::string edited = page.getText();
    EXPECT_FALSE(applyTransform(page, job, result, output));
    EXPECT_EQ(page.getText(), edited);
    ASSERT_EQ(output.texts().size(), 1u);
    EXPECT_NE(output.texts()[0].find(kTransformStale), std::string::npos);

    // A cursor moved without an edit: the span that was taken is the one replaced.
    MemoryPage moved("p_m.js", "var keep = 1;\nvar a = 1 ;\nvar b = 2 ;\n");
    moved.select(2, 1, 3, 12);
    const TransformJob taken = takeTransform(moved, Mode::Compress);
    moved.gotoLine(1);
    ASSERT_TRUE(applyTransform(moved, taken, runTransform(taken.text, taken.mode), output));
    EXPECT_EQ(moved.getText(), "var keep = 1;\nvar a=1;var b=2;\n");
}

TEST_F(TransformTest, EachTransformUsesItsOwnEngine) {
    engine::ChakraCore loaded;
    loaded.New();
    ASSERT_TRUE(loaded.AddCode("var userState = 41;"));
    ASSERT_TRUE(runTransform("var  x=1", Mode::Format).ok);
    EXPECT_EQ(loaded.Eval("userState + 1"), "42");
    EXPECT_EQ(loaded.Eval("typeof js_beautify"), "undefined");
}

class MemberValueTest : public TransformTest {
protected:
    void SetUp() override {
        TransformTest::SetUp();
        if (IsSkipped())
            return;
        const NodeId group = tree.add(kNoNode, "属性", 5, 5, node_value::kPropertiesGroup);
        object = tree.add(group, "a", 3, 3, node_value::kObject);
        member = tree.add(object, "b", 6, 6, node_value::kMember);
        const NodeId list = tree.add(group, "list", 3, 3, node_value::kObject);
        element = tree.add(list, "0", 6, 6, node_value::kMember);
        const NodeId odd = tree.add(group, "my-obj", 3, 3, node_value::kObject);
        oddMember = tree.add(odd, "x y", 6, 6, node_value::kMember);
        const std::string code =
            "var a = {b: 1, c: 'x'}; var list = [{k: [1, 2]}]; this['my-obj'] = {'x y': 'z'}; var my = 1, obj = 2;";
        native.AddCode(engine::jsonSupportScript());
        native.AddCode(code);
        chakra.New();
        chakra.AddCode(engine::jsonSupportScript());
        chakra.AddCode(code);
    }
    ProjectTree tree;
    NodeId object = kNoNode, member = kNoNode, element = kNoNode, oddMember = kNoNode;
    engine::JScript native;
    engine::ChakraCore chakra;
};

TEST_F(MemberValueTest, AMemberShowsItsJsonInEitherEngine) {
    tree.select(member);
    ASSERT_TRUE(showMemberValue(tree, engine::kNativeEngine, native, chakra, output));
    ASSERT_TRUE(showMemberValue(tree, engine::kChakraEngine, native, chakra, output));
    EXPECT_EQ(output.texts(), (std::vector<std::string>{">>a.b:【1】", ">>a.b:【1】"}));
}

// A global whose name is no identifier is read by its name, never as the code "my-obj".
TEST_F(MemberValueTest, AnObjectNamedAsNoIdentifierShowsItsMembers) {
    tree.select(oddMember);
    ASSERT_TRUE(showMemberValue(tree, engine::kNativeEngine, native, chakra, output));
    ASSERT_TRUE(showMemberValue(tree, engine::kChakraEngine, native, chakra, output));
    EXPECT_EQ(output.texts(), (std::vector<std::string>{">>my-obj.x y:【\"z\"】", ">>my-obj.x y:【\"z\"】"}));
}

TEST_F(MemberValueTest, ArrayElementsAreMembersToo) {
    tree.select(element);
    ASSERT_TRUE(showMemberValue(tree, engine::kChakraEngine, native, chakra, output));
    EXPECT_EQ(output.texts(), (std::vector<std::string>{">>list.0:【{\"k\":[1,2]}】"}));
}

TEST_F(MemberValueTest, OnlyMemberItemsAreHandled) {
    tree.select(object);
    EXPECT_FALSE(showMemberValue(tree, engine::kNativeEngine, native, chakra, output));
    tree.select(kNoNode);
    EXPECT_FALSE(showMemberValue(tree, engine::kChakraEngine, native, chakra, output));
    EXPECT_TRUE(output.lines.empty());
}

TEST_F(MemberValueTest, AFailedEvaluationShowsAnEmptyValue) {
    chakra.AddCode("a = undefined;");
    native.AddCode("a = undefined;");
    tree.select(member);
    showMemberValue(tree, engine::kChakraEngine, native, chakra, output);
    showMemberValue(tree, engine::kNativeEngine, native, chakra, output);
    EXPECT_EQ(output.texts(), (std::vector<std::string>{">>a.b:【】", ">>a.b:【】"}));
}

}  // namespace
