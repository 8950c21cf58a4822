// Network control end to end: the main window on the modem simulator's
// pseudo-terminal, the remote link as the program wires it, and Hamlib's own
// "rigctl -m 2" (the NET rigctl radio that schedulers use) as the client.
#include "app/ui/remote_link.h"
#include "protocol/numbers.h"
#include "rig_client.h"
#include "scanner/ui/form3.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using SteadyClock = std::chrono::steady_clock;

// Every request the program writes, with the time it went.
class Requests final : public StationListener {
public:
    void RequestWritten(std::string_view request) override { sent.push_back({SteadyClock::now(), std::string(request)}); }
    void StatusReplied(const StationStatus& status) override { levels.push_back(status.statusFields[0]); }

    struct Sent {
        SteadyClock::time_point at;
        std::string text;
    };
    std::vector<Sent> sent;
    std::vector<std::string> levels;
};

struct Rigctl {
    int exitCode = -1;
    std::string out;  // standard output and error: rigctl reports errors on both
};

class RemoteEndToEnd : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        wakeUp_.emplace();
        rigctl_ = QStandardPaths::findExecutable(QStringLiteral("rigctl"));
        ASSERT_FALSE(rigctl_.isEmpty()) << "Hamlib's rigctl is missing: install libhamlib-utils (scripts/deps)";
        ASSERT_FALSE(sim_.Path().empty()) << "the simulator printed no device";
    }
    void TearDown() override
    {
        link_.reset();
        if (form_)
            form_->Hub.Unsubscribe(requests_);
        form3_.reset();
        form_.reset();
        wakeUp_.reset();
    }

    // The program with [Remote] as given ("PORT": a free port's number).
    void Start(std::string remote = "Enabled=1\nPort=PORT\n")
    {
        port_ = FreePort();
        const auto at = remote.find("PORT");
        if (at != std::string::npos)
            remote.replace(at, 4, std::to_string(port_));
        WriteFileBytes(dir_.File("varnetrixreader.ini"), "[ComPort]\nPort=" + sim_.Path() + "\n[Remote]\n" + remote);
        settings_.emplace(SettingsFilePath());
        form_ = std::make_unique<TForm1>(*settings_);
        form_->Hub.Subscribe(requests_);
        form3_.emplace(form_->State, form_->PortRequests);
        link_.emplace(*form_, form3_->Controller(), *settings_);
    }
    void OpenPort()
    {
        form_->SpeedButton1->click();
        ASSERT_TRUE(form_->ComPort.Connected()) << (boxes_.errors.empty() ? "" : boxes_.errors[0]);
    }

    // Runs rigctl with the NET rigctl radio against host:port; the event
    // loop serves it meanwhile.
    Rigctl Run(const QStringList& commands, const char* host = "127.0.0.1", std::uint16_t port = 0)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        const QString address = QStringLiteral("%1:%2").arg(QLatin1String(host)).arg(port ? port : port_);
        process.start(rigctl_, QStringList{QStringLiteral("-m"), QStringLiteral("2"), QStringLiteral("-r"), address} + commands);
        Rigctl result;
        if (!process.waitForStarted(5000))
            return result;
        ProcessUntil([&] { return process.state() == QProcess::NotRunning; }, 60000);
        result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        result.out = process.readAll().toStdString();
        // The session for the test log.
        std::cout << "$ rigctl -m 2 -r " << address.toStdString() << ' ' << commands.join(' ').toStdString() << '\n'
                  << result.out << "(exit " << result.exitCode << ")\n";
        return result;
    }

    // The requests written from index from on.
    std::vector<std::string> SentFrom(std::size_t from) const
    {
        std::vector<std::string> out;
        for (std::size_t i = from; i < requests_.sent.size(); ++i)
            out.push_back(requests_.sent[i].text);
        return out;
    }
    std::int64_t GapMs(std::size_t i) const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(requests_.sent[i].at - requests_.sent[i - 1].at)
            .count();
    }

    TempDir dir_;
    WorkingDirectory cwd_{dir_.Path()};
    RecordedMessages boxes_;
    std::optional<SyncWakeUp> wakeUp_;
    simtest::Sim sim_{{"--seed", "16"}};
    QString rigctl_;
    std::uint16_t port_ = 0;
    std::optional<TIniFile> settings_;
    std::unique_ptr<TForm1> form_;
    std::optional<TForm3> form3_;
    std::optional<RemoteLink> link_;
    Requests requests_;
};

TEST_F(RemoteEndToEnd, SetFrequencyThenGetIt)
{
    Start();
    OpenPort();
    form_->CheckBox2->setChecked(true);  // the receive echo
    const std::size_t before = requests_.sent.size();
    const Rigctl r = Run({"F", "137100000", "f"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "137100000\n");
    ASSERT_EQ(SentFrom(before), (std::vector<std::string>{"<1/REM_", "<1/DF_137.100000"}));
    EXPECT_GE(GapMs(before + 1), 200);
    EXPECT_EQ(Latin1(form_->Label9->text()), "137.1");
    // The modem's answers to what the client asked show in the echo as the
    // operator's do.
    EXPECT_TRUE(ProcessUntil([&] {
        const std::string echo = Latin1(form_->Memo1->toPlainText());
        return echo.find(">1/REM_ON]") != std::string::npos && echo.find(">1/DF_137.100000]") != std::string::npos;
    })) << Latin1(form_->Memo1->toPlainText());
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(RemoteEndToEnd, SetChannelThenGetItWithTheWholeSequenceAndItsPauses)
{
    Start();
    OpenPort();
    const std::size_t before = requests_.sent.size();
    const Rigctl r = Run({"E", "4", "e"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "4\n");
    ASSERT_EQ(SentFrom(before),
              (std::vector<std::string>{"<1/REM_", "<1/DF_151.000000", "<1/SDRV_QPSK_5600.000", "<1/DSR_NRM"}));
    EXPECT_GE(GapMs(before + 1), 200);
    EXPECT_GE(GapMs(before + 2), 400);
    EXPECT_GE(GapMs(before + 3), 400);
    EXPECT_EQ(Latin1(form_->ComboBox1->currentText()), "FY3A");
    EXPECT_EQ(Latin1(form_->Label9->text()), "151");
    EXPECT_TRUE(boxes_.messages.empty());
}

TEST_F(RemoteEndToEnd, StrengthWhilePollingIsTheLastBcasLevelOverS9)
{
    Start();
    OpenPort();
    const Rigctl early = Run({"l", "STRENGTH"});
    EXPECT_NE(early.out.find("Feature not available"), std::string::npos) << "no BCAS reply yet: " << early.out;

    Run({"E", "1"});  // Metop-A, a strong carrier
    form_->CheckBox1->click();
    ASSERT_TRUE(ProcessUntil([&] { return requests_.levels.size() >= 2; }, 10000));
    const Rigctl r = Run({"l", "STRENGTH"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    ASSERT_FALSE(r.out.empty());
    const long answer = std::stol(r.out);
    bool matches = false;  // the level of one of the BCAS replies seen, over S9
    for (const std::string& level : requests_.levels) {
        double dbm = 0;
        if (TryStrToFloat(level, dbm))
            matches = matches || std::lround(dbm + 73.0) == answer;
    }
    EXPECT_TRUE(matches) << "answer " << answer << ", last level " << requests_.levels.back();
    EXPECT_TRUE(form_->Timer2->isActive()) << "the poll runs on";
}

TEST_F(RemoteEndToEnd, TuningIsRefusedWithThePortClosedAndDuringAScan)
{
    Start();
    const std::size_t before = requests_.sent.size();
    Rigctl r = Run({"F", "137100000", "E", "4"});
    EXPECT_NE(r.out.find("Rig is not powered on"), std::string::npos) << r.out;
    EXPECT_EQ(requests_.sent.size(), before) << "nothing was sent";

    OpenPort();
    form3_->Button1()->click();
    ASSERT_TRUE(form3_->Controller().Scanning());
    const std::size_t scanning = requests_.sent.size();
    r = Run({"E", "4", "F", "137100000", "f"});
    EXPECT_NE(r.out.find("Command rejected by the rig"), std::string::npos) << r.out;
    for (const std::string& request : SentFrom(scanning))
        EXPECT_TRUE(request.rfind("<1/RSL_", 0) == 0 || request.rfind("<1/DF_", 0) == 0) << request;
    EXPECT_EQ(form_->ComboBox1->currentIndex(), -1);
    form3_->Label2Click();
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(RemoteEndToEnd, NothingListensWhenDisabledAndOnlyLoopbackByDefault)
{
    Start("Port=PORT\n");
    Rigctl r = Run({"f"});
    EXPECT_EQ(r.exitCode, 2) << r.out;
    EXPECT_NE(r.out.find("Connection refused"), std::string::npos) << r.out;
    TearDown();
    SetUp();

    Start();
    r = Run({"f"}, "127.0.0.2");  // a local address too, but not loopback's own
    EXPECT_EQ(r.exitCode, 2) << r.out;
    r = Run({"f"});
    EXPECT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(r.out, "0\n");
}

// What a careless or hostile client may send, and what becomes of it; after
// each case the program serves rigctl as before.
TEST_F(RemoteEndToEnd, BadInputIsAnsweredOrDroppedAndTheProgramServesOn)
{
    Start();
    OpenPort();
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"malformed numbers",
         [&] {
             RigClient c(port_);
             ASSERT_TRUE(c.WaitConnected());
             for (const char* line : {"F 137,1e6", "F 1.371e8x", "F 0x82BCE60", "F inf", "F 99e6", "E 4.0", "E -1",
                                      "E 99999999999999999999", "\\recall six", "l STRENGTH extra"})
                 EXPECT_EQ(c.Ask(line), "RPRT -1\n") << line;
         }},
        {"unknown commands",
         [&] {
             RigClient c(port_);
             ASSERT_TRUE(c.WaitConnected());
             const std::pair<const char*, std::size_t> lines[] = {
                 {"K", 1}, {"\\frobnicate", 1}, {"+\\frobnicate 1", 2}, {"\x01", 1}};
             for (const auto& [line, answerLines] : lines)
                 EXPECT_NE(c.Ask(line, answerLines).find("RPRT -4\n"), std::string::npos) << line;
             EXPECT_EQ(c.Ask("M FM 0"), "RPRT -11\n");
         }},
        {"an endless line",
         [&] {
             RigClient c(port_);
             ASSERT_TRUE(c.WaitConnected());
             const std::string chunk(64 * 1024, 'F');
             for (int i = 0; i < 16 && !c.Closed(); ++i) {
                 c.Send(chunk);
                 ProcessUntil([] { return false; }, 10);
             }
             EXPECT_TRUE(c.WaitClosed()) << "closed after 1 KiB";
         }},
        {"20 clients at once",
         [&] {
             std::vector<std::unique_ptr<RigClient>> clients;
             for (int i = 0; i < 20; ++i)
                 clients.push_back(std::make_unique<RigClient>(port_));
             ProcessUntil([&] {
                 std::size_t closed = 0;
                 for (auto& c : clients)
                     closed += c->Closed();
                 return closed == 12 && link_->Server()->ClientCount() == 8;
             });
             std::size_t served = 0, closed = 0;
             for (auto& c : clients) {
                 const std::string answer = c->Ask("v");
                 served += answer == "VFOA\n";
                 closed += answer.empty() && c->Closed();
             }
             EXPECT_EQ(served, 8u);
             EXPECT_EQ(closed, 12u);
         }},
        {"a client that disconnects mid-sequence",
         [&] {
             auto c = std::make_unique<RigClient>(port_);
             ASSERT_TRUE(c->WaitConnected());
             const std::size_t before = requests_.sent.size();
             // Gone once the first request of its channel is out.
             struct Leaver final : StationListener {
                 RigClient* client;
                 void RequestWritten(std::string_view) override
                 {
                     if (client)
                         client->socket.abort();
                     client = nullptr;
                 }
             } leaver;
             leaver.client = c.get();
             form_->Hub.Subscribe(leaver);
             c->Send("E 2\n");
             ProcessUntil([&] { return requests_.sent.size() >= before + 4; });
             form_->Hub.Unsubscribe(leaver);
             EXPECT_EQ(SentFrom(before), (std::vector<std::string>{"<1/REM_", "<1/DF_147.800000",
                                                                   "<1/SDRV_3/4_3500.000", "<1/DSR_INV"}))
                 << "its sequence went out whole";
             EXPECT_EQ(Latin1(form_->ComboBox1->currentText()), "Metop-B");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.act();
        ProcessUntil([&] { return link_->Server()->ClientCount() == 0; });
        const Rigctl r = Run({"F", "145000000", "f"});
        EXPECT_EQ(r.out, "145000000\n") << "serving afterwards";
    }
    EXPECT_TRUE(boxes_.messages.empty());
    EXPECT_TRUE(boxes_.errors.empty());
}

} // namespace
