// Start-up to an editor that accepts typing: the main window with one module's editor
// page, against a bare QWebEngineView showing the same editor page. Both are measured in
// the same process after one warm-up load (the browser engine's own start is paid once, by
// neither), alternating, and the medians are compared.
//
//   bench_startup [rounds]      (default 7; prints the medians and the ratio)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/EditorView.h"
#include "app/MainWindow.h"
#include "app/Startup.h"
#include "core/config/Settings.h"

namespace {

using quillbox::app::MainWindow;

// Waits until the page's editor exists and takes a typed character.
bool editorAcceptsTyping(QWebEnginePage* page) {
    for (int attempt = 0; attempt < 2000; ++attempt) {
        QEventLoop loop;
        QVariant answer;
        page->runJavaScript(QStringLiteral("typeof editor==='object'&&(editor.insert('x'),editor.getValue().length>0)"),
                            [&](const QVariant& v) {
                                answer = v;
                                loop.quit();
                            });
        loop.exec();
        if (answer.toBool())
            return true;
        QEventLoop pause;
        QTimer::singleShot(5, &pause, &QEventLoop::quit);
        pause.exec();
    }
    return false;
}

double bareView(const QUrl& url) {
    QElapsedTimer timer;
    timer.start();
    QWebEngineView view;
    view.resize(800, 500);
    view.setUrl(url);
    view.show();
    if (!editorAcceptsTyping(view.page()))
        std::fprintf(stderr, "bare view: the editor never came up\n");
    return timer.nsecsElapsed() / 1e6;
}

double mainWindow(const quillbox::config::IniFile& ini) {
    QElapsedTimer timer;
    timer.start();
    quillbox::app::deployEditorAssetsIfNeeded(ini);
    MainWindow window(ini);
    window.initialise();
    window.applySettingsAtStart();
    window.show();
    quillbox::ProjectStore& store = window.store();
    store.tree().select(store.addProjectCore("demo"));
    store.selectNode(store.addModuleCore("main", ""));
    // The one editor shows the module once its page is ready.
    quillbox::app::EditorView* view = window.editorView();
    for (int i = 0; i < 20000 && view->shownDocument() != store.currentPage(); ++i) {
        QEventLoop pause;
        QTimer::singleShot(1, &pause, &QEventLoop::quit);
        pause.exec();
    }
    if (view->shownDocument() != store.currentPage() || !editorAcceptsTyping(view->webView()->page()))
        std::fprintf(stderr, "main window: the editor never came up\n");
    const double ms = timer.nsecsElapsed() / 1e6;
    // Closing asks nothing: the settings remember the code.
    return ms;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    const std::string root = "/tmp/quillbox-bench-startup";
    std::system(("rm -rf " + root).c_str());
    setenv("QUILLBOX_HOME", (root + "/home").c_str(), 1);
    setenv("XDG_CACHE_HOME", (root + "/cache").c_str(), 1);
    QApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);

    const quillbox::config::IniFile ini = quillbox::config::settingsFile();
    quillbox::app::deployEditorAssetsIfNeeded(ini);
    const QUrl url = QUrl::fromLocalFile(QString::fromStdString(quillbox::app::editorPagePath()));
    bareView(url);  // warm-up: the browser engine starts once

    std::vector<double> bare, ours;
    for (int i = 0; i < rounds; ++i) {
        bare.push_back(bareView(url));
        ours.push_back(mainWindow(ini));
    }
    const double b = median(bare), o = median(ours);
    std::printf("bare QWebEngineView to a typing editor: %.1f ms (median of %d)\n", b, rounds);
    std::printf("quillbox main window to a typing editor: %.1f ms (median of %d)\n", o, rounds);
    std::printf("ratio quillbox / bare view: %.2fx (target under 1.5x)\n", o / b);
    std::system(("rm -rf " + root).c_str());
    return 0;
}
