#include <QAccessible>
#include <QAction>
#include <QMenu>
#include <QTimer>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "toolkit/spinbuttons.h"

using namespace clipora;

namespace {

// Records the keys that reach the window after the field passed them on.
class KeyWatcher : public QObject {
public:
    QStringList* log = nullptr;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            *log << QStringLiteral("window key %1").arg(static_cast<QKeyEvent*>(event)->key(), 0, 16);
        return false;
    }
};

struct FieldWindow {
    QWidget window;
    EditField field{QStringLiteral("0"), &window};
    EditField other{&window};
    FieldWindow()
    {
        window.resize(300, 200);
        field.setGeometry(10, 10, 80, 20);
        other.setGeometry(10, 40, 80, 20);
    }
};

}  // namespace

TEST(EditField, AcceptsAnyTextTyped)
{
    FieldWindow w;
    test::showActive(w.window);
    w.field.setFocus();
    w.field.selectAll();
    QTest::keyClicks(&w.field, QStringLiteral("-3x 9"));
    EXPECT_EQ(w.field.text(), QStringLiteral("-3x 9"));
}

TEST(EditField, KeyDownComesBeforeTheFieldActsAndEnterIsPassedOn)
{
    FieldWindow w;
    test::showActive(w.window);
    w.field.setFocus();
    w.field.setText(QStringLiteral("1"));
    w.field.end(false);
    QStringList log;
    KeyWatcher watcher;
    watcher.log = &log;
    w.window.installEventFilter(&watcher);
    QObject::connect(&w.field, &EditField::keyDown, [&](int key, Qt::KeyboardModifiers modifiers) {
        log << QStringLiteral("keyDown %1 text %2 %3")
                   .arg(key, 0, 16)
                   .arg(w.field.text())
                   .arg(EditField::isEnterKey(key) ? "enter" : "")
                   .trimmed();
        EXPECT_EQ(modifiers, Qt::NoModifier);
    });
    QTest::keyClick(&w.field, Qt::Key_2);
    QTest::keyClick(&w.field, Qt::Key_Return);
    EXPECT_EQ(log, QStringList({"keyDown 32 text 1", "keyDown 1000004 text 12 enter", "window key 1000004"}));
    EXPECT_TRUE(w.field.hasFocus());  // Enter alone moves no focus
}

TEST(EditField, ExitOnRealFocusLossOnly)
{
    FieldWindow w;
    test::showActive(w.window);
    w.field.setFocus();
    QStringList log;
    QObject::connect(&w.field, &EditField::exited, [&] { log << "exited"; });
    QObject::connect(&w.field, &EditField::entered, [&] { log << "entered"; });

    QWidget elsewhere;
    test::showActive(elsewhere);  // window deactivation
    test::showActive(w.window);
    QMenu menu(&w.window);
    menu.addAction(QStringLiteral("x"));
    QTimer::singleShot(0, &menu, [&] { menu.close(); });
    menu.exec(w.window.mapToGlobal(QPoint(20, 20)));  // a popup
    test::showActive(w.window);
    EXPECT_TRUE(log.isEmpty());

    QTest::keyClick(&w.field, Qt::Key_Tab);
    EXPECT_EQ(log, QStringList({"exited"}));
    QTest::mouseClick(&w.field, Qt::LeftButton);
    EXPECT_EQ(log, QStringList({"exited", "entered"}));
    w.field.clearFocus();
    EXPECT_EQ(log, QStringList({"exited", "entered", "exited"}));
}

TEST(EditField, LeavesListedShortcutsToTheWindow)
{
    FieldWindow w;
    QAction copy(&w.window);
    copy.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_C));
    w.window.addAction(&copy);
    int copies = 0;
    QObject::connect(&copy, &QAction::triggered, [&] { ++copies; });
    test::showActive(w.window);
    w.field.setFocus();

    QTest::keyClick(&w.field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copies, 0);  // a plain line edit keeps Ctrl+C for itself
    w.field.setWindowShortcuts({QKeySequence(Qt::CTRL | Qt::Key_C), QKeySequence(Qt::CTRL | Qt::Key_V)});
    QTest::keyClick(&w.field, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(copies, 1);
}

TEST(EditField, AccessibleValueIsItsText)
{
    FieldWindow w;
    w.field.setAccessibleName(QStringLiteral("左端"));
    w.field.setText(QStringLiteral("40"));
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&w.field);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("左端"));
    EXPECT_EQ(access->text(QAccessible::Value), QStringLiteral("40"));
}

// --- spin buttons -------------------------------------------------------------

namespace {

struct SpinWindow {
    QWidget window;
    EditField field{QStringLiteral("0"), &window};
    SpinButtons spin;
    EditField other{&window};
    QStringList log;

    explicit SpinWindow(Qt::Orientation orientation, int minimum, int maximum, int increment)
        : spin(orientation, &window)
    {
        window.resize(300, 200);
        field.setGeometry(10, 10, 60, 20);
        spin.setGeometry(70, 10, orientation == Qt::Horizontal ? 30 : 16, 20);
        other.setGeometry(10, 60, 60, 20);
        spin.setField(&field);
        spin.setRange(minimum, maximum);
        spin.setIncrement(increment);
        QObject::connect(&spin, &SpinButtons::clicked, [this](SpinButtons::Arrow arrow) {
            log << QStringLiteral("clicked %1 field %2")
                       .arg(arrow == SpinButtons::Arrow::Next ? "next" : "previous")
                       .arg(field.text());
        });
    }

    void click(SpinButtons::Arrow arrow) { QTest::mouseClick(&spin, Qt::LeftButton, {}, spin.arrowRect(arrow).center()); }
};

}  // namespace

TEST(SpinButtons, StepTheNumberStandingInTheFieldThenClick)
{
    SpinWindow w(Qt::Horizontal, 0, 2000, 1);
    w.window.show();
    w.field.setText(QStringLiteral("41"));  // typed, never stepped
    w.click(SpinButtons::Arrow::Next);
    w.click(SpinButtons::Arrow::Previous);
    w.click(SpinButtons::Arrow::Previous);
    EXPECT_EQ(w.log, QStringList({"clicked next field 42", "clicked previous field 41", "clicked previous field 40"}));
    EXPECT_EQ(w.spin.position(), 40);
}

TEST(SpinButtons, NegativeIncrementMakesTheUpperArrowLowerTheNumber)
{
    SpinWindow w(Qt::Vertical, 0, 100, -1);
    w.window.show();
    w.field.setText(QStringLiteral("10"));
    ASSERT_LT(w.spin.arrowRect(SpinButtons::Arrow::Next).top(), w.spin.arrowRect(SpinButtons::Arrow::Previous).top());
    w.click(SpinButtons::Arrow::Next);  // the upper arrow
    EXPECT_EQ(w.field.text(), QStringLiteral("9"));
    w.click(SpinButtons::Arrow::Previous);
    w.click(SpinButtons::Arrow::Previous);
    EXPECT_EQ(w.field.text(), QStringLiteral("11"));
}

TEST(SpinButtons, StopAtTheLimitsWithoutWrappingAndStillClick)
{
    struct Case {
        const char* name;
        const char* text;
        SpinButtons::Arrow arrow;
        const char* expected;
    };
    const Case cases[] = {
        {"at maximum, up", "299", SpinButtons::Arrow::Next, "299"},
        {"at minimum, down", "0", SpinButtons::Arrow::Previous, "0"},
        {"beyond maximum, down", "5000", SpinButtons::Arrow::Previous, "299"},
        {"below minimum, up", "-7", SpinButtons::Arrow::Next, "0"},
        {"int limit, up", "2147483647", SpinButtons::Arrow::Next, "299"},
    };
    for (const Case& c : cases) {
        SpinWindow w(Qt::Horizontal, 0, 299, 1);
        w.window.show();
        w.field.setText(QString::fromUtf8(c.text));
        w.click(c.arrow);
        EXPECT_EQ(w.field.text(), QString::fromUtf8(c.expected)) << c.name;
        EXPECT_EQ(w.log.size(), 1) << c.name;
    }
}

TEST(SpinButtons, FieldWithoutANumberStepsFromThePosition)
{
    SpinWindow w(Qt::Horizontal, 1, 100, 10);
    w.spin.setPosition(50);
    EXPECT_EQ(w.field.text(), QStringLiteral("50"));
    w.field.setText(QStringLiteral("abc"));
    w.window.show();
    w.click(SpinButtons::Arrow::Next);
    EXPECT_EQ(w.field.text(), QStringLiteral("60"));
    w.click(SpinButtons::Arrow::Next);
    w.click(SpinButtons::Arrow::Next);
    w.click(SpinButtons::Arrow::Next);
    w.click(SpinButtons::Arrow::Next);
    EXPECT_EQ(w.field.text(), QStringLiteral("100"));
}

TEST(SpinButtons, ClickMovesNoFocus)
{
    SpinWindow w(Qt::Horizontal, 0, 100, 1);
    test::showActive(w.window);
    w.other.setFocus();
    QStringList focusLog;
    QObject::connect(&w.other, &EditField::exited, [&] { focusLog << "other exited"; });
    QObject::connect(&w.field, &EditField::entered, [&] { focusLog << "field entered"; });
    w.click(SpinButtons::Arrow::Next);
    EXPECT_TRUE(w.other.hasFocus());
    EXPECT_TRUE(focusLog.isEmpty());
    EXPECT_EQ(w.log, QStringList({"clicked next field 1"}));
}

TEST(SpinButtons, TakeFocusByTabAndStepWithArrowKeys)
{
    SpinWindow w(Qt::Vertical, 0, 100, -1);
    test::showActive(w.window);
    w.field.setFocus();
    w.field.setText(QStringLiteral("5"));
    QTest::keyClick(&w.field, Qt::Key_Tab);
    ASSERT_TRUE(w.spin.hasFocus());
    QTest::keyClick(&w.spin, Qt::Key_Up);
    EXPECT_EQ(w.field.text(), QStringLiteral("4"));
    QTest::keyClick(&w.spin, Qt::Key_Down);
    QTest::keyClick(&w.spin, Qt::Key_Down);
    EXPECT_EQ(w.field.text(), QStringLiteral("6"));
}

TEST(SpinButtons, RangeChangeClampsThePositionWithoutWritingTheField)
{
    SpinWindow w(Qt::Horizontal, 0, 2000, 1);
    w.spin.setPosition(1500);
    w.spin.setMaximum(639);
    EXPECT_EQ(w.spin.position(), 639);
    EXPECT_EQ(w.field.text(), QStringLiteral("1500"));
}

TEST(SpinButtons, AccessibleAsSpinBoxWithValueAndStepActions)
{
    SpinWindow w(Qt::Horizontal, 0, 640, 1);
    w.spin.setAccessibleName(QStringLiteral("左端 増減"));
    w.field.setText(QStringLiteral("7"));
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&w.spin);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->role(), QAccessible::SpinBox);
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("左端 増減"));
    ASSERT_NE(access->valueInterface(), nullptr);
    EXPECT_EQ(access->valueInterface()->maximumValue().toInt(), 640);
    ASSERT_NE(access->actionInterface(), nullptr);
    access->actionInterface()->doAction(QAccessibleActionInterface::increaseAction());
    EXPECT_EQ(w.field.text(), QStringLiteral("8"));
    EXPECT_EQ(access->valueInterface()->currentValue().toInt(), 8);
    EXPECT_EQ(w.log, QStringList({"clicked next field 8"}));
}
