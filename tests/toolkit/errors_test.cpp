#include <QAction>
#include <QEventLoop>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/application.h"
#include "toolkit/conversions.h"
#include "toolkit/editfield.h"
#include "toolkit/errorbox.h"
#include "toolkit/focus.h"
#include "toolkit/handlers.h"
#include "toolkit/inputstate.h"
#include "toolkit/spinbuttons.h"
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

TEST(ErrorBox, ErrorInAHandlerIsShownAndTheEventLoopGoesOn)
{
    test::ErrorBoxRecorder boxes;
    QWidget window;
    QPushButton button(QStringLiteral("go"), &window);
    QStringList log;
    QObject::connect(&button, &QPushButton::clicked, &window, guarded([&] {
                         log << "before";
                         toIntStrict(QStringLiteral("abc"));
                         log << "after";  // never runs
                     }));
    test::showActive(window);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTest::mouseClick(&button, Qt::LeftButton);
    QTimer::singleShot(0, [&] { log << "timer"; });
    QTest::qWait(20);
    EXPECT_EQ(log, QStringList({"before", "before", "timer"}));
    EXPECT_EQ(boxes.texts, QStringList({"'abc' は整数ではありません.", "'abc' は整数ではありません."}));
}

// Every toolkit call through which a handler reaches Qt and, inside it, another
// handler: an error in the inner one ends the outer handler at that call, with
// one box, what changed before the error kept, and the next event handled as
// usual.
TEST(ErrorBox, ErrorInANestedHandlerEndsTheOuterEventOnEveryRoad)
{
    struct Road {
        const char* name;
        std::function<void(QWidget& window, EditField& field, TrackBar& bar, SpinButtons& spin)> call;
    };
    const Road roads[] = {
        {"thumb assignment", [](QWidget&, EditField&, TrackBar& bar, SpinButtons&) { bar.setPosition(40); }},
        {"range lowered under the thumb", [](QWidget&, EditField&, TrackBar& bar, SpinButtons&) { bar.setMaximum(10); }},
        {"range raised over the thumb", [](QWidget&, EditField&, TrackBar& bar, SpinButtons&) { bar.setMinimum(60); }},
        {"both ends of the range", [](QWidget&, EditField&, TrackBar& bar, SpinButtons&) { bar.setRange(70, 90); }},
        {"active control cleared", [](QWidget& window, EditField&, TrackBar&, SpinButtons&) { clearActiveControl(&window); }},
        {"focus moved", [](QWidget&, EditField&, TrackBar& bar, SpinButtons&) { moveFocus(&bar); }},
        {"field text assigned", [](QWidget&, EditField& field, TrackBar&, SpinButtons&) { field.setText("7"); }},
        {"spin step", [](QWidget&, EditField&, TrackBar&, SpinButtons& spin) { spin.step(SpinButtons::Arrow::Next); }},
    };
    for (const Road& road : roads) {
        SCOPED_TRACE(road.name);
        test::ErrorBoxRecorder boxes;
        QWidget window;
        EditField field(&window);
        TrackBar bar(Qt::Horizontal, &window);
        bar.setRange(0, 100);
        bar.setPosition(50);
        SpinButtons spin(Qt::Vertical, &window);
        spin.setField(&field);
        spin.setRange(0, 100);
        QPushButton button(QStringLiteral("go"), &window);
        button.setFocusPolicy(Qt::NoFocus);
        button.move(0, 40);
        const auto fail = [] { throw ConversionError(QStringLiteral("q")); };
        QObject::connect(&bar, &TrackBar::changed, &window, guarded(fail));
        QObject::connect(&field, &EditField::exited, &window, guarded(fail));
        QObject::connect(&field, &EditField::textChanged, &window, guarded(fail));
        QStringList log;
        QObject::connect(&spin, &SpinButtons::clicked, &window, guarded([&] { log << "spin clicked"; }));
        QObject::connect(&button, &QPushButton::clicked, &window, guarded([&] {
                             log << "outer";
                             road.call(window, field, bar, spin);
                             log << "outer goes on";
                         }));
        test::showActive(window);
        field.setFocus();
        const int before = handlersAfterError();
        QTest::mouseClick(&button, Qt::LeftButton);
        EXPECT_EQ(log, QStringList({"outer"}));
        EXPECT_EQ(boxes.texts, QStringList({"'q' は整数ではありません."}));
        EXPECT_EQ(handlersAfterError(), before);
        // The event is over: the next one runs whole.
        QObject::disconnect(&bar, &TrackBar::changed, nullptr, nullptr);
        QObject::disconnect(&field, nullptr, &window, nullptr);
        log.clear();
        QTest::mouseClick(&button, Qt::LeftButton);
        EXPECT_EQ(log.last(), "outer goes on");
    }
}

TEST(ErrorBox, AnErrorInsideAModalLoopEndsOnlyItsOwnEvent)
{
    // The box's own loop, a dialog's loop: events of their own.
    test::ErrorBoxRecorder boxes;
    QWidget window;
    TrackBar bar(Qt::Horizontal, &window);
    bar.setRange(0, 100);
    QObject::connect(&bar, &TrackBar::changed, &window, guarded([] { throw ConversionError(QStringLiteral("m")); }));
    QStringList log;
    QPushButton button(QStringLiteral("go"), &window);
    QObject::connect(&button, &QPushButton::clicked, &window, guarded([&] {
                         QEventLoop loop;
                         QTimer::singleShot(0, &loop, guarded([&] {
                                                bar.setPosition(bar.position() + 1);
                                                loop.quit();
                                            }));
                         QTimer::singleShot(0, &loop, [&] { loop.quit(); });
                         loop.exec();
                         log << "after the loop";
                     }));
    test::showActive(window);
    QTest::mouseClick(&button, Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"after the loop"}));
    EXPECT_EQ(boxes.texts, QStringList({"'m' は整数ではありません."}));
}

TEST(ErrorBox, RunHandlerReportsInsteadOfThrowing)
{
    test::ErrorBoxRecorder boxes;
    EXPECT_TRUE(runHandler([] {}));
    EXPECT_FALSE(runHandler([] { throw std::runtime_error("disk full"); }));
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
