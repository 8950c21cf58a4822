// Opening the port again, as a normal user would, against the modem
// simulator on a pseudo-terminal: after Close, after a change of the port
// name (the setup dialog's reopen), round after round. The superuser passes
// a terminal's exclusive flag, so these run as an unprivileged user.
#include "platform/sync_call.h"
#include "serial/comport.h"
#include "serial/ecomport.h"
#include "sim_process.h"
#include "unprivileged.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>

namespace {

// The port as the main window uses it, with the replies collected.
class ReplyingPort {
public:
    ReplyingPort()
    {
        port.OnRxChar = [this](TCustomComPort& p, std::int32_t n) {
            std::string s;
            p.ReadStr(s, n);
            received += s;
        };
        port.OnEventError = [this](TCustomComPort&, const std::string& m) { ADD_FAILURE() << "event error: " << m; };
    }

    // Opens (or reopens, through f) and reports the error instead of raising it.
    std::string Try(const std::function<void()>& f)
    {
        try {
            f();
            return "";
        } catch (const EComPort& e) {
            return e.what();
        }
    }

    // Asks the simulator for its offset and waits for the reply.
    bool Answers()
    {
        received.clear();
        port.WriteStr("<1/CSV_\r");
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (received.find(']') == std::string::npos && std::chrono::steady_clock::now() < until)
            WaitForSyncCalls(50);
        return received.find(">1/CSV_") != std::string::npos && received.find(']') != std::string::npos;
    }

    TComPort port;
    std::string received;
};

// errno of a plain open of the device by another program of this user; 0 when it opened.
int OpenByAnotherProgram(const std::string& path)
{
    int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno;
    ::close(fd);
    return 0;
}

TEST(Reopen, OpenCloseAndOpenAgainAsANormalUser)
{
    simtest::Sim sim({"--seed", "61"});
    ASSERT_FALSE(sim.Path().empty());
    ASSERT_TRUE(GiveToUnprivilegedUser(sim.Path())) << std::strerror(errno); // as the dialout group would
    RunUnprivileged([&] {
        ASSERT_NE(::geteuid(), 0u);
        ReplyingPort p;
        p.port.SetPort(sim.Path());
        for (int round = 1; round <= 3; ++round) {
            SCOPED_TRACE("round " + std::to_string(round));
            ASSERT_EQ(p.Try([&] { p.port.Open(); }), "");
            EXPECT_TRUE(p.Answers());
            // Exclusive while open: another program cannot come in.
            EXPECT_EQ(OpenByAnotherProgram(sim.Path()), EBUSY);
            p.port.Close();
            // And free again once closed, for us and for anyone else.
            EXPECT_EQ(OpenByAnotherProgram(sim.Path()), 0);
        }
    });
}

TEST(Reopen, ChangingThePortNameWhileOpenReopensAndTheFirstDeviceCanBeTakenBack)
{
    simtest::Sim first({"--seed", "62"});
    simtest::Sim second({"--seed", "63"});
    ASSERT_FALSE(first.Path().empty());
    ASSERT_FALSE(second.Path().empty());
    ASSERT_TRUE(GiveToUnprivilegedUser(first.Path()));
    ASSERT_TRUE(GiveToUnprivilegedUser(second.Path()));
    RunUnprivileged([&] {
        ASSERT_NE(::geteuid(), 0u);
        ReplyingPort p;
        p.port.SetPort(first.Path());
        ASSERT_EQ(p.Try([&] { p.port.Open(); }), "");
        // What the setup dialog does on OK with another port picked.
        const auto pick = [&](const std::string& path) {
            p.port.BeginUpdate();
            p.port.SetPort(path);
            p.port.EndUpdate();
        };
        EXPECT_EQ(p.Try([&] { pick(second.Path()); }), "");
        EXPECT_TRUE(p.port.Connected());
        EXPECT_TRUE(p.Answers());
        EXPECT_EQ(OpenByAnotherProgram(first.Path()), 0) << "the first device was let go";
        EXPECT_EQ(p.Try([&] { pick(first.Path()); }), "") << "back to the first device";
        EXPECT_TRUE(p.port.Connected());
        EXPECT_TRUE(p.Answers());
        EXPECT_EQ(OpenByAnotherProgram(second.Path()), 0);
        p.port.Close();
    });
}

} // namespace
