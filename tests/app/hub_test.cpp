// What the main window reports to the station hub while the operator works
// it, and how the hub's notes reach the status bar's free panels.
#include "form_fixture.h"
#include "scanner/ui/form3.h"

#include <QComboBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace {

class Events final : public StationListener {
public:
    void EventRecorded(const StationEvent& e) override
    {
        log.push_back(std::string(EventToken(e.kind)) + (e.detail.empty() ? "" : " " + e.detail));
    }
    std::vector<std::string> log;
};

class HubTest : public FormTest {
protected:
    void Watch() { Form().Hub.Subscribe(events_); }
    void TearDown() override
    {
        if (form_)
            form_->Hub.Unsubscribe(events_);
        FormTest::TearDown();
    }
    Events events_;
};

TEST_F(HubTest, OperatorSequencesAndRepliesReachTheHub)
{
    TForm1& f = MakeForm();
    Watch();
    OpenPort();
    f.ComboBox1->setCurrentIndex(3);  // the operator's pick of FY3A
    emit f.ComboBox1->activated(3);
    f.Buttonconfig[1]->click();
    Receive(">1/BCAS_-45.2,<1.0E-9,2.0E-5,0,7.5,50,1.0E-3,]>1/CSV_+120\r>1/OK\r]");
    f.Label8DblClick();

    const StationStatus& s = f.Hub.Status();
    EXPECT_TRUE(s.portOpen);
    EXPECT_EQ(s.channelIndex, 3);
    EXPECT_EQ(s.channelText, "FY3A");
    EXPECT_EQ(s.statusFields[0], "-45.2");
    EXPECT_EQ(s.statusFields[1], "<1.0E-9");
    EXPECT_EQ(s.offsetText, "+120");
    EXPECT_EQ(LockStateText(s.lock), "OK");
    // The correction's DF is the last one written: 151 MHz less 120 Hz.
    EXPECT_EQ(s.tunedText, "150.999880");
    EXPECT_EQ(s.requests, fake_->writes().size());
    EXPECT_TRUE(s.pollRunning) << "the correction ticks the poll again";
    EXPECT_EQ(events_.log, (std::vector<std::string>{"port-opened COM1", "channel FY3A by the operator",
                                                     "recall 2 (FY3A) by the operator",
                                                     "offset-correction 150.99988 MHz (offset +120 Hz)"}));

    f.SpeedButton1->click();
    EXPECT_FALSE(f.Hub.Status().portOpen);
    EXPECT_FALSE(f.Hub.Status().pollRunning);
    EXPECT_EQ(events_.log.back(), "port-closed COM1");
}

TEST_F(HubTest, SequencesRefusedByThePortGuardAreNotEvents)
{
    TForm1& f = MakeForm();
    Watch();
    f.ComboBox1->setCurrentIndex(3);
    emit f.ComboBox1->activated(3);
    f.Buttonconfig[0]->click();
    EXPECT_TRUE(events_.log.empty());
    EXPECT_EQ(f.Hub.Status().channelIndex, -1);
}

TEST_F(HubTest, ALostLineIsOneLossAndNoSecondClose)
{
    TForm1& f = MakeForm();
    Watch();
    OpenPort();
    fake_->HangUp();
    ASSERT_TRUE(ProcessUntil([&] { return !f.ComPort.Connected(); }));
    EXPECT_EQ(events_.log, (std::vector<std::string>{"port-opened COM1",
                                                     "port-lost COM1: device went away or hung up"}));
    EXPECT_EQ(f.Hub.Status().lineLosses, 1u);
    EXPECT_FALSE(f.Hub.Status().portOpen);
}

TEST_F(HubTest, NotesAndIndicatorsShowInTheFreePanelsAndLeaveTheClockAlone)
{
    TForm1& f = MakeForm();
    f.Timer1Timer();
    const QString clock = f.StatusPanel[3]->text();
    f.Hub.SetIndicator(Indicator::Remote, {"R 2", "Remote control on 127.0.0.1:4532, 2 clients"});
    f.Hub.SetNote("passlog", "Pass log: cannot write logs/pass-2026-12-11.csv: Read-only file system");
    f.Hub.SetNote("remote", "Remote: port in use");

    EXPECT_EQ(f.StatusPanel[0]->text(), "R 2");
    EXPECT_EQ(f.StatusPanel[0]->toolTip(), "Remote control on 127.0.0.1:4532, 2 clients");
    EXPECT_EQ(f.StatusPanel[1]->text(), "");
    EXPECT_EQ(f.StatusPanel[2]->text(), "Remote: port in use");
    EXPECT_TRUE(f.StatusPanel[2]->toolTip().contains("Pass log: cannot write"));
    EXPECT_EQ(f.StatusPanel[3]->text(), clock);

    f.Hub.SetNote("remote", "");
    const QString shown = f.StatusPanel[2]->text();
    EXPECT_TRUE(shown.startsWith("Pass log")) << shown.toStdString();
    EXPECT_LE(f.StatusPanel[2]->fontMetrics().horizontalAdvance(shown), f.StatusPanel[2]->width())
        << "a long note is shortened to its panel";
    EXPECT_EQ(f.StatusPanel[2]->accessibleDescription().toStdString(),
              "Pass log: cannot write logs/pass-2026-12-11.csv: Read-only file system");
}

TEST_F(HubTest, TheAdditionsMenuComesAfterTheMenuBarsOwnEntriesAndOnlyOnce)
{
    TForm1& f = MakeForm();
    EXPECT_EQ(f.menuBar()->actions().size(), 3) << "no additions menu until one is needed";
    QMenu* menu = f.StationMenu();
    EXPECT_EQ(menu, f.StationMenu());
    const QList<QAction*> entries = f.menuBar()->actions();
    ASSERT_EQ(entries.size(), 4);
    EXPECT_EQ(entries[0], f.File1);
    EXPECT_EQ(entries[1], f.Options1);
    EXPECT_EQ(entries[2], f.About1);
    EXPECT_EQ(entries[3]->text(), "Station");
}

TEST_F(HubTest, ClosingTheWindowStopsThePollAndTheScanSoNoTickMeetsTheClosedPort)
{
    TForm1& f = MakeForm();
    TForm3 scanner(f.State, f.PortRequests);
    f.SetOtherWindows(nullptr, &scanner);
    OpenPort();
    f.CheckBox1->setChecked(true);
    ASSERT_TRUE(f.Timer2->isActive());
    scanner.show();
    scanner.Button1Click();
    ASSERT_TRUE(scanner.Timer1()->isActive());

    f.close();
    ProcessUntil([] { return false; }, 700);  // several poll and scan periods
    EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
    EXPECT_TRUE(boxes_.messages.empty()) << boxes_.messages.front();
    EXPECT_FALSE(f.Timer2->isActive());
    EXPECT_FALSE(scanner.Timer1()->isActive());
    f.SetOtherWindows(nullptr, nullptr);
}

TEST_F(HubTest, StationMenuEntriesGoInTheirGroupsWithUnnamedOnesLast)
{
    TForm1& f = MakeForm();
    QMenu* menu = f.StationMenu();
    for (const char* name : {"Metrics", "Unknown", "Plot", "Reconnect"})
        menu->addAction(QString::fromLatin1(name))->setObjectName(QString::fromLatin1(name));
    f.ArrangeStationMenu({{"Plot", "Missing"}, {"Reconnect"}, {"Nothing"}, {"Metrics"}});
    f.ArrangeStationMenu({{"Plot", "Missing"}, {"Reconnect"}, {"Nothing"}, {"Metrics"}});  // again: the same
    QStringList seen;
    for (QAction* a : menu->actions())
        seen << (a->isSeparator() ? QStringLiteral("-") : a->objectName());
    EXPECT_EQ(seen.join(' ').toStdString(), "Plot - Reconnect - Metrics - Unknown");
}

} // namespace
