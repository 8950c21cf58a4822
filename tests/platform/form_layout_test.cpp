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
