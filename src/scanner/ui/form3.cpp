#include "scanner/ui/form3.h"

#include "platform/ui/form_layout.h"
#include "platform/ui/guard.h"
#include "widgets/ui/chart.h"
#include "scanner/ui/click_label.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QPushButton>
#include <QTimer>

#include <array>
#include <utility>

namespace {

using namespace Colours;

QWidget* CreateChart(const ControlLayout&, QWidget* parent) { return new TChart(parent); }

// The scanner window's layout, pixels at 96 dpi, client coordinates.
const std::array kForm3Controls = {
    ControlLayout{.name = "Button1", .kind = ControlKind::Button, .left = 8, .top = 16, .width = 65, .height = 17,
                  .text = "Scan...."},
    ControlLayout{.name = "CheckBox2", .kind = ControlKind::CheckBox, .left = 88, .top = 16, .width = 81,
                  .height = 17, .text = "0.1 MHz step", .font = DarkShadow},
    ControlLayout{.name = "CheckBox1", .kind = ControlKind::CheckBox, .left = 176, .top = 16, .width = 81,
                  .height = 17, .text = "Slow scann", .font = Grey, .background = Navy},
    ControlLayout{.name = "Label3", .kind = ControlKind::Custom, .left = 384, .top = 16, .width = 64, .height = 16,
                  .text = "Frequency", .font = Lime, .fontPx = 13, .create = &CreateLabel<TClickLabel>},
    ControlLayout{.name = "Label1", .kind = ControlKind::Custom, .left = 464, .top = 16, .width = 26, .height = 16,
                  .text = "RSL", .font = Lime, .fontPx = 13, .create = &CreateLabel<TClickLabel>},
    ControlLayout{.name = "Label2", .kind = ControlKind::Custom, .left = 512, .top = 16, .width = 30, .height = 13,
                  .text = "Status", .font = Black, .create = &CreateLabel<TClickLabel>},
    ControlLayout{.name = "Chart1", .kind = ControlKind::Custom, .left = 8, .top = 48, .width = 529, .height = 281,
                  .create = &CreateChart},
};

// The outer size under the frame the layout was drawn for (4-pixel borders
// and a title bar that, with its border, takes 30 pixels) gives the client size.
const WindowLayout kForm3Window{"SLM-7650 Frequency Scanner", QPoint(55, 575), QSize(553, 369), QSize(545, 335),
                                Navy};

constexpr int kTimer1IntervalMs = 100;

} // namespace

TForm3::TForm3(ProgramState& state, RequestPort& port, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      controller_(state, port, *this)
{
    setObjectName(QStringLiteral("Form3"));
    ApplyWindowLayout(this, kForm3Window);
    BuildControls(this, kForm3Controls);
    button1_ = FindControl<QPushButton>(this, "Button1");
    checkBox1_ = FindControl<QCheckBox>(this, "CheckBox1");
    checkBox2_ = FindControl<QCheckBox>(this, "CheckBox2");
    for (auto [label, name] : {std::pair{&label1_, "Label1"}, {&label2_, "Label2"}, {&label3_, "Label3"}})
        *label = FindControl<TClickLabel>(this, name);
    chart1_ = FindControl<TChart>(this, "Chart1");

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    // The tick paces the scan: a precise timer holds each period, where a
    // coarse one would move it by up to 5 % to share wake-ups.
    timer1_->setTimerType(Qt::PreciseTimer);
    timer1_->setInterval(kTimer1IntervalMs);
    connect(timer1_, &QTimer::timeout, this, [this] { Timer1Timer(); });
    connect(button1_, &QPushButton::clicked, this, [this] { Button1Click(); });
    connect(label2_, &TClickLabel::clicked, this, [this] { Label2Click(); });
}

TForm3::~TForm3() = default;

void TForm3::ShowScanLevel(const std::string& text)
{
    label1_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TForm3::Button1Click()
{
    RunGuarded([this] { controller_.Start(); });
}

void TForm3::Timer1Timer()
{
    RunGuarded([this] { controller_.Tick(); });
}

void TForm3::Label2Click()
{
    RunGuarded([this] { controller_.Stop(); });
}

void TForm3::FormClose()
{
    RunGuarded([this] { controller_.Close(); });
}

void TForm3::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();  // hidden, not destroyed
}

void TForm3::SetStatus(const std::string& text, TColor background)
{
    label2_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
    SetBackground(label2_, FromTColor(background));
}

void TForm3::SetFrequencyText(const std::string& text)
{
    label3_->setText(QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())));
}

void TForm3::SetStartEnabled(bool enabled) { button1_->setEnabled(enabled); }
void TForm3::StartTimer() { timer1_->start(); }
void TForm3::StopTimer() { timer1_->stop(); }
bool TForm3::TimerRunning() const { return timer1_->isActive(); }
bool TForm3::SlowScan() const { return checkBox1_->isChecked(); }
bool TForm3::FineStep() const { return checkBox2_->isChecked(); }
TChartSeries& TForm3::Series() { return chart1_->Series1(); }
void TForm3::RepaintChart() { chart1_->repaint(); }
