// The plain message box and the colour chooser: the real dialogs, and the
// hooks that answer them in tests.

#include <QColorDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/colordialog.h"
#include "toolkit/messagebox.h"

using namespace clipora;

TEST(MessageBox, TheRealBoxShowsTheTextAsItIsWithoutIcon)
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::Critical;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        box->button(QMessageBox::Ok)->click();
    });
    showMessage(QStringLiteral("サイズを変えてください"));
    EXPECT_EQ(title, QGuiApplication::applicationDisplayName());
    EXPECT_EQ(text, QStringLiteral("サイズを変えてください"));  // no "." added
    EXPECT_EQ(icon, QMessageBox::NoIcon);
}

TEST(MessageBox, HookReceivesTheTextInsteadOfAPerson)
{
    QStringList texts;
    const MessageBoxHook previous = setMessageBoxHook([&](const QString& text) { texts << text; });
    showMessage(QStringLiteral("abc"));
    setMessageBoxHook(previous);
    EXPECT_EQ(texts, QStringList{QStringLiteral("abc")});
}

TEST(ColorDialog, TheRealDialogOpensOnTheLastColourAndKeepsTheChosenOne)
{
    ColorDialog chooser;
    EXPECT_EQ(chooser.color(), QColor(Qt::black));
    QColor openedOn;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        openedOn = dialog->currentColor();
        dialog->setCurrentColor(QColor(10, 20, 30));
        dialog->accept();
    });
    EXPECT_TRUE(chooser.execute());
    EXPECT_EQ(openedOn, QColor(Qt::black));
    EXPECT_EQ(chooser.color(), QColor(10, 20, 30));

    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QColorDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        openedOn = dialog->currentColor();
        dialog->setCurrentColor(QColor(200, 0, 0));
        dialog->reject();
    });
    EXPECT_FALSE(chooser.execute());
    EXPECT_EQ(openedOn, QColor(10, 20, 30));
    EXPECT_EQ(chooser.color(), QColor(10, 20, 30));
}

TEST(ColorDialog, AnswererStandsInForThePerson)
{
    ColorDialog chooser;
    chooser.setColor(QColor(1, 2, 3));
    QList<QColor> asked;
    ColorDialogAnswerer previous = setColorDialogAnswerer([&](const QColor& current) -> std::optional<QColor> {
        asked << current;
        if (asked.size() == 1)
            return QColor(4, 5, 6, 100);  // the chosen colour is kept opaque
        return std::nullopt;
    });
    EXPECT_TRUE(chooser.execute());
    EXPECT_FALSE(chooser.execute());
    setColorDialogAnswerer(std::move(previous));
    EXPECT_EQ(asked, (QList<QColor>{QColor(1, 2, 3), QColor(4, 5, 6)}));
    EXPECT_EQ(chooser.color(), QColor(4, 5, 6));
}
