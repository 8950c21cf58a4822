// The main window opening a lost line again by itself, on the fake serial
// device: no box, the retry waits, the poll's return, and everything that
// ends the retrying at once.
#include "app/ui/reconnect.h"
#include "app/ui/scan_events.h"
#include "app/ui/unattended.h"
#include "form_fixture.h"
#include "records/program_events.h"
#include "scanner/ui/form3.h"
#include "serial/ui/com_select.h"
#include "serial/ui/com_setup.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QTest>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

// The system's codes for a device that is not there and one another program holds.
#ifdef _WIN32
constexpr int kMissing = 2, kBusy = 5;  // file not found, access denied
#else
constexpr int kMissing = ENOENT, kBusy = EBUSY;
#endif

const std::string kLostBox =
    "The serial line on COM1 was lost (the device went away or hung up). The port has been closed.";

// Picks an entry of a setup list as the operator does, with the keyboard.
void Pick(QComboBox* combo, const char* text)
{
    const int target = combo->findText(QString::fromLatin1(text));
    ASSERT_GE(target, 0) << text;
    for (int guard = 0; combo->currentIndex() != target && guard < 64; ++guard)
        QTest::keyClick(combo, combo->currentIndex() < target ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(combo->currentIndex(), target) << text;
}

class Events final : public StationListener {
public:
    void EventRecorded(const StationEvent& e) override
    {
        log.push_back(std::string(EventToken(e.kind)) + (e.detail.empty() ? "" : " " + e.detail));
    }
    std::vector<std::string> log;
};

int Count(const std::vector<std::string>& calls, const std::string& prefix)
{
    int n = 0;
    for (const auto& c : calls)
        n += c.rfind(prefix, 0) == 0;
    return n;
}

class Reconnect : public FormTest {
public:
    PortReconnect& R() { return unattended_->Reconnect(); }

protected:
    // The main window with the scanner window and the unattended wiring, as
    // the program makes them.
    void Start(const std::string& settings = {})
    {
        if (!settings.empty())
            WriteSettings(settings);
        MakeForm();
        form3_ = std::make_unique<TForm3>(Form().State, Form().PortRequests);
        scanEvents_.emplace(form3_->Controller(), Form().Hub);
        InstallMessages(&programEvents_);
        unattended_ = std::make_unique<Unattended>(Form(), form3_->Controller(), *settings_, programEvents_);
        Form().Hub.Subscribe(events_);
    }
    void TearDown() override
    {
        if (form_)
            form_->Hub.Unsubscribe(events_);
        unattended_.reset();
        InstallMessages(&boxes_);
        scanEvents_.reset();
        form3_.reset();
        SetSetupDialogRunner({});
        SetPortEnumerator({});
        SetEditComPortFunction({});
        FormTest::TearDown();
    }

    // Opens the port, starts the poll when asked, and pulls the line.
    void OpenThenLose(bool polling)
    {
        OpenPort();
        if (polling) {
            Form().CheckBox1->click();
            ASSERT_TRUE(Form().Timer2->isActive());
        }
        fake_->HangUp();
        ASSERT_TRUE(ProcessUntil([&] { return !Form().ComPort.Connected(); }));
    }

    // Lets the pending attempt run now; returns the wait it had been given.
    int FireRetry()
    {
        QTimer* timer = R().RetryTimer();
        EXPECT_NE(timer, nullptr) << "not retrying";
        if (!timer)
            return -1;
        const int wait = timer->interval();
        EXPECT_TRUE(timer->isActive());
        timer->start(0);
        EXPECT_TRUE(ProcessUntil([&] { return R().RetryTimer() != timer || timer->interval() != 0; }));
        return wait;
    }

    // The timers the reconnection owns once deferred deletions have run.
    int RetryTimers()
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return static_cast<int>(R().findChildren<QTimer*>().size());
    }

    std::string StationLog() const
    {
        for (const auto& e : std::filesystem::directory_iterator(dir_.Path() / "logs"))
            return ReadFileBytes(e.path().string());
        return {};
    }

    ProgramEvents programEvents_{boxes_};
    std::unique_ptr<TForm3> form3_;
    std::optional<ScanEventsToHub> scanEvents_;
    std::unique_ptr<Unattended> unattended_;
    Events events_;
};

TEST_F(Reconnect, IsOffUnlessAskedForAndThenALostLineGivesTheOneBoxAsBefore)
{
    Start();
    ASSERT_NE(R().Action(), nullptr);
    EXPECT_EQ(R().Action()->objectName(), "ReconnectOnLineLoss");
    EXPECT_TRUE(Form().StationMenu()->actions().contains(R().Action()));
    EXPECT_TRUE(R().Action()->isCheckable());
    EXPECT_FALSE(R().Action()->isChecked());

    OpenThenLose(true);
    ProcessUntil([] { return false; }, 200);
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{kLostBox});
    EXPECT_FALSE(Form().SpeedButton1->isChecked());
    EXPECT_EQ(Latin1(Form().SpeedButton1->text()), "Open Port");
    EXPECT_EQ(R().RetryTimer(), nullptr);
    EXPECT_EQ(RetryTimers(), 0);
    EXPECT_EQ(Count(fake_->Calls(), "Open "), 1);
    EXPECT_EQ(ReadFileBytes(SettingsPath()).find("Reconnect"), std::string::npos) << "nothing written";
}

TEST_F(Reconnect, TheMenuEntryIsStoredInThePortSectionOnlyWhenChanged)
{
    Start("[ComPort]\nPort=COM1\n");
    R().Action()->trigger();
    EXPECT_TRUE(R().Enabled());
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("Reconnect=1"), std::string::npos) << ReadFileBytes(SettingsPath());
    R().Action()->trigger();
    EXPECT_FALSE(R().Enabled());
    EXPECT_NE(ReadFileBytes(SettingsPath()).find("Reconnect=0"), std::string::npos);

    R().Action()->trigger();
    unattended_.reset();
    scanEvents_.reset();
    form3_.reset();
    form_.reset();
    Start();
    EXPECT_TRUE(R().Action()->isChecked()) << "read at start";
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(Reconnect, AMenuChangeThatCannotBeStoredIsShownAndUndone)
{
    std::filesystem::create_directory(SettingsPath());  // refused for every user
    Start();
    boxes_.errors.clear();
    R().Action()->trigger();
    EXPECT_EQ(boxes_.errors, std::vector<std::string>{"Unable to write to " + SettingsFilePath()});
    EXPECT_FALSE(R().Action()->isChecked());
    EXPECT_FALSE(R().Enabled());
}

TEST_F(Reconnect, ALostLineIsOpenedAgainWithGrowingWaitsAndThePollComesBack)
{
    Start("[ComPort]\nReconnect=1\n");
    OpenThenLose(true);
    TForm1& f = Form();
    EXPECT_TRUE(boxes_.errors.empty());
    // The port is closed but still wanted open: the toggle stays as it was.
    EXPECT_TRUE(f.SpeedButton1->isChecked());
    EXPECT_EQ(Latin1(f.SpeedButton1->text()), "Close Port");
    EXPECT_FALSE(fake_->IsOpen());
    EXPECT_FALSE(f.Timer2->isActive());
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_EQ(f.Hub.NewestNote(), "Line lost, reconnecting...");
    EXPECT_EQ(Latin1(f.StatusPanel[2]->toolTip()), "Line lost, reconnecting...");
    EXPECT_EQ(RetryTimers(), 1);

    fake_->FailNext("Open", kMissing);
    EXPECT_EQ(FireRetry(), 1000);
    EXPECT_EQ(f.Hub.NewestNote(), "Line lost, reconnecting... (attempt 1: device missing; next in 2 s)");
    fake_->FailNext("Open", kBusy);
    EXPECT_EQ(FireRetry(), 2000);
    EXPECT_EQ(f.Hub.NewestNote(), "Line lost, reconnecting... (attempt 2: device busy; next in 4 s)");
    EXPECT_EQ(R().RetryTimer()->interval(), 4000);
    EXPECT_EQ(RetryTimers(), 1) << "one timer, started anew";
    EXPECT_FALSE(f.ComPort.Connected());

    EXPECT_EQ(FireRetry(), 4000);
    EXPECT_TRUE(f.ComPort.Connected());
    EXPECT_EQ(fake_->OpenedPort(), "COM1");
    EXPECT_TRUE(f.SpeedButton1->isChecked());
    EXPECT_EQ(Latin1(f.SpeedButton1->text()), "Close Port");
    EXPECT_EQ(f.SpeedButton1->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
    EXPECT_TRUE(f.CheckBox1->isChecked());
    EXPECT_TRUE(f.Timer2->isActive()) << "the poll runs again";
    EXPECT_TRUE(f.Hub.Status().portOpen);
    EXPECT_TRUE(f.Hub.Status().pollRunning);
    EXPECT_EQ(f.Hub.NewestNote(), "Reconnected after 3 attempts");
    EXPECT_EQ(R().RetryTimer(), nullptr);
    EXPECT_EQ(RetryTimers(), 0) << "no timer of ours while the line is up";
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_TRUE(boxes_.messages.empty());

    EXPECT_EQ(events_.log, (std::vector<std::string>{"port-opened COM1", "port-lost COM1: device went away or hung up",
                                                     "port-reconnected COM1 after 3 attempts"}));
    const std::string log = StationLog();
    const auto lost = log.find(" port-lost COM1: device went away or hung up\n");
    const auto back = log.find(" port-reconnected COM1 after 3 attempts\n");
    EXPECT_NE(lost, std::string::npos) << log;
    EXPECT_LT(lost, back) << log;

    // Polling again: the next tick writes its requests.
    fake_->ClearCalls();
    f.Timer2Timer();
    EXPECT_NE(fake_->Written().find("<1/BCAS_\r"), std::string::npos);

    f.SpeedButton1->click();
    EXPECT_EQ(f.Hub.NewestNote(), "") << "the operator took the port in hand";
}

TEST_F(Reconnect, APollWriteFailingOnTheLostLineGoesStraightToReconnecting)
{
    Start("[ComPort]\nReconnect=1\n");
    OpenPort();
    TForm1& f = Form();
    f.CheckBox1->click();
    fake_->HangUp();
    for (int i = 0; i < 500 && !f.ComPort.LineLost(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(f.ComPort.LineLost());
    fake_->FailNext("Write", EIO, -1);
    EXPECT_NO_THROW(f.Timer2Timer());  // the tick's write meets the dead line first
    ProcessUntil([] { return false; }, 300);  // the notice, still queued, finds the session over
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_TRUE(R().Retrying());
    EXPECT_EQ(Count(events_.log, "port-lost"), 1);
    fake_->ClearFailures();
    FireRetry();
    EXPECT_TRUE(f.Timer2->isActive()) << "the tick that met the dead line had stopped the poll; it runs again";
    EXPECT_TRUE(f.CheckBox1->isChecked());
}

class WriteBeforeTheLoss : public Reconnect, public ::testing::WithParamInterface<bool> {};

TEST_P(WriteBeforeTheLoss, IsTheLossAloneNotAWriteErrorOnTop)
{
    const bool reconnect = GetParam();
    Start(reconnect ? "[ComPort]\nReconnect=1\n" : "");
    OpenPort();
    TForm1& f = Form();
    f.CheckBox1->click();
    // A reply arrives during the tick's pause: the event thread waits for this
    // thread to take it and cannot see the line go meanwhile. Then the tick's
    // next write meets the dead line.
    fake_->Receive(">1/BCAS_-45.2,<1.0E-9,2.0E-5,0,7.5,50,1.0E-3,]");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    fake_->HangUp();
    fake_->FailNext("Write", EIO, -1);
    EXPECT_FALSE(f.ComPort.LineLost()) << "the event thread has not seen it";
    EXPECT_NO_THROW(f.Timer2Timer());
    ProcessUntil([] { return false; }, 300);
    EXPECT_EQ(boxes_.errors, reconnect ? std::vector<std::string>{} : std::vector<std::string>{kLostBox});
    EXPECT_EQ(Count(events_.log, "port-lost"), 1);
    EXPECT_EQ(R().Retrying(), reconnect);
    if (reconnect) {
        fake_->ClearFailures();
        FireRetry();
        EXPECT_TRUE(f.Timer2->isActive()) << "the poll that ran comes back";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, WriteBeforeTheLoss, ::testing::Bool(),
                         [](const auto& info) { return info.param ? std::string("Reconnecting") : std::string("Off"); });

struct PollCase {
    const char* what;
    bool pollingAtLoss;
    bool untickedMeanwhile;
    bool pollAfter;
};

void PrintTo(const PollCase& c, std::ostream* os) { *os << c.what; }

class PollAfterReconnect : public Reconnect, public ::testing::WithParamInterface<PollCase> {};

TEST_P(PollAfterReconnect, RunsAgainOnlyIfItRanAndTheBoxIsStillTicked)
{
    const PollCase& c = GetParam();
    Start("[ComPort]\nReconnect=1\n");
    OpenThenLose(c.pollingAtLoss);
    if (c.untickedMeanwhile) {
        Form().CheckBox1->click();
        EXPECT_EQ(boxes_.messages, std::vector<std::string>{"First, open Com Port please !"})
            << "the operator's own click, answered as ever";
    }
    FireRetry();
    ASSERT_TRUE(Form().ComPort.Connected());
    EXPECT_EQ(Form().Timer2->isActive(), c.pollAfter);
    EXPECT_EQ(Form().CheckBox1->isChecked(), c.pollAfter);
    EXPECT_TRUE(boxes_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(Cases, PollAfterReconnect,
                         ::testing::Values(PollCase{"Polling", true, false, true},
                                           PollCase{"NotPolling", false, false, false},
                                           PollCase{"UntickedWhileReconnecting", true, true, false}),
                         [](const auto& info) { return std::string(info.param.what); });

struct EndCase {
    const char* what;
    std::function<void(Reconnect&, TForm1&)> act;
    const char* why;
};

void PrintTo(const EndCase& c, std::ostream* os) { *os << c.what; }

class EndsAtOnce : public Reconnect, public ::testing::WithParamInterface<EndCase> {};

TEST_P(EndsAtOnce, TheRetryingAndItsTimer)
{
    SetPortEnumerator([] { return std::vector<std::string>{"COM1", "COM2"}; });
    Start("[ComPort]\nReconnect=1\n");
    OpenThenLose(true);
    fake_->FailNext("Open", kMissing);
    FireRetry();
    ASSERT_TRUE(R().Retrying());
    const int opens = Count(fake_->Calls(), "Open ");

    GetParam().act(*this, Form());
    EXPECT_FALSE(R().Retrying());
    EXPECT_EQ(R().RetryTimer(), nullptr);
    EXPECT_EQ(RetryTimers(), 0);
    EXPECT_FALSE(Form().SpeedButton1->isChecked());
    EXPECT_EQ(Latin1(Form().SpeedButton1->text()), "Open Port");
    EXPECT_FALSE(Form().Timer2->isActive());
    EXPECT_EQ(Form().Hub.NewestNote(), "");
    EXPECT_EQ(events_.log.back(), std::string("port-closed COM1: ") + GetParam().why + " while reconnecting");
    ProcessUntil([] { return false; }, 100);
    EXPECT_EQ(Count(fake_->Calls(), "Open "), opens) << "no attempt after the end";
    EXPECT_TRUE(boxes_.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EndsAtOnce,
    ::testing::Values(
        EndCase{"ClosingThePort", [](Reconnect&, TForm1& f) { f.SpeedButton1->click(); }, "closed by the operator"},
        EndCase{"ClosingTheWindow", [](Reconnect&, TForm1& f) { EXPECT_TRUE(f.close()); }, "closed by the operator"},
        EndCase{"ChangingThePortInTheSetupDialog",
                [](Reconnect&, TForm1& f) {
                    SetSetupDialogRunner([](TComSetupFrm& d) {
                        Pick(d.Combo1, "COM2");
                        return int(QDialog::Accepted);
                    });
                    f.ComPort.ShowSetupDialog();
                    EXPECT_EQ(f.ComPort.Port(), "COM2");
                },
                "the port's settings were changed"},
        EndCase{"TurningReconnectingOff", [](Reconnect& t, TForm1&) { t.R().Action()->trigger(); },
                "reconnecting turned off"}),
    [](const auto& info) { return std::string(info.param.what); });

TEST_F(Reconnect, ASetupDialogLeftUnchangedLetsTheRetryingGoOn)
{
    SetPortEnumerator([] { return std::vector<std::string>{"COM1", "COM2"}; });
    Start("[ComPort]\nReconnect=1\n");
    OpenThenLose(false);
    for (int result : {int(QDialog::Rejected), int(QDialog::Accepted)}) {
        SetSetupDialogRunner([result](TComSetupFrm& d) {
            Pick(d.Combo1, "COM2");
            if (result == QDialog::Accepted)
                Pick(d.Combo1, "COM1");  // and back: nothing changed
            return result;
        });
        Form().ComPort.ShowSetupDialog();
        EXPECT_TRUE(R().Retrying()) << result;
        EXPECT_NE(R().RetryTimer(), nullptr);
    }
}

class LostDuringAScan : public Reconnect, public ::testing::WithParamInterface<bool> {};

TEST_P(LostDuringAScan, StopsTheScanWithoutASecondBox)
{
    const bool reconnect = GetParam();
    Start(reconnect ? "[ComPort]\nReconnect=1\n" : "");
    OpenPort();
    ScanController& scan = form3_->Controller();
    form3_->findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    ASSERT_TRUE(scan.Scanning());
    fake_->HangUp();
    ASSERT_TRUE(ProcessUntil([&] { return !Form().ComPort.Connected(); }));
    ProcessUntil([] { return false; }, 400);  // a few scan ticks' worth
    EXPECT_FALSE(scan.Scanning());
    EXPECT_NE(std::find(events_.log.begin(), events_.log.end(), "scan-stopped"), events_.log.end());
    EXPECT_EQ(boxes_.errors, reconnect ? std::vector<std::string>{} : std::vector<std::string>{kLostBox});
    EXPECT_EQ(R().Retrying(), reconnect);
}

INSTANTIATE_TEST_SUITE_P(Cases, LostDuringAScan, ::testing::Bool(),
                         [](const auto& info) { return info.param ? std::string("Reconnecting") : std::string("Off"); });

} // namespace
