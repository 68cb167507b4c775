#include "app/StopWatch.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSocketNotifier>
#include <QVBoxLayout>
#include <chrono>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

#include "core/platform/Paths.h"

namespace quillbox::app {

StopWatch::StopWatch(std::function<void()> stop, int delayMs) {
    thread_ = std::thread([this, stop = std::move(stop), delayMs] { watch(stop, delayMs); });
}

StopWatch::~StopWatch() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void StopWatch::watch(std::function<void()> stop, int delayMs) {
    {
        std::unique_lock<std::mutex> lock(mutex_);
        if (wake_.wait_for(lock, std::chrono::milliseconds(delayMs), [this] { return done_; }))
            return;
    }
    QProcess dialog;
    dialog.setProcessChannelMode(QProcess::ForwardedChannels);
    dialog.start(QString::fromStdString(paths::join(paths::programDirectory(), "quillbox")),
                 {QString::fromLatin1(kStopDialogSwitch)});
    if (!dialog.waitForStarted(5000))
        return;
    shown_ = true;
    for (;;) {
        if (dialog.waitForFinished(100)) {
            // However the dialog went (its button, Esc, its close box, a crash), the user
            // can no longer stop from it: it stops the script on its way out.
            stopped_ = true;
            stop();
            return;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (done_)
            break;
    }
    dialog.kill();
    dialog.waitForFinished(2000);
}

int runStopDialog(int argc, char** argv) {
    QApplication app(argc, argv);
    QDialog dialog;
    dialog.setWindowTitle(QStringLiteral("提示"));
    dialog.setWindowFlags(dialog.windowFlags() | Qt::WindowStaysOnTopHint);
    auto* layout = new QVBoxLayout(&dialog);
    auto* label = new QLabel(QStringLiteral("代码执行中,点击「停止」结束执行"), &dialog);
    auto* button = new QPushButton(QStringLiteral("停止"), &dialog);
    button->setObjectName(QStringLiteral("按钮_停止"));
    layout->addWidget(label);
    layout->addWidget(button);
    QObject::connect(button, &QPushButton::clicked, &dialog, &QDialog::accept);
    dialog.resize(280, 90);
    // The program holds the other end of our standard input. However it ends, even
    // killed, the system closes that end, and the dialog must not outlive it.
    struct stat input {};
    std::unique_ptr<QSocketNotifier> parentWatch;
    if (fstat(STDIN_FILENO, &input) == 0 && S_ISFIFO(input.st_mode)) {
        parentWatch = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        QObject::connect(parentWatch.get(), &QSocketNotifier::activated, &dialog, [&dialog, &parentWatch] {
            char buffer[256];
            if (read(STDIN_FILENO, buffer, sizeof buffer) > 0)
                return;
            parentWatch->setEnabled(false);
            dialog.done(2);
        });
    }
    return dialog.exec() == QDialog::Accepted ? 0 : 1;
}

}  // namespace quillbox::app
