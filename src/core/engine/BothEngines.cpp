#include "core/engine/BothEngines.h"

#include "core/editor/MemoryPage.h"
#include "core/engine/LoadState.h"

namespace quillbox::engine {

namespace {

// Forwards every line to another output, keeping them too.
class TeeOutput : public RecordingOutput {
public:
    explicit TeeOutput(Output* next) : next_(next) {}
    void messageLine(const std::string& text) override {
        RecordingOutput::messageLine(text);
        if (next_)
            next_->messageLine(text);
    }
    void consoleLine(const std::string& type, const std::string& message) override {
        RecordingOutput::consoleLine(type, message);
        if (next_)
            next_->consoleLine(type, message);
    }
    void errorConsoleLine(const std::string& type, const std::string& message) override {
        RecordingOutput::errorConsoleLine(type, message);
        if (next_)
            next_->errorConsoleLine(type, message);
    }

private:
    Output* next_;
};

// The description in an error's lines: "错误描述：：…" of an evaluation, "错误描述：…" of a load.
std::string describedError(const std::vector<RecordingOutput::Line>& lines) {
    for (const char* prefix : {"错误描述：：", "错误描述："})
        for (const RecordingOutput::Line& line : lines)
            if (line.kind == RecordingOutput::Kind::Message && line.text.rfind(prefix, 0) == 0)
                return line.text.substr(std::string(prefix).size());
    for (auto line = lines.rbegin(); line != lines.rend(); ++line)
        if (line->kind == RecordingOutput::Kind::Message)
            return line->text;
    return "";
}

EngineAnswer runIn(EngineKind engine, ProjectStore& store, JScript& native, ChakraCore& chakra,
                   const std::string& expression, Output* output) {
    TeeOutput lines(output);
    CodeLoader loader(store, lines, native, chakra);
    loader.setListing(false);
    const bool loaded = loader.load(engine);
    const std::vector<RecordingOutput::Line> loadLines = lines.lines;
    lines.lines.clear();
    const Evaluation outcome = loaded ? loader.evaluate(expression, engine) : Evaluation::Nothing;
    return answerOf(loaded, outcome, loadLines, lines.lines);
}

}  // namespace

EngineAnswer answerOf(bool loaded, Evaluation outcome, const std::vector<RecordingOutput::Line>& loadLines,
                      const std::vector<RecordingOutput::Line>& evaluationLines) {
    EngineAnswer answer;
    answer.loaded = loaded;
    if (!loaded) {
        answer.error = describedError(loadLines);
        return answer;
    }
    answer.outcome = outcome;
    if (outcome == Evaluation::Result) {
        for (auto line = evaluationLines.rbegin(); line != evaluationLines.rend(); ++line)
            if (line->kind == RecordingOutput::Kind::Console && line->type == kResultType) {
                answer.value = line->text;
                break;
            }
    } else if (outcome != Evaluation::Nothing) {
        answer.error = describedError(evaluationLines);
    }
    return answer;
}

std::string differenceOf(const EngineAnswer& native, const EngineAnswer& chakra) {
    const bool nativeResult = native.loaded && native.outcome == Evaluation::Result;
    const bool chakraResult = chakra.loaded && chakra.outcome == Evaluation::Result;
    if (nativeResult != chakraResult || native.loaded != chakra.loaded || native.outcome != chakra.outcome)
        return "结果类型不同";
    if (nativeResult)
        return native.value == chakra.value ? "" : "值不同";
    return native.error == chakra.error ? "" : "错误不同";
}

BothAnswers evaluateInBoth(ProjectStore& store, JScript& native, ChakraCore& chakra, const std::string& expression,
                           Output* output) {
    BothAnswers answers;
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        if (output)
            output->messageLine(std::string("—— ") + selectorName(engine) + " ——");
        (engine == kNativeEngine ? answers.native : answers.chakra) =
            answerIn(engine, store, native, chakra, expression, output);
    }
    answers.difference = differenceOf(answers.native, answers.chakra);
    return answers;
}

EngineAnswer answerIn(EngineKind engine, ProjectStore& store, JScript& native, ChakraCore& chakra,
                      const std::string& expression, Output* output) {
    EngineAnswer answer = runIn(engine, store, native, chakra, expression, output);
    // The loader that filled it is gone (and with it what ChakraCore's console wrote to).
    if (engine == kNativeEngine)
        native.Reset();
    else
        chakra.Reset();
    return answer;
}

ProjectCopy::ProjectCopy(ProjectStore& from, const std::string& project, const std::string& module)
    : store_(dialogs_, [](const std::string& name, std::string code) -> std::unique_ptr<Page> {
          return std::make_unique<MemoryPage>(name, std::move(code));
      }) {
    const NodeId node = store_.addProjectCore(project);
    if (node == kNoNode)
        return;
    for (const std::string& name : from.moduleNames(project)) {
        Page* page = from.page(from.findPage(project, name));
        if (!page)
            continue;
        store_.tree().select(node);
        store_.addModuleCore(name, page->getText());
    }
    const int current = store_.findPage(project, module);
    if (current > 0)
        store_.showPage(current);
}

void ProjectCopy::setModuleText(const std::string& module, const std::string& text) {
    if (Page* page = store_.page(store_.findPage(store_.currentProject(), module)))
        page->setText(text);
}

LocatedFailure loadAndLocate(ProjectStore& copy, JScript& native, ChakraCore& chakra, EngineKind engine) {
    LocatedFailure located;
    {
        RecordingOutput lines;
        CodeLoader loader(copy, lines, native, chakra);
        loader.setListing(false);
        located.failed = !loader.load(engine);
        for (const RecordingOutput::Line& line : lines.lines)
            if (line.kind == RecordingOutput::Kind::Message)
                located.lines.push_back(line.text);
        located.spots = lines.spots;
    }
    // The loader that filled it is gone (and with it what ChakraCore's console wrote to).
    if (engine == kNativeEngine)
        native.Reset();
    else
        chakra.Reset();
    return located;
}

std::vector<std::string> comparisonLines(const BothAnswers& answers) {
    std::vector<std::string> lines;
    for (EngineKind engine : {kNativeEngine, kChakraEngine}) {
        const EngineAnswer& answer = engine == kNativeEngine ? answers.native : answers.chakra;
        std::string text = std::string("[") + selectorName(engine) + "] ";
        if (!answer.loaded)
            text += "加载失败：" + answer.error;
        else if (answer.outcome == Evaluation::Nothing)
            text += kLoaded;
        else if (answer.outcome == Evaluation::Result)
            text += answer.value;
        else if (answer.outcome == Evaluation::Refused)
            text += "拒绝：" + std::string(kBooleanRefusal);
        else if (answer.outcome == Evaluation::Stopped)
            text += kStopped;
        else
            text += "错误：" + answer.error;
        lines.push_back(std::move(text));
    }
    lines.push_back(answers.difference.empty() ? "两个引擎结果相同" : "两个引擎结果不同：" + answers.difference);
    return lines;
}

}  // namespace quillbox::engine
