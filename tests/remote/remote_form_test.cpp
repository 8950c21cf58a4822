// Network control on the main window: the window on a fake serial device
// with virtual time, the remote link as the program wires it, and a client
// on the loopback address. What a remote command sends, how it is paced
// and what the window shows are the operator's own; refusals leave the
// window as it was and never open a box.
#include "app/ui/remote_link.h"
#include "rig_client.h"
#include "scanner/ui/form3.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace {

using Write = FakeSerialDevice::WriteRecord;

QColor Background(QWidget* w) { return w->palette().color(QPalette::Window); }

// The hub's events, one readable line each.
class Events final : public StationListener {
public:
    void EventRecorded(const StationEvent& e) override
    {
        log.push_back(std::string(EventToken(e.kind)) + (e.detail.empty() ? "" : " " + e.detail));
    }
    bool Has(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
    std::vector<std::string> log;
};

class RemoteForm : public FormTest {
protected:
    void TearDown() override
    {
        link_.reset();
        if (form_)
            Form().Hub.Unsubscribe(events_);
        form3_.reset();
        FormTest::TearDown();
    }

    // The window, the scanner window and the link, with settingsText as the
    // settings file ("PORT" stands for a free port's number).
    RemoteLink& Start(std::string settingsText = "[Remote]\nEnabled=1\nPort=PORT\n")
    {
        port_ = FreePort();
        const auto at = settingsText.find("PORT");
        if (at != std::string::npos)
            settingsText.replace(at, 4, std::to_string(port_));
        WriteSettings(settingsText);
        MakeForm();
        Form().Hub.Subscribe(events_);
        form3_.emplace(Form().State, Form().PortRequests);
        link_.emplace(Form(), form3_->Controller(), *settings_);
        return *link_;
    }

    std::unique_ptr<RigClient> Client()
    {
        auto client = std::make_unique<RigClient>(port_);
        EXPECT_TRUE(client->WaitConnected());
        ProcessUntil([&] { return link_->Server() && link_->Server()->ClientCount() > 0; });
        return client;
    }
    std::string Name(const RigClient& client) const
    {
        return "127.0.0.1:" + std::to_string(client.socket.localPort());
    }

    // The operator picks the item at index in the selector's list.
    void Pick(int index)
    {
        Form().ComboBox1->setCurrentIndex(index);
        emit Form().ComboBox1->activated(index);
    }

    // The writes from index from on, stamped from the first of them.
    std::vector<Write> WritesFrom(std::size_t from) const
    {
        std::vector<Write> out;
        const auto all = fake_->writes();
        for (std::size_t i = from; i < all.size(); ++i)
            out.push_back({all[i].atMs - all[from].atMs, all[i].bytes});
        return out;
    }

    std::uint16_t port_ = 0;
    Events events_;
    std::optional<TForm3> form3_;
    std::optional<RemoteLink> link_;
};

const std::vector<Write> kFy3a = {
    {0, "<1/REM_\r"}, {200, "<1/DF_151.000000\r"}, {600, "<1/SDRV_QPSK_5600.000\r"}, {1000, "<1/DSR_NRM\r"}};

TEST_F(RemoteForm, AChannelByNumberIsTheOperatorsPickWholeSequencePacingAndDisplays)
{
    Start();
    OpenPort();
    TForm1& f = Form();
    auto client = Client();

    std::size_t before = fake_->writes().size();
    EXPECT_EQ(client->Ask("E 4"), "RPRT 0\n");
    EXPECT_EQ(WritesFrom(before), kFy3a);
    EXPECT_EQ(f.ComboBox1->currentIndex(), 3);
    EXPECT_EQ(Latin1(f.ComboBox1->currentText()), "FY3A");
    EXPECT_EQ(Background(f.ComboBox1), QColor(0, 128, 0));
    EXPECT_EQ(Latin1(f.Label9->text()), "151");
    EXPECT_DOUBLE_EQ(f.State.ChannelFrequency, 151.0);
    EXPECT_EQ(f.State.LastCommand, "<1/DSR_NRM");
    EXPECT_TRUE(events_.Has("channel FY3A by remote client " + Name(*client)));
    EXPECT_EQ(client->Ask("e"), "4\n");
    EXPECT_EQ(client->Ask("f"), "151000000\n");

    // The operator's own pick of the same item sends the very same.
    before = fake_->writes().size();
    Pick(3);
    EXPECT_EQ(WritesFrom(before), kFy3a);
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(RemoteForm, TuningIsTheOffsetCorrectionsStepAndLeavesThePollAsItWas)
{
    Start();
    OpenPort();
    TForm1& f = Form();
    auto client = Client();
    for (bool polling : {false, true}) {
        if (polling)
            f.CheckBox1->click();
        ASSERT_EQ(f.Timer2->isActive(), polling);
        const std::size_t before = fake_->writes().size();
        EXPECT_EQ(client->Ask("F 137100000"), "RPRT 0\n");
        // Poll ticks may come before or after, never inside the step.
        auto writes = WritesFrom(before);
        const auto rem = std::find_if(writes.begin(), writes.end(), [](const Write& w) { return w.bytes == "<1/REM_\r"; });
        ASSERT_NE(rem, writes.end());
        ASSERT_NE(rem + 1, writes.end());
        EXPECT_EQ(*(rem + 1), (Write{rem->atMs + 200, "<1/DF_137.100000\r"}));
        EXPECT_EQ(Latin1(f.Label9->text()), "137.1");
        EXPECT_EQ(f.CheckBox1->isChecked(), polling);
        EXPECT_EQ(f.Timer2->isActive(), polling);
        EXPECT_EQ(client->Ask("f"), "137100000\n");
    }
    EXPECT_DOUBLE_EQ(f.State.ChannelFrequency, 0.0) << "the channel's frequency is not the tuned one";
    EXPECT_TRUE(boxes_.messages.empty());
}

TEST_F(RemoteForm, RecallByNumberIsTheRecallButtons)
{
    Start();
    OpenPort();
    auto client = Client();
    const std::size_t before = fake_->writes().size();
    EXPECT_EQ(client->Ask("\\recall 2"), "RPRT 0\n");
    EXPECT_EQ(WritesFrom(before), (std::vector<Write>{{0, "<1/REM_\r"}, {400, "<1/RMC_2\r"}}));
    EXPECT_TRUE(events_.Has("recall 2 (FY3A) by remote client " + Name(*client)));
}

TEST_F(RemoteForm, RefusedTuningLeavesTheWindowAsItWasAndOpensNoBox)
{
    Start("[Frequency]\nFY3A=151,0\n[Remote]\nEnabled=1\nPort=PORT\n");
    TForm1& f = Form();
    auto client = Client();
    const QString label9 = f.Label9->text();
    const QColor selector = Background(f.ComboBox1);

    // The port closed: nothing is sent, nothing changes.
    for (const char* line : {"F 137100000", "E 1", "\\recall 1"})
        EXPECT_EQ(client->Ask(line), "RPRT -20\n") << line;
    EXPECT_TRUE(fake_->writes().empty());
    EXPECT_EQ(f.Label9->text(), label9);
    EXPECT_EQ(f.ComboBox1->currentIndex(), -1);
    EXPECT_EQ(Background(f.ComboBox1), selector);
    EXPECT_EQ(f.State.LastCommand, "");
    EXPECT_EQ(client->Ask("l STRENGTH"), "RPRT -11\n") << "asking still works";

    // A scan owns the tuner.
    OpenPort();
    form3_->Button1()->click();
    ASSERT_TRUE(form3_->Controller().Scanning());
    std::size_t before = fake_->writes().size();
    for (const char* line : {"F 137100000", "E 1", "\\recall 1"})
        EXPECT_EQ(client->Ask(line), "RPRT -9\n") << line;
    for (const Write& w : WritesFrom(before))
        EXPECT_TRUE(w.bytes.rfind("<1/RSL_", 0) == 0 || w.bytes.rfind("<1/DF_", 0) == 0) << "only the scan's own: " << w.bytes;
    EXPECT_EQ(f.ComboBox1->currentIndex(), -1);
    form3_->Label2Click();  // the operator stops it
    ASSERT_FALSE(form3_->Controller().Scanning());

    // A stored frequency that is no number: as the operator's pick, REM and
    // DF have gone, then the sequence ends; the client hears why, no box.
    before = fake_->writes().size();
    EXPECT_EQ(client->Ask("E 4"), "RPRT -2\n");
    EXPECT_EQ(WritesFrom(before), (std::vector<Write>{{0, "<1/REM_\r"}, {200, "<1/DF_151,0\r"}}));
    EXPECT_EQ(f.Label9->text(), label9);
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_EQ(client->Ask("F 137100000"), "RPRT 0\n") << "and it serves on";
}

// A message box whose modal loop runs while it is open: whileOpen runs
// inside it, as everything does that the event loop delivers meanwhile.
class ModalBoxes final : public MessageSink {
public:
    ModalBoxes() { InstallMessages(this); }
    ~ModalBoxes() override { InstallMessages(nullptr); }
    void ShowMessage(const std::string& text) override { Open(text); }
    void ShowError(const std::string& text) override { Open(text); }
    std::function<void()> whileOpen;
    std::vector<std::string> shown;

private:
    void Open(const std::string& text)
    {
        shown.push_back(text);
        if (whileOpen)
            whileOpen();
    }
};

TEST_F(RemoteForm, CommandsAreServedWhileTheOperatorHasABoxOpenAndOpenNoneThemselves)
{
    Start();
    TForm1& f = Form();
    auto client = Client();
    ModalBoxes boxes;
    std::string answer;
    boxes.whileOpen = [&] {
        answer = client->Ask("E 4");
        EXPECT_EQ(boxes.shown.size(), 1u) << "none of its own";
    };

    // The port closed: the guard's box for the operator's pick; the remote
    // channel meanwhile is refused.
    Pick(3);
    EXPECT_EQ(boxes.shown, std::vector<std::string>{"First, open Com Port please !"});
    EXPECT_EQ(answer, "RPRT -20\n");

    // The port open: the box for a request the line cannot carry; the remote
    // channel is served whole while it is open, the operator's Send then
    // sends nothing.
    OpenPort();
    boxes.shown.clear();
    const std::size_t before = fake_->writes().size();
    f.Edit1->setText(QString::fromUtf8("<1/DF_\u20ac"));
    f.BitBtn2->click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(answer, "RPRT 0\n");
    EXPECT_EQ(WritesFrom(before), kFy3a);
}

// Virtual time that lets a client send while the operator's sequence pauses.
class PausingClock final : public Clock {
public:
    PausingClock() { InstallClock(this); }
    ~PausingClock() override { InstallClock(nullptr); }
    void Sleep(int ms) override
    {
        if (duringFirstPause) {
            auto once = std::move(duringFirstPause);
            duringFirstPause = nullptr;
            once();
        }
        now_ += ms;
    }
    std::int64_t NowMs() override { return now_; }
    std::function<void()> duringFirstPause;

private:
    std::int64_t now_ = 0;
};

TEST_F(RemoteForm, ACommandArrivingDuringTheOperatorsSequenceWaitsForItsEnd)
{
    Start();
    OpenPort();
    TForm1& f = Form();
    auto client = Client();
    PausingClock clock;
    clock.duringFirstPause = [&] { client->Send("F 137100000\n"); };
    const std::size_t before = fake_->writes().size();
    Pick(3);
    EXPECT_EQ(client->WaitLines(1), "RPRT 0\n");
    auto writes = WritesFrom(before);
    ASSERT_EQ(writes.size(), 6u);
    EXPECT_EQ(std::vector<Write>(writes.begin(), writes.begin() + 4), kFy3a);
    EXPECT_EQ(writes[4], (Write{1000, "<1/REM_\r"}));
    EXPECT_EQ(writes[5], (Write{1200, "<1/DF_137.100000\r"}));
    EXPECT_EQ(Latin1(f.Label9->text()), "137.1");
}

TEST_F(RemoteForm, TheSettingsDecideWhetherAndWhereItListens)
{
    // Nothing written: off, and the defaults are rigctld's port on loopback.
    {
        RemoteLink& link = Start("");
        EXPECT_EQ(link.Server(), nullptr);
        EXPECT_EQ(link.Settings().port, 4532);
        EXPECT_EQ(link.Settings().address, "127.0.0.1");
        EXPECT_TRUE(Form().Hub.IndicatorOf(Indicator::Remote).shortText.empty());
        EXPECT_TRUE(Form().Hub.NoteTexts().empty());
        TearDown();
        SetUp();
    }
    // Off with a port given: nothing listens there.
    {
        Start("[Remote]\nEnabled=0\nPort=PORT\n");
        RigClient client(port_);
        EXPECT_FALSE(client.WaitConnected());
        TearDown();
        SetUp();
    }
    // On: loopback only, the indicator counts the clients, the hub records them.
    Start();
    TForm1& f = Form();
    ASSERT_NE(link_->Server(), nullptr);
    EXPECT_EQ(Latin1(f.StatusPanel[0]->text()), "RC 0");
    {
        RigClient elsewhere(port_, "127.0.0.2");  // a local address, not the one listened on
        EXPECT_FALSE(elsewhere.WaitConnected());
    }
    auto client = Client();
    const std::string name = Name(*client);
    EXPECT_EQ(Latin1(f.StatusPanel[0]->text()), "RC 1");
    EXPECT_EQ(Latin1(f.StatusPanel[0]->toolTip()),
              "Remote control (rigctld) listening on 127.0.0.1:" + std::to_string(port_) + ", 1 client connected");
    EXPECT_TRUE(events_.Has("remote-connected " + name));
    client->socket.disconnectFromHost();
    ProcessUntil([&] { return link_->Server()->ClientCount() == 0; });
    EXPECT_EQ(Latin1(f.StatusPanel[0]->text()), "RC 0");
    EXPECT_TRUE(events_.Has("remote-disconnected " + name));
}

TEST_F(RemoteForm, APortInUseOrABadAddressIsOneNoteAndTheProgramRunsOn)
{
    QTcpServer occupant;
    struct Case {
        const char* settings;
        std::string note;  // after "Remote control off: "
    };
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    const std::string busy = std::to_string(occupant.serverPort());
    const Case cases[] = {
        {"[Remote]\nEnabled=1\nPort=BUSY\n", "127.0.0.1:" + busy + ": The bound address is already in use"},
        {"[Remote]\nEnabled=1\nAddress=modem.local\nPort=BUSY\n",
         "modem.local:" + busy + ": \"modem.local\" is not an IP address"},
        {"[Remote]\nEnabled=yes\n", "Enabled=yes is not 0 or 1"},
    };
    for (const Case& c : cases) {
        std::string text = c.settings;
        const auto at = text.find("BUSY");
        if (at != std::string::npos)
            text.replace(at, 4, busy);
        RemoteLink& link = Start(text);
        EXPECT_EQ(link.Server(), nullptr) << c.settings;
        EXPECT_EQ(Form().Hub.NoteTexts(), std::vector<std::string>{"Remote control off: " + c.note}) << c.settings;
        EXPECT_NE(Latin1(Form().StatusPanel[2]->toolTip()).find(c.note), std::string::npos);
        EXPECT_TRUE(Form().Hub.IndicatorOf(Indicator::Remote).shortText.empty());
        EXPECT_TRUE(boxes_.messages.empty());
        EXPECT_TRUE(boxes_.errors.empty());
        OpenPort();  // and the program runs on
        Pick(0);
        EXPECT_EQ(fake_->writes().size(), 4u);
        TearDown();
        fake_ = std::make_shared<FakeSerialDevice>();
        SetUp();
    }
}

TEST_F(RemoteForm, TheStationMenuSwitchesItAndWritesEnabledOnlyThen)
{
    Start("[Remote]\nPort=PORT\n");
    const std::string written = ReadFileBytes(SettingsPath());
    QAction* action = link_->SwitchAction();
    ASSERT_NE(action, nullptr);
    EXPECT_EQ(action->objectName(), QStringLiteral("RemoteControl1"));
    EXPECT_TRUE(Form().StationMenu()->actions().contains(action));
    EXPECT_FALSE(action->isChecked());
    EXPECT_EQ(link_->Server(), nullptr);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), written) << "reading writes nothing";

    action->trigger();
    EXPECT_TRUE(action->isChecked());
    ASSERT_NE(link_->Server(), nullptr);
    EXPECT_EQ(ReadSettingsLines(SettingsPath()), "[Remote]\nPort=" + std::to_string(port_) + "\nEnabled=1\n");
    auto client = Client();
    EXPECT_EQ(client->Ask("v"), "VFOA\n");

    action->trigger();
    EXPECT_FALSE(action->isChecked());
    EXPECT_EQ(link_->Server(), nullptr);
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_TRUE(Form().Hub.IndicatorOf(Indicator::Remote).shortText.empty());
    EXPECT_EQ(ReadSettingsLines(SettingsPath()), "[Remote]\nPort=" + std::to_string(port_) + "\nEnabled=0\n");
    RigClient refused(port_);
    EXPECT_FALSE(refused.WaitConnected());
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(RemoteForm, TheLinkGoingWithTheWindowClosesItsClients)
{
    Start();
    auto client = Client();
    const std::string name = Name(*client);
    link_.reset();
    EXPECT_TRUE(client->WaitClosed());
    EXPECT_TRUE(events_.Has("remote-disconnected " + name + " (remote control closed)"));
    EXPECT_TRUE(Form().Hub.IndicatorOf(Indicator::Remote).shortText.empty());
}

} // namespace
