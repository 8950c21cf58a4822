// The serial device on Windows: the communications calls on an overlapped handle.
#include "platform/serial_dcb_win32.h"
#include "platform/serial_device.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>

namespace {

// A call that failed must never read as success, even if the system left
// no code behind.
int LastErrorCode() {
    const DWORD code = GetLastError();
    return code != 0 ? static_cast<int>(code) : static_cast<int>(ERROR_GEN_FAILURE);
}

// What the communications calls answer once the device behind an open
// handle has gone (a USB adapter pulled out): the drivers differ in which.
// Wine answers "not ready" for a pseudo-terminal whose other side has gone.
bool MeansDeviceGone(DWORD code) {
    switch (code) {
    case ERROR_NOT_READY:
    case ERROR_ACCESS_DENIED:
    case ERROR_BAD_COMMAND:
    case ERROR_GEN_FAILURE:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEV_NOT_EXIST:
        return true;
    default:
        return false;
    }
}

class Win32StopSignal final : public StopSignal {
public:
    Win32StopSignal() : event_(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~Win32StopSignal() override {
        if (event_ != nullptr) CloseHandle(event_);
    }
    Win32StopSignal(const Win32StopSignal&) = delete;
    Win32StopSignal& operator=(const Win32StopSignal&) = delete;

    void Raise() override {
        if (event_ != nullptr) SetEvent(event_);
    }
    HANDLE Handle() const { return event_; }

private:
    HANDLE event_;
};

// The state of the one event wait. It lives on the heap because the system
// may still write into the overlap record after a cancelled wait; if it has
// not finished by the time the device closes, the record is left alive.
struct EventWait {
    HANDLE event = nullptr;
    OVERLAPPED overlap{};
    DWORD mask = 0;
    bool pending = false;

    EventWait() : event(CreateEventA(nullptr, TRUE, FALSE, nullptr)) {}
    ~EventWait() {
        if (event != nullptr) CloseHandle(event);
    }
    EventWait(const EventWait&) = delete;
    EventWait& operator=(const EventWait&) = delete;
};

// A wait that keeps failing (the device has gone away; under Wine every
// pending wait on a pseudo-terminal is aborted after a few milliseconds)
// backs off on the stop signal, doubling from the first pause up to the cap:
// a handful of wake-ups a second at most, and Close still ends it at once.
constexpr DWORD kFirstBackoffMs = 10;
constexpr DWORD kMaxBackoffMs = 100;
// Wine reports kEvRxChar again and again while old bytes wait unread; more
// immediate completions in a row than this are paced by the same short pause.
constexpr int kImmediateBeforePause = 2;
constexpr DWORD kImmediatePauseMs = 10;
// Wine signals the completion event of a still-pending wait; after a few of
// those in a row we wait with a short timeout instead of at once again.
constexpr int kIncompleteBeforeBackoff = 2;
constexpr DWORD kIncompleteBackoffMs = 10;
// The line events of the modem status lines. A device without those lines
// refuses a wait that includes them (Wine on a pseudo-terminal: "not
// supported"); they can never occur there, so the wait goes on without them.
constexpr DWORD kModemLineEvents = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

class Win32SerialDevice final : public SerialDevice {
public:
    ~Win32SerialDevice() override { Close(); }

    int Open(const std::string& port) override {
        if (handle_ != INVALID_HANDLE_VALUE) Close();
        const std::string path = SerialDevicePath(port);
        HANDLE h = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                               OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
        if (h == INVALID_HANDLE_VALUE) return LastErrorCode();
        auto wait = std::make_unique<EventWait>();
        if (wait->event == nullptr) {
            const int code = LastErrorCode();
            CloseHandle(h);
            return code;
        }
        handle_ = h;
        wait_ = std::move(wait);
        mask_ = 0;
        failuresInRow_ = 0;
        immediateInRow_ = 0;
        keptErrors_.store(0);
        return 0;
    }

    int Close() override {
        if (handle_ == INVALID_HANDLE_VALUE) return 0;
        if (wait_ && wait_->pending) {
            // Normally the event loop's SetCommMask(0) has ended it already.
            CancelIoEx(handle_, &wait_->overlap);
            SettlePendingWait(500);
        }
        if (!CloseHandle(handle_)) return LastErrorCode();
        handle_ = INVALID_HANDLE_VALUE;
        if (wait_ && wait_->pending) SettlePendingWait(500);
        if (wait_ && wait_->pending) {
            // The system still owns the overlap record: never free it under it.
            (void)wait_.release();
        }
        wait_.reset();
        return 0;
    }

    int SetupComm(std::int32_t inputSize, std::int32_t outputSize) override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        return ::SetupComm(handle_, static_cast<DWORD>(inputSize), static_cast<DWORD>(outputSize))
                   ? 0
                   : LastErrorCode();
    }

    int SetCommState(const DeviceControlBlock& block) override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        DCB dcb = ToWin32Dcb(block);
        return ::SetCommState(handle_, &dcb) ? 0 : LastErrorCode();
    }

    int SetCommTimeouts(const DeviceTimeouts& t) override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        COMMTIMEOUTS ct{};
        ct.ReadIntervalTimeout = t.ReadIntervalTimeout;
        ct.ReadTotalTimeoutMultiplier = t.ReadTotalTimeoutMultiplier;
        ct.ReadTotalTimeoutConstant = t.ReadTotalTimeoutConstant;
        ct.WriteTotalTimeoutMultiplier = t.WriteTotalTimeoutMultiplier;
        ct.WriteTotalTimeoutConstant = t.WriteTotalTimeoutConstant;
        return ::SetCommTimeouts(handle_, &ct) ? 0 : LastErrorCode();
    }

    int SetCommMask(std::uint32_t mask) override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        if (!::SetCommMask(handle_, mask)) return LastErrorCode();
        mask_ = mask;
        return 0;
    }

    std::unique_ptr<StopSignal> CreateStopSignal() override {
        return std::make_unique<Win32StopSignal>();
    }

    WaitOutcome WaitCommEvent(StopSignal& stop, std::uint32_t& events) override {
        events = 0;
        auto* signal = dynamic_cast<Win32StopSignal*>(&stop);
        if (signal == nullptr || signal->Handle() == nullptr) return WaitOutcome::WaitFailed;
        if (handle_ == INVALID_HANDLE_VALUE || !wait_) return WaitOutcome::WaitFailed;
        const HANDLE stopEvent = signal->Handle();
        if (WaitForSingleObject(stopEvent, 0) == WAIT_OBJECT_0) return WaitOutcome::Stopped;

        if (!wait_->pending) {
            const BOOL done = StartWait();
            if (!done && GetLastError() == ERROR_NOT_SUPPORTED && (mask_ & kModemLineEvents) != 0 &&
                ::SetCommMask(handle_, mask_ & ~kModemLineEvents)) {
                mask_ &= ~kModemLineEvents;
                return WaitAgainNow(stopEvent, StartWait(), events);
            }
            return WaitAgainNow(stopEvent, done, events);
        }
        return AwaitPending(stopEvent, events);
    }

    int Read(void* buffer, std::int32_t count, std::int32_t& done) override {
        return Transfer(false, buffer, count, done);
    }

    int Write(const void* buffer, std::int32_t count, std::int32_t& done) override {
        return Transfer(true, const_cast<void*>(buffer), count, done);
    }

    int ClearCommError(std::uint32_t& errors, std::int32_t& inputCount) override {
        errors = 0;
        inputCount = 0;
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        DWORD flags = 0;
        COMSTAT stat{};
        if (!::ClearCommError(handle_, &flags, &stat)) return LastErrorCode();
        errors = flags | keptErrors_.exchange(0);
        inputCount = static_cast<std::int32_t>(std::min<DWORD>(stat.cbInQue, 0x7FFFFFFF));
        return 0;
    }

    int GetCommModemStatus(std::uint32_t& status) override {
        status = 0;
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        DWORD lines = 0;
        if (::GetCommModemStatus(handle_, &lines)) {
            status = lines;
            return 0;
        }
        const int code = LastErrorCode();
        // A device without modem lines (Wine's pseudo-terminal, some virtual
        // ports) answers "not supported": that is all lines off, not a fault.
        if (code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED ||
            code == ERROR_INVALID_FUNCTION)
            return 0;
        return code;
    }

    int PurgeComm(std::uint32_t flags) override {
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        return ::PurgeComm(handle_, flags) ? 0 : LastErrorCode();
    }

    // A working device always answers the status query; a removed one
    // refuses it for good.
    bool LineGone() override {
        if (handle_ == INVALID_HANDLE_VALUE) return false;
        DWORD flags = 0;
        COMSTAT stat{};
        if (::ClearCommError(handle_, &flags, &stat)) {
            // The query clears the line error flags: keep them for the
            // caller of ClearCommError, whom they are for.
            keptErrors_.fetch_or(flags);
            return false;
        }
        return MeansDeviceGone(GetLastError());
    }

private:
    // Starts the overlapped wait; TRUE when it completed at once.
    BOOL StartWait() {
        // Reset by hand: the event must not carry a completion of an earlier wait.
        ResetEvent(wait_->event);
        wait_->overlap = OVERLAPPED{};
        wait_->overlap.hEvent = wait_->event;
        wait_->mask = 0;
        return ::WaitCommEvent(handle_, &wait_->mask, &wait_->overlap);
    }

    WaitOutcome WaitAgainNow(HANDLE stopEvent, BOOL completed, std::uint32_t& events) {
        if (completed) {
            failuresInRow_ = 0;
            events = wait_->mask;
            if (++immediateInRow_ > kImmediateBeforePause &&
                WaitForSingleObject(stopEvent, kImmediatePauseMs) == WAIT_OBJECT_0)
                return WaitOutcome::Stopped;
            return WaitOutcome::Events;
        }
        if (GetLastError() != ERROR_IO_PENDING) return Failure(stopEvent);
        wait_->pending = true;
        return AwaitPending(stopEvent, events);
    }

    WaitOutcome AwaitPending(HANDLE stopEvent, std::uint32_t& events) {
        immediateInRow_ = 0;
        int incompleteInRow = 0;
        for (;;) {
            const HANDLE objects[2] = {stopEvent, wait_->event};
            const DWORD woke = WaitForMultipleObjects(2, objects, FALSE, INFINITE);
            if (woke == WAIT_OBJECT_0) return WaitOutcome::Stopped;
            if (woke != WAIT_OBJECT_0 + 1) return WaitOutcome::WaitFailed;
            for (int look = 0; look < 2; ++look) {
                DWORD transferred = 0;
                if (GetOverlappedResult(handle_, &wait_->overlap, &transferred, FALSE)) {
                    wait_->pending = false;
                    failuresInRow_ = 0;
                    events = wait_->mask;
                    return WaitOutcome::Events;
                }
                if (GetLastError() != ERROR_IO_INCOMPLETE) {
                    wait_->pending = false;
                    return Failure(stopEvent);
                }
                // Signalled, yet still pending (seen with Wine): clear the
                // event and look once more, so no completion is lost.
                if (look == 0) ResetEvent(wait_->event);
            }
            if (++incompleteInRow > kIncompleteBeforeBackoff &&
                WaitForSingleObject(stopEvent, kIncompleteBackoffMs) == WAIT_OBJECT_0)
                return WaitOutcome::Stopped;
        }
    }

    // The wait failed. On a device that has gone that is the end (waiting
    // again would fail for ever); otherwise pause on the stop signal, then
    // let the caller wait again.
    WaitOutcome Failure(HANDLE stopEvent) {
        if (LineGone()) return WaitOutcome::WaitFailed;
        const int shift = std::min(failuresInRow_, 4);
        const DWORD pause = std::min<DWORD>(kFirstBackoffMs << shift, kMaxBackoffMs);
        ++failuresInRow_;
        if (WaitForSingleObject(stopEvent, pause) == WAIT_OBJECT_0) return WaitOutcome::Stopped;
        return WaitOutcome::OutcomeFailed;
    }

    // Waits at most timeoutMs for a cancelled wait to finish.
    void SettlePendingWait(DWORD timeoutMs) {
        const DWORD step = 10;
        for (DWORD waited = 0;; waited += step) {
            if (HasOverlappedIoCompleted(&wait_->overlap)) {
                wait_->pending = false;
                return;
            }
            if (waited >= timeoutMs) return;
            // The event alone is not trusted (see the Wine note above).
            if (WaitForSingleObject(wait_->event, step) == WAIT_OBJECT_0 &&
                !HasOverlappedIoCompleted(&wait_->overlap))
                Sleep(step);
        }
    }

    // One overlapped read or write with a wait object of its own, freed on
    // every path.
    int Transfer(bool write, void* buffer, std::int32_t count, std::int32_t& done) {
        done = 0;
        if (handle_ == INVALID_HANDLE_VALUE) return ERROR_INVALID_HANDLE;
        if (count <= 0) return 0;
        HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (event == nullptr) return LastErrorCode();
        OVERLAPPED overlap{};
        overlap.hEvent = event;
        const DWORD size = static_cast<DWORD>(count);
        const BOOL started = write ? WriteFile(handle_, buffer, size, nullptr, &overlap)
                                   : ReadFile(handle_, buffer, size, nullptr, &overlap);
        int code = 0;
        if (!started && GetLastError() != ERROR_IO_PENDING) {
            code = LastErrorCode();
        } else {
            DWORD transferred = 0;
            code = Finish(overlap, transferred);
            done = static_cast<std::int32_t>(std::min<DWORD>(transferred, size));
        }
        CloseHandle(event);
        return code;
    }

    int Finish(OVERLAPPED& overlap, DWORD& transferred) {
        int incompleteInRow = 0;
        for (;;) {
            if (WaitForSingleObject(overlap.hEvent, INFINITE) != WAIT_OBJECT_0) {
                const int code = LastErrorCode();
                // The record lives on our stack: the operation must be over before we return.
                CancelIoEx(handle_, &overlap);
                DWORD ignored = 0;
                GetOverlappedResult(handle_, &overlap, &ignored, TRUE);
                return code;
            }
            if (GetOverlappedResult(handle_, &overlap, &transferred, FALSE)) return 0;
            if (GetLastError() != ERROR_IO_INCOMPLETE) return LastErrorCode();
            ResetEvent(overlap.hEvent);
            if (GetOverlappedResult(handle_, &overlap, &transferred, FALSE)) return 0;
            if (GetLastError() != ERROR_IO_INCOMPLETE) return LastErrorCode();
            if (++incompleteInRow > kIncompleteBeforeBackoff) Sleep(kIncompleteBackoffMs);
        }
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
    std::unique_ptr<EventWait> wait_;
    DWORD mask_ = 0;
    int failuresInRow_ = 0;
    int immediateInRow_ = 0;
    // Line error flags a loss check cleared before the caller asked for them.
    std::atomic<std::uint32_t> keptErrors_{0};
};

} // namespace

DCB ToWin32Dcb(const DeviceControlBlock& b) {
    DCB dcb{};
    dcb.DCBlength = b.DCBlength;
    dcb.BaudRate = b.BaudRate;
    dcb.fBinary = b.fBinary ? 1 : 0;
    dcb.fParity = b.fParity ? 1 : 0;
    dcb.fOutxCtsFlow = b.fOutxCtsFlow ? 1 : 0;
    dcb.fOutxDsrFlow = b.fOutxDsrFlow ? 1 : 0;
    dcb.fDtrControl = b.fDtrControl & 0x3;
    dcb.fDsrSensitivity = b.fDsrSensitivity ? 1 : 0;
    dcb.fTXContinueOnXoff = b.fTXContinueOnXoff ? 1 : 0;
    dcb.fOutX = b.fOutX ? 1 : 0;
    dcb.fInX = b.fInX ? 1 : 0;
    dcb.fErrorChar = b.fErrorChar ? 1 : 0;
    dcb.fNull = b.fNull ? 1 : 0;
    dcb.fRtsControl = b.fRtsControl & 0x3;
    dcb.fAbortOnError = b.fAbortOnError ? 1 : 0;
    dcb.XonLim = b.XonLim;
    dcb.XoffLim = b.XoffLim;
    dcb.ByteSize = b.ByteSize;
    dcb.Parity = b.Parity;
    dcb.StopBits = b.StopBits;
    dcb.XonChar = b.XonChar;
    dcb.XoffChar = b.XoffChar;
    dcb.ErrorChar = b.ErrorChar;
    dcb.EofChar = b.EofChar;
    dcb.EvtChar = b.EvtChar;
    return dcb;
}

std::unique_ptr<SerialDevice> CreateSystemSerialDevice() {
    return std::make_unique<Win32SerialDevice>();
}
