// The form machinery on a small table of its own: controls found by name and
// class, and a table that cannot be built failing loudly in every build.
#include "platform/ui/form_layout.h"
#include "qt_test_environment.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>

namespace {

VR_QT_TEST_ENVIRONMENT();

const std::array kTable = {
    ControlLayout{.name = "Frame", .kind = ControlKind::GroupBox, .left = 4, .top = 4, .width = 100, .height = 60,
                  .text = "Frame"},
    ControlLayout{.name = "Tick", .kind = ControlKind::CheckBox, .parent = "Frame", .left = 8, .top = 16,
                  .width = 80, .height = 17, .text = "Tick"},
    ControlLayout{.name = "Go", .kind = ControlKind::Button, .left = 4, .top = 70, .width = 50, .height = 17,
                  .text = "Go"},
};

std::unique_ptr<QWidget> Window()
{
    auto w = std::make_unique<QWidget>();
    w->setObjectName(QStringLiteral("Sample"));
    BuildControls(w.get(), kTable);
    return w;
}

// The message of what f raises as std::logic_error; empty when nothing is raised.
template <class F>
std::string LogicError(F f)
{
    try {
        f();
    } catch (const std::logic_error& e) {
        return e.what();
    }
    return {};
}

TEST(FindControl, GivesTheControlOfTheTableByNameAndClass)
{
    auto w = Window();
    QCheckBox* tick = FindControl<QCheckBox>(w.get(), "Tick");
    ASSERT_NE(tick, nullptr);
    EXPECT_EQ(tick->parentWidget(), FindControl<QGroupBox>(w.get(), "Frame"));
    EXPECT_EQ(tick->text(), QStringLiteral("Tick"));
    // Any base class of the control will do.
    EXPECT_EQ(FindControl<QAbstractButton>(w.get(), "Go"), FindControl<QPushButton>(w.get(), "Go"));
}

TEST(FindControl, RaisesForAMissingControlOrOneOfAnotherClass)
{
    auto w = Window();
    const std::string missing = LogicError([&] { FindControl<QPushButton>(w.get(), "Stop"); });
    EXPECT_NE(missing.find("Stop"), std::string::npos) << missing;
    EXPECT_NE(missing.find("Sample"), std::string::npos) << missing;
    const std::string wrongClass = LogicError([&] { FindControl<QLabel>(w.get(), "Go"); });
    EXPECT_NE(wrongClass.find("Go"), std::string::npos) << wrongClass;
}

TEST(BuildControls, RaisesForARecordItCannotBuild)
{
    struct Case {
        const char* what;
        ControlLayout record;
    };
    const Case cases[] = {
        {"a control of the window's own without a factory", {.name = "Own", .kind = ControlKind::Custom}},
        {"a parent that is not in the table", {.name = "Orphan", .kind = ControlKind::Button, .parent = "Nowhere"}},
    };
    for (const Case& c : cases) {
        QWidget w;
        EXPECT_NE(LogicError([&] { BuildControls(&w, std::span(&c.record, 1)); }), "") << c.what;
    }
}

} // namespace

// A second window is placed clear of the main window's frame where the
// screen has room, and covers as little of it as it can where it has not.
struct PlaceCase {
    const char* what;
    QRect screen;
    QRect keepClear;
    QPoint expected;
};

TEST(PlaceClearOf, BesideWhereThereIsRoomElseWhereItCoversLeast)
{
    const QSize size(828, 630);
    const QRect main(257, 129, 537, 512);  // the main window's frame, placed as its layout says
    const PlaceCase cases[] = {
        {"a wide screen: to the right, tops lined up", QRect(0, 0, 1920, 1080), main, QPoint(802, 129)},
        {"the main window at the right edge: to the left", QRect(0, 0, 1920, 1080), QRect(1300, 100, 537, 512),
         QPoint(464, 100)},
        {"a tall screen: below, left edges lined up", QRect(0, 0, 1200, 1920), main, QPoint(257, 649)},
        {"room nowhere: the bottom right corner covers least", QRect(0, 0, 1280, 1024), main, QPoint(452, 394)},
        {"a screen that does not start at 0", QRect(1920, 0, 1920, 1080), QRect(2177, 129, 537, 512),
         QPoint(2722, 129)},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        const QPoint at = PlaceClearOf(c.keepClear, size, c.screen);
        EXPECT_EQ(at, c.expected);
        EXPECT_TRUE(c.screen.contains(QRect(at, size))) << "off the screen";
    }
}

TEST(PlaceClearOf, AWindowLargerThanTheScreenKeepsItsTopLeftOnIt)
{
    const QPoint at = PlaceClearOf(QRect(100, 100, 300, 200), QSize(2000, 1500), QRect(0, 0, 1280, 1024));
    EXPECT_EQ(at, QPoint(0, 0));
}
