#include "accessible.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>

#include "handlers.h"
#include "imagecontrol.h"
#include "shaperect.h"
#include "spinbuttons.h"

namespace clipora {

namespace {

class AccessibleSpinButtons : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit AccessibleSpinButtons(QWidget* widget) : QAccessibleWidget(widget, QAccessible::SpinBox) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(spin()->position());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return spin()->position(); }
    void setCurrentValue(const QVariant& value) override { spin()->setPosition(value.toInt()); }
    QVariant maximumValue() const override { return spin()->maximum(); }
    QVariant minimumValue() const override { return spin()->minimum(); }
    QVariant minimumStepSize() const override { return std::abs(spin()->increment()); }

    QStringList actionNames() const override
    {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }

    // Called by Qt's accessibility code: the step's handlers run inside
    // runHandler, like a click's.
    void doAction(const QString& name) override
    {
        if (name == increaseAction())
            runHandler([this] { spin()->step(SpinButtons::Arrow::Next); });
        else if (name == decreaseAction())
            runHandler([this] { spin()->step(SpinButtons::Arrow::Previous); });
        else
            QAccessibleWidget::doAction(name);
    }

private:
    SpinButtons* spin() const { return static_cast<SpinButtons*>(widget()); }
};

QAccessibleInterface* factory(const QString& key, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget)
        return nullptr;
    if (key == QLatin1String("clipora::SpinButtons"))
        return new AccessibleSpinButtons(widget);
    if (key == QLatin1String("clipora::ImageControl") || key == QLatin1String("clipora::ShapeRect"))
        return new QAccessibleWidget(widget, QAccessible::Graphic);
    return nullptr;
}

}  // namespace

void installAccessibleFactory()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    (void)installed;
}

}  // namespace clipora
