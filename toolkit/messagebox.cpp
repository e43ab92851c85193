#include "messagebox.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

namespace clipora {

namespace {

MessageBoxHook& hookSlot()
{
    static MessageBoxHook hook;
    return hook;
}

}  // namespace

void showMessage(const QString& text, QWidget* parent)
{
    if (const MessageBoxHook& hook = hookSlot()) {
        hook(text);
        return;
    }
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok, parent);
    box.exec();
}

MessageBoxHook setMessageBoxHook(MessageBoxHook hook)
{
    MessageBoxHook previous = std::move(hookSlot());
    hookSlot() = std::move(hook);
    return previous;
}

}  // namespace clipora
