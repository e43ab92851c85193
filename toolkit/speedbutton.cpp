#include "speedbutton.h"

#include "handlers.h"

#include <QMouseEvent>

namespace clipora {

SpeedButton::SpeedButton(const QString& caption, QWidget* parent) : QToolButton(parent)
{
    setText(caption);
    setCheckable(true);
    setFocusPolicy(Qt::NoFocus);
    setToolButtonStyle(Qt::ToolButtonTextOnly);
    setAutoRaise(false);
}

SpeedButton::~SpeedButton()
{
    if (group_)
        group_->removeButton(this);
}

void SpeedButton::mousePressEvent(QMouseEvent* event)
{
    emit mouseDown(event->button(), event->modifiers(), event->position().toPoint());
    QToolButton::mousePressEvent(event);
    // Presses with other buttons end here rather than reaching the window.
    event->accept();
}

void SpeedButton::nextCheckState()
{
    setChecked(!isChecked());
}

SpeedButtonGroup::SpeedButtonGroup(QObject* parent) : QObject(parent) {}

SpeedButtonGroup::~SpeedButtonGroup()
{
    for (const auto& button : buttons_)
        if (button)
            button->group_ = nullptr;
}

void SpeedButtonGroup::addButton(SpeedButton* button)
{
    if (!button || button->group_ == this)
        return;
    if (button->group_)
        button->group_->removeButton(button);
    button->group_ = this;
    buttons_.append(button);
    connect(button, &QAbstractButton::toggled, this,
            guarded([this, button](bool down) { buttonToggled(button, down); }));
    if (button->isChecked())
        buttonToggled(button, true);
}

QList<SpeedButton*> SpeedButtonGroup::buttons() const
{
    QList<SpeedButton*> list;
    for (const auto& button : buttons_)
        if (button)
            list.append(button);
    return list;
}

SpeedButton* SpeedButtonGroup::downButton() const
{
    for (const auto& button : buttons_)
        if (button && button->isChecked())
            return button;
    return nullptr;
}

void SpeedButtonGroup::releaseAll()
{
    for (SpeedButton* button : buttons())
        button->setChecked(false);
}

void SpeedButtonGroup::buttonToggled(SpeedButton* button, bool down)
{
    if (!down)
        return;
    for (SpeedButton* other : buttons())
        if (other != button)
            other->setChecked(false);
}

void SpeedButtonGroup::removeButton(SpeedButton* button)
{
    disconnect(button, nullptr, this, nullptr);
    buttons_.removeAll(button);
    button->group_ = nullptr;
}

}  // namespace clipora
