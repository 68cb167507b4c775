#pragma once
// One expression in both engines, side by side: the project is loaded into each, the
// expression evaluated in each, and what differs is named (the value, the kind of answer,
// the error). The window's command and `quillbox-cli run --engine both` tell the same.
#include <string>
#include <vector>

#include "core/engine/CodeLoader.h"
#include "core/platform/Dialogs.h"

namespace quillbox::engine {

// What one engine answered.
struct EngineAnswer {
    bool loaded = false;                       // the load succeeded
    Evaluation outcome = Evaluation::Nothing;  // of the evaluation, when loaded
    std::string value;                         // the result's text (Result)
    std::string error;                         // the error's description, or the load's failure
};

// "" when the answers agree; otherwise what differs: "值不同", "结果类型不同" (a result in one, an
// error or a refusal in the other) or "错误不同".
std::string differenceOf(const EngineAnswer& native, const EngineAnswer& chakra);

// The answer of one engine from what the loader wrote for the load and for the evaluation.
EngineAnswer answerOf(bool loaded, Evaluation outcome, const std::vector<RecordingOutput::Line>& loadLines,
                      const std::vector<RecordingOutput::Line>& evaluationLines);

struct BothAnswers {
    EngineAnswer native;
    EngineAnswer chakra;
    std::string difference;  // differenceOf(native, chakra)
};

// Loads the current page's project into each engine and evaluates the expression in each;
// everything the loaders write goes to `output` too, each engine's lines after a heading line.
// Both engines are left empty.
// One engine's half of it, on that engine's thread: the project loaded, the expression
// evaluated, and the engine emptied again.
EngineAnswer answerIn(EngineKind engine, ProjectStore& store, JScript& native, ChakraCore& chakra,
                      const std::string& expression, Output* output = nullptr);
BothAnswers evaluateInBoth(ProjectStore& store, JScript& native, ChakraCore& chakra, const std::string& expression,
                           Output* output = nullptr);

// A copy of one project (its modules' texts as they are now, in memory pages) for a thread
// that must not touch the window's store: the comparison runs on the engines' thread.
class ProjectCopy {
public:
    // `module`: the module whose page is current in the copy.
    ProjectCopy(ProjectStore& from, const std::string& project, const std::string& module);
    ProjectCopy(const ProjectCopy&) = delete;
    ProjectCopy& operator=(const ProjectCopy&) = delete;
    ProjectStore& store() { return store_; }
    // Replaces a module's code in the copy (the original is not touched).
    void setModuleText(const std::string& module, const std::string& text);

private:
    ScriptedDialogs dialogs_;
    ProjectStore store_;
};

// A load of a project copy (usually with the failing module formatted, so a one-line module's
// error gets a line of its own): the message lines the load wrote and where its error lies.
// The engine is left empty.
struct LocatedFailure {
    bool failed = false;
    std::vector<std::string> lines;  // the load's message lines ("错误描述：…", "错误位置：…", …)
    std::vector<ErrorSpot> spots;    // where the error lies in the copy
};
LocatedFailure loadAndLocate(ProjectStore& copy, JScript& native, ChakraCore& chakra, EngineKind engine);

// The lines that show the two answers and their difference, for the transcript and the
// command line: "[MSScriptControl] 42", "[ChakraCore] 42", then "两个引擎结果相同" or
// "两个引擎结果不同：值不同".
std::vector<std::string> comparisonLines(const BothAnswers& answers);

}  // namespace quillbox::engine
