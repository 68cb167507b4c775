#pragma once
// Helpers that build the window's controls: object names, picture and text buttons and
// the painted glyphs of the picture buttons.
#include <QColor>
#include <QIcon>
#include <QString>
#include <string>

class QPushButton;
class QToolButton;
class QWidget;

namespace quillbox::app {

inline QString q(const std::string& s) { return QString::fromStdString(s); }

template <typename W>
W* named(W* widget, const char* name) {
    widget->setObjectName(QString::fromUtf8(name));
    return widget;
}

// A flat button showing a painted glyph (see buttonIcon); it never takes the focus.
QToolButton* pictureButton(QWidget* parent, const char* name, const QString& glyph);
// A push button with a text; it never takes the focus. Narrower than its text, it shows
// the text elided and the whole text as its tooltip.
QPushButton* textButton(QWidget* parent, const char* name, const QString& text);

// Paints one of the window's picture-button glyphs: "min", "max", "restore", "close",
// "menu", or any short text drawn bold.
QIcon buttonIcon(const QString& glyph, const QColor& colour = QColor(220, 220, 220));

}  // namespace quillbox::app
