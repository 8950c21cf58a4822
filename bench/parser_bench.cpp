// Reply parser throughput over what a polling, scanning session receives.
#include "protocol/reply_parser.h"

#include <benchmark/benchmark.h>

#include <array>
#include <string>
#include <string_view>

namespace {

// Keeps what a window would put in its labels, so the work is not optimised away.
class CaptionDisplay final : public ReplyDisplay {
public:
    void ShowStatusField(int k, const std::string& text) override { fields[static_cast<std::size_t>(k - 1)] = text; }
    void ShowOffset(const std::string& text) override { offset = text; }
    void ShowDecoderLock(DecoderLock l) override { lock = l; }
    void ShowScanLevel(const std::string& text) override { scan = text; }

    std::array<std::string, 7> fields;
    std::string offset;
    std::string scan;
    DecoderLock lock = DecoderLock::Fault;
};

// A poll cycle (BCAS, CSV) and a scan step (DF, RSL), plus the echoes of the
// modem's short answers, as the modem sends them.
std::string ReplyMix()
{
    const std::string_view cycle[] = {
        ">1/BCAS_<-58.3,1.2E-03,0.0E-09,0.0E-03,>12.5,50,0.0E-03,]\r\n",
        ">1/CSV_+1500\r>1/OK\r]\r\n",
        ">1/DF_137.100000]\r\n",
        ">1/RSL_-45.2dBm]\r\n",
        ">1/REM_]\r\n",
        ">1/BCAS_-61.0,2.0E-02,1.1E-05,3.0E-03,4.5,12,9.9E-02,]\r\n",
        ">1/CSV_-250\r>1/FLT\r]\r\n",
    };
    std::string mix;
    while (mix.size() < (1u << 20))
        for (auto reply : cycle)
            mix.append(reply);
    return mix;
}

// Feeds the mix in receive events of eventBytes each (1024: the driver's whole
// input queue at once; small events: bytes announced as they trickle in).
void BM_HandleReceived(benchmark::State& st)
{
    const std::string mix = ReplyMix();
    const std::size_t eventBytes = static_cast<std::size_t>(st.range(0));
    ProgramState state;
    CaptionDisplay display;
    for (auto _ : st) {
        std::string_view rest = mix;
        while (!rest.empty()) {
            const std::size_t n = rest.size() < eventBytes ? rest.size() : eventBytes;
            HandleReceived(state, rest.substr(0, n), display);
            rest.remove_prefix(n);
        }
        benchmark::DoNotOptimize(display.fields[0].data());
        benchmark::DoNotOptimize(state.LevelText.data());
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * static_cast<std::int64_t>(mix.size()));
}
BENCHMARK(BM_HandleReceived)->Arg(8)->Arg(64)->Arg(1024)->Unit(benchmark::kMillisecond);

// Noise with no "]" against the RxLine bound: the trim must stay cheap.
void BM_NoiseWithoutClose(benchmark::State& st)
{
    const std::string chunk(1024, 'x');
    ProgramState state;
    CaptionDisplay display;
    for (auto _ : st) {
        HandleReceived(state, chunk, display);
        benchmark::DoNotOptimize(state.RxLine.data());
    }
    st.SetBytesProcessed(static_cast<std::int64_t>(st.iterations()) * 1024);
}
BENCHMARK(BM_NoiseWithoutClose);

} // namespace

BENCHMARK_MAIN();
