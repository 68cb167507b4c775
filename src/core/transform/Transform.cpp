#include "core/transform/Transform.h"

#include "core/engine/SupportScripts.h"
#include "core/text/Text.h"

namespace quillbox::transform {

TransformResult runTransform(const std::string& text, Mode mode) {
    TransformResult result;
    engine::ChakraCore chakra;
    chakra.New();
    if (!chakra.AddCode(engine::transformLibrary())) {
        result.error = chakra.TakeException().exception;
        if (result.error.empty())
            result.error = "the transform library did not load";
        chakra.Reset();
        return result;
    }
    result.text = chakra.Call(mode == Mode::Compress ? "ysjs" : "js_beautify", {text});
    // An empty result is also what a throwing library gives; only the exception tells them
    // apart (minifying nothing but comments really is empty).
    const engine::ChakraException exception = chakra.TakeException();
    if (exception.thrown) {
        result.text.clear();
        result.error = exception.exception;
    } else {
        result.ok = true;
    }
    chakra.Reset();
    return result;
}

bool transformPage(Page& page, Mode mode, Output& output) {
    const SelectionRange range = page.selectionRange();
    const bool whole = range.startRow == range.endRow;
    const TransformResult result = runTransform(whole ? page.getText() : page.selectedText(), mode);
    if (!result.ok) {
        // Never write an empty result over the user's code.
        output.messageLine(std::string(kTransformFailed) + "：" + result.error);
        return false;
    }
    if (whole) {
        page.setText(result.text);
        const int last = page.lineCount();
        page.select(last, 999999, last, 999999);
    } else {
        page.insert(result.text);
    }
    return true;
}

bool showMemberValue(const ProjectTree& tree, engine::EngineKind engine, engine::JScript& native, engine::ChakraCore& chakra,
                     Output& output) {
    const NodeId item = tree.selected();
    if (tree.value(item) != node_value::kMember)
        return false;
    showMemberValue(tree.text(tree.parent(item)), tree.text(item), engine, native, chakra, output);
    return true;
}

void showMemberValue(const std::string& object, const std::string& member, engine::EngineKind engine, engine::JScript& native,
                     engine::ChakraCore& chakra, Output& output) {
    const std::string path = object + "." + member;
    // Object and member are reached by their names as strings: array elements ("0") and
    // names that are not identifiers ("a-b", "class") are members and globals too, and a name
    // written into the script as code would be misread, or run.
    const std::string script = "QUILLBOX.JSON.stringify((function () { return this; })()[" + text::quoteJson(object) +
                               "][" + text::quoteJson(member) + "])";
    const std::string value = engine == engine::EngineKind::Native ? native.Eval(script).text() : chakra.Eval(script);
    if (engine != engine::EngineKind::Native)
        chakra.TakeException();  // a failed evaluation shows as an empty value; drop its record
    output.messageLine(path + ":【" + value + "】");
}

}  // namespace quillbox::transform
