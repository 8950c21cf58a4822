// Cost of what the scanner window does per point: the immediate repaint of
// the plot, the level bar's paint at each poll tick, and the controller's
// own work over a whole scan (pauses excluded: the clock is virtual).
#include "recording_port.h"
#include "scanner/scan_controller.h"
#include "widgets/ui/chart.h"
#include "virtual_clock.h"
#include "widgets/ui/iledbar.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void BM_ChartPaint(benchmark::State& state)
{
    TChart chart;
    chart.resize(529, 281);
    const int points = static_cast<int>(state.range(0));
    for (int i = 0; i < points; ++i)
        chart.Series1().AddXY(136.0 + 0.1 * i, -55.0 + 10.0 * std::sin(i * 0.2));
    QImage image(chart.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        chart.render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_ChartPaint)->Arg(0)->Arg(96)->Arg(191);

void BM_LedBarPaint(benchmark::State& state)
{
    TiLedBar bar;
    bar.resize(505, 16);
    bar.SetPosition(static_cast<double>(state.range(0)));
    QImage image(bar.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        QPainter p(&image);
        bar.iPaintTo(p);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LedBarPaint)->Arg(-600)->Arg(-300)->Arg(-150);

class NullView final : public ScanView {
public:
    void SetStatus(const std::string&, TColor) override {}
    void SetFrequencyText(const std::string&) override {}
    void SetStartEnabled(bool) override {}
    void StartTimer() override { running = true; }
    void StopTimer() override { running = false; }
    bool TimerRunning() const override { return running; }
    bool SlowScan() const override { return false; }
    bool FineStep() const override { return fine; }
    TChartSeries& Series() override { return series; }
    void RepaintChart() override {}
    bool running = false;
    bool fine = false;
    TLineSeries series;
};

// A whole scan, the modem answering every request before the next tick.
void BM_ScanControllerWholeScan(benchmark::State& state)
{
    VirtualClock clock;
    for (auto _ : state) {
        ProgramState ps;
        RecordingPort port;
        NullView view;
        view.fine = state.range(0) != 0;
        ScanController ctl(ps, port, view);
        ctl.Start();
        while (view.running) {
            if (ctl.ScanCommand == "<1/RSL_") {
                ps.ScanLevelText = "-47.5";
                ps.ScanLevelPending = false;
            } else {
                ps.ScanLevelRequested = false;
            }
            ctl.Tick();
        }
        benchmark::DoNotOptimize(view.series.Count());
    }
}
BENCHMARK(BM_ScanControllerWholeScan)->Arg(0)->Arg(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
