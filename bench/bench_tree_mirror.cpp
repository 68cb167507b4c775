// The tree widget's share of a reload with many listed names. A module with N global
// functions is listed, then listed again (the second listing clears the first): once on a
// project tree that no window shows (the peer), once on the main window's tree, where
// every node also becomes a tree item. With --load, the same happens through the load
// command of the window (native engine), first load against the reload.
//
//   bench_tree_mirror [N] [--load]     (default 10000; prints seconds and the ratio)
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QToolButton>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/config/Settings.h"
#include "core/project/ProjectStore.h"
#include "core/project/TextPage.h"

namespace {

using namespace quillbox;

// What a reload does to the tree: clear the listed names under "方法", then list them.
double relist(ProjectTree& tree, NodeId methods, int names) {
    QElapsedTimer timer;
    timer.start();
    tree.removeChildren(methods);
    for (int i = 0; i < names; ++i)
        tree.add(methods, "f" + std::to_string(i), 4, 4, node_value::kFunction);
    QApplication::processEvents();
    return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

NodeId methodsOf(ProjectStore& store) {
    ProjectTree& tree = store.tree();
    return tree.children(tree.findChild("bench", "m.js"))[0];
}

void addBenchProject(ProjectStore& store, const std::string& code) {
    store.tree().select(store.addProjectCore("bench"));
    store.selectNode(store.addModuleCore("m", code));
}

}  // namespace

int main(int argc, char** argv) {
    int names = 10000;
    bool load = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--load") == 0)
            load = true;
        else
            names = std::atoi(argv[i]);
    }
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    const config::IniFile ini = config::settingsFile();
    app::deployEditorAssetsIfNeeded(ini);
    app::MainWindow window(ini);
    window.initialise();
    window.applySettingsAtStart();
    window.show();

    if (load) {
        std::string code;
        for (int i = 0; i < names; ++i)
            code += "function f" + std::to_string(i) + "(){}\n";
        addBenchProject(window.store(), code);
        auto* button = window.findChild<QToolButton*>(QStringLiteral("按钮_加载"));
        QElapsedTimer timer;
        timer.start();
        button->click();
        QApplication::processEvents();
        const double first = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        timer.restart();
        button->click();
        QApplication::processEvents();
        const double again = static_cast<double>(timer.nsecsElapsed()) / 1e9;
        std::printf("%d names, load command: first load %.2f s, reload %.2f s, ratio %.2f\n", names, first, again,
                    again / first);
        return 0;
    }

    // The peer: the same operations on a tree that no widget mirrors.
    ProjectStore bare(window.dialogs(), [](const std::string& name, std::string code) {
        return std::unique_ptr<Page>(new TextPage(name, std::move(code)));
    });
    addBenchProject(bare, "");
    relist(bare.tree(), methodsOf(bare), names);
    const double alone = relist(bare.tree(), methodsOf(bare), names);

    addBenchProject(window.store(), "");
    relist(window.store().tree(), methodsOf(window.store()), names);
    const double shown = relist(window.store().tree(), methodsOf(window.store()), names);
    std::printf("%d names, reload listing: tree alone %.2f s, with the window's tree %.2f s, ratio %.2f\n", names,
                alone, shown, shown / alone);
    return 0;
}
