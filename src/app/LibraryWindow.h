#pragma once
// The module library window "Findlibrary": the library's names, a filter box, 确认 and 取消.
// Modal; the pick it hands back is inserted into the project by the menu command.
#include <QDialog>

#include "core/online/ModuleLibrary.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace quillbox::app {

class LibraryWindow : public QDialog {
    Q_OBJECT
public:
    explicit LibraryWindow(online::ModuleLibrary& library, QWidget* parent = nullptr);

    // What was picked; "null" and "" unless 确认 or Enter picked a name.
    const online::LibraryPick& pick() const { return pick_; }

    QListWidget* list() const { return list_; }
    QLineEdit* filterBox() const { return filter_; }
    QPushButton* submitButton() const { return submit_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Confirm with the selected name (确认, Enter).
    void submit();
    // Closing by 取消, Escape or the title bar: nothing is picked.
    void reject() override;

private:
    void refill(const QString& filter);

    online::ModuleLibrary& library_;
    online::LibraryPick pick_;
    QLabel* label_;
    QListWidget* list_;
    QLineEdit* filter_;
    QPushButton* submit_;
    QPushButton* cancel_;
};

}  // namespace quillbox::app
