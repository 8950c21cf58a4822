#include "serial/comport.h"

#include "platform/messages.h"
#include "platform/sync_call.h"
#include "serial/com_text.h"
#include "serial/com_thread.h"
#include "serial/ecomport.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

std::function<void(TCustomComPort&)>& EditComPortFunction()
{
    static std::function<void(TCustomComPort&)> f;
    return f;
}

// The largest block ReadStr prepares at once; a read returns at most what is
// queued anyway, so a larger Count only ever gives fewer bytes.
constexpr std::int32_t kMaxReadBlock = 64 * 1024;

} // namespace

void SetEditComPortFunction(std::function<void(TCustomComPort&)> f) { EditComPortFunction() = std::move(f); }

// Stands in for the hidden window of smWindowSync: the event thread leaves
// the events here and queues one call to the user-interface thread, which
// takes them all. Close detaches the port, so a call still queued then does
// nothing. At most one call is queued per window, which bounds the queue.
struct TCustomComPort::EventWindow {
    explicit EventWindow(TCustomComPort* p) : port(p) {}
    TCustomComPort* port; // user-interface thread only
    bool showingError = false; // user-interface thread only
    std::mutex lock;
    TComEvents pending; // guarded by lock
};

// --- settings objects -----------------------------------------------------

void TComParity::CopyFields(const TComParity& o)
{
    bits_ = o.bits_;
    check_ = o.check_;
    replace_ = o.replace_;
    replaceChar_ = o.replaceChar_;
}

TComParity& TComParity::operator=(const TComParity& other)
{
    CopyFields(other);
    Changed();
    return *this;
}

void TComParity::Changed()
{
    if (owner_)
        owner_->ApplyDCB();
}

void TComParity::SetBits(TParityBits v) { if (v != bits_) { bits_ = v; Changed(); } }
void TComParity::SetCheck(bool v) { if (v != check_) { check_ = v; Changed(); } }
void TComParity::SetReplace(bool v) { if (v != replace_) { replace_ = v; Changed(); } }
void TComParity::SetReplaceChar(char v) { if (v != replaceChar_) { replaceChar_ = v; Changed(); } }

void TComFlowControl::CopyFields(const TComFlowControl& o)
{
    outCTSFlow_ = o.outCTSFlow_;
    outDSRFlow_ = o.outDSRFlow_;
    controlDTR_ = o.controlDTR_;
    controlRTS_ = o.controlRTS_;
    xonXoffOut_ = o.xonXoffOut_;
    xonXoffIn_ = o.xonXoffIn_;
    dsrSensitivity_ = o.dsrSensitivity_;
    txContinueOnXoff_ = o.txContinueOnXoff_;
    xonChar_ = o.xonChar_;
    xoffChar_ = o.xoffChar_;
}

TComFlowControl& TComFlowControl::operator=(const TComFlowControl& other)
{
    CopyFields(other);
    Changed();
    return *this;
}

void TComFlowControl::Changed()
{
    if (owner_)
        owner_->ApplyDCB();
}

void TComFlowControl::SetOutCTSFlow(bool v) { if (v != outCTSFlow_) { outCTSFlow_ = v; Changed(); } }
void TComFlowControl::SetOutDSRFlow(bool v) { if (v != outDSRFlow_) { outDSRFlow_ = v; Changed(); } }
void TComFlowControl::SetControlDTR(TDTRFlowControl v) { if (v != controlDTR_) { controlDTR_ = v; Changed(); } }
void TComFlowControl::SetControlRTS(TRTSFlowControl v) { if (v != controlRTS_) { controlRTS_ = v; Changed(); } }
void TComFlowControl::SetXonXoffOut(bool v) { if (v != xonXoffOut_) { xonXoffOut_ = v; Changed(); } }
void TComFlowControl::SetXonXoffIn(bool v) { if (v != xonXoffIn_) { xonXoffIn_ = v; Changed(); } }
void TComFlowControl::SetDSRSensitivity(bool v) { if (v != dsrSensitivity_) { dsrSensitivity_ = v; Changed(); } }
void TComFlowControl::SetTxContinueOnXoff(bool v) { if (v != txContinueOnXoff_) { txContinueOnXoff_ = v; Changed(); } }
void TComFlowControl::SetXonChar(char v) { if (v != xonChar_) { xonChar_ = v; Changed(); } }
void TComFlowControl::SetXoffChar(char v) { if (v != xoffChar_) { xoffChar_ = v; Changed(); } }

TFlowControl TComFlowControl::FlowControl() const
{
    if (controlRTS_ == rtsHandshake && outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_)
        return fcHardware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && xonXoffIn_ && xonXoffOut_)
        return fcSoftware;
    if (controlRTS_ == rtsDisable && !outCTSFlow_ && !xonXoffIn_ && !xonXoffOut_)
        return fcNone;
    return fcCustom;
}

void TComFlowControl::SetFlowControl(TFlowControl value)
{
    if (value != fcCustom) {
        controlRTS_ = rtsDisable;
        outCTSFlow_ = false;
        xonXoffIn_ = false;
        xonXoffOut_ = false;
        if (value == fcHardware) {
            controlRTS_ = rtsHandshake;
            outCTSFlow_ = true;
        } else if (value == fcSoftware) {
            xonXoffIn_ = true;
            xonXoffOut_ = true;
        }
    }
    Changed();
}

void TComTimeouts::CopyFields(const TComTimeouts& o)
{
    readInterval_ = o.readInterval_;
    readTotalMultiplier_ = o.readTotalMultiplier_;
    readTotalConstant_ = o.readTotalConstant_;
    writeTotalMultiplier_ = o.writeTotalMultiplier_;
    writeTotalConstant_ = o.writeTotalConstant_;
}

TComTimeouts& TComTimeouts::operator=(const TComTimeouts& other)
{
    CopyFields(other);
    Changed();
    return *this;
}

void TComTimeouts::Changed()
{
    if (owner_)
        owner_->ApplyTimeouts();
}

void TComTimeouts::SetReadInterval(std::int32_t v) { if (v != readInterval_) { readInterval_ = v; Changed(); } }
void TComTimeouts::SetReadTotalMultiplier(std::int32_t v) { if (v != readTotalMultiplier_) { readTotalMultiplier_ = v; Changed(); } }
void TComTimeouts::SetReadTotalConstant(std::int32_t v) { if (v != readTotalConstant_) { readTotalConstant_ = v; Changed(); } }
void TComTimeouts::SetWriteTotalMultiplier(std::int32_t v) { if (v != writeTotalMultiplier_) { writeTotalMultiplier_ = v; Changed(); } }
void TComTimeouts::SetWriteTotalConstant(std::int32_t v) { if (v != writeTotalConstant_) { writeTotalConstant_ = v; Changed(); } }

void TComBuffer::CopyFields(const TComBuffer& o)
{
    inputSize_ = o.inputSize_;
    outputSize_ = o.outputSize_;
}

TComBuffer& TComBuffer::operator=(const TComBuffer& other)
{
    CopyFields(other);
    Changed();
    return *this;
}

void TComBuffer::Changed()
{
    if (owner_)
        owner_->ApplyBuffer();
}

namespace {
std::int32_t EvenSize(std::int32_t v) { return v > 0 && v % 2 != 0 ? v - 1 : v; }
} // namespace

void TComBuffer::SetInputSize(std::int32_t v)
{
    v = EvenSize(v);
    if (v != inputSize_) {
        inputSize_ = v;
        Changed();
    }
}

void TComBuffer::SetOutputSize(std::int32_t v)
{
    v = EvenSize(v);
    if (v != outputSize_) {
        outputSize_ = v;
        Changed();
    }
}

// --- the component ----------------------------------------------------------

TCustomComPort::TCustomComPort(std::string name, std::unique_ptr<SerialDevice> device)
    : name_(std::move(name)), device_(std::move(device)), self_(std::make_shared<TCustomComPort*>(this))
{
}

TCustomComPort::~TCustomComPort()
{
    // Those bound to the component let go first, while it is still whole.
    auto notifications = std::move(freeNotifications_);
    freeNotifications_.clear();
    for (auto& [key, notify] : notifications)
        notify();
    try {
        Close();
    } catch (...) {
        // The abort failed; the thread and the handle must still go before
        // the component does.
    }
    if (eventThread_)
        EndEventThread();
    ReapAbandonedThreads(true);
    if (eventWindow_)
        eventWindow_->port = nullptr;
    eventWindow_.reset();
    if (handleValid_)
        DestroyHandle();
    *self_ = nullptr;
}

int TCustomComPort::AddFreeNotification(std::function<void()> notify)
{
    freeNotifications_.emplace_back(++nextFreeNotification_, std::move(notify));
    return nextFreeNotification_;
}

void TCustomComPort::RemoveFreeNotification(int key)
{
    std::erase_if(freeNotifications_, [key](const auto& entry) { return entry.first == key; });
}

void TCustomComPort::SetConnected(bool value)
{
    if (value == connected_)
        return;
    if (value)
        Open();
    else
        Close();
}

void TCustomComPort::SetBaudRate(TBaudRate v) { if (v != baudRate_) { baudRate_ = v; ApplyDCB(); } }
void TCustomComPort::SetStopBits(TStopBits v) { if (v != stopBits_) { stopBits_ = v; ApplyDCB(); } }
void TCustomComPort::SetDataBits(TDataBits v) { if (v != dataBits_) { dataBits_ = v; ApplyDCB(); } }
void TCustomComPort::SetDiscardNull(bool v) { if (v != discardNull_) { discardNull_ = v; ApplyDCB(); } }
void TCustomComPort::SetEventChar(char v) { if (v != eventChar_) { eventChar_ = v; ApplyDCB(); } }
void TCustomComPort::SetCustomBaudRate(std::int32_t v) { if (v != customBaudRate_) { customBaudRate_ = v; ApplyDCB(); } }

void TCustomComPort::SetPort(const std::string& value)
{
    if (value == port_)
        return;
    port_ = value;
    if (connected_) {
        Close();
        Open();
    }
}

void TCustomComPort::SetSyncMethod(TSyncMethod value)
{
    if (connected_)
        throw EComPort(CE_ConnChangeProp);
    syncMethod_ = value;
}

void TCustomComPort::SetEventThreadPriority(TThreadPriority value)
{
    if (connected_)
        throw EComPort(CE_ConnChangeProp);
    eventThreadPriority_ = value;
}

void TCustomComPort::BeginUpdate() { ++updateCount_; }

void TCustomComPort::EndUpdate()
{
    if (updateCount_ <= 0)
        return;
    if (--updateCount_ == 0)
        SetupComPort();
}

void TCustomComPort::CreateHandle()
{
    if (int code = device_->Open(port_))
        throw EComPort(CE_OpenFailed, code);
    handleValid_ = true;
}

void TCustomComPort::DestroyHandle()
{
    // A failed close keeps the handle value, as the device may still hold it.
    if (device_->Close() == 0)
        handleValid_ = false;
}

void TCustomComPort::SetupComPort()
{
    ApplyBuffer();
    ApplyDCB();
    ApplyTimeouts();
}

void TCustomComPort::Open()
{
    ReapAbandonedThreads(false);
    if (connected_)
        return;
    DoBeforeOpen();
    CreateHandle();
    connected_ = true;
    ++session_;
    lineLost_.store(false);
    try {
        SetupComPort();
    } catch (...) {
        DestroyHandle();
        connected_ = false;
        throw;
    }
    if (!events_.Empty()) {
        try {
            if (syncMethod_ == smWindowSync)
                eventWindow_ = std::make_shared<EventWindow>(this);
            eventThread_ = std::make_unique<TComThread>(*this);
        } catch (...) {
            // A port that cannot report its line events is not opened.
            if (eventWindow_)
                eventWindow_->port = nullptr;
            eventWindow_.reset();
            DestroyHandle();
            connected_ = false;
            throw;
        }
        threadCreated_ = true;
    }
    DoAfterOpen();
    CallCTSChange();
    CallDSRChange();
    CallRLSDChange();
}

void TCustomComPort::Close()
{
    if (!connected_)
        return;
    DoCTSChange(false);
    DoDSRChange(false);
    DoRLSDChange(false);
    DoBeforeClose();
    // A line that is gone cannot be purged; it must still be released.
    if (int code = device_->PurgeComm(serialos::kPurgeTxAbort | serialos::kPurgeRxAbort); code && !lineLost_.load())
        throw EComPort(CE_PurgeFailed, code);
    // Nothing below fails: the session ends here, so a line-lost notice still
    // queued for it (run by the hand-overs below) does not reach a port that
    // is being closed. Before this point the port stays open and keeps it.
    ++session_;
    if (threadCreated_)
        EndEventThread();
    DestroyHandle();
    connected_ = false;
    DoAfterClose();
}

void TCustomComPort::EndEventThread()
{
    if (eventThread_ && eventThread_->CalledFromDispatch()) {
        // A handler is closing its own port: the thread waits for that very
        // handler, so waiting for the thread would never end.
        eventThread_->Abandon();
        abandonedThreads_.push_back(std::move(eventThread_));
    }
    eventThread_.reset(); // stops and waits, running queued hand-overs
    threadCreated_ = false;
    if (eventWindow_)
        eventWindow_->port = nullptr;
    eventWindow_.reset();
}

void TCustomComPort::ReapAbandonedThreads(bool all)
{
    std::erase_if(abandonedThreads_, [all](const std::unique_ptr<TComThread>& t) {
        return all || t->Finished();
    });
}

void TCustomComPort::CheckHandle() const
{
    if (!handleValid_)
        throw EComPort(CEPortNotOpen);
}

std::int32_t TCustomComPort::WriteStr(const std::string& Str)
{
    return Write(Str.data(), static_cast<std::int32_t>(std::min<std::size_t>(Str.size(), INT32_MAX)));
}

std::int32_t TCustomComPort::Write(const void* Buffer, std::int32_t Count)
{
    if (Count <= 0)
        return 0;
    CheckHandle();
    std::int32_t done = 0;
    if (int code = device_->Write(Buffer, Count, done))
        throw EComPort(CE_WriteFailed, code);
    return done;
}

std::int32_t TCustomComPort::Read(void* Buffer, std::int32_t Count)
{
    if (Count <= 0)
        return 0;
    CheckHandle();
    std::int32_t done = 0;
    if (int code = device_->Read(Buffer, Count, done))
        throw EComPort(CE_ReadFailed, code);
    return done;
}

std::int32_t TCustomComPort::ReadStr(std::string& Str, std::int32_t Count)
{
    std::string block(static_cast<std::size_t>(std::clamp(Count, 0, kMaxReadBlock)), '\0');
    std::int32_t r = Read(block.data(), static_cast<std::int32_t>(block.size()));
    block.resize(static_cast<std::size_t>(r));
    Str = std::move(block);
    return r;
}

std::int32_t TCustomComPort::InputCount()
{
    std::uint32_t errors = 0;
    std::int32_t count = 0;
    if (int code = device_->ClearCommError(errors, count))
        throw EComPort(CE_ClearComFailed, code);
    return count;
}

TComSignals TCustomComPort::Signals()
{
    std::uint32_t status = 0;
    if (int code = device_->GetCommModemStatus(status))
        throw EComPort(CE_ModemStatFailed, code);
    return TComSignals::FromBits(status >> 4);
}

TComErrors TCustomComPort::LastErrors()
{
    std::uint32_t flags = 0;
    std::int32_t count = 0;
    if (int code = device_->ClearCommError(flags, count))
        throw EComPort(CE_ClearComFailed, code);
    TComErrors errors;
    if (flags & serialos::kCeFrame) errors.Include(ceFrame);
    if ((flags & serialos::kCeRxParity) && parity_.Check()) errors.Include(ceRxParity);
    if (flags & serialos::kCeOverrun) errors.Include(ceOverrun);
    if (flags & serialos::kCeBreak) errors.Include(ceBreak);
    if (flags & serialos::kCeIoe) errors.Include(ceIO);
    if (flags & serialos::kCeMode) errors.Include(ceMode);
    if (flags & serialos::kCeRxOver) errors.Include(ceRxOver);
    if (flags & serialos::kCeTxFull) errors.Include(ceTxFull);
    return errors;
}

void TCustomComPort::ShowSetupDialog()
{
    // Copied so that a dialog re-registering itself cannot pull it from under us.
    auto f = EditComPortFunction();
    if (f)
        f(*this);
}

// --- line settings --------------------------------------------------------

namespace {

std::uint8_t DtrCode(TDTRFlowControl v)
{
    switch (v) {
    case dtrEnable: return serialos::kDtrControlEnable;
    case dtrHandshake: return serialos::kDtrControlHandshake;
    default: return serialos::kDtrControlDisable;
    }
}

std::uint8_t RtsCode(TRTSFlowControl v)
{
    switch (v) {
    case rtsEnable: return serialos::kRtsControlEnable;
    case rtsHandshake: return serialos::kRtsControlHandshake;
    case rtsToggle: return serialos::kRtsControlToggle;
    default: return serialos::kRtsControlDisable;
    }
}

} // namespace

void TCustomComPort::ApplyDCB()
{
    if (!CanApply())
        return;
    DeviceControlBlock dcb;
    dcb.DCBlength = 28;
    dcb.BaudRate = baudRate_ == brCustom ? static_cast<std::uint32_t>(customBaudRate_)
                                         : static_cast<std::uint32_t>(BaudRateToInt(baudRate_));
    dcb.fBinary = true;
    dcb.fParity = parity_.Check();
    dcb.fOutxCtsFlow = flowControl_.OutCTSFlow();
    dcb.fOutxDsrFlow = flowControl_.OutDSRFlow();
    dcb.fDtrControl = DtrCode(flowControl_.ControlDTR());
    dcb.fDsrSensitivity = flowControl_.DSRSensitivity();
    dcb.fTXContinueOnXoff = flowControl_.TxContinueOnXoff();
    dcb.fOutX = flowControl_.XonXoffOut();
    dcb.fInX = flowControl_.XonXoffIn();
    dcb.fErrorChar = parity_.Check() && parity_.Replace();
    if (dcb.fErrorChar)
        dcb.ErrorChar = parity_.ReplaceChar();
    dcb.fNull = discardNull_;
    dcb.fRtsControl = RtsCode(flowControl_.ControlRTS());
    dcb.fAbortOnError = false;
    // The limits are 16-bit fields; a queue too large for them gets the largest.
    auto limit = static_cast<std::uint16_t>(std::clamp<std::int32_t>(buffer_.InputSize() / 4, 0, 0xFFFF));
    dcb.XonLim = limit;
    dcb.XoffLim = limit;
    dcb.ByteSize = static_cast<std::uint8_t>(5 + static_cast<int>(dataBits_));
    dcb.Parity = static_cast<std::uint8_t>(parity_.Bits());
    dcb.StopBits = static_cast<std::uint8_t>(stopBits_);
    dcb.XonChar = flowControl_.XonChar();
    dcb.XoffChar = flowControl_.XoffChar();
    dcb.EvtChar = eventChar_;
    if (int code = device_->SetCommState(dcb))
        throw EComPort(CE_SetStateFailed, code);
}

void TCustomComPort::ApplyTimeouts()
{
    if (!CanApply())
        return;
    DeviceTimeouts t;
    t.ReadIntervalTimeout = static_cast<std::uint32_t>(timeouts_.ReadInterval());
    t.ReadTotalTimeoutMultiplier = static_cast<std::uint32_t>(timeouts_.ReadTotalMultiplier());
    t.ReadTotalTimeoutConstant = static_cast<std::uint32_t>(timeouts_.ReadTotalConstant());
    t.WriteTotalTimeoutMultiplier = static_cast<std::uint32_t>(timeouts_.WriteTotalMultiplier());
    t.WriteTotalTimeoutConstant = static_cast<std::uint32_t>(timeouts_.WriteTotalConstant());
    if (int code = device_->SetCommTimeouts(t))
        throw EComPort(CE_TimeoutsFailed, code);
}

void TCustomComPort::ApplyBuffer()
{
    if (!CanApply())
        return;
    if (int code = device_->SetupComm(buffer_.InputSize(), buffer_.OutputSize()))
        throw EComPort(CE_SetupComFailed, code);
}

// --- raising the notifications ---------------------------------------------

void TCustomComPort::CallRxChar()
{
    std::int32_t count = InputCount();
    if (count > 0 && !triggersOnRxChar_) {
        std::vector<char> block(static_cast<std::size_t>(count));
        std::int32_t got = Read(block.data(), count);
        DoRxBuf(block.data(), got);
        count = 0;
    }
    if (count > 0)
        DoRxChar(count);
}

void TCustomComPort::CallError()
{
    TComErrors errors = LastErrors();
    if (!errors.Empty())
        DoError(errors);
}

void TCustomComPort::CallTxEmpty() { DoTxEmpty(); }
void TCustomComPort::CallBreak() { DoBreak(); }
void TCustomComPort::CallRing() { DoRing(); }
void TCustomComPort::CallRxFlag() { DoRxFlag(); }
void TCustomComPort::CallRx80Full() { DoRx80Full(); }
void TCustomComPort::CallCTSChange() { DoCTSChange(Signals().Contains(csCTS)); }
void TCustomComPort::CallDSRChange() { DoDSRChange(Signals().Contains(csDSR)); }
void TCustomComPort::CallRLSDChange() { DoRLSDChange(Signals().Contains(csRLSD)); }

void TCustomComPort::DoAfterClose() { if (OnAfterClose) OnAfterClose(*this); }
void TCustomComPort::DoAfterOpen() { if (OnAfterOpen) OnAfterOpen(*this); }
void TCustomComPort::DoBeforeClose() { if (OnBeforeClose) OnBeforeClose(*this); }
void TCustomComPort::DoBeforeOpen() { if (OnBeforeOpen) OnBeforeOpen(*this); }
void TCustomComPort::DoRxChar(std::int32_t Count) { if (OnRxChar) OnRxChar(*this, Count); }
void TCustomComPort::DoRxBuf(const void* Buffer, std::int32_t Count) { if (OnRxBuf) OnRxBuf(*this, Buffer, Count); }
void TCustomComPort::DoTxEmpty() { if (OnTxEmpty) OnTxEmpty(*this); }
void TCustomComPort::DoBreak() { if (OnBreak) OnBreak(*this); }
void TCustomComPort::DoRing() { if (OnRing) OnRing(*this); }
void TCustomComPort::DoRxFlag() { if (OnRxFlag) OnRxFlag(*this); }
void TCustomComPort::DoCTSChange(bool OnOff) { if (OnCTSChange) OnCTSChange(*this, OnOff); }
void TCustomComPort::DoDSRChange(bool OnOff) { if (OnDSRChange) OnDSRChange(*this, OnOff); }
void TCustomComPort::DoError(TComErrors Errors) { if (OnError) OnError(*this, Errors); }
void TCustomComPort::DoRLSDChange(bool OnOff) { if (OnRLSDChange) OnRLSDChange(*this, OnOff); }
void TCustomComPort::DoRx80Full() { if (OnRx80Full) OnRx80Full(*this); }
void TCustomComPort::DoEventError(const std::string& Message) { if (OnEventError) OnEventError(*this, Message); }
void TCustomComPort::DoLineLost() { if (OnLineLost) OnLineLost(*this); }

// --- hand-overs from the event thread (event thread side) ------------------

void TCustomComPort::PostEventError(const std::string& message)
{
    QueueSyncCall([self = self_, message] {
        if (TCustomComPort* port = *self)
            port->DoEventError(message);
    });
}

void TCustomComPort::PostLineLost(std::uint64_t session)
{
    QueueSyncCall([self = self_, session] {
        // Closed (and perhaps reopened) meanwhile: that session is over.
        if (TCustomComPort* port = *self; port && port->connected_ && port->session_ == session)
            port->DoLineLost();
    });
}

void TCustomComPort::PostEvents(TComEvents events)
{
    std::shared_ptr<EventWindow> window = eventWindow_;
    if (!window || events.Empty())
        return;
    {
        std::lock_guard lock(window->lock);
        bool queued = !window->pending.Empty();
        window->pending = window->pending | events;
        if (queued)
            return; // the call already queued takes these too
    }
    QueueSyncCall([window] {
        TComEvents taken;
        {
            std::lock_guard lock(window->lock);
            taken = window->pending;
            window->pending = TComEvents();
        }
        for (auto [event, op] : TComThread::kDispatchOrder) {
            if (!taken.Contains(event) || !window->port || !window->port->Connected())
                continue;
            try {
                (window->port->*op)();
            } catch (const std::exception& e) {
                // One box at a time: errors while it is shown are not stacked on it.
                if (!window->showingError) {
                    window->showingError = true;
                    Messages().ShowError(e.what());
                    window->showingError = false;
                }
            }
        }
    });
}
