#pragma once
// Starts the modem simulator as a separate program and reads the device
// path it prints. System calls only: the simulator shares nothing with us.
#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace simtest {

using Clock = std::chrono::steady_clock;

inline void MakeRaw(int fd)
{
    termios t{};
    ASSERT_EQ(tcgetattr(fd, &t), 0);
    cfmakeraw(&t);
    ASSERT_EQ(tcsetattr(fd, TCSANOW, &t), 0);
}

inline std::string TempDir()
{
    char tmpl[] = "/tmp/simtest.XXXXXX";
    const char* d = mkdtemp(tmpl);
    return d ? d : "";
}

// One run of the simulator. Output of the first line is the device path.
class Sim {
public:
    explicit Sim(std::vector<std::string> args)
    {
        int out[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return;
        pid_ = fork();
        if (pid_ == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            std::vector<char*> argv;
            static std::string program = SIM_PROGRAM;
            argv.push_back(program.data());
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(program.c_str(), argv.data());
            _exit(127);
        }
        close(out[1]);
        stdout_ = out[0];
        path_ = ReadLine(5000);
    }

    ~Sim()
    {
        if (pid_ > 0 && !reaped_)
            Stop();
        if (stdout_ >= 0)
            close(stdout_);
    }

    const std::string& Path() const { return path_; }
    // A further line of output (the path of a line served anew, --unplug);
    // empty when none comes within timeoutMs.
    std::string NextLine(int timeoutMs) { return ReadLine(timeoutMs); }

    // Sends a signal and waits for the exit; returns the wait status.
    int Stop(int sig = SIGTERM)
    {
        kill(pid_, sig);
        return Wait(10000);
    }

    // Waits up to timeoutMs for the exit; -1 when still running.
    int Wait(int timeoutMs)
    {
        auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
        int status = 0;
        for (;;) {
            pid_t r = wait4(pid_, &status, WNOHANG, &usage_);
            if (r == pid_) {
                reaped_ = true;
                return status;
            }
            if (Clock::now() > until)
                return -1;
            poll(nullptr, 0, 10);
        }
    }

    double CpuSeconds() const
    {
        auto s = [](timeval t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
        return s(usage_.ru_utime) + s(usage_.ru_stime);
    }

private:
    std::string ReadLine(int timeoutMs)
    {
        std::string line;
        auto until = Clock::now() + std::chrono::milliseconds(timeoutMs);
        while (Clock::now() < until) {
            pollfd p{stdout_, POLLIN, 0};
            if (poll(&p, 1, 100) <= 0)
                continue;
            char c;
            if (read(stdout_, &c, 1) != 1)
                break;
            if (c == '\n')
                return line;
            line += c;
        }
        return line;
    }

    pid_t pid_ = -1;
    int stdout_ = -1;
    std::string path_;
    bool reaped_ = false;
    rusage usage_{};
};

// The replies in a byte stream, each from its ">1/" to its "]".
inline std::vector<std::string> Replies(const std::string& stream)
{
    std::vector<std::string> out;
    std::size_t at = 0;
    while ((at = stream.find(">1/", at)) != std::string::npos) {
        std::size_t end = stream.find(']', at);
        if (end == std::string::npos)
            break;
        out.push_back(stream.substr(at, end - at + 1));
        at = end + 1;
    }
    return out;
}

} // namespace simtest
