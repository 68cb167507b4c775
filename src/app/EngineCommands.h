#pragma once
// The commands that run the user's code: load the project into the engine the selector
// names, evaluate the function box, run it in the browser, and show a listed member's
// value. The two engines and the loader live here, each engine on a thread of its own: the
// window draws and takes input while a script runs, shows what runs and for how long, and
// offers the stop; the commands that need an engine wait until it is free.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/engine/CodeLoader.h"
#include "core/engine/EngineThread.h"
#include "core/engine/LoadState.h"
#include "core/transform/Transform.h"

namespace quillbox::app {

class MainWindow;

class StopWatch;

class EngineCommands : public QObject {
    Q_OBJECT
public:
    explicit EngineCommands(MainWindow& window);
    // Stops what runs and ends the engines' thread.
    ~EngineCommands() override;

    engine::CodeLoader& loader() { return loader_; }
    // The run settings in the settings file (deterministic runs, watch points) hold for the
    // loads given from now on. The answer is what is wrong with them ("" when nothing).
    std::string applyRunSettings();

    // Loads the current project into the chosen engine; `then` gets whether it loaded.
    void load(std::function<void(bool)> then = {});
    // Before E code is copied: the call it wraps (the function box) is run in the engine the
    // E program will use (call styles 1000 and 1001: the native engine; 1002: ChakraCore). A
    // failure is shown and the user asked whether to copy all the same; `copy` runs when the
    // call worked or the user says so.
    void checkCallThenCopy(int callStyle, std::function<void()> copy);
    // Evaluates the function box. When the chosen engine does not hold the current project
    // as it is now (edited since, another project, never loaded), it is loaded first and the
    // transcript says so: an evaluation never runs silently against old code.
    void evaluate();
    // Ctrl+Enter and F5: loads, then evaluates what the function box holds, if anything.
    void loadThenEvaluate();
    // The function box in both engines side by side: the project loaded into each, the
    // expression evaluated in each, both answers in the transcript and what differs marked.
    void compareEngines();
    // "格式化并定位": the module of a load's error is formatted, a copy of the project with it
    // loaded into the chosen engine, and the error shown where it lies in the formatted code.
    // The module itself is not changed.
    void formatAndLocate(const ErrorSpot& spot);
    // What each engine holds and whether it is current, for the status line.
    QString engineStatus();
    void runInBrowser();
    void showMemberValue();
    // Compress or format the page in the editor. The library runs on a thread of its own, so
    // a long file never stops the window; the result is written only onto the text it was
    // made from.
    void transform(transform::Mode mode);
    // Runs a task of the program's own tools on their thread (never the user's engines').
    void onTools(std::function<void()> task) { tools_->post(std::move(task)); }
    // A command of the program's own tools that the user may stop (the conversion, the
    // deobfuscation): while `task` runs on the tools' thread, the run state shows `what` and
    // the stop button calls `stop` (any thread may); `done` runs here afterwards. False, and
    // nothing runs, while another run is under way.
    bool runTool(const QString& what, std::function<void()> stop, std::function<void()> task,
                 std::function<void()> done);
    // The desktop's opener found nothing to open the target with, after it had started.
    void openFailed(const std::string& target);
    // Stops the script that runs, if any.
    void stop();
    // Whether a load or an evaluation is under way.
    bool running() const { return running_; }

private:
    void loadInto(engine::EngineKind engine, std::function<void(bool)> then);
    void evaluateNow(engine::EngineKind engine);
    std::function<void()> stopFor(engine::EngineKind engine);
    engine::EngineKind chosenEngine() const;
    engine::EngineThread& threadOf(engine::EngineKind engine);
    void showCurrentListing();
    void sayNoBrowser(const std::string& page);
    // A run begins (what it is, for the state shown) and ends.
    void started(engine::EngineKind engine, const QString& what);
    void finished();
    void showRunState();
    void showRunning(bool running);

    MainWindow& window_;
    engine::JScript native_;
    engine::ChakraCore chakra_;
    engine::CodeLoader loader_;
    // Each engine's thread, by engine::EngineKind. Declared after what their tasks use: they
    // end (and so do the tasks) before those go.
    std::unique_ptr<engine::EngineThread> threads_[2];
    // The program's own tools (compress, format): never the user's engines.
    std::unique_ptr<engine::EngineThread> tools_;
    bool transforming_ = false;
    bool comparing_ = false;
    bool running_ = false;
    engine::EngineKind runningEngine_ = engine::EngineKind::Native;
    std::function<void()> toolStop_;  // the stop of the tools' command that runs, if one does
    QString what_;
    QElapsedTimer elapsed_;
    QTimer tick_;
    std::unique_ptr<StopWatch> watch_;
    // What each engine holds since its last load (native, ChakraCore); none after a failed
    // or stopped load or a stopped evaluation, which leave it empty.
    std::optional<engine::LoadStamp> loaded_[2];
    std::optional<engine::LoadStamp>& loadedIn(engine::EngineKind engine) {
        return loaded_[engine == engine::EngineKind::Native ? 0 : 1];
    }
};

}  // namespace quillbox::app
