#include "scrollbox.h"

#include <QChildEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

namespace clipora {

ScrollBox::ScrollBox(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::NoFocus);
    viewport()->setFocusPolicy(Qt::NoFocus);
    viewport()->setBackgroundRole(QPalette::Window);
    viewport()->setAutoFillBackground(true);
    viewport()->installEventFilter(this);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    horizontalScrollBar()->setSingleStep(8);
    verticalScrollBar()->setSingleStep(8);
}

int ScrollBox::scrollX() const { return horizontalScrollBar()->value(); }
int ScrollBox::scrollY() const { return verticalScrollBar()->value(); }
int ScrollBox::scrollRangeX() const { return horizontalScrollBar()->maximum(); }
int ScrollBox::scrollRangeY() const { return verticalScrollBar()->maximum(); }

// Children of a hidden box report no moves until it is shown: bring the
// ranges up to date before clamping against them.
void ScrollBox::setScrollX(int x)
{
    updateScrollRanges();
    horizontalScrollBar()->setValue(x);
}

void ScrollBox::setScrollY(int y)
{
    updateScrollRanges();
    verticalScrollBar()->setValue(y);
}

void ScrollBox::updateScrollRanges()
{
    if (updatingRanges_) {
        pendingUpdate_ = true;
        return;
    }
    updatingRanges_ = true;
    // Showing or hiding a bar changes the client size, and a clamped scroll
    // value moves the children: repeat until nothing changes (a few rounds).
    for (int round = 0; round < 4; ++round) {
        pendingUpdate_ = false;
        const int sx = scrollX();
        const int sy = scrollY();
        int extentX = 0;
        int extentY = 0;
        for (QObject* object : viewport()->children()) {
            auto* child = qobject_cast<QWidget*>(object);
            if (!child || child->isWindow() || child->isHidden())
                continue;
            extentX = std::max(extentX, child->x() + child->width() + sx);
            extentY = std::max(extentY, child->y() + child->height() + sy);
        }
        const QSize client = viewport()->size();
        horizontalScrollBar()->setPageStep(std::max(1, client.width()));
        verticalScrollBar()->setPageStep(std::max(1, client.height()));
        horizontalScrollBar()->setRange(0, std::max(0, extentX - client.width()));
        verticalScrollBar()->setRange(0, std::max(0, extentY - client.height()));
        // Qt shows or hides the bars for a new range only later (queued);
        // lay the box out now so that the client size is final at once.
        setViewportMargins(viewportMargins());
        if (!pendingUpdate_ && viewport()->size() == client)
            break;
    }
    updatingRanges_ = false;
}

bool ScrollBox::event(QEvent* event)
{
    if (event->type() == QEvent::Resize) {
        auto* resize = static_cast<QResizeEvent*>(event);
        if (resize->size() != resize->oldSize())
            emit canResize(resize->size());
    }
    return QAbstractScrollArea::event(event);
}

bool ScrollBox::viewportEvent(QEvent* event)
{
    switch (event->type()) {
    case QEvent::Resize:
        updateScrollRanges();
        break;
    case QEvent::MouseButtonPress: {
        // A press that a child left unhandled arrives here too: only the bare
        // background counts.
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton)
            backgroundPressed_ = !viewport()->childAt(mouse->position().toPoint());
        event->accept();
        return true;
    }
    case QEvent::MouseButtonRelease: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && backgroundPressed_) {
            backgroundPressed_ = false;
            if (viewport()->rect().contains(mouse->position().toPoint()))
                emit clicked();
        }
        event->accept();
        return true;
    }
    default:
        break;
    }
    return QAbstractScrollArea::viewportEvent(event);
}

bool ScrollBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport()) {
        if (event->type() == QEvent::ChildAdded || event->type() == QEvent::ChildRemoved) {
            auto* child = static_cast<QChildEvent*>(event)->child();
            if (child->isWidgetType()) {
                if (event->type() == QEvent::ChildAdded)
                    child->installEventFilter(this);
                updateScrollRanges();
            }
        }
        return false;
    }
    switch (event->type()) {
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::Show:
    case QEvent::Hide:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        if (static_cast<QWidget*>(watched)->parentWidget() == viewport())
            updateScrollRanges();
        break;
    default:
        break;
    }
    return false;
}

void ScrollBox::scrollContentsBy(int dx, int dy)
{
    if (viewport()->isVisible()) {
        viewport()->scroll(dx, dy);
        return;
    }
    // QWidget::scroll() does nothing while the box is hidden.
    for (QObject* object : viewport()->children()) {
        auto* child = qobject_cast<QWidget*>(object);
        if (child && !child->isWindow())
            child->move(child->pos() + QPoint(dx, dy));
    }
}

}  // namespace clipora
