#include "protocol/reply_parser.h"

namespace {

// True when the first occurrence of mnemonic begins at position 4, after the
// three-character head (">1/"). The head itself is not examined.
bool MnemonicAtHead(const std::string& line, std::string_view mnemonic)
{
    return line.find(mnemonic) == 3;
}

// Removes the first n characters, all of them when fewer remain.
void RemoveFront(std::string& line, std::size_t n)
{
    line.erase(0, n < line.size() ? n : line.size());
}

void HandleBcas(ProgramState& state, ReplyDisplay& display)
{
    std::string& line = state.RxLine;
    RemoveFront(line, 8);
    std::string fields[7];
    for (auto& field : fields) {
        const auto comma = line.find(',');
        if (comma == std::string::npos)
            continue; // no separator left: the field stays empty, the line unchanged
        field.assign(line, 0, comma);
        line.erase(0, comma + 1);
    }
    state.LevelText = fields[0];
    for (int k = 1; k <= 7; ++k)
        display.ShowStatusField(k, fields[k - 1]);

    ParsedReply reply{ReplyKind::Bcas, {}, {}, {}, {}};
    for (std::size_t k = 0; k < 7; ++k)
        reply.fields[k] = std::move(fields[k]);
    display.Replied(reply);
}

void HandleCsv(ProgramState& state, ReplyDisplay& display)
{
    std::string& line = state.RxLine;
    RemoveFront(line, 7);

    std::string offset;
    const auto cr = line.find('\r');
    if (cr != std::string::npos) {
        offset.assign(line, 0, cr);
        line.erase(0, cr + 1);
    }

    // The second line carries three characters before the lock state.
    std::string lock;
    const auto cr2 = line.find('\r');
    if (cr2 != std::string::npos && cr2 > 3)
        lock.assign(line, 3, cr2 - 3);

    display.ShowOffset(offset);
    if (const auto state9 = DecoderLockFromText(lock))
        display.ShowDecoderLock(*state9);
    display.Replied(ParsedReply{ReplyKind::Csv, {}, std::move(offset), std::move(lock), {}});
}

void HandleRsl(ProgramState& state, ReplyDisplay& display)
{
    std::string& line = state.RxLine;
    RemoveFront(line, 7);

    std::string level;
    const auto unit = line.find("dBm");
    if (unit != std::string::npos)
        level.assign(line, 0, unit);
    // At most one of each mark, "<" before ">". A level that is empty (no
    // "dBm", "dBm" at once, or "<" alone) stays empty rather than being
    // indexed past its end.
    if (!level.empty() && level.front() == '<')
        level.erase(0, 1);
    if (!level.empty() && level.front() == '>')
        level.erase(0, 1);

    state.ScanLevelText = level;
    display.ShowScanLevel(state.ScanLevelText);
    state.ScanLevelPending = false;
    display.Replied(ParsedReply{ReplyKind::Rsl, {}, {}, {}, std::move(level)});
}

} // namespace

std::optional<DecoderLock> DecoderLockFromText(std::string_view lockText)
{
    if (lockText == "OK")
        return DecoderLock::Ok;
    if (lockText == "FLT")
        return DecoderLock::Fault;
    return std::nullopt;
}

void HandleReply(ProgramState& state, ReplyDisplay& display)
{
    // Each test sees RxLine as the branches before it left it.
    if (MnemonicAtHead(state.RxLine, "BCAS"))
        HandleBcas(state, display);
    if (MnemonicAtHead(state.RxLine, "CSV"))
        HandleCsv(state, display);
    if (MnemonicAtHead(state.RxLine, "RSL"))
        HandleRsl(state, display);
    if (MnemonicAtHead(state.RxLine, "DF")) {
        state.ScanLevelRequested = false;
        display.Replied(ParsedReply{ReplyKind::Df, {}, {}, {}, {}});
    }
}

void HandleReceived(ProgramState& state, std::string_view data, ReplyDisplay& display)
{
    state.ScanLevelText.clear();

    // Byte by byte in effect, but appended a run at a time: every run ends at
    // a "]" (which closes a reply) or at the end of the data.
    while (!data.empty()) {
        const auto close = data.find(']');
        const std::size_t take = close == std::string_view::npos ? data.size() : close + 1;
        std::string_view run = data.substr(0, take);
        data.remove_prefix(take);

        // Keep only the newest kRxLineLimit bytes (see there), trimming before
        // the append so that RxLine never holds more, not even for a moment.
        if (run.size() >= kRxLineLimit) {
            state.RxLine.clear();
            run.remove_prefix(run.size() - kRxLineLimit);
        } else if (state.RxLine.size() + run.size() > kRxLineLimit) {
            state.RxLine.erase(0, state.RxLine.size() + run.size() - kRxLineLimit);
        }
        state.RxLine.append(run);

        if (close != std::string_view::npos) {
            HandleReply(state, display);
            state.RxLine.clear();
        }
    }
}
