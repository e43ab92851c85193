#include "errorbox.h"

#include <QApplication>
#include <QMessageBox>
#include <QWidget>

#include <new>

namespace clipora {

namespace {

ErrorBoxHook& hookSlot()
{
    static ErrorBoxHook hook;
    return hook;
}

}  // namespace

std::string errorBoxText(const std::string& utf8)
{
    if (!utf8.empty() && static_cast<unsigned char>(utf8.back()) > static_cast<unsigned char>('.'))
        return utf8 + ".";
    return utf8;
}

QString errorBoxText(const QString& text)
{
    return QString::fromStdString(errorBoxText(text.toStdString()));
}

void showErrorBox(const QString& text, QWidget* parent)
{
    ErrorBoxMessage message{QGuiApplication::applicationDisplayName(), errorBoxText(text)};
    if (const ErrorBoxHook& hook = hookSlot()) {
        hook(message);
        return;
    }
    if (!parent)
        parent = QApplication::activeWindow();
    QMessageBox box(QMessageBox::Critical, message.title, message.text, QMessageBox::Ok, parent);
    box.exec();
}

ErrorBoxHook setErrorBoxHook(ErrorBoxHook hook)
{
    ErrorBoxHook previous = std::move(hookSlot());
    hookSlot() = std::move(hook);
    return previous;
}

QString exceptionText(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("メモリが不足しています");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("不明なエラーが発生しました");
    }
}

void reportException(const std::exception_ptr& error)
{
    showErrorBox(exceptionText(error));
}

}  // namespace clipora
