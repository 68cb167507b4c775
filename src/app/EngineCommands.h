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
#include <string>

#include "core/engine/CodeLoader.h"
#include "core/engine/EngineThread.h"
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

    void load();
    void evaluate();
    void runInBrowser();
    void showMemberValue();
    // Compress or format the page in the editor. The library runs on a thread of its own, so
    // a long file never stops the window; the result is written only onto the text it was
    // made from.
    void transform(transform::Mode mode);
    // Runs a task of the program's own tools on their thread (never the user's engines').
    void onTools(std::function<void()> task) { tools_->post(std::move(task)); }
    // The desktop's opener found nothing to open the target with, after it had started.
    void openFailed(const std::string& target);
    // Stops the script that runs, if any.
    void stop();
    // Whether a load or an evaluation is under way.
    bool running() const { return running_; }

private:
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
    bool running_ = false;
    engine::EngineKind runningEngine_ = engine::EngineKind::Native;
    QString what_;
    QElapsedTimer elapsed_;
    QTimer tick_;
    std::unique_ptr<StopWatch> watch_;
};

}  // namespace quillbox::app
