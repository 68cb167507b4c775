#include "core/deobfuscate/Deobfuscate.h"

#include <algorithm>
#include <optional>

#include "core/engine/ChakraCore.h"
#include "core/engine/JScript.h"
#include "core/engine/SupportScripts.h"
#include "core/json/JsonDocument.h"
#include "core/tools/Stop.h"
#include "core/tools/ToolsContext.h"

namespace quillbox::deobfuscate {

namespace {

constexpr const char* kTool = "tools/deobfuscate.js";
// A run asks the sandbox once per batch of decoder calls; more than this is a loop.
constexpr int kMostSandboxRequests = 10000;

int number(const JsonDocument& doc, const std::string& path) { return static_cast<int>(doc.integer(path)); }

Report readReport(const JsonDocument& doc) {
    Report r;
    r.obfuscator = doc.text("report.obfuscator");
    for (std::size_t i = 0, n = doc.count("report.options"); i < n; ++i)
        r.options.push_back(doc.text("report.options[" + std::to_string(i) + "]"));
    r.stringsRestored = number(doc, "report.stringsRestored");
    r.decoderCallsLeft = number(doc, "report.decoderCallsLeft");
    r.functionsInlined = number(doc, "report.functionsInlined");
    r.deadCodeAndControlFlow = number(doc, "report.deadCodeAndControlFlow");
    r.antiDebugAndSelfDefending = number(doc, "report.antiDebugAndSelfDefending");
    return r;
}

}  // namespace

Deobfuscator::Deobfuscator(SandboxLimits limits) : limits_(limits), tools_(std::make_unique<tools::ToolsContext>()) {}
Deobfuscator::~Deobfuscator() = default;

void Deobfuscator::setStop(std::shared_ptr<const tools::Stop> stop) {
    stop_ = stop;
    tools_->setStop(std::move(stop));
}

// One request of decoded strings: the decoders' code and the calls, in a fresh engine that
// holds nothing else, within the limits. The answer is the JSON of the value.
std::string Deobfuscator::sandbox(const std::string& code, bool& ok) {
    ++sandboxRuns_;
    engine::ChakraCore chakra;
    chakra.setMemoryLimit(limits_.memoryBytes);
    chakra.setTimeLimit(limits_.time);
    std::optional<tools::Stop::Hook> hook;
    if (stop_)
        hook.emplace(stop_->onStop([&chakra] { chakra.stop(); }));
    chakra.New();
    // Empty means empty: the host object (`$$`, `console`, with `ajax`) would let a decoder
    // written by whoever obfuscated the code reach the network.
    if (!chakra.AddCode("delete this.$$; delete this.console;") ||
        chakra.Eval("typeof $$ + typeof console") != "undefinedundefined") {
        chakra.TakeException();
        ok = false;
        return "the sandbox engine could not be emptied of its host objects";
    }
    const std::string value = chakra.Eval("JSON.stringify(" + code + "\n)");
    if (stop_ && stop_->stopped()) {
        ok = false;
        return "stopped";
    }
    if (chakra.lastCallStopped()) {
        ok = false;
        return "the decoder ran longer than " + std::to_string(limits_.time.count()) + " ms";
    }
    const engine::ChakraException thrown = chakra.TakeException();
    if (chakra.lastCallOutOfMemory() || thrown.thrown) {
        ok = false;
        return thrown.exception.empty() ? "the decoder failed" : thrown.exception;
    }
    ok = true;
    return value;
}

Deobfuscation Deobfuscator::run(const std::string& code) {
    Deobfuscation out;
    sandboxRuns_ = 0;
    const auto stopped = [&out] {
        out.stopped = true;
        out.error = "stopped";
        return out;
    };
    if (const tools::ToolResult loaded = tools_->load(kTool); !loaded.ok) {
        if (loaded.stopped)
            return stopped();
        out.error = "the deobfuscation could not start: " + loaded.error;
        return out;
    }
    if (const tools::ToolResult started = tools_->call("quillboxDeobfuscateStart", {code}); !started.ok) {
        if (started.stopped)
            return stopped();
        out.error = "the deobfuscation failed: " + started.error;
        return out;
    }
    for (int requests = 0;; ++requests) {
        const tools::ToolResult step = tools_->call("quillboxDeobfuscateStep", {});
        if (step.stopped || (stop_ && stop_->stopped()))
            return stopped();
        JsonDocument doc;
        if (!step.ok || !doc.parse(step.text, true).ok) {
            out.error = "the deobfuscation gave no readable answer" + (step.ok ? std::string() : ": " + step.error);
            return out;
        }
        const std::string state = doc.text("state");
        if (state == "sandbox" && requests < kMostSandboxRequests) {
            bool ok = false;
            const std::string answer = sandbox(tools_->call("quillboxDeobfuscateText", {}).text, ok);
            tools_->call("quillboxDeobfuscateAnswer", {ok ? "true" : "false", answer});
            continue;
        }
        const std::string code = state == "sandbox" ? std::string() : tools_->call("quillboxDeobfuscateText", {}).text;
        if (state == "done") {
            out.ok = true;
            out.code = code;
            out.why = doc.text("partial");
            out.partial = !out.why.empty();
        } else if (!code.empty()) {
            // The decoding failed; the passes that need no decoding ran: partial.
            out.ok = true;
            out.partial = true;
            out.code = code;
            out.why = "the strings were not decoded: " + doc.text("error");
        } else {
            out.error = state == "sandbox" ? "the decoders asked for the sandbox too often" : doc.text("error");
            if (out.error.empty())
                out.error = "the deobfuscation failed";
            return out;
        }
        if (doc.count("report") > 0)
            out.report = readReport(doc);
        out.report.sandboxRuns = sandboxRuns_;
        if (!out.code.empty() && out.code.back() != '\n')
            out.code += '\n';
        return out;
    }
}

std::vector<std::string> reportLines(const Deobfuscation& d) {
    std::vector<std::string> lines;
    if (d.stopped) {
        lines.push_back("解混淆已停止：nothing was written");
        return lines;
    }
    if (!d.ok) {
        lines.push_back("解混淆失败：" + d.error);
        return lines;
    }
    const Report& r = d.report;
    lines.push_back("obfuscator: " + (r.obfuscator.empty() ? std::string("none recognised") : r.obfuscator));
    std::string options;
    for (const std::string& o : r.options)
        options += (options.empty() ? "" : ", ") + o;
    lines.push_back("options found: " + (options.empty() ? std::string("none") : options));
    lines.push_back("strings restored: " + std::to_string(r.stringsRestored) + " (decoders run in " +
                    std::to_string(r.sandboxRuns) + " fresh sandbox engine" + (r.sandboxRuns == 1 ? "" : "s") + ")");
    lines.push_back("functions inlined: " + std::to_string(r.functionsInlined));
    lines.push_back("dead code and control flow undone: " + std::to_string(r.deadCodeAndControlFlow) + " changes");
    lines.push_back("anti-debug and self-defending code removed: " + std::to_string(r.antiDebugAndSelfDefending) +
                    " changes");
    if (r.decoderCallsLeft > 0)
        lines.push_back("decoder calls left: " + std::to_string(r.decoderCallsLeft));
    if (d.partial)
        lines.push_back("解混淆不完整 (partial): " + d.why);
    else
        lines.push_back("解混淆完成：no decoder calls left");
    return lines;
}

// ---- the check ----

namespace {

class Runner {
public:
    virtual ~Runner() = default;
    virtual std::string load(const std::string& code) = 0;  // "" or the error
    virtual std::string eval(const std::string& expression) = 0;
    virtual void stop() = 0;  // from any thread
};

class ChakraRunner : public Runner {
public:
    ChakraRunner() {
        chakra_.setTimeLimit(std::chrono::seconds(30));
        chakra_.New();
        chakra_.AddCode(engine::jsonSupportScript());
    }
    std::string load(const std::string& code) override {
        if (chakra_.AddCode(code))
            return {};
        const engine::ChakraException e = chakra_.TakeException();
        if (chakra_.lastCallStopped())
            return "stopped after 30 s";
        return e.exception + (e.positioned() ? " (line " + std::to_string(e.line + 1) + ")" : "");
    }
    std::string eval(const std::string& expression) override {
        std::string v = chakra_.Eval(engine::describedValueScript(expression));
        const engine::ChakraException thrown = chakra_.TakeException();
        return thrown.thrown ? "error: " + thrown.exception : v;
    }
    void stop() override { chakra_.stop(); }

private:
    engine::ChakraCore chakra_;
};

class NativeRunner : public Runner {
public:
    NativeRunner() {
        // Obfuscated code may guard itself with loops that never end: the same limit as
        // ChakraCore's here.
        native_.ControlObject()->setTimeLimit(std::chrono::seconds(30));
        native_.Reset();
        native_.AddCode(engine::jsonSupportScript());
    }
    std::string load(const std::string& code) override {
        native_.AddCode(code);
        return error();
    }
    std::string eval(const std::string& expression) override {
        const engine::Value v = native_.Eval(engine::describedValueScript(expression));
        const std::string e = error();
        return e.empty() ? v.text() : "error: " + e;
    }
    void stop() override { native_.ControlObject()->stop(); }

private:
    std::string error() {
        const engine::ScriptError& e = native_.ControlObject()->Error();
        if (e.Number == 0)
            return {};
        return e.Description + (e.Line > 0 ? " (line " + std::to_string(e.Line) + ")" : "");
    }
    engine::JScript native_;
};

// "error: TypeError: null is not an object (evaluating 'a.length')" -> "error: TypeError"
std::string errorKind(const std::string& value) {
    if (value.rfind("error: ", 0) != 0)
        return {};
    const std::size_t colon = value.find(':', 7);
    return value.substr(0, colon);
}

std::unique_ptr<Runner> makeRunner(CheckEngine engine) {
    if (engine == CheckEngine::Native)
        return std::make_unique<NativeRunner>();
    return std::make_unique<ChakraRunner>();
}

}  // namespace

std::vector<std::string> evaluateWith(const std::string& code, const std::vector<std::string>& expressions,
                                      CheckEngine engine, std::string& loadError) {
    const auto runner = makeRunner(engine);
    loadError = runner->load(code);
    std::vector<std::string> values;
    for (const std::string& expression : expressions)
        values.push_back(loadError.empty() ? runner->eval(expression) : "error: not loaded");
    return values;
}

bool BehaviourCheck::allAgree() const {
    return !stopped && originalError.empty() && resultError.empty() &&
           std::all_of(expressions.begin(), expressions.end(), [](const CheckedExpression& e) { return e.agree; });
}

BehaviourCheck checkBehaviour(const std::string& original, const std::string& result,
                              const std::vector<std::string>& expressions, CheckEngine engine, const tools::Stop* stop) {
    BehaviourCheck check;
    const auto before = makeRunner(engine);
    const auto after = makeRunner(engine);
    std::optional<tools::Stop::Hook> hook;
    if (stop)
        hook.emplace(stop->onStop([b = before.get(), a = after.get()] {
            b->stop();
            a->stop();
        }));
    const auto stopped = [&] { return check.stopped = check.stopped || (stop && stop->stopped()); };
    const std::string stoppedValue = "error: stopped";
    check.originalError = before->load(original);
    if (!stopped())
        check.resultError = after->load(result);
    if (stopped()) {
        // Not a failure of the code: the engines' own words would blame their time limit.
        check.originalError.clear();
        check.resultError.clear();
    }
    for (const std::string& expression : expressions) {
        CheckedExpression e;
        e.expression = expression;
        if (stopped()) {
            e.original = e.result = stoppedValue;
            check.expressions.push_back(std::move(e));
            continue;
        }
        e.original = check.originalError.empty() ? before->eval(expression) : "error: not loaded";
        e.result = check.resultError.empty() && !stopped() ? after->eval(expression) : "error: not loaded";
        if (stopped())
            e.original = e.result = stoppedValue;
        // Errors agree when both sides throw the same kind of error (the engine's message names
        // the code it failed in, which deobfuscation changes): behaviour kept includes failures.
        e.agree = !check.stopped && e.original != "error: not loaded" &&
                  (e.original == e.result || (e.original.rfind("error: ", 0) == 0 && errorKind(e.original) == errorKind(e.result)));
        check.expressions.push_back(std::move(e));
    }
    return check;
}

std::vector<std::string> checkLines(const BehaviourCheck& check, CheckEngine engine) {
    const std::string name = engine == CheckEngine::Native ? "the native engine" : "ChakraCore";
    std::vector<std::string> lines;
    if (check.stopped)
        lines.push_back("检查已停止：the check in " + name + " was not run to the end");
    if (!check.originalError.empty())
        lines.push_back("the original did not load in " + name + ": " + check.originalError);
    if (!check.resultError.empty())
        lines.push_back("the result did not load in " + name + ": " + check.resultError);
    for (const CheckedExpression& e : check.expressions) {
        if (e.agree)
            lines.push_back("一致 " + e.expression + " = " + (e.original == e.result ? e.original : errorKind(e.original)));
        else
            lines.push_back("不一致 " + e.expression + ": original " + e.original + ", result " + e.result);
    }
    return lines;
}

}  // namespace quillbox::deobfuscate
