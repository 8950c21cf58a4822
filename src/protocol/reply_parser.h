#pragma once
#include "protocol/program_state.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// Decoder lock shown by StaticText9. Only these two lock texts change it;
// any other lock text leaves the display as it is (no call is made).
enum class DecoderLock {
    Ok,     // "OK":  green (RGB 0,128,0),  "Decoder lock status OK"
    Fault,  // "FLT": red (RGB 255,0,0),    "Decoder lock status FAULT"
};

inline constexpr std::string_view kDecoderLockOkText = "Decoder lock status OK";
inline constexpr std::string_view kDecoderLockFaultText = "Decoder lock status FAULT";

// The lock state text of a CSV reply, compared exactly and case-sensitively.
std::optional<DecoderLock> DecoderLockFromText(std::string_view lockText);

// The four reply kinds the parser acts on.
enum class ReplyKind { Bcas, Csv, Rsl, Df };

// One handled reply as the parser took it apart, for those who keep or count
// replies (status hub, logs). Texts are as the modem sent them.
struct ParsedReply {
    ReplyKind kind = ReplyKind::Bcas;
    std::array<std::string, 7> fields;  // BCAS: the seven status fields
    std::string offset;                 // CSV: frequency offset text
    std::string lockText;               // CSV: lock state text ("OK", "FLT", ...)
    std::string level;                  // RSL: level text, marks removed
};

// The displays the parser writes; the main window implements it (and passes
// the scanner window's level label through ShowScanLevel).
class ReplyDisplay {
public:
    virtual ~ReplyDisplay() = default;
    // BCAS field k (1..7) -> Label<k> caption, replaced even when empty.
    virtual void ShowStatusField(int k, const std::string& text) = 0;
    // CSV frequency offset -> Label8 caption, replaced even when empty.
    virtual void ShowOffset(const std::string& text) = 0;
    // CSV lock state "OK" / "FLT" -> StaticText9 colour and text.
    virtual void ShowDecoderLock(DecoderLock lock) = 0;
    // RSL level -> the scanner window's Label1 caption.
    virtual void ShowScanLevel(const std::string& text) = 0;
    // After the displays of a reply are written: the reply as parsed.
    virtual void Replied(const ParsedReply&) {}
};

// RxLine never grows past this many bytes: a stream that never brings a "]"
// (noise on the line, a wrong baud rate) must not eat memory. When it would,
// the oldest bytes are dropped; a real reply is a few dozen bytes and is still
// whole in the newest ones.
inline constexpr std::size_t kRxLineLimit = 64 * 1024;

// One receive event (ComPortRxChar) after the window has read the bytes:
// ScanLevelText is emptied, every byte is appended to RxLine, and at every "]"
// the reply is handled (BCAS, CSV, RSL, DF, in that order) and RxLine emptied.
// The window does ReadStr before and the "Show receiving string" echo after.
void HandleReceived(ProgramState& state, std::string_view data, ReplyDisplay& display);

// Handles the reply that state.RxLine holds (its "]" included) without
// emptying RxLine; HandleReceived calls it at each "]".
void HandleReply(ProgramState& state, ReplyDisplay& display);
