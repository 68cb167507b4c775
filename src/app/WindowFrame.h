#pragma once
// The frame of a frameless window, drawn by the window itself: dragging the title bar
// moves the window and a double-click on it maximises or restores, the border within
// 10 pixels resizes (both through the desktop's own move and resize), the maximise
// button shows the state, and the window stays within reach on the screen.
#include <QList>
#include <QObject>
#include <QPoint>
#include <functional>

class QToolButton;
class QWidget;

namespace quillbox::app {

class WindowFrame : public QObject {
    Q_OBJECT
public:
    // `titleParts` are the widgets that make up the title bar.
    WindowFrame(QWidget* window, QList<QWidget*> titleParts, QToolButton* maximiseButton);
    ~WindowFrame() override;

    void toggleMaximised();
    // Called after each toggle, when the window has its new size.
    std::function<void()> onToggled;
    // Hands a drag of the title bar to the desktop; false when it cannot take it (no
    // window manager), and the frame moves the window itself.
    std::function<bool()> startSystemMove;

    // The window's change and move handlers call these.
    void updateMaximiseButton();
    void keepOnScreen();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Qt::Edges edgesAt(const QPoint& globalPos) const;
    void showResizeCursor(Qt::Edges edges);
    bool dragTitle(const QPoint& global);

    QWidget* window_;
    QList<QWidget*> titleParts_;
    QToolButton* maximiseButton_;
    bool overrideCursor_ = false;
    // A press on the title bar becomes a move only once the mouse has travelled the drag
    // distance, so that the second click of a double-click reaches the window.
    enum class Drag { None, Pressed, Manual } drag_ = Drag::None;
    QPoint pressAt_;
    QPoint windowAt_;
};

}  // namespace quillbox::app
