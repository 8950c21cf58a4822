#include "fake_serial_device.h"

#include "platform/clock.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

std::string Hex(std::uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%x", static_cast<unsigned>(value));
    return text;
}

// Forwards every call to a shared fake, keeping it alive.
class SharedFake final : public SerialDevice {
public:
    explicit SharedFake(std::shared_ptr<FakeSerialDevice> fake) : fake_(std::move(fake)) {}
    int Open(const std::string& port) override { return fake_->Open(port); }
    int Close() override { return fake_->Close(); }
    int SetupComm(std::int32_t in, std::int32_t out) override { return fake_->SetupComm(in, out); }
    int SetCommState(const DeviceControlBlock& dcb) override { return fake_->SetCommState(dcb); }
    int SetCommTimeouts(const DeviceTimeouts& t) override { return fake_->SetCommTimeouts(t); }
    int SetCommMask(std::uint32_t mask) override { return fake_->SetCommMask(mask); }
    std::unique_ptr<StopSignal> CreateStopSignal() override { return fake_->CreateStopSignal(); }
    WaitOutcome WaitCommEvent(StopSignal& stop, std::uint32_t& events) override
    {
        return fake_->WaitCommEvent(stop, events);
    }
    int Read(void* b, std::int32_t n, std::int32_t& done) override { return fake_->Read(b, n, done); }
    int Write(const void* b, std::int32_t n, std::int32_t& done) override { return fake_->Write(b, n, done); }
    int ClearCommError(std::uint32_t& e, std::int32_t& n) override { return fake_->ClearCommError(e, n); }
    int GetCommModemStatus(std::uint32_t& s) override { return fake_->GetCommModemStatus(s); }
    int PurgeComm(std::uint32_t flags) override { return fake_->PurgeComm(flags); }
    bool LineGone() override { return fake_->LineGone(); }

private:
    std::shared_ptr<FakeSerialDevice> fake_;
};

} // namespace

// The stop signal shares the fake's lock and condition so a raise wakes the wait.
class FakeSerialDevice::FakeStop final : public StopSignal {
public:
    explicit FakeStop(FakeSerialDevice& fake) : fake_(fake) {}
    void Raise() override
    {
        std::lock_guard lock(fake_.mutex_);
        raised = true;
        fake_.changed_.notify_all();
    }
    bool raised = false; // guarded by the fake's mutex

private:
    FakeSerialDevice& fake_;
};

FakeSerialDevice::FakeSerialDevice() = default;
FakeSerialDevice::~FakeSerialDevice() = default;

std::unique_ptr<SerialDevice> FakeSerialDevice::Share()
{
    // Throws std::bad_weak_ptr when the fake has no shared owner.
    return std::make_unique<SharedFake>(shared_from_this());
}

std::vector<std::string> FakeSerialDevice::Calls() const
{
    std::lock_guard lock(mutex_);
    return calls_;
}

void FakeSerialDevice::ClearCalls()
{
    std::lock_guard lock(mutex_);
    calls_.clear();
}

DeviceControlBlock FakeSerialDevice::LastDcb() const
{
    std::lock_guard lock(mutex_);
    return dcb_;
}

DeviceTimeouts FakeSerialDevice::LastTimeouts() const
{
    std::lock_guard lock(mutex_);
    return timeouts_;
}

std::uint32_t FakeSerialDevice::Mask() const
{
    std::lock_guard lock(mutex_);
    return mask_;
}

bool FakeSerialDevice::IsOpen() const
{
    std::lock_guard lock(mutex_);
    return open_;
}

std::string FakeSerialDevice::OpenedPort() const
{
    std::lock_guard lock(mutex_);
    return port_;
}

std::vector<FakeSerialDevice::WriteRecord> FakeSerialDevice::writes() const
{
    std::lock_guard lock(mutex_);
    return writes_;
}

std::string FakeSerialDevice::Written() const
{
    std::lock_guard lock(mutex_);
    std::string all;
    for (const auto& w : writes_)
        all += w.bytes;
    return all;
}

int FakeSerialDevice::WaitCount() const
{
    std::lock_guard lock(mutex_);
    return waitCount_;
}

bool FakeSerialDevice::WaitUntilIdle(int timeoutMs) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                             [&] { return waiting_ && (pendingEvents_ & mask_) == 0; });
}

void FakeSerialDevice::Receive(const std::string& bytes, std::uint32_t alsoEvents)
{
    std::lock_guard lock(mutex_);
    input_ += bytes;
    std::uint32_t events = serialos::kEvRxChar | alsoEvents;
    if (dcb_.EvtChar != 0 && bytes.find(dcb_.EvtChar) != std::string::npos)
        events |= serialos::kEvRxFlag;
    RaiseLocked(events);
}

void FakeSerialDevice::RaiseEvents(std::uint32_t events)
{
    std::lock_guard lock(mutex_);
    RaiseLocked(events);
}

void FakeSerialDevice::RaiseLocked(std::uint32_t events)
{
    pendingEvents_ |= events & mask_;
    changed_.notify_all();
}

void FakeSerialDevice::SetLineErrors(std::uint32_t errors)
{
    std::lock_guard lock(mutex_);
    lineErrors_ = errors;
}

void FakeSerialDevice::SetModemStatus(std::uint32_t status)
{
    std::lock_guard lock(mutex_);
    modemStatus_ = status;
}

void FakeSerialDevice::HangUp()
{
    std::lock_guard lock(mutex_);
    hungUp_ = true;
    changed_.notify_all();
}

void FakeSerialDevice::SetWriteLimit(std::int32_t bytes)
{
    std::lock_guard lock(mutex_);
    writeLimit_ = bytes;
}

void FakeSerialDevice::SetReportTxEmpty(bool on)
{
    std::lock_guard lock(mutex_);
    reportTxEmpty_ = on;
}

std::string FakeSerialDevice::PendingInput() const
{
    std::lock_guard lock(mutex_);
    return input_;
}

void FakeSerialDevice::FailNext(const std::string& call, int code, int times)
{
    std::lock_guard lock(mutex_);
    failures_[call] = Failure{code, times};
}

void FakeSerialDevice::ClearFailures()
{
    std::lock_guard lock(mutex_);
    failures_.clear();
}

int FakeSerialDevice::Enter(const std::string& name, const std::string& entry)
{
    // Called with the lock held.
    if (!entry.empty())
        calls_.push_back(entry);
    auto it = failures_.find(name);
    if (it == failures_.end())
        return 0;
    int code = it->second.code;
    if (it->second.times > 0 && --it->second.times == 0)
        failures_.erase(it);
    return code;
}

int FakeSerialDevice::Open(const std::string& port)
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("Open", "Open " + port))
        return code;
    open_ = true;
    hungUp_ = false;
    port_ = port;
    return 0;
}

int FakeSerialDevice::Close()
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("Close", "Close"))
        return code;
    if (!open_)
        return kNotOpenCode;
    open_ = false;
    mask_ = 0;
    pendingEvents_ = 0;
    changed_.notify_all();
    return 0;
}

int FakeSerialDevice::SetupComm(std::int32_t inputSize, std::int32_t outputSize)
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("SetupComm", "SetupComm " + std::to_string(inputSize) + " " + std::to_string(outputSize)))
        return code;
    return open_ ? 0 : kNotOpenCode;
}

int FakeSerialDevice::SetCommState(const DeviceControlBlock& dcb)
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("SetCommState", "SetCommState"))
        return code;
    if (!open_)
        return kNotOpenCode;
    dcb_ = dcb;
    return 0;
}

int FakeSerialDevice::SetCommTimeouts(const DeviceTimeouts& timeouts)
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("SetCommTimeouts", "SetCommTimeouts"))
        return code;
    if (!open_)
        return kNotOpenCode;
    timeouts_ = timeouts;
    return 0;
}

int FakeSerialDevice::SetCommMask(std::uint32_t mask)
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("SetCommMask", "SetCommMask " + Hex(mask)))
        return code;
    if (!open_)
        return kNotOpenCode;
    mask_ = mask;
    pendingEvents_ &= mask;
    changed_.notify_all();
    return 0;
}

std::unique_ptr<StopSignal> FakeSerialDevice::CreateStopSignal()
{
    std::lock_guard lock(mutex_);
    Enter("CreateStopSignal", "CreateStopSignal");
    return std::make_unique<FakeStop>(*this);
}

WaitOutcome FakeSerialDevice::WaitCommEvent(StopSignal& stop, std::uint32_t& events)
{
    auto& signal = static_cast<FakeStop&>(stop);
    std::unique_lock lock(mutex_);
    ++waitCount_;
    events = 0;
    if (Enter("WaitCommEvent", "") != 0 || !open_)
        return WaitOutcome::WaitFailed;
    waiting_ = true;
    changed_.notify_all();
    changed_.wait(lock, [&] { return signal.raised || hungUp_ || !open_ || (pendingEvents_ & mask_) != 0; });
    waiting_ = false;
    changed_.notify_all();
    if (signal.raised)
        return WaitOutcome::Stopped;
    if (hungUp_ || !open_)
        return WaitOutcome::WaitFailed;
    events = pendingEvents_ & mask_;
    pendingEvents_ = 0;
    if (Enter("WaitOutcome", "") != 0) {
        events = 0;
        return WaitOutcome::OutcomeFailed;
    }
    return WaitOutcome::Events;
}

int FakeSerialDevice::Read(void* buffer, std::int32_t count, std::int32_t& done)
{
    std::lock_guard lock(mutex_);
    done = 0;
    if (int code = Enter("Read", "Read " + std::to_string(count)))
        return code;
    if (!open_)
        return kNotOpenCode;
    auto n = std::min<std::size_t>(input_.size(), count > 0 ? static_cast<std::size_t>(count) : 0);
    std::memcpy(buffer, input_.data(), n);
    input_.erase(0, n);
    done = static_cast<std::int32_t>(n);
    return 0;
}

int FakeSerialDevice::Write(const void* buffer, std::int32_t count, std::int32_t& done)
{
    std::lock_guard lock(mutex_);
    done = 0;
    if (int code = Enter("Write", "Write " + std::to_string(count)))
        return code;
    if (!open_)
        return kNotOpenCode;
    std::int32_t n = writeLimit_ >= 0 ? std::min(count, writeLimit_) : count;
    writes_.push_back({CurrentClock().NowMs(), std::string(static_cast<const char*>(buffer), static_cast<std::size_t>(n))});
    done = n;
    if (reportTxEmpty_)
        RaiseLocked(serialos::kEvTxEmpty);
    return 0;
}

int FakeSerialDevice::ClearCommError(std::uint32_t& errors, std::int32_t& inputCount)
{
    std::lock_guard lock(mutex_);
    errors = 0;
    inputCount = 0;
    if (int code = Enter("ClearCommError", "ClearCommError"))
        return code;
    if (!open_)
        return kNotOpenCode;
    errors = lineErrors_;
    lineErrors_ = 0;
    inputCount = static_cast<std::int32_t>(input_.size());
    return 0;
}

int FakeSerialDevice::GetCommModemStatus(std::uint32_t& status)
{
    std::lock_guard lock(mutex_);
    status = 0;
    if (int code = Enter("GetCommModemStatus", "GetCommModemStatus"))
        return code;
    if (!open_)
        return kNotOpenCode;
    status = modemStatus_;
    return 0;
}

int FakeSerialDevice::PurgeComm(std::uint32_t flags)
{
    std::lock_guard lock(mutex_);
    if (int code = Enter("PurgeComm", "PurgeComm " + Hex(flags)))
        return code;
    if (!open_)
        return kNotOpenCode;
    if (flags & serialos::kPurgeRxClear)
        input_.clear();
    return 0;
}

bool FakeSerialDevice::LineGone()
{
    std::lock_guard lock(mutex_);
    return open_ && hungUp_;
}
