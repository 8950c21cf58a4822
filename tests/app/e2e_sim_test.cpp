// The whole program path on a real line: the main window with the system's
// serial device, opened on the pseudo-terminal of the modem simulator.
#include "app/ui/dblclick_label.h"
#include "form_fixture.h"
#include "sim_fixture.h"
#include "protocol/numbers.h"
#include "sim_process.h"
#include "widgets/ui/iledbar.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QComboBox>
#include <QLabel>
#include <QTest>
#include <QEventLoop>
#include <QTimer>

#include <ctime>

namespace {

bool IsNumber(const QString& text)
{
    double value = 0;
    return !text.isEmpty() && TryStrToFloat(text.toLatin1().toStdString(), value);
}

struct SimCase {
    const char* name;
    std::vector<std::string> args;
    // A stray byte after every reply stays at the head of the next one, so
    // the CSV reply that follows each BCAS reply is never recognised.
    bool csvRecognised;
};

void PrintTo(const SimCase& c, std::ostream* os) { *os << c.name; }

class EndToEnd : public SimFixture, public ::testing::WithParamInterface<SimCase> {};

TEST_P(EndToEnd, PollChannelAndOffsetCorrectionAgainstTheSimulator)
{
    const SimCase& c = GetParam();
    simtest::Sim sim(c.args);
    ASSERT_FALSE(sim.Path().empty()) << "the simulator printed no device";
    WriteFileBytes(dir_.File("varnetrixreader.ini"), "[ComPort]\nPort=" + sim.Path() + "\n");

    TIniFile settings(SettingsFilePath());
    TForm1 f(settings);
    ASSERT_EQ(f.ComPort.Port(), sim.Path());
    f.SpeedButton1->click();
    ASSERT_TRUE(f.ComPort.Connected()) << (boxes_.errors.empty() ? "" : boxes_.errors[0]);

    // Idle with the port open, the program sleeps in its waits: over one
    // second it uses far less than a tenth of a second of processor time
    // (the clock ticks once; the event thread waits in the OS).
    const std::clock_t before = std::clock();
    QEventLoop idle;
    QTimer::singleShot(1000, &idle, &QEventLoop::quit);
    idle.exec();
    EXPECT_LT(static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC, 0.1);

    f.show();
    f.ComboBox1->setFocus();
    QTest::keyClick(f.ComboBox1, Qt::Key_Down);  // Metop-A
    EXPECT_EQ(Latin1(f.Label9->text()), "147.8");

    f.CheckBox1->click();
    ASSERT_TRUE(f.Timer2->isActive());
    ASSERT_TRUE(ProcessUntil([&] { return IsNumber(f.StatusLabel[0]->text()) && f.iLedBar1->Position() > -600; }, 10000))
        << "level " << Latin1(f.StatusLabel[0]->text());
    for (int k = 1; k < 7; ++k)
        EXPECT_NE(f.StatusLabel[k]->text(), QString()) << "Label" << k + 1;

    if (c.csvRecognised) {
        ASSERT_TRUE(ProcessUntil([&] { return IsNumber(f.Label8->text()); }, 10000));
        QTest::mouseDClick(f.Label8, Qt::LeftButton);
        EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
        EXPECT_TRUE(f.Timer2->isActive()) << "the poll runs again after the correction";
        EXPECT_NE(Latin1(f.Label9->text()), "147.8") << "the corrected frequency";
        ASSERT_TRUE(ProcessUntil([&] { return f.StaticText9->text() == QStringLiteral("Decoder lock status OK"); },
                                 10000))
            << "offset " << Latin1(f.Label8->text());
        EXPECT_EQ(f.StaticText9->palette().color(QPalette::Window), QColor(0, 128, 0));
    } else {
        ProcessUntil([] { return false; }, 1500);
        EXPECT_EQ(Latin1(f.Label8->text()), "Hz");
    }

    f.SpeedButton1->click();
    EXPECT_FALSE(f.ComPort.Connected());
    EXPECT_TRUE(boxes_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Sim, EndToEnd,
                         ::testing::Values(SimCase{"Plain", {}, true}, SimCase{"Split", {"--split"}, true},
                                           SimCase{"Stray", {"--stray"}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

class LineLost : public SimFixture {};

TEST_F(LineLost, ModemHangingUpWhilePollingClosesThePortWithOneErrorAndAReopenWorks)
{
    TIniFile settings(SettingsFilePath());
    TForm1 f(settings);
    {
        simtest::Sim sim({"--hangup-after", "5", "--seed", "61"});
        ASSERT_FALSE(sim.Path().empty());
        f.ComPort.SetPort(sim.Path());
        f.SpeedButton1->click();
        ASSERT_TRUE(f.ComPort.Connected());
        f.CheckBox1->click();
        ASSERT_TRUE(f.Timer2->isActive());

        const std::clock_t before = std::clock();
        ASSERT_TRUE(ProcessUntil([&] { return !f.ComPort.Connected(); }, 15000));
        // Some more ticks' worth of time: nothing else arrives, nothing spins.
        ProcessUntil([] { return false; }, 1500);
        EXPECT_LT(static_cast<double>(std::clock() - before) / CLOCKS_PER_SEC, 0.5);

        EXPECT_EQ(boxes_.errors, std::vector<std::string>{"The serial line on " + sim.Path() +
                                                          " was lost (the device went away or hung up). "
                                                          "The port has been closed."});
        EXPECT_FALSE(f.SpeedButton1->isChecked());
        EXPECT_EQ(Latin1(f.SpeedButton1->text()), "Open Port");
        EXPECT_EQ(f.SpeedButton1->palette().color(QPalette::ButtonText),
                  QApplication::palette().color(QPalette::WindowText));
        EXPECT_FALSE(f.Timer2->isActive());
        EXPECT_EQ(f.ComboBox1->palette().color(QPalette::Window), QColor(255, 0, 0));
        EXPECT_FALSE(f.ComPort.ThreadCreated());
    }

    // The adapter back: a fresh simulator, and the poll answers again.
    simtest::Sim sim({"--seed", "62"});
    f.ComPort.SetPort(sim.Path());
    boxes_.errors.clear();
    f.StatusLabel[0]->clear();
    f.SpeedButton1->click();
    ASSERT_TRUE(f.ComPort.Connected()) << (boxes_.errors.empty() ? "" : boxes_.errors[0]);
    f.CheckBox1->click();
    EXPECT_TRUE(ProcessUntil([&] { return IsNumber(f.StatusLabel[0]->text()); }, 10000));
    f.SpeedButton1->click();
    EXPECT_FALSE(f.ComPort.Connected());
    EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
}

} // namespace
