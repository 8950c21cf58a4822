// The simulator's --bytewise fault: the same replies as without it, each
// written one byte at a time.
#include "sim_process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

using simtest::Clock;
using simtest::Replies;
using simtest::Sim;

// Sends the requests one after another, each once the reply before it is
// whole, and returns every byte that came back with the number of reads.
std::string Exchange(const std::string& path, const std::vector<std::string>& requests, int& reads)
{
    reads = 0;
    int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    EXPECT_GE(fd, 0) << path;
    if (fd < 0)
        return "";
    simtest::MakeRaw(fd);
    std::string got;
    for (const auto& r : requests) {
        const std::string bytes = r + "\r";
        EXPECT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
        const std::size_t want = Replies(got).size() + 1;
        const auto until = Clock::now() + std::chrono::seconds(5);
        while (Replies(got).size() < want && Clock::now() < until) {
            pollfd p{fd, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char buf[512];
            ssize_t n = read(fd, buf, sizeof buf);
            if (n > 0) {
                ++reads;
                got.append(buf, static_cast<std::size_t>(n));
            }
        }
    }
    close(fd);
    return got;
}

TEST(SimBytewise, SameRepliesOneByteAtATime)
{
    const std::vector<std::string> requests = {"<1/DF_147.798500", "<1/BCAS_", "<1/CSV_", "<1/RSL_"};
    int plainReads = 0, bytewiseReads = 0;
    std::string plain, bytewise;
    {
        Sim sim({"--seed", "41"});
        plain = Exchange(sim.Path(), requests, plainReads);
    }
    {
        Sim sim({"--bytewise", "--seed", "41"});
        bytewise = Exchange(sim.Path(), requests, bytewiseReads);
    }
    ASSERT_EQ(Replies(plain).size(), requests.size()) << plain;
    EXPECT_EQ(bytewise, plain);
    // One read per byte as a rule; a busy machine may let a few bytes pile up,
    // so ask only for far more reads than whole replies would give.
    EXPECT_GT(bytewiseReads, static_cast<int>(plain.size() / 4)) << "reads " << bytewiseReads;
}

} // namespace
