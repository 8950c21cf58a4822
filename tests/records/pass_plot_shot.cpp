// Makes the pass plot's picture in docs/: the program's windows against the
// modem simulator, a minute of polling on Metop-A with the offset corrected
// and one loss of lock, then the pass plot, taken from the X server.
//
//   Xvfb :99 -screen 0 1280x1024x24 &
//   DISPLAY=:99 build/dev/tests/records/pass_plot_shot docs/pass-plot.png
//
// Not a test: it runs for a minute and needs a display.
#include "app/ui/form1.h"
#include "app/ui/records_link.h"
#include "platform/ini_file.h"
#include "platform/ui/guard.h"
#include "platform/ui/sync_wakeup.h"
#include "platform/workdir.h"
#include "records/ui/pass_plot.h"
#include "scanner/ui/form3.h"
#include "sim_process.h"
#include "temp_dir.h"
#include "widgets/ui/chart.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <cstdio>
#include <filesystem>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT.png [POLL_SECONDS]\n", argv[0]);
        return 2;
    }
    const QString out = QString::fromStdString(std::filesystem::absolute(argv[1]).string());
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const std::filesystem::path start = std::filesystem::current_path();
    // Lock is lost 35 s after the simulator starts, for 12 s.
    simtest::Sim sim({"--seed", "7", "--drop-lock", "35:12"});
    if (sim.Path().empty())
        return 1;
    TempDir dir;
    std::filesystem::current_path(dir.Path());
    WriteFileBytes(dir.File("varnetrixreader.ini"), "[ComPort]\nPort=" + sim.Path() + "\n");

    QApplication app(argc, argv);
    SyncWakeUp wakeUp;
    int result = 1;
    {
        TIniFile settings(SettingsFilePath());
        TForm1 form1(settings);
        TForm3 form3(form1.State, form1.PortRequests);
        form1.SetScanLevelDisplay([&form3](const std::string& text) { form3.ShowScanLevel(text); });
        RecordsLink records(form1, form3, settings);
        form1.show();
        form1.SpeedButton1->click();
        form1.ComboBox1->setCurrentIndex(1);  // Metop-A
        emit form1.ComboBox1->activated(1);
        form1.CheckBox1->click();
        QTimer::singleShot(3000, [&] { RunGuarded([&] { form1.Label8DblClick(); }); });  // the offset correction
        QTimer::singleShot(seconds * 1000, [&] {
            records.ShowPassPlot();
            TPassPlot* plot = records.PassPlot();
            plot->move(0, 0);
            plot->resize(900, 640);
        });
        QTimer::singleShot(seconds * 1000 + 2500, [&] {
            TPassPlot* plot = records.PassPlot();
            TChart* level = plot->LevelChart();
            const QRect area = level->PlotArea();
            QTest::mouseMove(level, QPoint(area.left() + area.width() * 2 / 3, area.center().y()));
        });
        QTimer::singleShot(seconds * 1000 + 3500, [&] {
            TPassPlot* plot = records.PassPlot();
            const QPixmap shot = plot->screen()->grabWindow(plot->winId());
            result = shot.save(out, "PNG") ? 0 : 1;
            form1.CheckBox1->click();  // the poll off first: quitting closes the windows, and the port with them
            QApplication::quit();
        });
        QApplication::exec();
        form1.SetScanLevelDisplay({});
    }
    std::filesystem::current_path(start);  // the settings file was written at close, in the scratch folder
    return result;
}
