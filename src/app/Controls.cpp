#include "app/Controls.h"

#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QToolButton>
#include <algorithm>

namespace quillbox::app {

QToolButton* pictureButton(QWidget* parent, const char* name, const QString& glyph) {
    auto* button = named(new QToolButton(parent), name);
    button->setIcon(buttonIcon(glyph));
    button->setAutoRaise(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setIconSize(QSize(16, 16));
    return button;
}

namespace {

// A push button that, given less room than its text needs, shows the text cut with an
// ellipsis and the whole text as its tooltip; text() stays the whole text.
class ElidingButton : public QPushButton {
public:
    ElidingButton(const QString& text, QWidget* parent) : QPushButton(text, parent) {}
    QSize minimumSizeHint() const override {
        const QSize full = sizeHint();
        return QSize(std::min(full.width(), 48), full.height());
    }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (width() >= sizeHint().width()) {
            QPushButton::paintEvent(event);
            return;
        }
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const int chrome = sizeHint().width() - fontMetrics().horizontalAdvance(text()) + 4;
        option.text = fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, width() - chrome));
        painter.drawControl(QStyle::CE_PushButton, option);
    }
    void resizeEvent(QResizeEvent* event) override {
        QPushButton::resizeEvent(event);
        if (width() < sizeHint().width())
            setToolTip(text());
        else if (toolTip() == text())
            setToolTip(QString());
    }
};

}  // namespace

QPushButton* textButton(QWidget* parent, const char* name, const QString& text) {
    auto* button = named(static_cast<QPushButton*>(new ElidingButton(text, parent)), name);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QIcon buttonIcon(const QString& glyph, const QColor& colour) {
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(colour, 3);
    painter.setPen(pen);
    if (glyph == QLatin1String("min")) {
        painter.drawLine(8, 22, 24, 22);
    } else if (glyph == QLatin1String("max")) {
        painter.drawRect(8, 8, 16, 16);
    } else if (glyph == QLatin1String("restore")) {
        painter.drawRect(6, 12, 13, 13);
        painter.drawPolyline(QPolygon({QPoint(12, 12), QPoint(12, 6), QPoint(25, 6), QPoint(25, 19), QPoint(19, 19)}));
    } else if (glyph == QLatin1String("close")) {
        painter.drawLine(8, 8, 24, 24);
        painter.drawLine(24, 8, 8, 24);
    } else if (glyph == QLatin1String("menu")) {
        for (int y : {9, 16, 23})
            painter.drawLine(7, y, 25, y);
    } else {
        QFont font = painter.font();
        font.setPixelSize(glyph.size() > 1 ? 15 : 24);
        font.setBold(true);
        painter.setFont(font);
        painter.drawText(pixmap.rect(), Qt::AlignCenter, glyph);
    }
    return QIcon(pixmap);
}

}  // namespace quillbox::app
