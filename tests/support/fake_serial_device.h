#pragma once
#include "platform/serial_device.h"

#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

// A SerialDevice for tests. It logs every call with its arguments, keeps the
// last control block, timeouts and event mask, records written bytes with the
// installed clock's time, lets a test inject received bytes, line events,
// line errors, modem lines and failures of any call, and its event wait
// blocks (condition variable) until an injected event or the stop signal.
//
//   FakeSerialDevice* fake = new FakeSerialDevice;
//   TComPort port("ComPort", std::unique_ptr<SerialDevice>(fake));
//   fake->Receive("bytes"); fake->FailNext("Open", 2); fake->writes();
//
// When the test must keep the device past the port, share it instead:
//   auto fake = std::make_shared<FakeSerialDevice>();
//   TComPort port("ComPort", fake->Share());
//
// Call log entries: "Open <port>", "Close", "SetupComm <in> <out>",
// "SetCommState", "SetCommTimeouts", "SetCommMask 0x<hex>", "CreateStopSignal",
// "Read <count>", "Write <count>", "ClearCommError", "GetCommModemStatus",
// "PurgeComm 0x<hex>". WaitCommEvent, which the event thread repeats, is only
// counted (WaitCount) so that logs do not depend on thread timing.
// Failure names are the call names; "WaitCommEvent" makes the wait report
// WaitFailed, "WaitOutcome" makes a wait that found events report OutcomeFailed.
// Like a real device, a closed one answers every call but Open and
// CreateStopSignal with kNotOpenCode (the call is still logged), and its
// event wait reports WaitFailed.
class FakeSerialDevice : public SerialDevice, public std::enable_shared_from_this<FakeSerialDevice> {
public:
    struct WriteRecord {
        std::int64_t atMs;
        std::string bytes;
        bool operator==(const WriteRecord&) const = default;
    };

    // What a call on the closed device returns (the POSIX code for a bad descriptor).
    static constexpr int kNotOpenCode = 9;

    FakeSerialDevice();
    ~FakeSerialDevice() override;

    // A device that forwards to this one and keeps it alive (this must be
    // owned by a shared_ptr).
    std::unique_ptr<SerialDevice> Share();

    // --- what the port did ---
    std::vector<std::string> Calls() const;
    void ClearCalls();
    DeviceControlBlock LastDcb() const;
    DeviceTimeouts LastTimeouts() const;
    std::uint32_t Mask() const;
    bool IsOpen() const;
    std::string OpenedPort() const;
    std::vector<WriteRecord> writes() const;
    std::string Written() const; // all written bytes in one text
    int WaitCount() const;
    // Blocks until the event thread is waiting in WaitCommEvent with nothing to
    // report (or timeoutMs passed); true when it is.
    bool WaitUntilIdle(int timeoutMs = 5000) const;

    // --- what the line does ---
    // Queues bytes for reading and reports kEvRxChar (and kEvRxFlag when the
    // control block's event character is among them) if selected, together
    // with alsoEvents: all in one wake-up of the event wait.
    void Receive(const std::string& bytes, std::uint32_t alsoEvents = 0);
    // Reports the given line events (those the mask selects).
    void RaiseEvents(std::uint32_t events);
    // Line error flags returned (and cleared) by the next ClearCommError.
    void SetLineErrors(std::uint32_t errors);
    void SetModemStatus(std::uint32_t status);
    // The other end went away: every wait reports WaitFailed.
    void HangUp();
    // Writes take at most this many bytes each (as when the write timeout
    // runs out); -1 takes all.
    void SetWriteLimit(std::int32_t bytes);
    // Reports kEvTxEmpty after every write when selected (off by default).
    void SetReportTxEmpty(bool on);
    std::string PendingInput() const;

    // --- failures ---
    // The next `times` calls of `call` return `code` (times < 0: every call).
    void FailNext(const std::string& call, int code, int times = 1);
    void ClearFailures();

    // --- SerialDevice ---
    int Open(const std::string& port) override;
    int Close() override;
    int SetupComm(std::int32_t inputSize, std::int32_t outputSize) override;
    int SetCommState(const DeviceControlBlock& dcb) override;
    int SetCommTimeouts(const DeviceTimeouts& timeouts) override;
    int SetCommMask(std::uint32_t mask) override;
    std::unique_ptr<StopSignal> CreateStopSignal() override;
    WaitOutcome WaitCommEvent(StopSignal& stop, std::uint32_t& events) override;
    int Read(void* buffer, std::int32_t count, std::int32_t& done) override;
    int Write(const void* buffer, std::int32_t count, std::int32_t& done) override;
    int ClearCommError(std::uint32_t& errors, std::int32_t& inputCount) override;
    int GetCommModemStatus(std::uint32_t& status) override;
    int PurgeComm(std::uint32_t flags) override;
    // Open and hung up (not logged: the wait's outcome is not either).
    bool LineGone() override;

private:
    struct Failure {
        int code;
        int times;
    };
    class FakeStop;

    // Logs the call and returns the injected failure code, or 0.
    int Enter(const std::string& name, const std::string& entry);
    void RaiseLocked(std::uint32_t events);

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> calls_;
    std::map<std::string, Failure> failures_;
    DeviceControlBlock dcb_;
    DeviceTimeouts timeouts_;
    std::uint32_t mask_ = 0;
    std::uint32_t pendingEvents_ = 0;
    std::uint32_t lineErrors_ = 0;
    std::uint32_t modemStatus_ = 0;
    bool open_ = false;
    bool hungUp_ = false;
    bool reportTxEmpty_ = false;
    bool waiting_ = false;
    int waitCount_ = 0;
    std::int32_t writeLimit_ = -1;
    std::string port_;
    std::string input_;
    std::vector<WriteRecord> writes_;
};
