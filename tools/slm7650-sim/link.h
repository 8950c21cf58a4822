#pragma once
#include "modem.h"
#include "options.h"

#include <chrono>
#include <memory>
#include <optional>
#include <random>
#include <string>

namespace sim {

// Serves the modem on a pseudo-terminal or a serial device: reads request
// lines, hands them to the modem and writes the replies, with the faults
// the options ask for. Sleeps in poll() between bytes.
class Link {
public:
    Link(const Options& options, Modem& modem, std::mt19937_64& faultRng);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    enum class End {
        Stopped,    // a signal arrived on stopFd
        LineEnded,  // the other end hung up, or the hang-up fault fired
        Until,      // the time given to Serve has come; the line is still open
        Failed      // the wait itself failed
    };

    // Creates the pseudo-terminal or opens the device; false with error set
    // when that fails. After Close, a new pseudo-terminal (a new path).
    bool Open(std::string& error);
    // Closes our side at once, replies still waiting dropped: to the program
    // the line goes away as when an adapter is pulled out.
    void Close();
    // The device path the program should open.
    const std::string& Path() const { return path_; }
    // Serves until a signal arrives on stopFd, the line hangs up, the
    // hang-up fault fires or until (when given) has come.
    End Serve(int stopFd, std::optional<std::chrono::steady_clock::time_point> until = std::nullopt);

private:
    struct Chunk;
    void HandleLine(const std::string& line);
    void Schedule(const std::string& reply);
    void Drain();
    void Log(const char* direction, const std::string& text) const;

    const Options& options_;
    Modem& modem_;
    std::mt19937_64& faultRng_;
    int fd_ = -1;       // what we read requests from and write replies to
    int slaveFd_ = -1;  // pseudo-terminal only: held open so the master never sees a hang-up
    std::string path_;
    long requests_ = 0;
    bool hangingUp_ = false;
    bool droppedLogged_ = false;
    struct Queue; // replies waiting for their time, bounded
    std::unique_ptr<Queue> queue_;
};

} // namespace sim
