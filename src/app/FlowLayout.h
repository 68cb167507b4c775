#pragma once
// A layout that places its widgets left to right and starts a new row when the next one
// does not fit. An item wider than a whole row is given the row's width (an eliding
// button then shortens its text).
#include <QLayout>
#include <QList>

namespace quillbox::app {

class FlowLayout : public QLayout {
public:
    explicit FlowLayout(int spacing = 3);
    ~FlowLayout() override;

    void addItem(QLayoutItem* item) override;
    int count() const override { return static_cast<int>(items_.size()); }
    QLayoutItem* itemAt(int index) const override { return items_.value(index); }
    QLayoutItem* takeAt(int index) override;
    Qt::Orientations expandingDirections() const override { return {}; }
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize minimumSize() const override;
    QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

private:
    // Lays the items out in `rect` (only measures when `apply` is false); the height used.
    int place(const QRect& rect, bool apply) const;

    QList<QLayoutItem*> items_;
};

}  // namespace quillbox::app
