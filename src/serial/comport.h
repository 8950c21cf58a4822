#pragma once
#include "platform/serial_device.h"
#include "serial/com_types.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class TCustomComPort;
class TComThread;
class TCustomIniFile;

// Parity settings of a port. A changed field re-applies the line settings
// of the owning port when it is open.
class TComParity {
public:
    explicit TComParity(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComParity(const TComParity& other) : owner_(nullptr) { CopyFields(other); }
    // Copies every field and re-applies the group on the owner.
    TComParity& operator=(const TComParity& other);

    TParityBits Bits() const { return bits_; }
    void SetBits(TParityBits value);
    bool Check() const { return check_; }
    void SetCheck(bool value);
    bool Replace() const { return replace_; }
    void SetReplace(bool value);
    char ReplaceChar() const { return replaceChar_; }
    void SetReplaceChar(char value);

    TCustomComPort* ComPort() const { return owner_; }

private:
    void CopyFields(const TComParity& other);
    void Changed();
    TCustomComPort* owner_;
    TParityBits bits_ = prNone;
    bool check_ = false;
    bool replace_ = false;
    char replaceChar_ = 0;
};

// Handshake and flow-control settings; FlowControl() is their summary.
class TComFlowControl {
public:
    explicit TComFlowControl(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComFlowControl(const TComFlowControl& other) : owner_(nullptr) { CopyFields(other); }
    TComFlowControl& operator=(const TComFlowControl& other);

    bool OutCTSFlow() const { return outCTSFlow_; }
    void SetOutCTSFlow(bool value);
    bool OutDSRFlow() const { return outDSRFlow_; }
    void SetOutDSRFlow(bool value);
    TDTRFlowControl ControlDTR() const { return controlDTR_; }
    void SetControlDTR(TDTRFlowControl value);
    TRTSFlowControl ControlRTS() const { return controlRTS_; }
    void SetControlRTS(TRTSFlowControl value);
    bool XonXoffOut() const { return xonXoffOut_; }
    void SetXonXoffOut(bool value);
    bool XonXoffIn() const { return xonXoffIn_; }
    void SetXonXoffIn(bool value);
    bool DSRSensitivity() const { return dsrSensitivity_; }
    void SetDSRSensitivity(bool value);
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }
    void SetTxContinueOnXoff(bool value);
    char XonChar() const { return xonChar_; }
    void SetXonChar(char value);
    char XoffChar() const { return xoffChar_; }
    void SetXoffChar(char value);

    // fcHardware, fcSoftware, fcNone from ControlRTS, OutCTSFlow and the two
    // XON/XOFF flags; fcCustom for any other combination.
    TFlowControl FlowControl() const;
    // Sets those four flags (fcCustom leaves them) and always re-applies.
    void SetFlowControl(TFlowControl value);

    TCustomComPort* ComPort() const { return owner_; }

private:
    void CopyFields(const TComFlowControl& other);
    void Changed();
    TCustomComPort* owner_;
    bool outCTSFlow_ = false;
    bool outDSRFlow_ = false;
    TDTRFlowControl controlDTR_ = dtrDisable;
    TRTSFlowControl controlRTS_ = rtsDisable;
    bool xonXoffOut_ = false;
    bool xonXoffIn_ = false;
    bool dsrSensitivity_ = false;
    bool txContinueOnXoff_ = false;
    char xonChar_ = 17;
    char xoffChar_ = 19;
};

// The five timeouts in milliseconds, handed to the device unchanged
// (-1 stands for the largest unsigned value).
class TComTimeouts {
public:
    explicit TComTimeouts(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComTimeouts(const TComTimeouts& other) : owner_(nullptr) { CopyFields(other); }
    TComTimeouts& operator=(const TComTimeouts& other);

    std::int32_t ReadInterval() const { return readInterval_; }
    void SetReadInterval(std::int32_t value);
    std::int32_t ReadTotalMultiplier() const { return readTotalMultiplier_; }
    void SetReadTotalMultiplier(std::int32_t value);
    std::int32_t ReadTotalConstant() const { return readTotalConstant_; }
    void SetReadTotalConstant(std::int32_t value);
    std::int32_t WriteTotalMultiplier() const { return writeTotalMultiplier_; }
    void SetWriteTotalMultiplier(std::int32_t value);
    std::int32_t WriteTotalConstant() const { return writeTotalConstant_; }
    void SetWriteTotalConstant(std::int32_t value);

    TCustomComPort* ComPort() const { return owner_; }

private:
    void CopyFields(const TComTimeouts& other);
    void Changed();
    TCustomComPort* owner_;
    std::int32_t readInterval_ = -1;
    std::int32_t readTotalMultiplier_ = 0;
    std::int32_t readTotalConstant_ = 0;
    std::int32_t writeTotalMultiplier_ = 100;
    std::int32_t writeTotalConstant_ = 1000;
};

// Driver queue sizes in bytes; a positive odd size is stored one lower.
class TComBuffer {
public:
    explicit TComBuffer(TCustomComPort* owner = nullptr) : owner_(owner) {}
    TComBuffer(const TComBuffer& other) : owner_(nullptr) { CopyFields(other); }
    TComBuffer& operator=(const TComBuffer& other);

    std::int32_t InputSize() const { return inputSize_; }
    void SetInputSize(std::int32_t value);
    std::int32_t OutputSize() const { return outputSize_; }
    void SetOutputSize(std::int32_t value);

    TCustomComPort* ComPort() const { return owner_; }

private:
    void CopyFields(const TComBuffer& other);
    void Changed();
    TCustomComPort* owner_;
    std::int32_t inputSize_ = 1024;
    std::int32_t outputSize_ = 1024;
};

// The serial port component: line settings of one device, open/close,
// blocking writes and reads of queued bytes, and, while open, an event
// thread whose line events become the notifications below. Every operation
// runs on the user-interface thread.
class TCustomComPort {
public:
    using TNotifyEvent = std::function<void(TCustomComPort& Sender)>;
    using TRxCharEvent = std::function<void(TCustomComPort& Sender, std::int32_t Count)>;
    using TRxBufEvent = std::function<void(TCustomComPort& Sender, const void* Buffer, std::int32_t Count)>;
    using TComSignalEvent = std::function<void(TCustomComPort& Sender, bool OnOff)>;
    using TComErrorEvent = std::function<void(TCustomComPort& Sender, TComErrors Errors)>;
    using TEventErrorEvent = std::function<void(TCustomComPort& Sender, const std::string& Message)>;

    explicit TCustomComPort(std::string name = "ComPort",
                            std::unique_ptr<SerialDevice> device = CreateSystemSerialDevice());
    // Closes the port first.
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // The component name; names the port's section in the settings file.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }

    // --- properties -------------------------------------------------------
    bool Connected() const { return connected_; }
    void SetConnected(bool value); // true opens, false closes
    TBaudRate BaudRate() const { return baudRate_; }
    void SetBaudRate(TBaudRate value);
    const std::string& Port() const { return port_; }
    // A different name (exact comparison) on an open port closes and reopens at once.
    void SetPort(const std::string& value);
    TComParity& Parity() { return parity_; }
    const TComParity& Parity() const { return parity_; }
    void SetParity(const TComParity& value) { parity_ = value; }
    TStopBits StopBits() const { return stopBits_; }
    void SetStopBits(TStopBits value);
    TDataBits DataBits() const { return dataBits_; }
    void SetDataBits(TDataBits value);
    bool DiscardNull() const { return discardNull_; }
    void SetDiscardNull(bool value);
    char EventChar() const { return eventChar_; }
    void SetEventChar(char value);
    // Takes effect at the next open.
    TComEvents Events() const { return events_; }
    void SetEvents(TComEvents value) { events_ = value; }
    TComBuffer& Buffer() { return buffer_; }
    const TComBuffer& Buffer() const { return buffer_; }
    void SetBuffer(const TComBuffer& value) { buffer_ = value; }
    TComFlowControl& FlowControl() { return flowControl_; }
    const TComFlowControl& FlowControl() const { return flowControl_; }
    void SetFlowControl(const TComFlowControl& value) { flowControl_ = value; }
    TComTimeouts& Timeouts() { return timeouts_; }
    const TComTimeouts& Timeouts() const { return timeouts_; }
    void SetTimeouts(const TComTimeouts& value) { timeouts_ = value; }
    TStoredProps StoredProps() const { return storedProps_; }
    void SetStoredProps(TStoredProps value) { storedProps_ = value; }
    bool TriggersOnRxChar() const { return triggersOnRxChar_; }
    void SetTriggersOnRxChar(bool value) { triggersOnRxChar_ = value; }
    // Error 14 while open.
    TSyncMethod SyncMethod() const { return syncMethod_; }
    void SetSyncMethod(TSyncMethod value);
    std::int32_t CustomBaudRate() const { return customBaudRate_; }
    void SetCustomBaudRate(std::int32_t value);
    // Error 14 while open.
    TThreadPriority EventThreadPriority() const { return eventThreadPriority_; }
    void SetEventThreadPriority(TThreadPriority value);

    // --- operations -------------------------------------------------------
    void Open();
    void Close();
    // Blocking write of all bytes; returns the number written (fewer when the
    // write timeout ran out). Error 24 on a closed port, 2 when the write fails.
    std::int32_t WriteStr(const std::string& Str);
    // Reads up to Count queued bytes into Str; returns their number.
    std::int32_t ReadStr(std::string& Str, std::int32_t Count);
    std::int32_t Write(const void* Buffer, std::int32_t Count);
    std::int32_t Read(void* Buffer, std::int32_t Count);
    // Bytes received and not yet read (error 10 when it cannot be read).
    std::int32_t InputCount();
    // Current modem lines (error 11).
    TComSignals Signals();
    // Reads and clears the line error flags (error 10).
    TComErrors LastErrors();

    void BeginUpdate();
    void EndUpdate();

    // Settings persistence (stIniFile: Path is the INI file).
    void LoadSettings(TStoreType StoreType, const std::string& Path);
    void StoreSettings(TStoreType StoreType, const std::string& Path);
    // Runs the function registered with SetEditComPortFunction, if any.
    void ShowSetupDialog();

    // Things bound to the component (the setup dialog's lists) ask to be told
    // when it is destroyed, and let go of it then. AddFreeNotification returns
    // the key with which one that goes first takes its request back.
    int AddFreeNotification(std::function<void()> notify);
    void RemoveFreeNotification(int key);

    // --- raising the notifications (called by the event thread's dispatch) --
    void CallRxChar();
    void CallError();
    void CallTxEmpty();
    void CallBreak();
    void CallRing();
    void CallCTSChange();
    void CallDSRChange();
    void CallRLSDChange();
    void CallRxFlag();
    void CallRx80Full();

    // True while the event thread exists (open with non-empty Events).
    bool ThreadCreated() const { return threadCreated_; }

    // --- notifications ----------------------------------------------------
    TNotifyEvent OnAfterOpen, OnAfterClose, OnBeforeOpen, OnBeforeClose;
    TRxCharEvent OnRxChar;
    TRxBufEvent OnRxBuf;
    TNotifyEvent OnTxEmpty, OnBreak, OnRing, OnRxFlag, OnRx80Full;
    TComSignalEvent OnCTSChange, OnDSRChange, OnRLSDChange;
    TComErrorEvent OnError;
    // An error raised while events were handed to the user-interface thread
    // (smThreadSync): delivery has ended until the port is closed and opened
    // again. Raised once, on the user-interface thread, after the event thread
    // has stopped delivering; the main window shows it in its error box.
    TEventErrorEvent OnEventError;
    // The line went away while open (an unplugged adapter, the other end hung
    // up): the event thread has ended. Raised once per session, on the
    // user-interface thread (smThreadSync), while the port still counts as
    // open; Close then releases it even though the line can no longer be
    // purged.
    TNotifyEvent OnLineLost;
    // True once the event thread of this session has ended because the line
    // went away (set on the event thread, before OnLineLost is queued).
    bool LineLost() const { return lineLost_.load(); }
    // True when the open port's line has gone: LineLost, or the device says
    // so now. A write that failed on the dead line asks this before the
    // event thread has taken the news in (it may be waiting to hand over the
    // bytes that came before).
    bool LineGone() { return lineLost_.load() || (handleValid_ && device_->LineGone()); }

protected:
    virtual void StoreRegistry(const std::string& key);
    virtual void StoreIniFile(TCustomIniFile& IniFile);
    virtual void LoadRegistry(const std::string& key);
    virtual void LoadIniFile(TCustomIniFile& IniFile);
    virtual void CreateHandle();
    virtual void DestroyHandle();
    virtual void SetupComPort();

    virtual void DoAfterClose();
    virtual void DoAfterOpen();
    virtual void DoBeforeClose();
    virtual void DoBeforeOpen();
    virtual void DoRxChar(std::int32_t Count);
    virtual void DoRxBuf(const void* Buffer, std::int32_t Count);
    virtual void DoTxEmpty();
    virtual void DoBreak();
    virtual void DoRing();
    virtual void DoRxFlag();
    virtual void DoCTSChange(bool OnOff);
    virtual void DoDSRChange(bool OnOff);
    virtual void DoError(TComErrors Errors);
    virtual void DoRLSDChange(bool OnOff);
    virtual void DoRx80Full();
    virtual void DoEventError(const std::string& Message);
    virtual void DoLineLost();
    virtual void ApplyDCB();
    virtual void ApplyTimeouts();
    virtual void ApplyBuffer();

    SerialDevice& Device() { return *device_; }

private:
    friend class TComThread;
    friend class TComParity;
    friend class TComFlowControl;
    friend class TComTimeouts;
    friend class TComBuffer;
    struct EventWindow;

    bool CanApply() const { return connected_ && updateCount_ <= 0; }
    void CheckHandle() const;
    // Hands an event-delivery error to OnEventError on the user-interface thread.
    void PostEventError(const std::string& message);
    // Hands the loss of the line of the given session to OnLineLost.
    void PostLineLost(std::uint64_t session);
    // Queues event codes to the user-interface thread (smWindowSync).
    void PostEvents(TComEvents events);
    // Stops and discards the event thread (Close step 4).
    void EndEventThread();
    void ReapAbandonedThreads(bool all);

    std::string name_;
    std::unique_ptr<SerialDevice> device_;
    bool handleValid_ = false;
    bool connected_ = false;
    TBaudRate baudRate_ = br9600;
    std::string port_ = "COM1";
    TComParity parity_{this};
    TStopBits stopBits_ = sbOneStopBit;
    TDataBits dataBits_ = dbEight;
    bool discardNull_ = false;
    char eventChar_ = 0;
    TComEvents events_ = TComEvents::All();
    TComBuffer buffer_{this};
    TComFlowControl flowControl_{this};
    TComTimeouts timeouts_{this};
    TStoredProps storedProps_{spBasic};
    bool triggersOnRxChar_ = true;
    TSyncMethod syncMethod_ = smThreadSync;
    std::int32_t customBaudRate_ = 9600;
    TThreadPriority eventThreadPriority_ = tpNormal;
    std::int32_t updateCount_ = 0;

    std::unique_ptr<TComThread> eventThread_;
    // Counts opens, so that a late line-lost call of an earlier session is
    // not taken for the current one.
    std::atomic<std::uint64_t> session_{0}; // read by the event thread's dispatch under smNone
    std::atomic<bool> lineLost_{false};
    bool threadCreated_ = false;
    // Threads left by a Close from inside their own dispatch; joined once ended.
    std::vector<std::unique_ptr<TComThread>> abandonedThreads_;
    std::shared_ptr<EventWindow> eventWindow_;
    // Shared with queued calls so that they can tell the component is gone.
    std::shared_ptr<TCustomComPort*> self_;
    std::vector<std::pair<int, std::function<void()>>> freeNotifications_;
    int nextFreeNotification_ = 0;
};

// The component as the main window owns it.
class TComPort : public TCustomComPort {
public:
    using TCustomComPort::TCustomComPort;
};

// Registers the function ShowSetupDialog runs (the setup dialog registers
// EditComPort); an empty function unregisters it.
void SetEditComPortFunction(std::function<void(TCustomComPort&)> f);
