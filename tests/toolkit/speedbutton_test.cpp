#include <QAccessible>

#include "tests/toolkit/toolkittest.h"
#include "toolkit/editfield.h"
#include "toolkit/speedbutton.h"

using namespace clipora;

namespace {

// The four edge buttons of one group, and a field holding the focus.
struct GroupWindow {
    QWidget window;
    SpeedButtonGroup group;
    SpeedButton xl{QStringLiteral("左端移動"), &window};
    SpeedButton xr{QStringLiteral("右端移動"), &window};
    SpeedButton yu{QStringLiteral("上端移動"), &window};
    SpeedButton yb{QStringLiteral("下端移動"), &window};
    EditField field{&window};
    QStringList log;

    GroupWindow()
    {
        window.resize(400, 100);
        int x = 0;
        for (SpeedButton* b : {&xl, &xr, &yu, &yb}) {
            b->setGeometry(x, 0, 80, 24);
            x += 90;
            group.addButton(b);
            QObject::connect(b, &SpeedButton::mouseDown,
                             [this, b](Qt::MouseButton button, Qt::KeyboardModifiers, const QPoint&) {
                                 log << QStringLiteral("%1 mouseDown %2 down=%3")
                                            .arg(b->text())
                                            .arg(button == Qt::LeftButton ? "left" : "other")
                                            .arg(b->isChecked());
                             });
            QObject::connect(b, &QAbstractButton::clicked,
                             [this, b] { log << QStringLiteral("%1 clicked down=%2").arg(b->text()).arg(b->isChecked()); });
        }
        field.setGeometry(0, 50, 80, 20);
    }
    QString down() const { return group.downButton() ? group.downButton()->text() : QStringLiteral("none"); }
};

}  // namespace

TEST(SpeedButton, MouseDownBeforeTheToggleAndClickAfterIt)
{
    GroupWindow w;
    w.window.show();
    QTest::mouseClick(&w.xl, Qt::LeftButton);
    EXPECT_EQ(w.log, QStringList({"左端移動 mouseDown left down=0", "左端移動 clicked down=1"}));
    EXPECT_EQ(w.down(), QStringLiteral("左端移動"));
}

TEST(SpeedButton, GroupKeepsAtMostOneDownAndAllowsAllUp)
{
    GroupWindow w;
    w.window.show();
    QTest::mouseClick(&w.xl, Qt::LeftButton);
    QStringList seenAtClick;
    QObject::connect(&w.yb, &QAbstractButton::clicked, [&] { seenAtClick << QString::number(w.xl.isChecked()); });
    QTest::mouseClick(&w.yb, Qt::LeftButton);
    EXPECT_EQ(w.down(), QStringLiteral("下端移動"));
    EXPECT_FALSE(w.xl.isChecked());
    EXPECT_EQ(seenAtClick, QStringList({"0"}));  // the others are released before the click event
    QTest::mouseClick(&w.yb, Qt::LeftButton);  // a down button clicked again goes up
    EXPECT_EQ(w.down(), QStringLiteral("none"));

    w.xr.setChecked(true);  // by program too
    w.yu.setChecked(true);
    EXPECT_EQ(w.down(), QStringLiteral("上端移動"));
    EXPECT_FALSE(w.xr.isChecked());
    w.group.releaseAll();
    EXPECT_EQ(w.down(), QStringLiteral("none"));
}

TEST(SpeedButton, PressThatDoesNotEndInAClickDoesNotToggle)
{
    GroupWindow w;
    w.window.show();
    QTest::mouseClick(&w.xl, Qt::RightButton);
    QTest::mousePress(&w.xr, Qt::LeftButton);
    QTest::mouseRelease(&w.xr, Qt::LeftButton, {}, QPoint(300, 60));  // released outside
    EXPECT_EQ(w.log, QStringList({"左端移動 mouseDown other down=0", "右端移動 mouseDown left down=0"}));
    EXPECT_EQ(w.down(), QStringLiteral("none"));
}

TEST(SpeedButton, NeverTakesTheFocus)
{
    GroupWindow w;
    test::showActive(w.window);
    w.field.setFocus();
    int exits = 0;
    QObject::connect(&w.field, &EditField::exited, [&] { ++exits; });
    QTest::mouseClick(&w.xl, Qt::LeftButton);
    EXPECT_TRUE(w.field.hasFocus());
    EXPECT_EQ(exits, 0);
    QTest::keyClick(&w.field, Qt::Key_Tab);  // not in the tab chain either
    EXPECT_FALSE(w.xl.hasFocus() || w.xr.hasFocus() || w.yu.hasFocus() || w.yb.hasFocus());
}

TEST(SpeedButton, AccessibleCaptionAndPressedState)
{
    GroupWindow w;
    w.xl.setChecked(true);
    QAccessibleInterface* access = QAccessible::queryAccessibleInterface(&w.xl);
    ASSERT_NE(access, nullptr);
    EXPECT_EQ(access->text(QAccessible::Name), QStringLiteral("左端移動"));
    EXPECT_TRUE(access->state().checkable);
    EXPECT_TRUE(access->state().checked);
    EXPECT_FALSE(QAccessible::queryAccessibleInterface(&w.xr)->state().checked);
}

TEST(SpeedButton, ToggleFollowsTheStateLeftByTheMouseDownHandler)
{
    // A down button whose press handler releases the group comes down again
    // at the click: the toggle starts from the state at the release.
    GroupWindow w;
    w.window.show();
    w.xl.setChecked(true);
    QObject::connect(&w.xl, &SpeedButton::mouseDown, [&] { w.group.releaseAll(); });
    QTest::mouseClick(&w.xl, Qt::LeftButton);
    EXPECT_EQ(w.log.last(), QStringLiteral("左端移動 clicked down=1"));
    EXPECT_EQ(w.down(), QStringLiteral("左端移動"));
}
