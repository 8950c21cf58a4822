// Network control's line protocol over arbitrary client bytes: the line
// reader never holds or hands out more than its bound, every line gets a
// whole answer (or none, for blank and comment lines), and the station is
// asked to tune only within 100-200 MHz, to channels 1-15 and recalls 1-5,
// once per line at most, and never while its port is closed or a scan runs.
//
// Input layout, parts separated by 0xFF: the client's bytes; the level field
// of the last BCAS reply; the last DF text sent; a flags byte (bit 0 port
// open, bit 1 scanning, bits 2-3: a sequence raises nothing, a conversion
// error or a write error; bits 4-7 the size of the pieces the bytes arrive in,
// 0: all at once).
#include "fuzz_support.h"
#include "protocol/numbers.h"
#include "remote/line_reader.h"
#include "remote/rigctl.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace {

class FuzzStation final : public RemoteStation {
public:
    const StationStatus& Status() const override { return status; }
    bool PortOpen() const override { return open; }
    bool Scanning() const override { return scanning; }
    void Tune(double mhz) override
    {
        FUZZ_CHECK(mhz >= 100.0 && mhz <= 200.0);
        Called();
    }
    void ChooseChannel(int index, const std::string& client) override
    {
        FUZZ_CHECK(index >= 0 && index <= 14);
        FUZZ_CHECK(client == "fuzz");
        Called();
    }
    void Recall(int n, const std::string& client) override
    {
        FUZZ_CHECK(n >= 1 && n <= 5);
        FUZZ_CHECK(client == "fuzz");
        Called();
    }

    StationStatus status;
    bool open = true;
    bool scanning = false;
    int failure = 0;
    int calls = 0;

private:
    void Called()
    {
        FUZZ_CHECK(open && !scanning);
        ++calls;
        if (failure == 1)
            throw EConvertError("'x' is not a valid floating point value");
        if (failure == 2)
            throw std::runtime_error("WriteFile function failed");
    }
};

void Answer(FuzzStation& station, const std::string& line)
{
    FUZZ_CHECK(line.size() <= LineReader::kMaxLine);
    FUZZ_CHECK(line.find('\n') == std::string::npos);
    const int before = station.calls;
    const RigctlAnswer answer = AnswerRigctl(line, station, "fuzz");
    FUZZ_CHECK(station.calls - before <= 1);
    const auto parsed = ParseRigctlLine(line);
    FUZZ_CHECK(answer.text.empty() == !parsed.has_value());
    if (answer.text.empty())
        return;
    FUZZ_CHECK(answer.text.back() == '\n');
    if (answer.close)
        FUZZ_CHECK(answer.text == "RPRT 0\n");
    // A default-form answer that reports ends with its one report line.
    const std::size_t report = answer.text.rfind("RPRT ");
    if (report != std::string::npos && !parsed->extended && station.calls > before)
        FUZZ_CHECK(report == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::vector<std::string> parts = SplitInput(data, size, 4);
    FuzzStation station;
    if (!parts[1].empty()) {
        station.status.haveStatus = true;
        station.status.statusFields[0] = parts[1];
    }
    if (!parts[2].empty()) {
        station.status.haveTuned = true;
        station.status.tunedText = parts[2];
        station.status.haveTunedMHz = TryStrToFloat(parts[2], station.status.tunedMHz);
    }
    const unsigned flags = parts[3].empty() ? 1u : static_cast<unsigned char>(parts[3][0]);
    station.open = flags & 1u;
    station.scanning = flags & 2u;
    station.failure = static_cast<int>((flags >> 2) & 3u) % 3;
    const std::size_t piece = (flags >> 4) & 15u;

    const std::string& stream = parts[0];
    LineReader reader;
    std::vector<std::string> lines;
    bool fits = true;
    for (std::size_t at = 0; at < stream.size() && fits;) {
        const std::size_t n = piece ? piece : stream.size();
        lines.clear();
        fits = reader.Feed(std::string_view(stream).substr(at, n), lines);
        FUZZ_CHECK(reader.Pending() <= LineReader::kMaxLine + 1);
        for (const std::string& line : lines)
            Answer(station, line);
        at += n;
    }
    if (fits) {
        const std::string rest = reader.TakeRest();
        if (!rest.empty())
            Answer(station, rest);
    }
    return 0;
}
