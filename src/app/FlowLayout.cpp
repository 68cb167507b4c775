#include "app/FlowLayout.h"

#include <QWidget>
#include <algorithm>

namespace quillbox::app {

FlowLayout::FlowLayout(int spacing) { setSpacing(spacing); }

FlowLayout::~FlowLayout() {
    while (QLayoutItem* item = takeAt(0))
        delete item;
}

void FlowLayout::addItem(QLayoutItem* item) { items_.append(item); }

QLayoutItem* FlowLayout::takeAt(int index) {
    if (index < 0 || index >= items_.size())
        return nullptr;
    return items_.takeAt(index);
}

int FlowLayout::heightForWidth(int width) const { return place(QRect(0, 0, width, 0), false); }

QSize FlowLayout::minimumSize() const {
    // Any width will do down to the narrowest item's least width.
    QSize size;
    for (const QLayoutItem* item : items_)
        size = size.expandedTo(item->minimumSize());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize FlowLayout::sizeHint() const {
    // One row of everything.
    int width = 0;
    int height = 0;
    for (const QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        width += item->sizeHint().width() + (width > 0 ? spacing() : 0);
        height = std::max(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void FlowLayout::setGeometry(const QRect& rect) {
    QLayout::setGeometry(rect);
    place(rect, true);
}

int FlowLayout::place(const QRect& rect, bool apply) const {
    const QRect area = rect.marginsRemoved(contentsMargins());
    const int gap = spacing();
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    for (QLayoutItem* item : items_) {
        if (item->isEmpty())
            continue;
        QSize size = item->sizeHint();
        size.setWidth(std::max(item->minimumSize().width(), std::min(size.width(), area.width())));
        if (x > area.x() && x + size.width() > area.x() + area.width()) {
            x = area.x();
            y += rowHeight + gap;
            rowHeight = 0;
        }
        if (apply)
            item->setGeometry(QRect(QPoint(x, y), size));
        x += size.width() + gap;
        rowHeight = std::max(rowHeight, size.height());
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
}

}  // namespace quillbox::app
