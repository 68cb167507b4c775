#pragma once
// The tool window "查找/替换": needle, replacement, one search option at a time, and the
// hint of the last replace.
#include <QRect>
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

    // Shows the window with the focus in the needle box, its text selected; placed over the
    // top right of `over` (global coordinates, the editor) unless the user placed it there.
    void open(const QRect& over = QRect());

    void find();
    void replaceOne();
    void replaceAll();

protected:
    void keyPressEvent(QKeyEvent* event) override;

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
    bool placed_ = false;
};

}  // namespace quillbox::app
