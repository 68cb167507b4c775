#include "core/transform/Transform.h"

#include "core/engine/PlainDuktape.h"
#include "core/engine/SupportScripts.h"
#include "core/text/Text.h"

namespace quillbox::transform {

namespace {
const char* functionFor(Mode mode) { return mode == Mode::Compress ? "ysjs" : "js_beautify"; }
}  // namespace

TransformResult runTransformInChakra(const std::string& text, Mode mode) {
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
    result.text = chakra.Call(functionFor(mode), {text});
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

TransformResult runTransformInDuktape(const std::string& text, Mode mode) {
    TransformResult result;
    engine::PlainDuktape duktape;
    if (!duktape.run(engine::transformShims(), "transform-es5") || !duktape.run(engine::transformLibrary(), "transform")) {
        result.error = duktape.error();
        return result;
    }
    result.ok = duktape.call(functionFor(mode), {text}, result.text);
    if (!result.ok)
        result.error = duktape.error();
    return result;
}

TransformJob takeTransform(Page& page, Mode mode) {
    TransformJob job;
    job.mode = mode;
    job.range = page.selectionRange();
    job.whole = job.range.startRow == job.range.endRow;
    job.revision = page.revision();
    job.text = job.whole ? page.getText() : page.selectedText();
    return job;
}

bool applyTransform(Page& page, const TransformJob& job, const TransformResult& result, Output& output) {
    if (!result.ok) {
        // Never write an empty result over the user's code.
        output.messageLine(std::string(kTransformFailed) + "：" + result.error);
        return false;
    }
    if (page.revision() != job.revision) {
        output.messageLine(kTransformStale);
        return false;
    }
    if (job.whole) {
        page.setText(result.text);
        const int last = page.lineCount();
        page.select(last, 999999, last, 999999);
    } else {
        // The selection may have moved while the text stayed: the span taken is replaced.
        const SelectionRange& r = job.range;
        page.select(r.startRow, r.startColumn, r.endRow, r.endColumn);
        page.insert(result.text);
    }
    return true;
}

bool transformPage(Page& page, Mode mode, Output& output) {
    const TransformJob job = takeTransform(page, mode);
    return applyTransform(page, job, runTransform(job.text, mode), output);
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
