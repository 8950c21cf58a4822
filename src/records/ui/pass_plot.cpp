#include "records/ui/pass_plot.h"

#include "platform/messages.h"
#include "platform/ui/guard.h"
#include "widgets/chart_scale.h"
#include "widgets/ui/chart.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QLabel>
#include <QMetaObject>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace fs = std::filesystem;

namespace {

struct StripLook {
    const char* name;
    const char* title;
    const char* unit;
    QColor colour;
    AxisRange fallback;  // while there is nothing to show
    double minSpan;      // the least range shown, so noise does not fill the strip
};

const StripLook kStrips[3] = {
    {"PassLevelChart", "Signal level", "dBm", QColor(0, 200, 0), {-60, -25, 5}, 10},
    {"PassEbnoChart", "Eb/N0", "dB", QColor(230, 230, 0), {0, 15, 5}, 10},
    {"PassOffsetChart", "Frequency offset", "Hz", QColor(0, 200, 230), {-2000, 2000, 1000}, 500},
};

constexpr int kMaxTimeMarks = 8;
constexpr int kMaxValueMarks = 5;
// Pixels for the value labels, the same in every strip so the time axes line up.
constexpr int kValueLabelsWidth = 40;

QString ToQ(const std::string& text) { return QString::fromStdString(text); }

std::int64_t ToMs(double seconds) { return static_cast<std::int64_t>(std::llround(seconds * 1000.0)); }

} // namespace

TPassPlot::TPassPlot(StationHub& hub, FileWorker& worker, std::function<fs::path(std::int64_t)> todayFile,
                     QWidget* parent)
    : QWidget(parent, Qt::Window), hub_(hub), worker_(worker), todayFile_(std::move(todayFile))
{
    setObjectName(QStringLiteral("PassPlot"));
    setWindowTitle(QStringLiteral("Pass plot"));
    resize(820, 600);

    auto* bar = new QHBoxLayout;
    open_ = new QPushButton(QStringLiteral("Open..."), this);
    open_->setObjectName(QStringLiteral("PassOpenButton"));
    open_->setToolTip(QStringLiteral("Show a pass log file"));
    today_ = new QPushButton(QStringLiteral("Today"), this);
    today_->setObjectName(QStringLiteral("PassTodayButton"));
    today_->setToolTip(QStringLiteral("Show today's pass log from the last hour on, and each poll reply as it comes"));
    follow_ = new QCheckBox(QStringLiteral("Follow"), this);
    follow_->setObjectName(QStringLiteral("PassFollowBox"));
    follow_->setToolTip(QStringLiteral("The time axis follows the pass"));
    source_ = new QLabel(this);
    source_->setObjectName(QStringLiteral("PassSource"));
    bar->addWidget(open_);
    bar->addWidget(today_);
    bar->addWidget(follow_);
    bar->addWidget(source_, 1);

    readout_ = new QLabel(this);
    readout_->setObjectName(QStringLiteral("PassReadout"));
    readout_->setAccessibleName(QStringLiteral("Values under the mouse"));
    readout_->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* column = new QVBoxLayout(this);
    column->addLayout(bar);
    column->addWidget(readout_);
    for (int i = 0; i < 3; ++i) {
        const StripLook& look = kStrips[i];
        auto* chart = new TChart(this);
        chart->setObjectName(QString::fromLatin1(look.name));
        TChartStyle& style = chart->Style();
        style.Title = QString::fromLatin1(look.title);
        style.TitleAlignment = Qt::AlignLeft;
        style.LeftLabelsWidth = kValueLabelsWidth;
        style.LeftAxis = {look.fallback.minimum, look.fallback.maximum, look.fallback.increment,
                          QString::fromLatin1(look.unit)};
        style.BottomAxis.Title = i == 2 ? QStringLiteral("UTC") : QString();
        style.BottomAxis.LabelsVisible = i == 2;
        style.BottomAxis.IncrementFor = [](double span) { return TimeIncrement(span, kMaxTimeMarks); };
        style.BottomAxis.LabelText = [](double v, double increment) { return ToQ(TimeLabel(v, increment)); };
        chart->setAccessibleName(style.Title);
        TLineSeries& series = chart->Series1();
        series.PointerVisible = false;
        series.SeriesColor = static_cast<TColor>(look.colour.red() | look.colour.green() << 8 | look.colour.blue() << 16);
        chart->SetOnViewChanged([this, chart](bool undone) { ViewChanged(chart, undone); });
        chart->SetOnHover([this](std::optional<double> x) { Hover(x); });
        column->addWidget(chart, 1);
        charts_[i] = chart;
    }

    connect(open_, &QPushButton::clicked, this, Guard([this] { OpenClicked(); }));
    connect(today_, &QPushButton::clicked, this, Guard([this] { OpenToday(); }));
    connect(follow_, &QCheckBox::clicked, this, [this](bool on) { RunGuarded([this, on] { FollowToggled(on); }); });
}

TPassPlot::~TPassPlot()
{
    if (subscribed_)
        hub_.Unsubscribe(*this);
    worker_.Flush();  // a reading under way reaches into this window
}

double TPassPlot::NowSeconds() const { return static_cast<double>(hub_.Clock().NowUtcMs()) / 1000.0; }

void TPassPlot::OpenToday()
{
    const std::int64_t now = hub_.Clock().NowUtcMs();
    window_.Follow(true);
    Read(todayFile_(now), true);
}

void TPassPlot::OpenFile(const fs::path& path)
{
    const bool today = path == todayFile_(hub_.Clock().NowUtcMs());
    if (today)
        OpenToday();
    else
        Read(path, false);
}

void TPassPlot::Read(const fs::path& path, bool live)
{
    live_ = live;
    file_ = path;
    track_.Clear();
    hoverMs_.reset();
    loading_ = true;
    FollowSamples();
    const std::uint64_t generation = ++generation_;
    source_->setText(QStringLiteral("%1%2").arg(ToQ(path.filename().string()), live ? QStringLiteral(" (live)") : QString()));
    Refresh();
    const bool queued = worker_.Post([this, path, generation] {
        PassLogReading reading = ReadPassLogFile(path);
        QMetaObject::invokeMethod(
            this, [this, generation, r = std::move(reading)]() mutable { Loaded(generation, std::move(r)); },
            Qt::QueuedConnection);
    });
    if (!queued)
        Loaded(generation, PassLogReading{{}, 0, "the disk does not keep up; try again later"});
}

void TPassPlot::Loaded(std::uint64_t generation, PassLogReading reading)
{
    if (generation != generation_)
        return;  // another file was asked for meanwhile
    loading_ = false;
    std::error_code ec;
    const bool notYet = live_ && !fs::exists(file_, ec);  // no row today so far
    if (!reading.error.empty() && !notYet)
        source_->setText(source_->text() + QStringLiteral(": ") + ToQ(reading.error));
    const bool any = !reading.samples.empty();
    const double first = any ? static_cast<double>(reading.samples.front().utcMs) / 1000.0 : 0;
    const double last = any ? static_cast<double>(reading.samples.back().utcMs) / 1000.0 : 0;
    track_.Merge(std::move(reading.samples));
    if (!live_ && any)
        window_.ShowAll(first, last);
    FollowSamples();
    Refresh();
}

void TPassPlot::OpenClicked()
{
    const fs::path today = todayFile_(hub_.Clock().NowUtcMs());
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Open a pass log"),
                                                      ToQ(today.parent_path().string()),
                                                      QStringLiteral("Pass logs (pass-*.csv);;CSV files (*.csv);;All files (*)"));
    if (!path.isEmpty())
        OpenFile(fs::path(path.toStdString()));
}

void TPassPlot::FollowToggled(bool on)
{
    if (on)
        window_.Follow(false);
    else
        window_.Moved(window_.From(), window_.To());
    FollowSamples();
    Refresh();
}

void TPassPlot::FollowSamples()
{
    const auto& s = track_.Samples();
    if (s.empty())
        window_.Empty(NowSeconds());
    else
        window_.Track(static_cast<double>(s.front().utcMs) / 1000.0, static_cast<double>(s.back().utcMs) / 1000.0);
}

void TPassPlot::showEvent(QShowEvent* event)
{
    if (!subscribed_) {
        hub_.Subscribe(*this);
        subscribed_ = true;
    }
    QWidget::showEvent(event);
}

void TPassPlot::hideEvent(QHideEvent* event)
{
    // Nothing to draw while hidden; opening again reads the day's file anew.
    if (subscribed_) {
        hub_.Unsubscribe(*this);
        subscribed_ = false;
    }
    QWidget::hideEvent(event);
}

void TPassPlot::StatusReplied(const StationStatus& status)
{
    // The rows the pass log writes: replies while the poll runs.
    if (!live_ || !status.pollRunning)
        return;
    track_.Add(SampleOf(status));
    FollowSamples();
    Refresh();
}

void TPassPlot::ViewChanged(TChart* chart, bool undone)
{
    if (undone)
        window_.Follow(true);
    else
        window_.Moved(chart->ViewXMin(), chart->ViewXMax());
    FollowSamples();
    Refresh();
}

void TPassPlot::Hover(std::optional<double> x)
{
    const PassSample* s = x ? track_.Nearest(ToMs(*x)) : nullptr;
    if (s)
        hoverMs_ = s->utcMs;
    else
        hoverMs_.reset();
    for (TChart* chart : charts_)
        chart->SetCursorX(s ? std::optional<double>(static_cast<double>(s->utcMs) / 1000.0) : std::nullopt);
    ShowReadout();
}

void TPassPlot::ShowReadout()
{
    // The sample under the mouse, else the newest one.
    const PassSample* s = hoverMs_ ? track_.Nearest(*hoverMs_) : nullptr;
    if (!s && !track_.Samples().empty())
        s = &track_.Samples().back();
    readout_->setText(s ? ToQ(ReadoutText(*s)) : (loading_ ? QStringLiteral("reading...") : QStringLiteral("no rows")));
}

void TPassPlot::Refresh()
{
    follow_->setChecked(window_.Following());
    const double from = window_.From();
    const double to = window_.To();
    // Only the samples in view (and one either side, so lines reach the edges).
    const auto& all = track_.Samples();
    PassSample probe;
    probe.utcMs = ToMs(from);
    auto first = std::lower_bound(all.begin(), all.end(), probe,
                                  [](const PassSample& a, const PassSample& b) { return a.utcMs < b.utcMs; });
    probe.utcMs = ToMs(to);
    auto last = std::upper_bound(all.begin(), all.end(), probe,
                                 [](const PassSample& a, const PassSample& b) { return a.utcMs < b.utcMs; });
    if (first != all.begin())
        --first;
    if (last != all.end())
        ++last;
    const PassPlotData data = PlotDataOf(std::deque<PassSample>(first, last));
    const StripPoints* strips[3] = {&data.level, &data.ebno, &data.offset};
    for (int i = 0; i < 3; ++i) {
        TChart* chart = charts_[i];
        TChartStyle& style = chart->Style();
        style.BottomAxis.Minimum = from;
        style.BottomAxis.Maximum = to;
        auto [lo, hi] = ValueSpan(*strips[i], from, to);
        if (hi - lo < kStrips[i].minSpan) {
            const double mid = (lo + hi) / 2;
            lo = mid - kStrips[i].minSpan / 2;
            hi = mid + kStrips[i].minSpan / 2;
        }
        const AxisRange y = NiceRange(lo, hi, kMaxValueMarks, kStrips[i].fallback);
        style.LeftAxis.Minimum = y.minimum;
        style.LeftAxis.Maximum = y.maximum;
        style.LeftAxis.Increment = y.increment;
        TLineSeries& series = chart->Series1();
        series.Active = false;  // one redraw for all the points
        series.Clear();
        for (std::size_t k = 0; k < strips[i]->x.size(); ++k)
            series.AddXY(strips[i]->x[k], strips[i]->y[k]);
        series.Active = true;
        chart->SetShadedSpans(data.lockSpans);
        chart->ShowAxes();
    }
    ShowReadout();
}
