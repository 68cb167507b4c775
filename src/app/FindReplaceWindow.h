#pragma once
// The tool window "查找/替换": needle, replacement, one search option at a time, and the
// hint of the last replace.
#include <QWidget>
#include <functional>

#include "core/editor/FindReplace.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace quillbox {
class Page;
}

namespace quillbox::app {

class FindReplaceWindow : public QWidget {
    Q_OBJECT
public:
    // currentPage gives the page to act on, or nullptr when there is none.
    FindReplaceWindow(QWidget* owner, std::function<Page*()> currentPage);

    // Shows the window with the focus in the needle box, its text selected.
    void open();

    void find();
    void replaceOne();
    void replaceAll();

private:
    editor::FindReplaceForm form() const;
    void optionClicked(QCheckBox* clicked);

    std::function<Page*()> currentPage_;
    QLineEdit* needle_;
    QLineEdit* replacement_;
    QCheckBox* wholeWord_;
    QCheckBox* caseSensitive_;
    QCheckBox* regExp_;
    QLabel* hint_;
};

}  // namespace quillbox::app
