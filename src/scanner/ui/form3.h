#pragma once
#include "protocol/program_state.h"
#include "protocol/request_port.h"
#include "scanner/scan_controller.h"

#include <QWidget>

#include <string>

class QCheckBox;
class QPushButton;
class QTimer;
class TChart;
class TClickLabel;

// The frequency scanner window (Form3): created hidden, shown by the main
// window's "Freq.Scan." button, hidden again when closed. It owns the scan
// controller and the plot; requests go out through the main window's port.
class TForm3 : public QWidget, private ScanView {
    Q_OBJECT
public:
    TForm3(ProgramState& state, RequestPort& port, QWidget* parent = nullptr);
    ~TForm3() override;

    // The level of an RSL reply, on Label1 (the reply parser calls this).
    void ShowScanLevel(const std::string& text);

    // Handlers, each through the handler guard.
    void Button1Click();
    void Timer1Timer();
    void Label2Click();
    void FormClose();

    ScanController& Controller() { return controller_; }
    QPushButton* Button1() const { return button1_; }
    QCheckBox* CheckBox1() const { return checkBox1_; }
    QCheckBox* CheckBox2() const { return checkBox2_; }
    TClickLabel* Label1() const { return label1_; }
    TClickLabel* Label2() const { return label2_; }
    TClickLabel* Label3() const { return label3_; }
    TChart* Chart1() const { return chart1_; }
    QTimer* Timer1() const { return timer1_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // ScanView
    void SetStatus(const std::string& text, TColor background) override;
    void SetFrequencyText(const std::string& text) override;
    void SetStartEnabled(bool enabled) override;
    void StartTimer() override;
    void StopTimer() override;
    bool TimerRunning() const override;
    bool SlowScan() const override;
    bool FineStep() const override;
    TChartSeries& Series() override;
    void RepaintChart() override;

    QPushButton* button1_ = nullptr;
    QCheckBox* checkBox1_ = nullptr;
    QCheckBox* checkBox2_ = nullptr;
    TClickLabel* label1_ = nullptr;
    TClickLabel* label2_ = nullptr;
    TClickLabel* label3_ = nullptr;
    TChart* chart1_ = nullptr;
    QTimer* timer1_ = nullptr;
    ScanController controller_;
};
