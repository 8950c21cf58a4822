// The serial device on POSIX. Linux: termios2 through ioctl (so custom bit
// rates work with BOTHER), edge-triggered epoll for line events and an
// eventfd as the stop signal.
#include "platform/serial_device.h"
#include "platform/serial_line_counters.h"

#ifdef __linux__

#include <asm/termbits.h>
#include <linux/serial.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <stdexcept>

namespace {

bool DriverLineCounters(int fd, LineCounters& counters)
{
    serial_icounter_struct now{};
    if (::ioctl(fd, TIOCGICOUNT, &now) != 0)
        return false;
    counters.frame = static_cast<std::uint32_t>(now.frame);
    counters.overrun = static_cast<std::uint32_t>(now.overrun);
    counters.parity = static_cast<std::uint32_t>(now.parity);
    counters.brk = static_cast<std::uint32_t>(now.brk);
    counters.bufOverrun = static_cast<std::uint32_t>(now.buf_overrun);
    return true;
}

std::atomic<LineCounterSource> counterSource{nullptr};

bool ReadLineCounters(int fd, LineCounters& counters)
{
    LineCounterSource source = counterSource.load();
    return source ? source(fd, counters) : DriverLineCounters(fd, counters);
}

constexpr std::uint64_t kDeviceTag = 1;
constexpr std::uint64_t kStopTag = 2;
constexpr std::uint32_t kMaxDword = 0xFFFFFFFFu;

class EventFdStop final : public StopSignal {
public:
    explicit EventFdStop(int fd) : fd_(fd) {}
    ~EventFdStop() override
    {
        if (fd_ >= 0)
            ::close(fd_); // closing also takes it out of the device's epoll set
    }
    void Raise() override
    {
        std::uint64_t one = 1;
        // Stays readable once raised: a manual-reset signal.
        [[maybe_unused]] ssize_t r = ::write(fd_, &one, sizeof one);
    }
    int fd() const { return fd_; }

private:
    int fd_;
};

// Standard rates keep their B-constant so that tools reading the line see
// them; any other rate goes through BOTHER.
tcflag_t StandardRate(std::uint32_t rate)
{
    switch (rate) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: return 0;
    }
}

using Clock = std::chrono::steady_clock;

// A total timeout of n bytes times a multiplier, bounded so that the
// deadline cannot overflow the clock (about 24 days is "no limit" enough).
std::uint64_t TotalMs(std::uint32_t multiplier, std::int32_t count, std::uint32_t constant)
{
    std::uint64_t ms = std::uint64_t{multiplier} * static_cast<std::uint64_t>(count > 0 ? count : 0) + constant;
    return ms > 0x7FFFFFFFu ? 0x7FFFFFFFu : ms;
}

// Milliseconds left until deadline, at least 0, for poll; rounded up, so
// that a wait that times out has reached the deadline.
int MsLeft(Clock::time_point deadline)
{
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0)
        return 0;
    return left > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(left);
}

// Waits until fd is ready for events or the deadline; false on timeout.
int WaitReady(int fd, short events, bool limited, Clock::time_point deadline, bool& ready)
{
    for (;;) {
        pollfd p{fd, events, 0};
        int r = ::poll(&p, 1, limited ? MsLeft(deadline) : -1);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return errno;
        ready = r > 0;
        return 0;
    }
}

class PosixSerialDevice final : public SerialDevice {
public:
    ~PosixSerialDevice() override
    {
        if (fd_ >= 0)
            Close();
    }

    int Open(const std::string& port) override
    {
        if (fd_ >= 0)
            Close();
        std::string path = SerialDevicePath(port);
        int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            return errno;
        // TIOCEXCL does not bind the superuser; a lock keeps two of our own
        // programs off one device all the same. Taken first, so that a device
        // another of ours holds is left with its exclusive flag untouched.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int code = errno == EWOULDBLOCK ? EBUSY : errno;
            ::close(fd);
            return code;
        }
        if (::ioctl(fd, TIOCEXCL) != 0) {
            int code = errno; // not a terminal at all
            ::close(fd);
            return code;
        }
        int ep = ::epoll_create1(EPOLL_CLOEXEC);
        if (ep < 0) {
            int code = errno;
            ReleaseTerminal(fd);
            return code;
        }
        epoll_event ev{};
        ev.events = EPOLLIN | EPOLLET | EPOLLRDHUP;
        ev.data.u64 = kDeviceTag;
        if (::epoll_ctl(ep, EPOLL_CTL_ADD, fd, &ev) != 0) {
            int code = errno;
            ::close(ep);
            ReleaseTerminal(fd);
            return code;
        }
        fd_ = fd;
        epfd_ = ep;
        hungUp_ = false;
        std::lock_guard lock(errorsLock_);
        pendingErrors_ = 0;
        haveCounts_ = ReadLineCounters(fd_, counts_);
        return 0;
    }

    int Close() override
    {
        if (epfd_ >= 0)
            ::close(epfd_);
        epfd_ = -1;
        if (fd_ < 0)
            return EBADF;
        int code = ReleaseTerminal(fd_);
        fd_ = -1; // released by the kernel even when close reports an error
        return code;
    }

    int SetupComm(std::int32_t inputSize, std::int32_t outputSize) override
    {
        // The kernel's queues have fixed sizes; only refuse nonsense.
        if (fd_ < 0)
            return EBADF;
        if (inputSize < 0 || outputSize < 0)
            return EINVAL;
        return 0;
    }

    int SetCommState(const DeviceControlBlock& dcb) override
    {
        if (fd_ < 0)
            return EBADF;
        if (dcb.BaudRate == 0 || dcb.BaudRate > 0x7FFFFFFFu)
            return EINVAL; // B0 would hang the line up
        termios2 tio{};
        if (::ioctl(fd_, TCGETS2, &tio) != 0)
            return errno;

        tio.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                              IXON | IXOFF | IXANY | INPCK | IGNPAR);
        if (dcb.fParity)
            tio.c_iflag |= INPCK;
        if (dcb.fOutX)
            tio.c_iflag |= IXON;
        if (dcb.fInX)
            tio.c_iflag |= IXOFF;
        tio.c_oflag &= ~static_cast<tcflag_t>(OPOST);
        tio.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);

        tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD |
                                              CIBAUD | HUPCL);
        tio.c_cflag |= CREAD | CLOCAL;
        switch (dcb.ByteSize) {
        case 5: tio.c_cflag |= CS5; break;
        case 6: tio.c_cflag |= CS6; break;
        case 7: tio.c_cflag |= CS7; break;
        case 8: tio.c_cflag |= CS8; break;
        default: return EINVAL;
        }
        switch (dcb.Parity) {
        case serialos::kNoParity: break;
        case serialos::kOddParity: tio.c_cflag |= PARENB | PARODD; break;
        case serialos::kEvenParity: tio.c_cflag |= PARENB; break;
        case serialos::kMarkParity: tio.c_cflag |= PARENB | CMSPAR | PARODD; break;
        case serialos::kSpaceParity: tio.c_cflag |= PARENB | CMSPAR; break;
        default: return EINVAL;
        }
        switch (dcb.StopBits) {
        case serialos::kOneStopBit: break;
        case serialos::kOne5StopBits: // no 1.5 here: the nearest is 2
        case serialos::kTwoStopBits: tio.c_cflag |= CSTOPB; break;
        default: return EINVAL;
        }
        if (dcb.fOutxCtsFlow || dcb.fRtsControl == serialos::kRtsControlHandshake)
            tio.c_cflag |= CRTSCTS;
        if (tcflag_t b = StandardRate(dcb.BaudRate)) {
            tio.c_cflag |= b | (b << IBSHIFT);
        } else {
            tio.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
        }
        tio.c_ispeed = dcb.BaudRate;
        tio.c_ospeed = dcb.BaudRate;
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
        tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
        if (::ioctl(fd_, TCSETS2, &tio) != 0)
            return errno;

        bool dtr = dcb.fDtrControl != serialos::kDtrControlDisable;
        bool rts = dcb.fRtsControl == serialos::kRtsControlEnable ||
                   dcb.fRtsControl == serialos::kRtsControlHandshake;
        if (int code = SetLine(TIOCM_DTR, dtr))
            return code;
        return SetLine(TIOCM_RTS, rts);
    }

    int SetCommTimeouts(const DeviceTimeouts& timeouts) override
    {
        if (fd_ < 0)
            return EBADF;
        timeouts_ = timeouts;
        return 0;
    }

    int SetCommMask(std::uint32_t mask) override
    {
        if (fd_ < 0)
            return EBADF;
        mask_.store(mask);
        return 0;
    }

    std::unique_ptr<StopSignal> CreateStopSignal() override
    {
        int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (fd < 0)
            throw std::runtime_error(std::string("eventfd: ") + std::strerror(errno));
        auto stop = std::make_unique<EventFdStop>(fd);
        if (epfd_ >= 0) {
            epoll_event ev{};
            ev.events = EPOLLIN;
            ev.data.u64 = kStopTag;
            ::epoll_ctl(epfd_, EPOLL_CTL_ADD, fd, &ev);
        }
        return stop;
    }

    WaitOutcome WaitCommEvent(StopSignal& stop, std::uint32_t& events) override
    {
        events = 0;
        auto& signal = static_cast<EventFdStop&>(stop);
        if (epfd_ < 0 || hungUp_)
            return WaitOutcome::WaitFailed;
        for (;;) {
            epoll_event got[4];
            int n = ::epoll_wait(epfd_, got, 4, -1);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return WaitOutcome::WaitFailed;
            std::uint32_t deviceEvents = 0;
            bool stopped = false;
            for (int i = 0; i < n; ++i) {
                if (got[i].data.u64 == kStopTag)
                    stopped = true;
                else
                    deviceEvents |= got[i].events;
            }
            if (stopped || Raised(signal))
                return WaitOutcome::Stopped;
            std::uint32_t mask = mask_.load();
            if (deviceEvents & (EPOLLHUP | EPOLLERR | EPOLLRDHUP)) {
                // The other end went away. Bytes that came before it are still
                // announced once; the next wait fails, ending the event loop.
                hungUp_ = true;
                int queued = 0;
                if ((mask & serialos::kEvRxChar) && ::ioctl(fd_, FIONREAD, &queued) == 0 && queued > 0) {
                    events = serialos::kEvRxChar;
                    return WaitOutcome::Events;
                }
                return WaitOutcome::WaitFailed;
            }
            // Edge-triggered: this fires for newly arrived bytes only.
            if ((deviceEvents & EPOLLIN) && (mask & serialos::kEvRxChar))
                events |= serialos::kEvRxChar;
            // The driver counts line errors and breaks as input comes in;
            // they are announced with the input that brought them, and the
            // flags wait for ClearCommError. As on Windows, the line-error
            // event stands for framing, overrun and parity errors.
            if (deviceEvents & EPOLLIN) {
                std::uint32_t fresh = CollectLineErrors();
                constexpr std::uint32_t kLineErrors = serialos::kCeFrame | serialos::kCeOverrun | serialos::kCeRxParity;
                if ((fresh & kLineErrors) && (mask & serialos::kEvErr))
                    events |= serialos::kEvErr;
                if ((fresh & serialos::kCeBreak) && (mask & serialos::kEvBreak))
                    events |= serialos::kEvBreak;
            }
            if (events != 0)
                return WaitOutcome::Events;
        }
    }

    int Read(void* buffer, std::int32_t count, std::int32_t& done) override
    {
        done = 0;
        if (fd_ < 0)
            return EBADF;
        if (count <= 0)
            return 0;
        const auto& t = timeouts_;
        // ReadInterval "infinite" with no totals: what is queued, at once.
        bool immediate = t.ReadIntervalTimeout == kMaxDword && t.ReadTotalTimeoutMultiplier == 0 &&
                         t.ReadTotalTimeoutConstant == 0;
        bool anyEnds = t.ReadIntervalTimeout == kMaxDword; // return once something came
        std::uint64_t totalMs = TotalMs(t.ReadTotalTimeoutMultiplier, count, t.ReadTotalTimeoutConstant);
        bool limited = totalMs > 0;
        auto deadline = Clock::now() + std::chrono::milliseconds(limited ? totalMs : 0);
        bool intervalLimited = t.ReadIntervalTimeout != 0 && t.ReadIntervalTimeout != kMaxDword;
        auto* bytes = static_cast<unsigned char*>(buffer);
        for (;;) {
            ssize_t r = ::read(fd_, bytes + done, static_cast<std::size_t>(count - done));
            if (r > 0) {
                done += static_cast<std::int32_t>(r);
                if (done == count || immediate || anyEnds)
                    return 0;
                if (intervalLimited) {
                    auto next = Clock::now() + std::chrono::milliseconds(t.ReadIntervalTimeout);
                    if (!limited || next < deadline) {
                        deadline = next;
                        limited = true;
                    }
                }
                continue;
            }
            if (r == 0) {
                // A raw terminal (VMIN 0, VTIME 0) answers 0 both when nothing
                // has come yet and after a hang-up; only the latter ends the read.
                if (immediate || HungUp())
                    return 0;
            } else if (errno == EINTR) {
                continue;
            } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
                return done > 0 ? 0 : errno;
            } else if (immediate) {
                return 0;
            }
            bool ready = false;
            if (int code = WaitReady(fd_, POLLIN, limited, deadline, ready))
                return code;
            if (!ready)
                return 0; // timed out with what came
        }
    }

    int Write(const void* buffer, std::int32_t count, std::int32_t& done) override
    {
        done = 0;
        if (fd_ < 0)
            return EBADF;
        const auto& t = timeouts_;
        std::uint64_t totalMs = TotalMs(t.WriteTotalTimeoutMultiplier, count, t.WriteTotalTimeoutConstant);
        bool limited = totalMs > 0;
        auto deadline = Clock::now() + std::chrono::milliseconds(limited ? totalMs : 0);
        const auto* bytes = static_cast<const unsigned char*>(buffer);
        while (done < count) {
            ssize_t r = ::write(fd_, bytes + done, static_cast<std::size_t>(count - done));
            if (r > 0) {
                done += static_cast<std::int32_t>(r);
                continue;
            }
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
                return errno;
            bool ready = false;
            if (int code = WaitReady(fd_, POLLOUT, limited, deadline, ready))
                return code;
            if (!ready)
                return 0; // the write timeout ran out: fewer bytes, no error
        }
        return 0;
    }

    int ClearCommError(std::uint32_t& errors, std::int32_t& inputCount) override
    {
        errors = 0;
        inputCount = 0;
        if (fd_ < 0)
            return EBADF;
        int queued = 0;
        if (::ioctl(fd_, FIONREAD, &queued) != 0)
            return Gone(errno) ? 0 : errno;
        inputCount = queued;
        CollectLineErrors();
        std::lock_guard lock(errorsLock_);
        errors = pendingErrors_;
        pendingErrors_ = 0;
        return 0;
    }

    int GetCommModemStatus(std::uint32_t& status) override
    {
        status = 0;
        if (fd_ < 0)
            return EBADF;
        int lines = 0;
        if (::ioctl(fd_, TIOCMGET, &lines) != 0) {
            if (errno == ENOTTY || errno == EINVAL || Gone(errno))
                return 0; // no modem lines (a pseudo-terminal, a line gone): all off
            return errno;
        }
        if (lines & TIOCM_CTS) status |= serialos::kMsCtsOn;
        if (lines & TIOCM_DSR) status |= serialos::kMsDsrOn;
        if (lines & TIOCM_RNG) status |= serialos::kMsRingOn;
        if (lines & TIOCM_CAR) status |= serialos::kMsRlsdOn;
        return 0;
    }

    int PurgeComm(std::uint32_t flags) override
    {
        if (fd_ < 0)
            return EBADF;
        // Reads and writes complete before their call returns, so nothing is in
        // flight to abort; clearing empties the kernel's queues.
        bool rx = flags & serialos::kPurgeRxClear;
        bool tx = flags & serialos::kPurgeTxClear;
        if (!rx && !tx)
            return 0;
        int which = rx && tx ? TCIOFLUSH : rx ? TCIFLUSH : TCOFLUSH;
        if (::ioctl(fd_, TCFLSH, which) != 0)
            return errno;
        return 0;
    }

    bool LineGone() override { return fd_ >= 0 && HungUp(); }

private:
    // Clears the exclusive flag and closes. The flag belongs to the terminal,
    // not to our descriptor: on a pseudo-terminal whose other side stays open
    // it would outlive us and refuse every later open by a normal user, our
    // own reopen included.
    static int ReleaseTerminal(int fd)
    {
        ::ioctl(fd, TIOCNXCL);
        if (::close(fd) != 0 && errno != EINTR)
            return errno;
        return 0;
    }

    // True once the other end has gone (the wait has seen it, or the
    // terminal reports it now).
    bool HungUp() const
    {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)) != 0;
    }

    // Folds the driver's line error counts since the last look into the
    // pending flags and returns the flags seen changing now. Both threads
    // look: the event thread as input arrives, ClearCommError when asked.
    std::uint32_t CollectLineErrors()
    {
        std::lock_guard lock(errorsLock_);
        LineCounters now{};
        if (!haveCounts_ || fd_ < 0 || !ReadLineCounters(fd_, now))
            return 0;
        std::uint32_t fresh = 0;
        if (now.frame != counts_.frame) fresh |= serialos::kCeFrame;
        if (now.overrun != counts_.overrun) fresh |= serialos::kCeOverrun;
        if (now.parity != counts_.parity) fresh |= serialos::kCeRxParity;
        if (now.brk != counts_.brk) fresh |= serialos::kCeBreak;
        if (now.bufOverrun != counts_.bufOverrun) fresh |= serialos::kCeRxOver;
        counts_ = now;
        pendingErrors_ |= fresh;
        return fresh;
    }

    // A terminal whose other end has gone refuses every query (EIO), also
    // while the bytes before the hang-up are still being announced. Such a
    // query finds nothing instead of failing: the next wait reports the loss,
    // which a failed query in the receive handler would have hidden behind
    // an event error.
    bool Gone(int err) { return err == EIO && LineGone(); }

    static bool Raised(EventFdStop& stop)
    {
        pollfd p{stop.fd(), POLLIN, 0};
        return ::poll(&p, 1, 0) > 0;
    }

    int SetLine(int line, bool on)
    {
        if (::ioctl(fd_, on ? TIOCMBIS : TIOCMBIC, &line) != 0) {
            if (errno == ENOTTY || errno == EINVAL)
                return 0; // the device has no such line
            return errno;
        }
        return 0;
    }

    int fd_ = -1;
    int epfd_ = -1;
    std::atomic<std::uint32_t> mask_{0};
    DeviceTimeouts timeouts_;
    bool hungUp_ = false; // event thread only while open
    std::mutex errorsLock_;
    bool haveCounts_ = false;    // guarded by errorsLock_
    LineCounters counts_{};      // guarded by errorsLock_
    std::uint32_t pendingErrors_ = 0; // guarded by errorsLock_: flags not yet read
};

} // namespace

void SetLineCounterSource(LineCounterSource source) { counterSource.store(source); }

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() { return std::make_unique<PosixSerialDevice>(); }

#else // other POSIX systems: no backend yet

#include <cerrno>

namespace {

class UnsupportedSerialDevice final : public SerialDevice {
public:
    int Open(const std::string&) override { return ENOSYS; }
    int Close() override { return 0; }
    int SetupComm(std::int32_t, std::int32_t) override { return ENOSYS; }
    int SetCommState(const DeviceControlBlock&) override { return ENOSYS; }
    int SetCommTimeouts(const DeviceTimeouts&) override { return ENOSYS; }
    int SetCommMask(std::uint32_t) override { return ENOSYS; }
    std::unique_ptr<StopSignal> CreateStopSignal() override { return nullptr; }
    WaitOutcome WaitCommEvent(StopSignal&, std::uint32_t& events) override
    {
        events = 0;
        return WaitOutcome::WaitFailed;
    }
    int Read(void*, std::int32_t, std::int32_t& done) override { done = 0; return ENOSYS; }
    int Write(const void*, std::int32_t, std::int32_t& done) override { done = 0; return ENOSYS; }
    int ClearCommError(std::uint32_t& e, std::int32_t& n) override { e = 0; n = 0; return ENOSYS; }
    int GetCommModemStatus(std::uint32_t& s) override { s = 0; return ENOSYS; }
    int PurgeComm(std::uint32_t) override { return ENOSYS; }
};

} // namespace

void SetLineCounterSource(LineCounterSource) {}

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() { return std::make_unique<UnsupportedSerialDevice>(); }

#endif
