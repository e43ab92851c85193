#include "textcontrols.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QStringList>

namespace clipora {

void TClickLabel::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        pressed_ = true;
    QLabel::mousePressEvent(event);
}

void TClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool wasPressed = pressed_ && event->button() == Qt::LeftButton;
    if (event->button() == Qt::LeftButton)
        pressed_ = false;
    QLabel::mouseReleaseEvent(event);
    if (wasPressed && rect().contains(event->position().toPoint()))
        emit clicked();
}

TStaticText::TStaticText(QWidget* parent) : QFrame(parent)
{
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    white.setColor(QPalette::WindowText, Qt::black);
    setPalette(white);
}

void TStaticText::setText(const QString& text)
{
    if (text == text_)
        return;
    text_ = text;
    update();
}

int TStaticText::linePitch() const
{
    const int pixels = font().pixelSize();
    return pixels > 0 ? pixels : QFontInfo(font()).pixelSize();
}

void TStaticText::paintEvent(QPaintEvent* event)
{
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect();
    painter.setClipRect(area);
    painter.setPen(palette().color(QPalette::WindowText));
    const QFontMetrics metrics(font());
    QString lines = text_;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    int top = area.top();
    for (const QString& line : lines.split(QLatin1Char('\n'))) {
        if (top >= area.bottom())
            break;
        painter.drawText(QPoint(area.left(), top + metrics.ascent()), line);
        top += linePitch();
    }
}

}  // namespace clipora
