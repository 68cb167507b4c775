#pragma once
// The commands that run the user's code: load the project into the engine the selector
// names, evaluate the function box, run it in the browser, and show a listed member's
// value. The two engines and the loader live here. A load or evaluation runs under a stop
// watch, so a script that runs too long can be stopped in either engine.
#include <functional>

#include "core/engine/CodeLoader.h"

namespace quillbox::app {

class MainWindow;

class EngineCommands {
public:
    explicit EngineCommands(MainWindow& window);

    engine::CodeLoader& loader() { return loader_; }

    void load();
    void evaluate();
    void runInBrowser();
    void showMemberValue();
    // The desktop's opener found nothing to open the target with, after it had started.
    void openFailed(const std::string& target);

private:
    std::function<void()> stopFor(int engine);
    int chosenEngine() const;
    void showCurrentListing();
    void sayNoBrowser(const std::string& page);

    MainWindow& window_;
    engine::JScript native_;
    engine::ChakraCore chakra_;
    engine::CodeLoader loader_;
};

}  // namespace quillbox::app
