#pragma once
// The about window: who made the program, the hot keys, and two links.
#include <QWidget>

namespace quillbox {
class Shell;
}

namespace quillbox::app {

class AboutWindow : public QWidget {
    Q_OBJECT
public:
    AboutWindow(QWidget* owner, Shell& shell);
};

}  // namespace quillbox::app
