#pragma once
// A scroll box whose children live in its client coordinates.
//
// Children are plain widgets whose parent is client() (the viewport). Their
// positions are client coordinates: scrolling moves every child, hidden ones
// included, by exactly the scroll amount, so a child's pos() is where it
// stands in the visible client area (a child placed at x = 27 stands at
// x = 27 - 100 after scrolling right by 100).
//
// Scroll ranges follow the children: the extent on each axis is the largest
// (position + size + current scroll position) over the visible children; the
// range is max(0, extent - client size). The ranges are recomputed
// synchronously whenever a child is added, moved, resized, shown or hidden
// and whenever the box changes size. A scroll bar shows whenever its range is
// not empty. Setting a scroll position clamps it to its range.
//
// canResize(newSize) is emitted when the box's size is about to change its
// client area: before the viewport, the scroll ranges and the children are
// brought into line with the new size (positions and scroll values read in
// the handler are those from before the change).
//
// clicked() is emitted for a click of the first mouse button on the bare
// background of the client area (press and release both on the background,
// not on a child).
//
// The box itself never takes the keyboard focus.

#include <QAbstractScrollArea>

namespace clipora {

class ScrollBox : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ScrollBox(QWidget* parent = nullptr);

    // The parent for the box's children.
    QWidget* client() const { return viewport(); }

    int scrollX() const;
    int scrollY() const;
    void setScrollX(int x);
    void setScrollY(int y);
    int scrollRangeX() const;
    int scrollRangeY() const;

    // Recomputes the scroll ranges now (normally automatic).
    void updateScrollRanges();

signals:
    void canResize(const QSize& newSize);
    void clicked();

protected:
    bool event(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    bool updatingRanges_ = false;
    bool pendingUpdate_ = false;
    bool backgroundPressed_ = false;
};

}  // namespace clipora
