#include "app/WindowFrame.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QToolButton>
#include <QWidget>
#include <QWindow>
#include <algorithm>

#include "app/Controls.h"

namespace quillbox::app {

namespace {
const int kBorder = 10;
}

WindowFrame::WindowFrame(QWidget* window, QList<QWidget*> titleParts, QToolButton* maximiseButton)
    : QObject(window), window_(window), titleParts_(std::move(titleParts)), maximiseButton_(maximiseButton) {
    // The border belongs to whichever child lies under the mouse, so every event of the
    // application passes here first.
    qApp->installEventFilter(this);
    startSystemMove = [this] { return window_->windowHandle() && window_->windowHandle()->startSystemMove(); };
}

WindowFrame::~WindowFrame() {
    qApp->removeEventFilter(this);
    if (overrideCursor_)
        QApplication::restoreOverrideCursor();
}

void WindowFrame::toggleMaximised() {
    if (window_->isMaximized())
        window_->showNormal();
    else
        window_->showMaximized();
    if (onToggled)
        onToggled();
    updateMaximiseButton();
}

void WindowFrame::updateMaximiseButton() {
    const bool maximised = window_->isMaximized();
    const QString picture = maximised ? QStringLiteral("restore") : QStringLiteral("max");
    if (maximiseButton_->property("picture").toString() != picture) {
        maximiseButton_->setIcon(buttonIcon(picture));
        maximiseButton_->setProperty("picture", picture);
    }
    maximiseButton_->setToolTip(maximised ? QStringLiteral("还原") : QStringLiteral("最大化"));
}

void WindowFrame::keepOnScreen() {
    // The window may hang off the screen's top or left by at most 600 pixels and never
    // start beyond its right or bottom edge, so its title bar stays within reach.
    QScreen* screen = window_->screen() ? window_->screen() : QGuiApplication::primaryScreen();
    if (!screen || window_->isMaximized() || window_->isFullScreen())
        return;
    const QRect area = screen->geometry();
    const QPoint at = window_->pos();
    const QPoint kept(std::clamp(at.x(), area.left() - 600, area.right()),
                      std::clamp(at.y(), area.top() - 600, area.bottom()));
    if (kept != at)
        window_->move(kept);
}

Qt::Edges WindowFrame::edgesAt(const QPoint& globalPos) const {
    if (window_->isMaximized() || window_->isFullScreen())
        return {};
    const QRect r = window_->frameGeometry();
    if (!r.contains(globalPos))
        return {};
    Qt::Edges edges;
    if (globalPos.x() < r.left() + kBorder)
        edges |= Qt::LeftEdge;
    if (globalPos.x() > r.right() - kBorder)
        edges |= Qt::RightEdge;
    if (globalPos.y() < r.top() + kBorder)
        edges |= Qt::TopEdge;
    if (globalPos.y() > r.bottom() - kBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void WindowFrame::showResizeCursor(Qt::Edges edges) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    if (edges == (Qt::LeftEdge | Qt::TopEdge) || edges == (Qt::RightEdge | Qt::BottomEdge))
        shape = Qt::SizeFDiagCursor;
    else if (edges == (Qt::RightEdge | Qt::TopEdge) || edges == (Qt::LeftEdge | Qt::BottomEdge))
        shape = Qt::SizeBDiagCursor;
    else if (edges & (Qt::LeftEdge | Qt::RightEdge))
        shape = Qt::SizeHorCursor;
    else if (edges & (Qt::TopEdge | Qt::BottomEdge))
        shape = Qt::SizeVerCursor;
    if (edges && !overrideCursor_) {
        QApplication::setOverrideCursor(shape);
        overrideCursor_ = true;
    } else if (edges && overrideCursor_) {
        QApplication::changeOverrideCursor(shape);
    } else if (!edges && overrideCursor_) {
        QApplication::restoreOverrideCursor();
        overrideCursor_ = false;
    }
}

bool WindowFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonRelease && drag_ != Drag::None) {
        drag_ = Drag::None;
        return false;
    }
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseMove && type != QEvent::MouseButtonDblClick)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != window_)
        return false;
    auto* mouse = static_cast<QMouseEvent*>(event);
    const QPoint global = mouse->globalPosition().toPoint();

    if (type == QEvent::MouseMove && drag_ != Drag::None && (mouse->buttons() & Qt::LeftButton))
        return dragTitle(global);
    const Qt::Edges edges = edgesAt(global);
    if (type == QEvent::MouseMove && mouse->buttons() == Qt::NoButton) {
        showResizeCursor(edges);
        return false;
    }
    if (mouse->button() != Qt::LeftButton)
        return false;
    QWindow* handle = window_->windowHandle();
    if (type == QEvent::MouseButtonPress && edges && handle) {
        handle->startSystemResize(edges);
        return true;
    }
    if (!titleParts_.contains(widget))
        return false;
    if (type == QEvent::MouseButtonDblClick) {
        drag_ = Drag::None;
        toggleMaximised();
        return true;
    }
    if (type == QEvent::MouseButtonPress) {
        drag_ = Drag::Pressed;
        pressAt_ = global;
        windowAt_ = window_->pos();
        return true;
    }
    return false;
}

bool WindowFrame::dragTitle(const QPoint& global) {
    if (drag_ == Drag::Pressed) {
        if ((global - pressAt_).manhattanLength() < QApplication::startDragDistance())
            return true;
        if (startSystemMove && startSystemMove()) {
            drag_ = Drag::None;  // the desktop has the mouse now
            return true;
        }
        if (window_->isMaximized() || window_->isFullScreen()) {
            drag_ = Drag::None;
            return true;
        }
        drag_ = Drag::Manual;
    }
    window_->move(windowAt_ + (global - pressAt_));
    return true;
}

}  // namespace quillbox::app
