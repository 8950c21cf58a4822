// Cost of the settings file and number functions as the program uses them:
// a channel choice reads three values, closing writes eleven, the offset
// correction and the scanner format and parse numbers.
#include "platform/profile.h"
#include "protocol/numbers.h"

#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

// A settings file as the operator keeps it: port, recall and the fifteen channels in three sections.
std::string TypicalFile()
{
    const char* keys[] = {"MetopA", "MetopB", "MetopC", "FY3A", "FY3B", "FY3C", "LRIT", "NOAA15",
                          "NOAA16", "NOAA18", "NOAA19", "MeteorMN1", "MeteorMN2", "MeteorMN22", "FY1D"};
    std::string text = "[ComPort]\r\nPort=COM1\r\nBaudRate=9600\r\nStopBits=1\r\nDataBits=8\r\n"
                       "Parity=None\r\nFlowControl=None\r\n[Recall]\r\nRecall1=MetOp\r\nRecall2=FY3A\r\n"
                       "Recall3=FY3B\r\nRecall4=LRIT\r\nRecall5=Conf.5\r\n";
    for (const char* section : {"Frequency", "Datarate", "Spectrum"}) {
        text += std::string("[") + section + "]\r\n";
        for (const char* key : keys)
            text += std::string(key) + "=147.800000\r\n";
    }
    return text;
}

class SettingsFile {
public:
    SettingsFile()
    {
        path_ = (std::filesystem::temp_directory_path() / "vr-settings-bench.ini").string();
        std::ofstream(path_, std::ios::binary) << TypicalFile();
    }
    ~SettingsFile() { std::filesystem::remove(path_); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void BM_ProfileReadLastKey(benchmark::State& state)
{
    SettingsFile file;
    for (auto _ : state)
        benchmark::DoNotOptimize(ProfileReadString("Spectrum", "FY1D", "INV", file.Path()));
}
BENCHMARK(BM_ProfileReadLastKey);

// Temporary file, fsync, rename: the price of never leaving a half-written file.
void BM_ProfileWriteExistingKey(benchmark::State& state)
{
    SettingsFile file;
    int i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(ProfileWriteString("Recall", "Recall1", "MetOp" + std::to_string(i++ % 2), file.Path()));
}
BENCHMARK(BM_ProfileWriteExistingKey)->Unit(benchmark::kMillisecond);

void BM_FloatToStrF_F96(benchmark::State& state)
{
    double v = 137.0985;
    for (auto _ : state) {
        benchmark::DoNotOptimize(FloatToStrF(v, ffFixed, 9, 6));
        v += 1e-7;
    }
}
BENCHMARK(BM_FloatToStrF_F96);

void BM_StrToFloat(benchmark::State& state)
{
    const std::string text = "  137.098500 ";
    for (auto _ : state)
        benchmark::DoNotOptimize(StrToFloat(text));
}
BENCHMARK(BM_StrToFloat);

} // namespace

BENCHMARK_MAIN();
