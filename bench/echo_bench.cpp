// The receive echo: the cost of one receive event's append to the receive
// box, empty and with 1 MB of earlier replies in it. The append must not
// depend on what the box already holds.
#include "app/ui/receive_echo.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <benchmark/benchmark.h>

#include <string>

namespace {

// One poll period's replies as the modem sends them.
const std::string kEvent = ">1/BCAS_-45.3,1.0E-3,2.0E-7,4.5,7.1,50,0.0,]\r>1/CSV_+1500\rLK OK\r]\r";

QApplication& App()
{
    static int argc = 1;
    static char name[] = "echo_bench";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

void EchoEvent(benchmark::State& state)
{
    App();
    QPlainTextEdit box;
    box.resize(297, 161);
    box.show();
    ReceiveEcho echo(&box);
    const auto prefill = static_cast<std::size_t>(state.range(0));
    std::string earlier;
    while (earlier.size() < prefill)
        earlier += kEvent;
    if (!earlier.empty())
        echo.Append(earlier);
    QCoreApplication::processEvents();

    const bool repaint = state.range(1) != 0;
    for (auto _ : state) {
        echo.Append(kEvent);
        if (repaint)
            QCoreApplication::processEvents();  // the repaint that follows each event
    }
    state.counters["box_bytes"] = static_cast<double>(box.document()->characterCount());
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kEvent.size()));
}

} // namespace

// Arguments: bytes already in the box; 1 = repaint after each event.
BENCHMARK(EchoEvent)->ArgsProduct({{0, 1 << 20}, {0, 1}})->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
