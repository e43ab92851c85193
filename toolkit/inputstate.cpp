#include "inputstate.h"

#include <QGuiApplication>

#include "application.h"

namespace clipora {

Qt::KeyboardModifiers currentInputModifiers()
{
    if (!qobject_cast<Application*>(QCoreApplication::instance()))
        return QGuiApplication::keyboardModifiers();
    return Application::inputModifiers();
}

bool ctrlHeld()
{
    return currentInputModifiers().testFlag(Qt::ControlModifier);
}

}  // namespace clipora
