#include <QSignalSpy>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "toolkit/focus.h"
#include "toolkit/trackbar.h"

using namespace clipora;

TEST(FocusReasons, OnlyClicksKeysShortcutsAndProgramCountAsEnterOrExit)
{
    EXPECT_TRUE(isRealFocusChange(Qt::MouseFocusReason));
    EXPECT_TRUE(isRealFocusChange(Qt::TabFocusReason));
    EXPECT_TRUE(isRealFocusChange(Qt::BacktabFocusReason));
    EXPECT_TRUE(isRealFocusChange(Qt::ShortcutFocusReason));
    EXPECT_TRUE(isRealFocusChange(Qt::OtherFocusReason));
    EXPECT_FALSE(isRealFocusChange(Qt::ActiveWindowFocusReason));
    EXPECT_FALSE(isRealFocusChange(Qt::PopupFocusReason));
    EXPECT_FALSE(isRealFocusChange(Qt::MenuBarFocusReason));
    EXPECT_FALSE(isRealFocusChange(Qt::NoFocusReason));
}

TEST(ClearActiveControl, FocusedControlExitsInsideTheCallAndNothingKeepsFocus)
{
    QWidget window;
    EditField field(QStringLiteral("12"), &window);
    EditField second(&window);
    second.move(0, 30);
    test::showActive(window);
    field.setFocus();
    QStringList log;
    QObject::connect(&field, &EditField::exited, [&] { log << "exited"; });
    log << "before";
    clearActiveControl(&field);  // any widget of the window will do
    log << "after";
    EXPECT_EQ(log, QStringList({"before", "exited", "after"}));
    EXPECT_EQ(QApplication::focusWidget(), &window);  // the window, no control

    // Re-activating the window gives the focus to no control either.
    QWidget other;
    test::showActive(other);
    test::showActive(window);
    EXPECT_FALSE(field.hasFocus());
    EXPECT_FALSE(second.hasFocus());
}

TEST(ClearActiveControl, ReachesTheControlOfAWindowThatIsNotActive)
{
    QWidget window;
    TrackBar bar(Qt::Horizontal, &window);
    test::showActive(window);
    bar.setFocus();
    QWidget other;
    test::showActive(other);
    QSignalSpy exited(&bar, &TrackBar::exited);
    ASSERT_EQ(exited.count(), 0);  // deactivation is no exit

    clearActiveControl(&window);
    EXPECT_EQ(exited.count(), 1);
    test::showActive(window);  // coming back does not hand the focus back
    EXPECT_FALSE(bar.hasFocus());
    EXPECT_EQ(exited.count(), 1);
}

TEST(ClearActiveControl, DoesNothingWithoutAFocusedControl)
{
    QWidget window;
    EditField field(&window);
    test::showActive(window);
    window.setFocus();
    clearActiveControl(&window);
    clearActiveControl(nullptr);
    SUCCEED();
}
