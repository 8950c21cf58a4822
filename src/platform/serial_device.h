#pragma once
#include <cstdint>
#include <memory>
#include <string>

// The operating system's serial device as the port component relies on it.
// Shaped after the Windows communications calls; on POSIX the same behaviour
// is built on termios. Nothing outside platform/ includes an OS header, so
// the constants carry our own names (windows.h defines the originals as macros).
namespace serialos {

// Line event mask bits.
inline constexpr std::uint32_t kEvRxChar = 0x0001;
inline constexpr std::uint32_t kEvRxFlag = 0x0002;
inline constexpr std::uint32_t kEvTxEmpty = 0x0004;
inline constexpr std::uint32_t kEvCts = 0x0008;
inline constexpr std::uint32_t kEvDsr = 0x0010;
inline constexpr std::uint32_t kEvRlsd = 0x0020;
inline constexpr std::uint32_t kEvBreak = 0x0040;
inline constexpr std::uint32_t kEvErr = 0x0080;
inline constexpr std::uint32_t kEvRing = 0x0100;
inline constexpr std::uint32_t kEvRx80Full = 0x0400;

// Line error flags.
inline constexpr std::uint32_t kCeRxOver = 0x0001;
inline constexpr std::uint32_t kCeOverrun = 0x0002;
inline constexpr std::uint32_t kCeRxParity = 0x0004;
inline constexpr std::uint32_t kCeFrame = 0x0008;
inline constexpr std::uint32_t kCeBreak = 0x0010;
inline constexpr std::uint32_t kCeTxFull = 0x0100;
inline constexpr std::uint32_t kCeIoe = 0x0400;
inline constexpr std::uint32_t kCeMode = 0x8000;

// Modem status lines.
inline constexpr std::uint32_t kMsCtsOn = 0x10;
inline constexpr std::uint32_t kMsDsrOn = 0x20;
inline constexpr std::uint32_t kMsRingOn = 0x40;
inline constexpr std::uint32_t kMsRlsdOn = 0x80;

// Purge flags.
inline constexpr std::uint32_t kPurgeTxAbort = 0x0001;
inline constexpr std::uint32_t kPurgeRxAbort = 0x0002;
inline constexpr std::uint32_t kPurgeTxClear = 0x0004;
inline constexpr std::uint32_t kPurgeRxClear = 0x0008;

// Control block codes.
inline constexpr std::uint8_t kDtrControlDisable = 0;
inline constexpr std::uint8_t kDtrControlEnable = 1;
inline constexpr std::uint8_t kDtrControlHandshake = 2;
inline constexpr std::uint8_t kRtsControlDisable = 0;
inline constexpr std::uint8_t kRtsControlEnable = 1;
inline constexpr std::uint8_t kRtsControlHandshake = 2;
inline constexpr std::uint8_t kRtsControlToggle = 3;
inline constexpr std::uint8_t kNoParity = 0;
inline constexpr std::uint8_t kOddParity = 1;
inline constexpr std::uint8_t kEvenParity = 2;
inline constexpr std::uint8_t kMarkParity = 3;
inline constexpr std::uint8_t kSpaceParity = 4;
inline constexpr std::uint8_t kOneStopBit = 0;
inline constexpr std::uint8_t kOne5StopBits = 1;
inline constexpr std::uint8_t kTwoStopBits = 2;

} // namespace serialos

// The device control block: the fields of the Windows DCB, our own struct.
struct DeviceControlBlock {
    std::uint32_t DCBlength = 28;
    std::uint32_t BaudRate = 0;
    bool fBinary = false;
    bool fParity = false;
    bool fOutxCtsFlow = false;
    bool fOutxDsrFlow = false;
    std::uint8_t fDtrControl = 0;
    bool fDsrSensitivity = false;
    bool fTXContinueOnXoff = false;
    bool fOutX = false;
    bool fInX = false;
    bool fErrorChar = false;
    bool fNull = false;
    std::uint8_t fRtsControl = 0;
    bool fAbortOnError = false;
    std::uint16_t XonLim = 0;
    std::uint16_t XoffLim = 0;
    std::uint8_t ByteSize = 0;
    std::uint8_t Parity = 0;
    std::uint8_t StopBits = 0;
    char XonChar = 0;
    char XoffChar = 0;
    char ErrorChar = 0;
    char EofChar = 0;
    char EvtChar = 0;

    bool operator==(const DeviceControlBlock&) const = default;
};

// The five timeouts in milliseconds, handed over unchanged (0xFFFFFFFF = -1).
struct DeviceTimeouts {
    std::uint32_t ReadIntervalTimeout = 0;
    std::uint32_t ReadTotalTimeoutMultiplier = 0;
    std::uint32_t ReadTotalTimeoutConstant = 0;
    std::uint32_t WriteTotalTimeoutMultiplier = 0;
    std::uint32_t WriteTotalTimeoutConstant = 0;

    bool operator==(const DeviceTimeouts&) const = default;
};

// What ended one wait for line events.
enum class WaitOutcome {
    Events,        // events occurred; the mask holds them
    OutcomeFailed, // woken, but the outcome could not be fetched: wait again
    Stopped,       // the stop signal was raised
    WaitFailed     // the wait itself failed: the event loop ends
};

// The event thread's stop signal (manual reset, created clear).
class StopSignal {
public:
    virtual ~StopSignal() = default;
    virtual void Raise() = 0;
};

// Every call returns 0 on success or the operating system's error code.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens the named port ("COM1", a device path, ...) exclusively.
    virtual int Open(const std::string& port) = 0;
    virtual int Close() = 0;
    virtual int SetupComm(std::int32_t inputSize, std::int32_t outputSize) = 0;
    virtual int SetCommState(const DeviceControlBlock& dcb) = 0;
    virtual int SetCommTimeouts(const DeviceTimeouts& timeouts) = 0;
    // Selects the events WaitCommEvent waits for; 0 ends a pending wait.
    virtual int SetCommMask(std::uint32_t mask) = 0;

    virtual std::unique_ptr<StopSignal> CreateStopSignal() = 0;
    // Blocks in the OS wait until a selected event occurs or stop is raised.
    // kEvRxChar is reported when new bytes arrive, not while old ones wait
    // unread. Never returns at once over and over: a device that has gone
    // away reports WaitFailed (or blocks until stopped).
    virtual WaitOutcome WaitCommEvent(StopSignal& stop, std::uint32_t& events) = 0;

    // Reads at most count bytes under the read timeouts (the defaults return
    // at once with what is queued); done receives the number read.
    virtual int Read(void* buffer, std::int32_t count, std::int32_t& done) = 0;
    // Writes count bytes, waiting at most the write timeout; done receives
    // the number written (fewer on a timeout, which is no error).
    virtual int Write(const void* buffer, std::int32_t count, std::int32_t& done) = 0;

    // Reads and clears the line error flags and reads the input queue count.
    virtual int ClearCommError(std::uint32_t& errors, std::int32_t& inputCount) = 0;
    // A device without modem lines (a pseudo-terminal) reports all off.
    virtual int GetCommModemStatus(std::uint32_t& status) = 0;
    virtual int PurgeComm(std::uint32_t flags) = 0;

    // True when the open device says now that its other end has gone (a
    // hang-up), whether or not the event wait has reported it yet; false
    // where the device cannot tell.
    virtual bool LineGone() { return false; }
};

// The serial device of the operating system the program was built for.
std::unique_ptr<SerialDevice> CreateSystemSerialDevice();

// The path the port name stands for. Windows: "\\.\" + name. POSIX: a name
// beginning with "/" as it stands, "COMn" as "/dev/ttyS(n-1)", any other
// name with "/dev/" in front.
std::string SerialDevicePath(const std::string& port);
