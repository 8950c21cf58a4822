// Drives the modem simulator as the program would: over a pseudo-terminal,
// with nothing but system calls.
#include "sim_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <optional>
#include <poll.h>
#include <regex>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using simtest::Clock;
using simtest::MakeRaw;
using simtest::Replies;
using simtest::Sim;
using simtest::TempDir;

// The program's end of the line.
class Line {
public:
    explicit Line(const std::string& path) : fd_(open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC))
    {
        if (fd_ >= 0)
            MakeRaw(fd_);
    }
    explicit Line(int fd) : fd_(fd) {}
    ~Line() { Close(); }
    Line(const Line&) = delete;
    Line& operator=(const Line&) = delete;

    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }
    void Close()
    {
        if (fd_ >= 0)
            close(fd_);
        fd_ = -1;
    }

    void Send(const std::string& request, const std::string& end = "\r")
    {
        std::string bytes = request + end;
        ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }

    // Reads until `replies` "]" have arrived or timeoutMs passes.
    std::string Read(int replies, int timeoutMs = 3000)
    {
        std::string got;
        int seen = 0;
        auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (seen < replies && Clock::now() < until) {
            if (!ReadSome(got, static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        until - Clock::now())
                                        .count())))
                break;
            seen = 0;
            for (char c : got)
                seen += c == ']';
        }
        return got;
    }

    // Everything that arrives within ms.
    std::string ReadFor(int ms)
    {
        std::string got;
        auto until = Clock::now() + std::chrono::milliseconds(ms);
        while (Clock::now() < until) {
            int left = static_cast<int>(
                std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now()).count());
            if (!ReadSome(got, std::max(left, 1)) && hungUp_)
                break;
        }
        return got;
    }

    std::string Ask(const std::string& request)
    {
        Send(request);
        return Read(1);
    }

    bool HungUp() const { return hungUp_; }
    int Reads() const { return reads_; }

private:
    bool ReadSome(std::string& got, int timeoutMs)
    {
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return false;
        char buf[512];
        ssize_t n = read(fd_, buf, sizeof buf);
        if (n > 0) {
            ++reads_;
            got.append(buf, static_cast<std::size_t>(n));
            return true;
        }
        if (n == 0 || errno == EIO)
            hungUp_ = true;
        return false;
    }

    int fd_;
    bool hungUp_ = false;
    int reads_ = 0;
};

struct Csv {
    double offsetHz;
    std::string lock;
};

// Reads a CSV reply as the program does: offset up to the first CR, lock
// state from the fourth character of the second line.
std::optional<Csv> ParseCsv(const std::string& reply)
{
    std::smatch m;
    static const std::regex form(R"(^>1/CSV_([+-][0-9]+)\r...(OK|FLT)\r\]$)");
    if (!std::regex_match(reply, m, form))
        return std::nullopt;
    return Csv{std::stod(m[1]), m[2]};
}

// Field 1 of a BCAS reply or the level of an RSL reply, marks removed.
double LevelOf(const std::string& reply)
{
    std::smatch m;
    static const std::regex form(R"(^>1/(?:BCAS_|RSL_)<?>?(-?[0-9]+\.[0-9])(?:,|dBm).*\]$)");
    if (!std::regex_match(reply, m, form))
        return NAN;
    return std::stod(m[1]);
}

std::string Mhz(double f)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.6f", f);
    return buf;
}

// A running simulator with the test's end opened.
struct Session {
    explicit Session(std::vector<std::string> args) : sim(std::move(args)), line(sim.Path()) {}
    Sim sim;
    Line line;
};

TEST(SimReplies, EachRequestGetsAReplyInTheFormTheParserAccepts)
{
    struct Case {
        const char* request;
        const char* form;
    };
    const Case cases[] = {
        // Seven fields, each ended by ","; the level may carry "<".
        {"<1/BCAS_", R"(^>1/BCAS_(<?-[0-9]+\.[0-9]),([^,\]]+,){6}\]$)"},
        {"<1/CSV_", R"(^>1/CSV_[+-][0-9]+\r...(OK|FLT)\r\]$)"},
        {"<1/RSL_", R"(^>1/RSL_<?-[0-9]+\.[0-9]dBm\]$)"},
        {"<1/DF_147.800000", R"(^>1/DF_147\.800000\]$)"},
        {"<1/REM_", R"(^>1/REM_[^\]]+\]$)"},
        {"<1/SDRV_3/4_3500.000", R"(^>1/SDRV_3/4_3500\.000\]$)"},
        {"<1/DSR_NRM", R"(^>1/DSR_NRM\]$)"},
        {"<1/RMC_3", R"(^>1/RMC_3\]$)"},
        {"<1/BCS_", R"(^>1/BCS_([^,\]]+=[^,\]]+,){3,}[^,\]]+\]$)"},
        {"<1/CES_", R"(^>1/CES_([^,\]]+=[^,\]]+,){3,}[^,\]]+\]$)"},
        // Errors: the reply carries no mnemonic the parser acts on.
        {"<1/XYZ_", R"(^>1/ERR_[^\]]*\]$)"},
        {"hello", R"(^>1/ERR_[^\]]*\]$)"},
        {"<1/DF_abc", R"(^>1/DF_\?\]$)"},
        {"<1/DF_", R"(^>1/DF_\?\]$)"},
        {"<1/DSR_SIDEWAYS", R"(^>1/DSR_\?\]$)"},
        {"<1/RMC_6", R"(^>1/RMC_\?\]$)"},
        {"<1/SDRV_fast", R"(^>1/SDRV_\?\]$)"},
    };
    Session s({"--seed", "1"});
    ASSERT_TRUE(s.line.IsOpen()) << s.sim.Path();
    for (const auto& c : cases) {
        std::string reply = s.line.Ask(c.request);
        EXPECT_TRUE(std::regex_match(reply, std::regex(c.form))) << c.request << " -> " << reply;
    }
}

TEST(SimReplies, LineFeedsEndRequestsAndEmptyLinesAreIgnored)
{
    Session s({"--seed", "1"});
    s.line.Send("<1/DF_140.000000", "\r\n");
    s.line.Send("<1/RSL_", "\n");
    s.line.Send("", "\r\r\n");
    std::string got = s.line.ReadFor(400);
    auto replies = Replies(got);
    ASSERT_EQ(replies.size(), 2u) << got;
    EXPECT_EQ(replies[0], ">1/DF_140.000000]");
    EXPECT_FALSE(std::isnan(LevelOf(replies[1]))) << replies[1];
    EXPECT_EQ(got, replies[0] + replies[1]) << "no other bytes on the line";
}

TEST(SimReplies, OverlongRequestIsRefusedAndTheNextOneServed)
{
    Session s({"--seed", "1"});
    s.line.Send("<1/DF_" + std::string(5000, '1'));
    s.line.Send("<1/DF_150.0");
    auto replies = Replies(s.line.Read(2));
    ASSERT_EQ(replies.size(), 2u);
    EXPECT_EQ(replies[0], ">1/ERR_request too long]");
    EXPECT_EQ(replies[1], ">1/DF_150.000000]");
}

TEST(SimReplies, OtherAddressesOnTheLineGetNoAnswer)
{
    Session s({"--seed", "1"});
    s.line.Send("<2/DF_150.0");
    s.line.Send("<1/DF_151.0");
    EXPECT_EQ(s.line.ReadFor(300), ">1/DF_151.000000]");
}

// The program's correction: F = tuned - O * 1e-6. After it the carrier sits
// in the centre and, with the channel's data rate, the decoder locks.
TEST(SimBand, OffsetCorrectionRemovesTheReportedOffset)
{
    struct Case {
        std::vector<std::string> args;
        double channel;
        const char* dataRate;
        std::optional<double> reportedAtNominal;
    };
    const Case cases[] = {
        {{}, 137.5, "BP12_146.941", std::nullopt},
        {{}, 147.8, "3/4_3500.000", std::nullopt},
        {{}, 146.9, "BP12_2661.600", std::nullopt},
        {{}, 153.5, "BP12_1330.800", std::nullopt},
        {{"--offset", "1500"}, 151.0, "QPSK_5600.000", 1500.0},
        {{"--offset", "-250"}, 137.5, "BP12_146.941", -250.0},
        {{"--offset=-4000"}, 144.5, "BP12_1330.800", -4000.0},
    };
    for (const auto& c : cases) {
        auto args = c.args;
        args.insert(args.end(), {"--seed", "2"});
        Session s(args);
        s.line.Ask("<1/SDRV_" + std::string(c.dataRate));
        s.line.Ask("<1/DF_" + Mhz(c.channel));
        auto before = ParseCsv(s.line.Ask("<1/CSV_"));
        ASSERT_TRUE(before) << c.channel;
        if (c.reportedAtNominal) {
            EXPECT_EQ(before->offsetHz, *c.reportedAtNominal) << c.channel;
        }
        EXPECT_EQ(before->lock, std::fabs(before->offsetHz) > 300 ? "FLT" : "OK") << c.channel;

        s.line.Ask("<1/DF_" + Mhz(c.channel - before->offsetHz * 1e-6));
        auto after = ParseCsv(s.line.Ask("<1/CSV_"));
        ASSERT_TRUE(after) << c.channel;
        EXPECT_LE(std::fabs(after->offsetHz), 1.0) << c.channel;
        EXPECT_EQ(after->lock, "OK") << c.channel;
    }
}

TEST(SimBand, DefaultOffsetsNeedTheCorrectionOnSomeChannels)
{
    Session s({"--seed", "2"});
    int needCorrection = 0;
    int positive = 0, negative = 0;
    for (double f : {137.5, 144.5, 146.5, 146.9, 147.8, 147.9, 149.0, 151.0, 153.5}) {
        s.line.Ask("<1/DF_" + Mhz(f));
        auto csv = ParseCsv(s.line.Ask("<1/CSV_"));
        ASSERT_TRUE(csv) << f;
        needCorrection += std::fabs(csv->offsetHz) > 300;
        positive += csv->offsetHz > 0;
        negative += csv->offsetHz < 0;
    }
    EXPECT_GT(needCorrection, 0);
    EXPECT_GT(positive, 0);
    EXPECT_GT(negative, 0);
}

TEST(SimBand, LockNeedsCloseTuningAndTheChannelsDataRate)
{
    struct Case {
        double detuneHz;  // from the carrier's centre
        const char* dataRate;
        const char* lock;
    };
    // The 147.8 MHz carrier with --offset 0 sits exactly on 147.8 MHz.
    const Case cases[] = {
        {0, "3/4_3500.000", "OK"},
        {250, "3/4_3500.000", "OK"},
        {-250, "3/4_3500.000", "OK"},
        {400, "3/4_3500.000", "FLT"},
        {-2000, "3/4_3500.000", "FLT"},
        {0, "QPSK_4600.000", "FLT"},  // the neighbour's rate
        {0, "1/2_200.000", "FLT"},    // the scanner's rate
        {100000, "3/4_3500.000", "FLT"},
    };
    Session s({"--offset", "0", "--seed", "3"});
    for (const auto& c : cases) {
        s.line.Ask("<1/SDRV_" + std::string(c.dataRate));
        s.line.Ask("<1/DF_" + Mhz(147.8 + c.detuneHz * 1e-6));
        auto csv = ParseCsv(s.line.Ask("<1/CSV_"));
        ASSERT_TRUE(csv);
        EXPECT_EQ(csv->lock, c.lock) << c.detuneHz << " " << c.dataRate;
        if (std::fabs(c.detuneHz) < 20000) {
            EXPECT_EQ(csv->offsetHz, std::round(c.detuneHz)) << c.detuneHz;
        }
    }
}

TEST(SimFaults, DropLockLosesLockForItsWindowOnlyWhateverTheTuning)
{
    Session s({"--offset", "0", "--seed", "3", "--drop-lock", "1:1"});
    s.line.Ask("<1/SDRV_3/4_3500.000");
    s.line.Ask("<1/DF_147.800000");
    // Sampled every 100 ms for 3 s: locked, then out of lock for a while, then locked again.
    std::string seen;
    for (int i = 0; i < 30; ++i) {
        const auto csv = ParseCsv(s.line.Ask("<1/CSV_"));
        ASSERT_TRUE(csv);
        const char mark = csv->lock == "OK" ? 'L' : 'f';
        if (seen.empty() || seen.back() != mark)
            seen += mark;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    EXPECT_EQ(seen, "LfL");
}

TEST(SimBand, SweepAcrossTheBandShowsEveryCarrierAboveTheFloor)
{
    Session s({"--seed", "4"});
    s.line.Ask("<1/SDRV_1/2_200.000");
    std::map<int, double> level;  // by frequency in units of 0.1 MHz
    for (int tenth = 1360; tenth <= 1550; tenth += 2) {
        char f[16];
        std::snprintf(f, sizeof f, "%.1f00000", tenth / 10.0);
        s.line.Send(std::string("<1/DF_") + f);
        s.line.Send("<1/RSL_");
        auto replies = Replies(s.line.Read(2));
        ASSERT_EQ(replies.size(), 2u) << f;
        level[tenth] = LevelOf(replies[1]);
        ASSERT_FALSE(std::isnan(level[tenth])) << replies[1];
    }
    const int carriers[] = {1375, 1445, 1465, 1469, 1478, 1479, 1490, 1510, 1535};
    for (int c : carriers) {
        double best = -100;
        for (int t = c - 1; t <= c + 1; ++t)
            if (level.count(t))
                best = std::max(best, level[t]);
        EXPECT_GT(best, -54.0) << "carrier at " << c / 10.0 << " MHz";
    }
    for (auto [tenth, dbm] : level) {
        bool far = true;
        for (int c : carriers)
            far = far && std::abs(tenth - c) >= 5;
        if (far) {
            EXPECT_GT(dbm, -60.0) << tenth / 10.0;
            EXPECT_LT(dbm, -56.0) << tenth / 10.0;
        }
    }
}

TEST(SimBand, RecallTunesToAStoredCarrier)
{
    Session s({"--seed", "5"});
    for (const char* n : {"1", "2", "3", "4", "5"}) {
        s.line.Ask("<1/DF_140.000000");
        EXPECT_LT(LevelOf(s.line.Ask("<1/BCAS_")), -55.0) << "empty part of the band";
        EXPECT_EQ(s.line.Ask(std::string("<1/RMC_") + n), std::string(">1/RMC_") + n + "]");
        EXPECT_GT(LevelOf(s.line.Ask("<1/BCAS_")), -50.0) << "configuration " << n;
    }
}

TEST(SimFaults, SplitAndStrayKeepTheSameReplies)
{
    const std::vector<std::string> requests = {"<1/REM_", "<1/DF_147.798500", "<1/BCAS_", "<1/CSV_",
                                               "<1/RSL_", "<1/BCS_", "<1/CES_", "<1/XYZ_"};
    auto run = [&](std::vector<std::string> args, int& reads) {
        args.insert(args.end(), {"--seed", "6"});
        Session s(args);
        std::string got;
        for (const auto& r : requests) {
            s.line.Send(r);
            got += s.line.Read(1);
        }
        got += s.line.ReadFor(100);
        reads = s.line.Reads();
        return got;
    };
    int plainReads = 0, splitReads = 0, strayReads = 0;
    std::string plain = run({}, plainReads);
    ASSERT_EQ(Replies(plain).size(), requests.size()) << plain;

    std::string split = run({"--split"}, splitReads);
    EXPECT_EQ(split, plain) << "the same bytes in total";
    EXPECT_GT(splitReads, plainReads) << "the replies came in pieces";

    std::string stray = run({"--stray"}, strayReads);
    EXPECT_EQ(Replies(stray), Replies(plain));
    std::size_t at = 0;
    for (const auto& r : Replies(plain)) {
        at = stray.find(r, at);
        ASSERT_NE(at, std::string::npos);
        at += r.size();
        ASSERT_LT(at, stray.size()) << "stray bytes after " << r;
        EXPECT_NE(stray.compare(at, 3, ">1/"), 0) << "stray bytes after " << r;
    }
}

TEST(SimFaults, DelayHoldsTheReplyBack)
{
    Session s({"--delay", "400", "--seed", "7"});
    s.line.Send("<1/DF_150.0");
    EXPECT_EQ(s.line.ReadFor(150), "");
    EXPECT_EQ(s.line.Read(1, 5000), ">1/DF_150.000000]");
}

TEST(SimFaults, SilentMnemonicsGetNoAnswer)
{
    Session s({"--silent", "CSV", "--silent", "RSL", "--seed", "8"});
    s.line.Send("<1/CSV_");
    s.line.Send("<1/RSL_");
    s.line.Send("<1/DF_150.0");
    EXPECT_EQ(s.line.ReadFor(400), ">1/DF_150.000000]");
}

TEST(SimFaults, HangupAfterNRequestsClosesTheLine)
{
    std::string dir = TempDir();
    std::string link = dir + "/modem";
    Session s({"--hangup-after", "2", "--link", link, "--seed", "9"});
    EXPECT_EQ(s.line.Ask("<1/DF_150.0"), ">1/DF_150.000000]");
    s.line.Send("<1/DF_151.0");
    s.line.Send("<1/DF_152.0");
    EXPECT_EQ(s.line.ReadFor(2000), ">1/DF_151.000000]");
    EXPECT_TRUE(s.line.HungUp());
    int status = s.sim.Wait(5000);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link removed";
    rmdir(dir.c_str());
}

TEST(SimFaults, UnplugTakesTheLineAwayAndServesANewOneUnderTheSameLinkLater)
{
    std::string dir = TempDir();
    std::string link = dir + "/modem";
    Sim sim({"--unplug", "1:1.5", "--link", link, "--offset", "1000", "--seed", "13"});
    ASSERT_FALSE(sim.Path().empty());
    std::string before;
    {
        Line line(link);
        ASSERT_TRUE(line.IsOpen());
        EXPECT_EQ(line.Ask("<1/DF_147.800000"), ">1/DF_147.800000]");
        before = line.Ask("<1/CSV_");
        ASSERT_TRUE(ParseCsv(before)) << before;
        line.ReadFor(3000);  // until the line goes
        EXPECT_TRUE(line.HungUp()) << "pulled out about a second after start";
    }
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link goes with the device";

    const std::string again = sim.NextLine(5000);
    ASSERT_FALSE(again.empty()) << "plugged in again";
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), again);
    Line line(link);
    ASSERT_TRUE(line.IsOpen());
    EXPECT_EQ(line.Ask("<1/CSV_"), before) << "the modem kept its tuning while the line was away";
    EXPECT_EQ(sim.Wait(300), -1) << "and serves on";
    int status = sim.Stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "link removed at the end";
    rmdir(dir.c_str());
}

TEST(SimFaults, StoppedWhileUnpluggedItEndsAtOnce)
{
    std::string dir = TempDir();
    std::string link = dir + "/modem";
    Sim sim({"--unplug", "0.2:600", "--link", link});
    ASSERT_FALSE(sim.Path().empty());
    poll(nullptr, 0, 500);
    int status = sim.Stop();
    ASSERT_TRUE(WIFEXITED(status)) << "ended within the wait for its exit";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_LT(sim.CpuSeconds(), 0.3) << "asleep while unplugged";
    rmdir(dir.c_str());
}

TEST(SimLifecycle, LinkPointsToTheDeviceAndGoesAwayOnStop)
{
    std::string dir = TempDir();
    std::string link = dir + "/modem";
    ASSERT_EQ(symlink("/nonexistent", link.c_str()), 0) << "a stale link from an earlier run";
    for (int sig : {SIGTERM, SIGINT}) {
        Sim sim({"--link", link});
        ASSERT_FALSE(sim.Path().empty());
        char target[256] = {};
        ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(std::string(target), sim.Path());
        Line line(link);
        EXPECT_EQ(line.Ask("<1/DF_150.0"), ">1/DF_150.000000]");
        int status = sim.Stop(sig);
        ASSERT_TRUE(WIFEXITED(status)) << sig;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        struct stat st {};
        EXPECT_NE(lstat(link.c_str(), &st), 0) << "link removed";
    }
    rmdir(dir.c_str());
}

TEST(SimLifecycle, KeepsServingWhenThePortIsClosedAndReopened)
{
    Sim sim({"--seed", "10"});
    for (int round = 0; round < 3; ++round) {
        Line line(sim.Path());
        ASSERT_TRUE(line.IsOpen());
        EXPECT_EQ(line.Ask("<1/DF_150.0"), ">1/DF_150.000000]") << round;
    }
    EXPECT_EQ(sim.Wait(200), -1) << "still running";
}

TEST(SimLifecycle, IdleWithoutBusyLoop)
{
    Sim sim({"--seed", "11"});
    {
        Line line(sim.Path());
        EXPECT_EQ(line.Ask("<1/DF_150.0"), ">1/DF_150.000000]");
        poll(nullptr, 0, 700);
    }
    poll(nullptr, 0, 700); // and with nobody on the line
    int status = sim.Stop();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_LT(sim.CpuSeconds(), 0.3);
}

TEST(SimLifecycle, ServesADeviceAndEndsWhenItHangsUp)
{
    int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    fcntl(master, F_SETFD, FD_CLOEXEC); // the simulator must not hold our end open
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::string slave = ptsname(master);
    Sim sim({"--device", slave, "--seed", "12"});
    EXPECT_EQ(sim.Path(), slave);
    Line line(master);
    MakeRaw(master);
    EXPECT_EQ(line.Ask("<1/DF_150.0"), ">1/DF_150.000000]");
    line.Close();
    int status = sim.Wait(5000);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by itself";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SimOptions, HelpAndBadCommandLines)
{
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* says;
    };
    const Case cases[] = {
        {{"--help"}, 0, "--hangup-after N"},
        {{"--frobnicate"}, 2, "unknown option"},
        {{"--delay"}, 2, "needs a value"},
        {{"--delay", "soon"}, 2, "not a valid number"},
        {{"--seed", "-1"}, 2, "not a valid number"},
        {{"--offset", "lots"}, 2, "--offset"},
        {{"--drop-lock", "5"}, 2, "AFTER:FOR"},
        {{"--drop-lock", "5:0"}, 2, "AFTER:FOR"},
        {{"--help"}, 0, "--unplug AFTER:FOR"},
        {{"--unplug", "3", "--link", "/tmp/x"}, 2, "AFTER:FOR"},
        {{"--unplug", "3:1"}, 2, "needs --link"},
        {{"--unplug", "3:1", "--link", "/tmp/x", "--device", "/dev/null"}, 2, "not --device"},
        {{"--silent", ""}, 2, "non-empty"},
        {{"--device", "/nonexistent/tty"}, 1, "cannot open /nonexistent/tty"},
    };
    for (const auto& c : cases) {
        std::string cmd = std::string(SIM_PROGRAM);
        for (const auto& a : c.args)
            cmd += " '" + a + "'";
        cmd += " 2>&1";
        FILE* p = popen(cmd.c_str(), "r");
        ASSERT_NE(p, nullptr);
        std::string out;
        char buf[256];
        while (std::fgets(buf, sizeof buf, p))
            out += buf;
        int status = pclose(p);
        ASSERT_TRUE(WIFEXITED(status)) << cmd;
        EXPECT_EQ(WEXITSTATUS(status), c.code) << cmd;
        EXPECT_NE(out.find(c.says), std::string::npos) << cmd << "\n" << out;
    }
}

TEST(SimOptions, RefusesToReplaceAFileWithItsLink)
{
    std::string dir = TempDir();
    std::string file = dir + "/modem";
    FILE* f = std::fopen(file.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fputs("keep me", f);
    std::fclose(f);
    std::string cmd = std::string(SIM_PROGRAM) + " --link " + file + " 2>/dev/null";
    int status = std::system(cmd.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    struct stat st {};
    ASSERT_EQ(lstat(file.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    unlink(file.c_str());
    rmdir(dir.c_str());
}

} // namespace
