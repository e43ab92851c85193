#include <QAction>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/application.h"
#include "toolkit/conversions.h"
#include "toolkit/editfield.h"
#include "toolkit/errorbox.h"
#include "toolkit/inputstate.h"
#include "toolkit/trackbar.h"

using namespace clipora;

TEST(ErrorBoxText, FullStopIsAppendedWhenTheLastByteSortsAfterIt)
{
    struct Case {
        const char* text;
        const char* shown;
    };
    const Case cases[] = {
        {"", ""},
        {"abc", "abc."},
        {"JPEG エラー #42", "JPEG エラー #42."},
        {"'x' は整数ではありません", "'x' は整数ではありません."},
        {"ends with a full stop.", "ends with a full stop."},
        {"。", "。."},  // every byte of a non-ASCII character is above '.'
        {"path /", "path /."},    // '/' is 0x2F
        {"time 12:", "time 12:."},
        {"dash -", "dash -"},     // 0x2D
        {"comma ,", "comma ,"},   // 0x2C
        {"bang!", "bang!"},
        {"(paren)", "(paren)"},
        {"blank ", "blank "},
        {"newline\n", "newline\n"},
        {"\xff", "\xff."},        // not UTF-8: still by its byte
    };
    for (const Case& c : cases) {
        EXPECT_EQ(errorBoxText(std::string(c.text)), std::string(c.shown)) << c.text;
        if (std::string(c.text) != "\xff") {
            EXPECT_EQ(errorBoxText(QString::fromUtf8(c.text)), QString::fromUtf8(c.shown)) << c.text;
        }
    }
}

TEST(ErrorBox, TheRealBoxHasTheApplicationTitleStopIconAndOk)
{
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        title = box->windowTitle();
        text = box->text();
        icon = box->icon();
        buttons = box->standardButtons();
        box->button(QMessageBox::Ok)->click();
    });
    showErrorBox(QStringLiteral("ファイル /x は開けません"));
    EXPECT_EQ(title, QGuiApplication::applicationDisplayName());
    EXPECT_FALSE(title.isEmpty());
    EXPECT_EQ(text, QStringLiteral("ファイル /x は開けません."));
    EXPECT_EQ(icon, QMessageBox::Critical);
    EXPECT_EQ(buttons, QMessageBox::Ok);
}

TEST(ErrorBox, HookReceivesTheBoxInsteadOfAPerson)
{
    test::ErrorBoxRecorder boxes;
    showErrorBox(QStringLiteral("abc"));
    EXPECT_EQ(boxes.texts, QStringList({"abc."}));
    EXPECT_EQ(boxes.titles, QStringList({QGuiApplication::applicationDisplayName()}));
}

TEST(ErrorBox, ExceptionTextsForEveryKindOfError)
{
    EXPECT_EQ(exceptionText(std::make_exception_ptr(ConversionError(QStringLiteral("1x")))),
              QStringLiteral("'1x' は整数ではありません"));
    EXPECT_EQ(exceptionText(std::make_exception_ptr(std::bad_alloc())), QStringLiteral("メモリが不足しています"));
    EXPECT_EQ(exceptionText(std::make_exception_ptr(42)), QStringLiteral("不明なエラーが発生しました"));
}

TEST(ErrorBox, ErrorEscapingAHandlerIsShownAndTheEventLoopGoesOn)
{
    test::ErrorBoxRecorder boxes;
    QWidget window;
    QPushButton button(QStringLiteral("go"), &window);
    QStringList log;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        log << "before";
        toIntStrict(QStringLiteral("abc"));
        log << "after";  // never runs
    });
    test::showActive(window);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTimer::singleShot(0, [&] { log << "timer"; });
    QTest::qWait(20);
    EXPECT_EQ(log, QStringList({"before", "before", "timer"}));
    EXPECT_EQ(boxes.texts, QStringList({"'abc' は整数ではありません.", "'abc' は整数ではありません."}));
}

TEST(ErrorBox, ErrorInANestedChangeHandlerEndsTheWholeEvent)
{
    // A thumb assignment runs its change handler inside itself: an error
    // there ends the handler that assigned, not only the nested one.
    test::ErrorBoxRecorder boxes;
    QWidget window;
    QPushButton button(QStringLiteral("go"), &window);
    TrackBar bar(Qt::Horizontal, &window);
    bar.setRange(0, 100);
    QStringList log;
    QObject::connect(&bar, &TrackBar::changed, [&] { throw ConversionError(QStringLiteral("")); });
    QObject::connect(&button, &QPushButton::clicked, [&] {
        log << "assigning";
        bar.setPosition(40);
        log << "assigned";
    });
    window.show();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"assigning"}));
    EXPECT_EQ(bar.position(), 40);  // what changed before the error stays
    EXPECT_EQ(boxes.texts, QStringList({"'' は整数ではありません."}));
}

TEST(ErrorBox, ErrorInAFocusOutHandlerEndsThatEventOnly)
{
    // The catch is at the innermost event: a focus-out delivered inside an
    // outer handler's setFocus() ends there, and the outer handler goes on.
    test::ErrorBoxRecorder boxes;
    QWidget window;
    EditField field(&window);
    QPushButton button(QStringLiteral("go"), &window);
    button.move(0, 40);
    QObject::connect(&field, &EditField::exited, [] { throw ConversionError(QStringLiteral("q")); });
    QStringList log;
    QObject::connect(&button, &QPushButton::clicked, [&] {
        log << "outer";
        window.setFocus();
        log << "outer goes on";
    });
    test::showActive(window);
    field.setFocus();
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"outer", "outer goes on"}));
    EXPECT_EQ(boxes.texts, QStringList({"'q' は整数ではありません."}));
}

TEST(ErrorBox, RunGuardedReportsInsteadOfThrowing)
{
    test::ErrorBoxRecorder boxes;
    EXPECT_TRUE(runGuarded([] {}));
    EXPECT_FALSE(runGuarded([] { throw std::runtime_error("disk full"); }));
    EXPECT_EQ(boxes.texts, QStringList({"disk full."}));
}

// --- integer conversions ------------------------------------------------------

TEST(Conversions, WhatCountsAsAnInteger)
{
    struct Case {
        const char* text;
        std::optional<int> value;
    };
    const Case cases[] = {
        {"0", 0},
        {"-0", 0},
        {"+5", 5},
        {"-17", -17},
        {"007", 7},
        {"  12  ", 12},
        {"2147483647", 2147483647},
        {"-2147483648", std::numeric_limits<int>::min()},
        {"2147483648", std::nullopt},
        {"-2147483649", std::nullopt},
        {"99999999999999999999999", std::nullopt},
        {"", std::nullopt},
        {"   ", std::nullopt},
        {"-", std::nullopt},
        {"- 5", std::nullopt},
        {"1 2", std::nullopt},
        {"12a", std::nullopt},
        {"abc", std::nullopt},
        {"0x10", std::nullopt},
        {"$10", std::nullopt},
        {"1,000", std::nullopt},
        {"1.0", std::nullopt},
        {"\t5", std::nullopt},
        {"１２", std::nullopt},  // full-width digits
    };
    for (const Case& c : cases) {
        const QString text = QString::fromUtf8(c.text);
        EXPECT_EQ(parseInteger(text), c.value) << c.text;
        EXPECT_EQ(toIntLenient(text), c.value.value_or(-1)) << c.text;
    }
}

TEST(Conversions, StrictConversionRaisesWithTheFieldsText)
{
    EXPECT_EQ(toIntStrict(QStringLiteral(" 300")), 300);
    try {
        toIntStrict(QStringLiteral("1０"));
        FAIL() << "no error";
    } catch (const ConversionError& error) {
        EXPECT_STREQ(error.what(), "'1０' は整数ではありません");
        EXPECT_EQ(error.text(), QStringLiteral("1０"));
    }
    EXPECT_EQ(intText(-5), QStringLiteral("-5"));
    EXPECT_EQ(intText(1234567), QStringLiteral("1234567"));
}

// --- the Ctrl state of the input event ----------------------------------------

TEST(CtrlHeld, ReadFromTheInputEventThatLedToTheHandler)
{
    QWidget window;
    QPushButton button(QStringLiteral("ロード"), &window);
    QAction save(&window);
    save.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    window.addAction(&save);
    QStringList log;
    QObject::connect(&button, &QPushButton::clicked, [&] { log << QStringLiteral("click %1").arg(ctrlHeld()); });
    QObject::connect(&save, &QAction::triggered, [&] { log << QStringLiteral("save %1").arg(ctrlHeld()); });
    test::showActive(window);

    QTest::mouseClick(&button, Qt::LeftButton, Qt::ControlModifier);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, Qt::ControlModifier, button.geometry().center());
    QTest::keyClick(&window, Qt::Key_S, Qt::ControlModifier);
    QTest::keyClick(&button, Qt::Key_Space);  // the button by keyboard, no Ctrl
    save.trigger();                           // no input event at all
    EXPECT_EQ(log, QStringList({"click 1", "click 0", "click 1", "save 1", "click 0", "save 0"}));
    EXPECT_FALSE(ctrlHeld());
    EXPECT_EQ(Application::inputModifiers(), Qt::KeyboardModifiers());
}

TEST(CtrlHeld, NestedInputEventsGiveTheOuterEventsStateBack)
{
    QWidget window;
    QPushButton outer(QStringLiteral("outer"), &window);
    QPushButton inner(QStringLiteral("inner"), &window);
    inner.move(0, 40);
    QStringList log;
    QObject::connect(&inner, &QPushButton::clicked, [&] { log << QStringLiteral("inner %1").arg(ctrlHeld()); });
    QObject::connect(&outer, &QPushButton::clicked, [&] {
        QTest::mouseClick(&inner, Qt::LeftButton);  // an input event handled inside this one
        log << QStringLiteral("outer %1").arg(ctrlHeld());
    });
    test::showActive(window);
    QTest::mouseClick(&outer, Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(log, QStringList({"inner 0", "outer 1"}));
}
