// The rigctld server on the event loop, with real sockets on the loopback
// address and a fake station: sessions, the order commands are served in,
// and the bounds that keep a misbehaving client from costing the program.
#include "fake_station.h"
#include "remote/net/rigctl_server.h"
#include "rig_client.h"
#ifdef _WIN32
#include "wine_ports.h"
#endif

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

bool UnderWine()
{
#ifdef _WIN32
    return RunningUnderWine();
#else
    return false;
#endif
}

class Observer final : public RigctlServerObserver {
public:
    void ClientConnected(const std::string& client) override { log.push_back("connected " + client); }
    void ClientDisconnected(const std::string& client, const std::string& reason) override
    {
        log.push_back("disconnected " + client + (reason.empty() ? "" : " (" + reason + ")"));
    }
    void ClientRefused(const std::string& client) override { log.push_back("refused " + client); }
    void ClientsChanged(int connected) override { clients = connected; }

    std::size_t Count(const std::string& prefix) const
    {
        std::size_t n = 0;
        for (const std::string& entry : log)
            n += entry.rfind(prefix, 0) == 0 ? 1 : 0;
        return n;
    }

    std::vector<std::string> log;
    int clients = 0;
};

class Server : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        std::string error;
        ASSERT_TRUE(server->Listen("127.0.0.1", 0, error)) << error;
        port = server->Port();
    }

    std::unique_ptr<RigClient> Connect()
    {
        // The server has taken it once it has told the observer.
        const std::size_t before = observer.Count("connected");
        auto client = std::make_unique<RigClient>(port);
        EXPECT_TRUE(client->WaitConnected());
        ProcessUntil([&] { return observer.Count("connected") > before; });
        return client;
    }
    std::string Name(const RigClient& client) const
    {
        return "127.0.0.1:" + std::to_string(client.socket.localPort());
    }

    FakeStation station;
    Observer observer;
    std::unique_ptr<RigctlServer> server = std::make_unique<RigctlServer>(station, observer);
    std::uint16_t port = 0;
};

TEST_F(Server, ASessionOfSetAndGetCommandsInBothFormsAndPipelined)
{
    auto client = Connect();
    const std::string name = Name(*client);
    EXPECT_EQ(client->Ask("F 137100000"), "RPRT 0\n");
    EXPECT_EQ(station.calls, std::vector<std::string>{"tune 137.100000"});
    station.status.haveTunedMHz = true;
    station.status.tunedMHz = 137.1;
    EXPECT_EQ(client->Ask("+f", 3), "get_freq:\nFrequency: 137100000\nRPRT 0\n");

    // Several lines in one write, "\r\n" or "\n": answered one by one, in order.
    client->received.clear();
    client->Send("E 4\r\ne\r\n\\chk_vfo\nv\n");
    EXPECT_EQ(client->WaitLines(4), "RPRT 0\n0\n0\nVFOA\n");
    EXPECT_EQ(station.calls.back(), "channel 3 by " + name);

    EXPECT_EQ(client->Ask("q"), "RPRT 0\n");
    EXPECT_TRUE(client->WaitClosed()) << "quit ends the session";
    ProcessUntil([&] { return observer.clients == 0; });
    EXPECT_EQ(observer.log, (std::vector<std::string>{"connected " + name, "disconnected " + name}));
}

TEST_F(Server, CommandsArrivingWhileOneRunsWaitForItAndAreServedAfterInTurn)
{
    auto a = Connect();
    auto b = Connect();
    auto c = Connect();
    // While a's channel sequence holds the thread (as its pauses do), b and
    // c send; nothing of theirs may start before a's sequence has ended.
    std::vector<std::string> order;
    station.during = [&](const std::string& call) {
        order.push_back("begin " + call);
        if (call.rfind("channel 0", 0) == 0) {
            b->Send("E 2\n");
            c->Send("F 137100000\n");
        }
        order.push_back("end " + call);
    };
    a->Send("E 1\n");
    ProcessUntil([&] { return station.calls.size() == 3; });
    ASSERT_EQ(station.calls.size(), 3u);
    EXPECT_EQ(order[0], "begin channel 0 by " + Name(*a));
    EXPECT_EQ(order[1], "end channel 0 by " + Name(*a));
    for (std::size_t i = 2; i < order.size(); i += 2)
        EXPECT_EQ(order[i].substr(6), order[i + 1].substr(4)) << "one sequence at a time";
    EXPECT_EQ(a->WaitLines(1), "RPRT 0\n");
    EXPECT_EQ(b->WaitLines(1), "RPRT 0\n");
    EXPECT_EQ(c->WaitLines(1), "RPRT 0\n");
}

TEST_F(Server, ACommandArrivingInANestedLoopDuringASequenceIsQueuedNotRunInside)
{
    // A modal box opened inside a sequence runs the event loop: the server
    // reads what arrives then but starts nothing until the sequence is over.
    auto a = Connect();
    auto b = Connect();
    std::size_t callsInside = 0;
    station.during = [&](const std::string& call) {
        if (call.rfind("tune", 0) != 0)
            return;
        b->Send("E 2\n");
        ProcessUntil([&] { return server->Queued() == 1; });
        callsInside = station.calls.size();
    };
    a->Send("F 137100000\n");
    EXPECT_EQ(a->WaitLines(1), "RPRT 0\n");
    EXPECT_EQ(b->WaitLines(1), "RPRT 0\n");
    EXPECT_EQ(callsInside, 1u);
    EXPECT_EQ(station.calls.size(), 2u);
}

TEST_F(Server, AtMostEightClientsTheRestClosedAtOnceAndThoseServed)
{
    std::vector<std::unique_ptr<RigClient>> clients;
    for (int i = 0; i < 20; ++i)
        clients.push_back(std::make_unique<RigClient>(port));
    ProcessUntil([&] { return observer.Count("connected") + observer.Count("refused") == 20; });
    EXPECT_EQ(observer.Count("connected"), 8u);
    EXPECT_EQ(observer.Count("refused"), 12u);
    EXPECT_EQ(server->ClientCount(), 8);

    std::size_t served = 0, closed = 0;
    for (auto& client : clients) {
        client->Send("f\n");
        const std::string answer = client->WaitLines(1, 2000);
        if (answer == "0\n")
            ++served;
        else if (answer.empty() && client->Closed())
            ++closed;
    }
    EXPECT_EQ(served, 8u);
    EXPECT_EQ(closed, 12u);

    // One leaves: the next newcomer is taken.
    for (auto& client : clients)
        if (!client->Closed()) {
            client->socket.disconnectFromHost();
            break;
        }
    ProcessUntil([&] { return server->ClientCount() == 7; });
    auto late = Connect();
    EXPECT_EQ(late->Ask("e"), "0\n");
}

TEST_F(Server, ALineOverTheBoundClosesThatClientAloneAndItsEarlierCommandsStillRun)
{
    auto good = Connect();
    struct Case {
        const char* name;
        std::string bytes;
        bool stillSending;  // the server drops the client while it is still sending
    };
    const Case cases[] = {
        {"long line", "E 5\n" + std::string(LineReader::kMaxLine + 1, 'F') + "\n", false},
        {"endless line", std::string(200 * 1024, 'x'), true},
    };
    for (const Case& c : cases) {
        station.calls.clear();
        auto bad = Connect();
        const std::string name = Name(*bad);
        bad->Send(c.bytes);
        // Wine never tells a client that is still sending that the server
        // reset its connection (Windows and Linux do); the server's side is
        // checked all the same.
        if (!(c.stillSending && UnderWine())) {
            EXPECT_TRUE(bad->WaitClosed()) << c.name;
        }
        ProcessUntil([&] { return observer.Count("disconnected " + name) == 1; });
        EXPECT_EQ(observer.log.back(), "disconnected " + name + " (a line longer than 1024 bytes)") << c.name;
        EXPECT_EQ(good->Ask("e"), "0\n") << c.name << ": the others are served";
    }
    EXPECT_TRUE(station.calls.empty());  // the endless line ran nothing
}

TEST_F(Server, AClientThatGoesMidSequenceHasItsCommandsCarriedOutAndNothingBreaks)
{
    auto a = Connect();
    auto b = Connect();
    const std::string aName = Name(*a);
    station.during = [&](const std::string& call) {
        if (call.rfind("channel 0", 0) == 0)
            a->socket.abort();  // gone while its sequence runs
    };
    a->Send("E 1\nE 2\n");
    ProcessUntil([&] { return station.calls.size() == 2; });
    EXPECT_EQ(station.calls, (std::vector<std::string>{"channel 0 by " + aName, "channel 1 by " + aName}));
    ProcessUntil([&] { return observer.Count("disconnected " + aName) == 1; });
    EXPECT_EQ(b->Ask("E 3"), "RPRT 0\n");

    // A command without a line end, then the client closes: still carried out.
    auto c = Connect();
    c->Send("F 137100000");
    c->socket.disconnectFromHost();
    ProcessUntil([&] { return station.calls.size() == 4; });
    EXPECT_EQ(station.calls.back(), "tune 137.100000");
    EXPECT_EQ(b->Ask("e"), "0\n");
}

TEST_F(Server, AClientThatDoesNotReadItsAnswersIsClosedBeforeTheyPileUp)
{
    // A socket whose answers nobody reads: Qt takes one byte of them, the
    // small kernel buffer the rest, and then they stay with the server.
    QTcpSocket deaf;
    deaf.setReadBufferSize(1);
    deaf.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
    deaf.connectToHost(QHostAddress::LocalHost, port);
    ASSERT_TRUE(ProcessUntil([&] { return server->ClientCount() == 1; }));

    std::string burst;
    for (int i = 0; i < 64; ++i)
        burst += "\\dump_state\n";
    bool dropped = false;
    for (int round = 0; round < 5000 && !dropped; ++round) {
        if (deaf.bytesToWrite() < 64 * 1024)
            deaf.write(burst.data(), static_cast<qint64>(burst.size()));
        ProcessUntil([&] { return server->Queued() == 0 && deaf.bytesToWrite() == 0; }, 50);
        dropped = observer.Count("disconnected") == 1;
    }
    EXPECT_TRUE(dropped);
    ASSERT_FALSE(observer.log.empty());
    EXPECT_NE(observer.log.back().find("(it does not read its answers)"), std::string::npos) << observer.log.back();
    auto next = Connect();
    EXPECT_EQ(next->Ask("t"), "0\n");
}

TEST_F(Server, ClosingWithCommandsQueuedAnswersThemAndClosesEveryClient)
{
    auto a = Connect();
    auto b = Connect();
    station.during = [&](const std::string& call) {
        if (call.rfind("tune", 0) != 0)
            return;
        b->Send("E 2\n");
        ProcessUntil([&] { return server->Queued() == 1; });
        server->Close();  // the program ends in a nested loop of this sequence
    };
    a->Send("F 137100000\n");
    EXPECT_TRUE(b->WaitClosed());
    EXPECT_EQ(b->received, "RPRT -20\n");
    EXPECT_TRUE(a->WaitClosed());
    EXPECT_EQ(station.calls.size(), 1u);
    EXPECT_FALSE(server->Listening());
    EXPECT_EQ(observer.clients, 0);
    server.reset();  // and goes
    RigClient after(port);
    EXPECT_FALSE(after.WaitConnected());
}

TEST_F(Server, ListeningFailsWithAReasonForAPortInUseOrABadAddress)
{
    RigctlServer second(station, observer);
    std::string error;
    EXPECT_FALSE(second.Listen("127.0.0.1", port, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(second.Listening());
    for (const char* address : {"localhost-ish", "127.0.0.256", ""}) {
        error.clear();
        EXPECT_FALSE(second.Listen(address, 0, error)) << address;
        EXPECT_EQ(error, "\"" + std::string(address) + "\" is not an IP address");
    }
}

} // namespace
