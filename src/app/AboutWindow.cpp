#include "app/AboutWindow.h"

#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/Controls.h"
#include "core/net/Addresses.h"
#include "core/platform/Shell.h"

namespace quillbox::app {

namespace {
const char* const kContactLink = addresses::kContactPage;
const char* const kGroupLink = addresses::kGroupPage;
}  // namespace

AboutWindow::AboutWindow(QWidget* owner, Shell& shell) : QWidget(owner, Qt::Tool) {
    setObjectName(QStringLiteral("窗口_关于"));
    setWindowTitle(QStringLiteral("关于"));
    auto* layout = new QVBoxLayout(this);
    auto* frame = new QFrame(this);
    frame->setObjectName(QStringLiteral("外形框1"));
    frame->setFrameShape(QFrame::StyledPanel);
    auto* rows = new QVBoxLayout(frame);
    const char* const lines[] = {
        "作者:Zorvan",
        "135792468        Alt+↑/↓移动当前行",
        "Js解密爱好者制作 (-.-)        Ctrl+F/H 查找/替换",
        "Ctrl+S 快速保存",
        "拖放Js文件可快速完成导入",
    };
    int n = 1;
    for (const char* line : lines) {
        auto* label = new QLabel(QString::fromUtf8(line), frame);
        label->setObjectName(QStringLiteral("标签_行%1").arg(n++));
        rows->addWidget(label);
    }
    layout->addWidget(frame);
    auto* buttons = new QHBoxLayout;
    auto* contact = new QToolButton(this);
    contact->setObjectName(QStringLiteral("图片框_联系"));
    contact->setIcon(buttonIcon(QStringLiteral("@"), QColor(60, 120, 216)));
    contact->setToolTip(QStringLiteral("联系作者"));
    auto* group = new QToolButton(this);
    group->setObjectName(QStringLiteral("图片框_群"));
    group->setIcon(buttonIcon(QStringLiteral("#"), QColor(60, 120, 216)));
    group->setToolTip(QStringLiteral("加入交流群"));
    auto* close = new QPushButton(QStringLiteral("关闭"), this);
    close->setObjectName(QStringLiteral("按钮_关闭"));
    connect(contact, &QToolButton::clicked, this, [&shell] { shell.open(kContactLink); });
    connect(group, &QToolButton::clicked, this, [&shell] { shell.open(kGroupLink); });
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    buttons->addWidget(contact);
    buttons->addWidget(group);
    buttons->addStretch();
    buttons->addWidget(close);
    layout->addLayout(buttons);
}

}  // namespace quillbox::app
