#include "colourswatch.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>

namespace clipora {

namespace {

class AccessibleSwatch : public QAccessibleWidget {
public:
    explicit AccessibleSwatch(QWidget* widget) : QAccessibleWidget(widget, QAccessible::Graphic) {}

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Description)
            return static_cast<ColourSwatch*>(widget())->color().name(QColor::HexRgb).toUpper();
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* swatchFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String("clipora::zoom::ColourSwatch"))
        return new AccessibleSwatch(static_cast<QWidget*>(object));
    return nullptr;
}

void installSwatchFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(swatchFactory);
        return true;
    }();
    (void)installed;
}

}  // namespace

ColourSwatch::ColourSwatch(QWidget* parent) : QWidget(parent)
{
    installSwatchFactory();
}

void ColourSwatch::setColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
    QAccessibleEvent changed(this, QAccessible::DescriptionChanged);
    QAccessible::updateAccessibility(&changed);
}

void ColourSwatch::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), color_);
    painter.setPen(Qt::black);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

Dot::Dot(QWidget* parent) : QWidget(parent) {}

void Dot::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

}  // namespace clipora
