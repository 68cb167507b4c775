#include "app/LibraryWindow.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/QtPorts.h"
#include "core/net/Addresses.h"

namespace quillbox::app {

LibraryWindow::LibraryWindow(online::ModuleLibrary& library, QWidget* parent)
    : QDialog(parent), library_(library) {
    setWindowTitle(QStringLiteral("Findlibrary"));
    setModal(true);
    label_ = new QLabel(QStringLiteral("若模块库为空 请下载lib.zip后解压到程序目录后重试\n") +
                            QString::fromUtf8(addresses::kLibraryArchivePage.data(),
                                              static_cast<int>(addresses::kLibraryArchivePage.size())) +
                            QStringLiteral(" 提取码: q3x9"),
                        this);
    label_->setObjectName(QStringLiteral("标签1"));
    label_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The main window's dark style colours labels light; this window keeps the light palette.
    label_->setStyleSheet(QStringLiteral("QLabel { color: palette(window-text); }"));
    list_ = new QListWidget(this);
    list_->setObjectName(QStringLiteral("列表框_lib"));
    filter_ = new QLineEdit(this);
    filter_->setObjectName(QStringLiteral("编辑框_find"));
    filter_->setFont(outputFont());
    submit_ = new QPushButton(QStringLiteral("确认"), this);
    submit_->setObjectName(QStringLiteral("按钮_submit"));
    cancel_ = new QPushButton(QStringLiteral("取消"), this);
    cancel_->setObjectName(QStringLiteral("按钮_cancel"));
    // Enter belongs to the filter box and the list; neither button takes it by default.
    submit_->setAutoDefault(false);
    cancel_->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(filter_, 1);
    buttons->addWidget(submit_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_);
    layout->addWidget(list_, 1);
    layout->addLayout(buttons);
    resize(420, 360);

    connect(filter_, &QLineEdit::textChanged, this, &LibraryWindow::refill);
    connect(filter_, &QLineEdit::returnPressed, this, &LibraryWindow::submit);
    connect(list_, &QListWidget::itemActivated, this, [this] { submit(); });
    connect(submit_, &QPushButton::clicked, this, &LibraryWindow::submit);
    connect(cancel_, &QPushButton::clicked, this, &LibraryWindow::reject);

    library_.load();
    refill(QString());
    filter_->setFocus();
}

void LibraryWindow::refill(const QString& filter) {
    list_->clear();
    for (const std::string& name : library_.filter(filter.toStdString()))
        list_->addItem(QString::fromStdString(name));
    if (list_->count() > 0)
        list_->setCurrentRow(0);
}

void LibraryWindow::submit() {
    QListWidgetItem* item = list_->currentItem();
    pick_.module = item ? item->text().toStdString() : std::string();
    pick_.code = item ? library_.code(pick_.module) : std::string();
    library_.clear();
    QDialog::accept();
}

void LibraryWindow::reject() {
    pick_ = online::LibraryPick{};
    library_.clear();
    QDialog::reject();
}

}  // namespace quillbox::app
