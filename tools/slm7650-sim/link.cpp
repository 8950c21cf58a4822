#include "link.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::size_t kMaxLine = 256;          // longer requests are refused
constexpr std::size_t kMaxQueued = 64 * 1024;  // replies beyond this are dropped

void MakeRaw(int fd)
{
    termios t{};
    if (tcgetattr(fd, &t) != 0)
        return; // not a terminal: nothing to set
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    t.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    t.c_cflag |= CS8;
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    cfsetispeed(&t, B9600);
    cfsetospeed(&t, B9600);
    tcsetattr(fd, TCSANOW, &t);
}

std::string Visible(const std::string& text)
{
    std::string s;
    for (unsigned char c : text) {
        if (c == '\r')
            s += "\\r";
        else if (c == '\n')
            s += "\\n";
        else if (c < 0x20 || c >= 0x7f) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\x%02x", c);
            s += buf;
        } else
            s += static_cast<char>(c);
    }
    return s;
}

} // namespace

struct Link::Chunk {
    std::string bytes;
    Clock::time_point due;
};

struct Link::Queue {
    std::deque<Chunk> chunks;
    std::size_t bytes = 0;
};

Link::Link(const Options& options, Modem& modem, std::mt19937_64& faultRng)
    : options_(options), modem_(modem), faultRng_(faultRng), queue_(std::make_unique<Queue>())
{
}

Link::~Link() { Close(); }

void Link::Close()
{
    if (fd_ >= 0)
        close(fd_);
    if (slaveFd_ >= 0)
        close(slaveFd_);
    fd_ = slaveFd_ = -1;
    queue_->chunks.clear();
    queue_->bytes = 0;
}

bool Link::Open(std::string& error)
{
    if (!options_.device.empty()) {
        fd_ = open(options_.device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd_ < 0) {
            error = "cannot open " + options_.device + ": " + std::strerror(errno);
            return false;
        }
        MakeRaw(fd_);
        path_ = options_.device;
        return true;
    }
    fd_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd_ < 0 || grantpt(fd_) != 0 || unlockpt(fd_) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    fcntl(fd_, F_SETFD, FD_CLOEXEC);
    fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    const char* name = ptsname(fd_);
    if (!name) {
        error = std::string("cannot name the pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    path_ = name;
    // Without a slave open the master reports a hang-up on every poll; holding
    // one ourselves lets the program open and close the port as often as it likes.
    slaveFd_ = open(path_.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd_ < 0) {
        error = "cannot open " + path_ + ": " + std::strerror(errno);
        return false;
    }
    MakeRaw(slaveFd_);
    return true;
}

void Link::Log(const char* direction, const std::string& text) const
{
    if (options_.verbose)
        std::fprintf(stderr, "slm7650-sim: %s %s\n", direction, Visible(text).c_str());
}

void Link::Schedule(const std::string& reply)
{
    Queue& q = *queue_;
    if (q.bytes + reply.size() > kMaxQueued) {
        // Nobody reads the line: drop rather than grow without bound.
        if (!droppedLogged_)
            std::fprintf(stderr, "slm7650-sim: nobody reads the replies; dropping them\n");
        droppedLogged_ = true;
        return;
    }
    droppedLogged_ = false;
    Clock::time_point due = Clock::now() + std::chrono::milliseconds(options_.delayMs);
    if (!q.chunks.empty() && q.chunks.back().due > due)
        due = q.chunks.back().due;

    auto push = [&](std::string bytes, Clock::time_point at) {
        q.bytes += bytes.size();
        q.chunks.push_back({std::move(bytes), at});
    };
    if (options_.bytewise) {
        // Every byte on its own, so that the reader sees each reply in as many
        // pieces as it has bytes.
        for (std::size_t i = 0; i < reply.size(); ++i) {
            if (i > 0)
                due += std::chrono::milliseconds(1);
            push(reply.substr(i, 1), due);
        }
    } else if (options_.split && reply.size() >= 2) {
        std::uniform_int_distribution<int> pieces(2, 4);
        std::uniform_int_distribution<int> gapMs(3, 15);
        int n = std::min<int>(pieces(faultRng_), static_cast<int>(reply.size()));
        // n - 1 distinct cut positions in 1 .. size-1, ascending.
        std::vector<std::size_t> cuts;
        while (static_cast<int>(cuts.size()) < n - 1) {
            std::uniform_int_distribution<std::size_t> at(1, reply.size() - 1);
            std::size_t c = at(faultRng_);
            if (std::find(cuts.begin(), cuts.end(), c) == cuts.end())
                cuts.push_back(c);
        }
        std::sort(cuts.begin(), cuts.end());
        cuts.push_back(reply.size());
        std::size_t from = 0;
        for (std::size_t i = 0; i < cuts.size(); ++i) {
            if (i > 0)
                due += std::chrono::milliseconds(gapMs(faultRng_));
            push(reply.substr(from, cuts[i] - from), due);
            from = cuts[i];
        }
    } else {
        push(reply, due);
    }
    if (options_.stray) {
        static const char* const kStray[] = {"\n", "\r\n", "\r", " ", "~", "\n\n", "#*"};
        std::uniform_int_distribution<std::size_t> pick(0, std::size(kStray) - 1);
        push(kStray[pick(faultRng_)], due);
    }
}

void Link::HandleLine(const std::string& line)
{
    if (hangingUp_)
        return;
    ++requests_;
    Log("<-", line);
    Modem::Answer a = modem_.Handle(line);
    if (a.reply && !options_.silent.count(a.mnemonic)) {
        Log("->", *a.reply);
        Schedule(*a.reply);
    } else if (a.reply) {
        Log("-- silent:", *a.reply);
    }
    if (options_.hangupAfter >= 0 && requests_ >= options_.hangupAfter)
        hangingUp_ = true;
}

void Link::Drain()
{
    if (slaveFd_ < 0) {
        tcdrain(fd_);
        return;
    }
    // Closing the master discards what the slave has not read yet, so give
    // the reader up to a second to take the last reply.
    const auto until = Clock::now() + std::chrono::seconds(1);
    poll(nullptr, 0, 20);
    int queued = 0;
    while (Clock::now() < until && ioctl(slaveFd_, FIONREAD, &queued) == 0 && queued > 0)
        poll(nullptr, 0, 10);
}

Link::End Link::Serve(int stopFd, std::optional<Clock::time_point> until)
{
    Queue& q = *queue_;
    std::string line;
    bool overlong = false;
    for (;;) {
        bool wantWrite = false;
        const auto now = Clock::now();
        while (!q.chunks.empty() && q.chunks.front().due <= now) {
            Chunk& c = q.chunks.front();
            ssize_t n = write(fd_, c.bytes.data(), c.bytes.size());
            if (n < 0) {
                if (errno == EAGAIN || errno == EINTR) {
                    wantWrite = true;
                    break;
                }
                std::fprintf(stderr, "slm7650-sim: %s hung up (%s)\n", path_.c_str(), std::strerror(errno));
                return End::LineEnded;
            }
            q.bytes -= static_cast<std::size_t>(n);
            if (static_cast<std::size_t>(n) < c.bytes.size()) {
                c.bytes.erase(0, static_cast<std::size_t>(n));
                wantWrite = true;
                break;
            }
            q.chunks.pop_front();
        }
        if (hangingUp_ && q.chunks.empty()) {
            Drain();
            std::fprintf(stderr, "slm7650-sim: hanging up after %ld request%s\n", requests_, requests_ == 1 ? "" : "s");
            return End::LineEnded;
        }
        if (until && Clock::now() >= *until)
            return End::Until;

        int timeoutMs = -1;
        auto waitFor = [&](Clock::time_point at) {
            auto wait = std::chrono::ceil<std::chrono::milliseconds>(at - Clock::now());
            const int ms = static_cast<int>(std::clamp<long long>(wait.count(), 0, 24 * 3600 * 1000));
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        };
        if (!q.chunks.empty() && !wantWrite)
            waitFor(q.chunks.front().due);
        if (until)
            waitFor(*until);
        pollfd fds[2] = {{fd_, static_cast<short>(POLLIN | (wantWrite ? POLLOUT : 0)), 0}, {stopFd, POLLIN, 0}};
        int r = poll(fds, 2, timeoutMs);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            std::fprintf(stderr, "slm7650-sim: poll: %s\n", std::strerror(errno));
            return End::Failed;
        }
        if (fds[1].revents)
            return End::Stopped;
        if (fds[0].revents & POLLIN) {
            char buf[512];
            ssize_t n = read(fd_, buf, sizeof buf);
            if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                std::fprintf(stderr, "slm7650-sim: %s hung up\n", path_.c_str());
                return End::LineEnded;
            }
            for (ssize_t i = 0; i < n; ++i) {
                char c = buf[i];
                if (c == '\r' || c == '\n') {
                    if (overlong)
                        Schedule(">1/ERR_request too long]");
                    else if (!line.empty())
                        HandleLine(line);
                    line.clear();
                    overlong = false;
                } else if (line.size() < kMaxLine) {
                    line += c;
                } else {
                    overlong = true;
                }
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            std::fprintf(stderr, "slm7650-sim: %s hung up\n", path_.c_str());
            return End::LineEnded;
        }
    }
}

} // namespace sim
