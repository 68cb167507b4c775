#include "app/FindReplaceWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QKeyEvent>

#include "core/editor/FindReplace.h"
#include "core/platform/Page.h"

namespace quillbox::app {

FindReplaceWindow::FindReplaceWindow(QWidget* owner, std::function<Page*()> currentPage)
    : QWidget(owner, Qt::Tool), currentPage_(std::move(currentPage)) {
    setObjectName(QStringLiteral("查找/替换"));
    setWindowTitle(QStringLiteral("查找/替换"));
    auto* grid = new QGridLayout(this);

    needle_ = new QLineEdit(this);
    needle_->setObjectName(QStringLiteral("编辑框_查找"));
    replacement_ = new QLineEdit(this);
    replacement_->setObjectName(QStringLiteral("编辑框_替换"));
    grid->addWidget(new QLabel(QStringLiteral("查找:"), this), 0, 0);
    grid->addWidget(needle_, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("替换:"), this), 1, 0);
    grid->addWidget(replacement_, 1, 1, 1, 3);

    wholeWord_ = new QCheckBox(QStringLiteral("全字匹配"), this);
    wholeWord_->setObjectName(QStringLiteral("选择框_全字匹配"));
    caseSensitive_ = new QCheckBox(QStringLiteral("大小写"), this);
    caseSensitive_->setObjectName(QStringLiteral("选择框_大小写"));
    regExp_ = new QCheckBox(QStringLiteral("正则"), this);
    regExp_->setObjectName(QStringLiteral("选择框_正则"));
    auto* options = new QHBoxLayout;
    for (QCheckBox* box : {wholeWord_, caseSensitive_, regExp_}) {
        options->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, box] { optionClicked(box); });
    }
    options->addStretch();
    grid->addLayout(options, 2, 0, 1, 4);

    auto button = [this](const char* name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(QString::fromUtf8(name));
        b->setAutoDefault(false);
        return b;
    };
    QPushButton* findButton = button("按钮_查找", QStringLiteral("查找"));
    QPushButton* replaceButton = button("按钮_替换一个", QStringLiteral("替换"));
    QPushButton* replaceAllButton = button("按钮_替换全部", QStringLiteral("全部替换"));
    QPushButton* closeButton = button("按钮_关闭", QStringLiteral("关闭"));
    connect(findButton, &QPushButton::clicked, this, &FindReplaceWindow::find);
    connect(replaceButton, &QPushButton::clicked, this, &FindReplaceWindow::replaceOne);
    connect(replaceAllButton, &QPushButton::clicked, this, &FindReplaceWindow::replaceAll);
    connect(closeButton, &QPushButton::clicked, this, &QWidget::hide);
    connect(needle_, &QLineEdit::returnPressed, this, &FindReplaceWindow::find);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(findButton);
    buttons->addWidget(replaceButton);
    buttons->addWidget(replaceAllButton);
    buttons->addWidget(closeButton);
    grid->addLayout(buttons, 3, 0, 1, 4);

    hint_ = new QLabel(this);
    hint_->setObjectName(QStringLiteral("标签_提示"));
    grid->addWidget(hint_, 4, 0, 1, 4);
    resize(380, 170);
}

void FindReplaceWindow::optionClicked(QCheckBox* clicked) {
    // One option at a time: the clicked box is on, the two others off.
    for (QCheckBox* box : {wholeWord_, caseSensitive_, regExp_})
        box->setChecked(box == clicked);
}

// Esc closes the window, wherever the focus is in it (the boxes pass the key on).
void FindReplaceWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        hide();
        return;
    }
    QWidget::keyPressEvent(event);
}

void FindReplaceWindow::open(const QRect& over) {
    // The first time the window goes to the top right corner of the area it serves (the
    // editor); where the user moves it afterwards, it stays.
    if (!over.isNull() && !placed_) {
        adjustSize();
        move(over.right() - width() - 24, over.top() + 8);
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
    needle_->setFocus();
    needle_->selectAll();
}

editor::FindReplaceForm FindReplaceWindow::form() const {
    editor::FindReplaceForm form;
    form.needle = needle_->text().toStdString();
    form.replacement = replacement_->text().toStdString();
    form.wholeWord = wholeWord_->isChecked();
    form.caseSensitive = caseSensitive_->isChecked();
    form.regExp = regExp_->isChecked();
    return form;
}

void FindReplaceWindow::find() { editor::findInPage(currentPage_(), form()); }

void FindReplaceWindow::replaceOne() {
    if (Page* page = currentPage_())
        hint_->setText(QString::fromStdString(editor::replaceOneInPage(page, form())));
}

void FindReplaceWindow::replaceAll() {
    if (Page* page = currentPage_())
        hint_->setText(QString::fromStdString(editor::replaceAllInPage(page, form())));
}

}  // namespace quillbox::app
