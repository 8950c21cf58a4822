// The reply parser over arbitrary bytes cut into receive events at positions
// taken from the input: RxLine never grows past its bound, and every reply is
// acted on the same way whichever way the bytes were cut, so the display calls
// and the state of a cut feeding equal those of feeding the bytes in one event.
//
// Input layout: byte 0 holds the number of cut bytes (low 4 bits) and, in
// bit 7, whether the text before its first "]" is repeated until it passes
// the RxLine bound; the cut bytes follow, each one the length of a receive
// event (used in turn; none: one byte per event); the rest is the text.
#include "fuzz_support.h"
#include "protocol/reply_parser.h"

#include <algorithm>
#include <string>
#include <vector>

namespace {

// Every display call in order, as text, so that two feedings compare at once.
class RecordingDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int k, const std::string& text) override
    {
        FUZZ_CHECK(k >= 1 && k <= 7);
        calls.push_back("S" + std::to_string(k) + ":" + text);
    }
    void ShowOffset(const std::string& text) override { calls.push_back("O:" + text); }
    void ShowDecoderLock(DecoderLock lock) override { calls.push_back(lock == DecoderLock::Ok ? "L:OK" : "L:FLT"); }
    void ShowScanLevel(const std::string& text) override { calls.push_back("R:" + text); }

    std::vector<std::string> calls;
};

ProgramState Fresh()
{
    ProgramState s;
    // Both flags set, so that clearing them shows.
    s.ScanLevelPending = true;
    s.ScanLevelRequested = true;
    return s;
}

void CheckAfterEvent(const ProgramState& s)
{
    FUZZ_CHECK(s.RxLine.size() <= kRxLineLimit);
    // RxLine is emptied at every "]", so it never holds one between events.
    FUZZ_CHECK(s.RxLine.find(']') == std::string::npos);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return 0;
    const std::size_t cutCount = std::min<std::size_t>(data[0] & 0x0F, size - 1);
    const bool pastTheBound = (data[0] & 0x80) != 0;
    std::vector<std::size_t> cuts;
    for (std::size_t i = 0; i < cutCount; ++i)
        cuts.push_back(static_cast<std::size_t>(data[1 + i]) + 1); // 1 .. 256 bytes per event
    std::string text(reinterpret_cast<const char*>(data + 1 + cutCount), size - 1 - cutCount);
    if (pastTheBound) {
        // The text before the first "]" comes again and again (stray bytes past
        // the bound); the rest, replies after the noise, follows once.
        const std::size_t close = std::min(text.find(']'), text.size());
        const std::string once = text.substr(0, close);
        if (!once.empty()) {
            std::string longText;
            while (longText.size() <= kRxLineLimit + 1024)
                longText += once;
            text = longText + text.substr(close);
        }
    }

    ProgramState whole = Fresh();
    RecordingDisplay wholeCalls;
    HandleReceived(whole, text, wholeCalls);
    CheckAfterEvent(whole);

    ProgramState cut = Fresh();
    RecordingDisplay cutCalls;
    std::string_view rest = text;
    std::size_t next = 0;
    while (!rest.empty()) {
        // No cut bytes: one byte per event, the finest cutting there is.
        std::size_t n = cuts.empty() ? 1 : cuts[next++ % cuts.size()];
        if (pastTheBound)
            n *= 1024; // a few dozen events for a long text, each one trimming RxLine
        n = std::min(n, rest.size());
        HandleReceived(cut, rest.substr(0, n), cutCalls);
        CheckAfterEvent(cut);
        rest.remove_prefix(n);
    }

    FUZZ_CHECK(cutCalls.calls == wholeCalls.calls);
    FUZZ_CHECK(cut.RxLine == whole.RxLine);
    FUZZ_CHECK(cut.LevelText == whole.LevelText);
    FUZZ_CHECK(cut.ScanLevelPending == whole.ScanLevelPending);
    FUZZ_CHECK(cut.ScanLevelRequested == whole.ScanLevelRequested);
    // The level an RSL reply leaves lasts only for the event that brought it.
    if (!cutCalls.calls.empty() && cutCalls.calls.back().rfind("R:", 0) == 0)
        FUZZ_CHECK(whole.ScanLevelText == cutCalls.calls.back().substr(2));
    return 0;
}
