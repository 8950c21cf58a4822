#include "app/ui/app_main.h"

#include "app/ui/app_texts.h"
#include "app/ui/form1.h"
#include "app/ui/form2.h"
#include "app/ui/metrics_link.h"
#include "app/ui/records_link.h"
#include "app/ui/remote_link.h"
#include "app/ui/scan_events.h"
#include "app/ui/unattended.h"
#include "platform/ini_file.h"
#include "platform/messages.h"
#include "platform/ui/qt_messages.h"
#include "platform/ui/stop_signals.h"
#include "platform/ui/sync_wakeup.h"
#include "platform/workdir.h"
#include "records/program_events.h"
#include "scanner/ui/form3.h"
#include "serial/ui/com_setup.h"

#include <QApplication>

#include <exception>
#include <string>

int RunVarnetrixReader(char* programName)
{
    // SettingsFile exists before anything else and lives to the end; creating
    // it touches no file.
    TIniFile SettingsFile(SettingsFilePath());

    int argc = 1;
    char* argv[] = {programName, nullptr};
    QApplication app(argc, argv);
    QtMessageSink boxes(kApplicationTitle);
    ProgramEvents programEvents(boxes);  // the start, the end and every error shown, for the station log
    InstallMessages(&programEvents);
    SyncWakeUp wakeUp;
    RegisterComSetupDialog();

    try {
        QApplication::setApplicationName(QString::fromLatin1(kApplicationTitle));
        TForm1 Form1(SettingsFile);
        TForm2 Form2(Form1.ComPort);
        TForm3 Form3(Form1.State, Form1.PortRequests);
        Form1.SetOtherWindows(&Form2, &Form3);
        Form1.SetScanLevelDisplay([&Form3](const std::string& text) { Form3.ShowScanLevel(text); });
        ScanEventsToHub scanEvents(Form3.Controller(), Form1.Hub);
        // Before the other links: the station log hears them start and end.
        Unattended unattended(Form1, Form3.Controller(), SettingsFile, programEvents);
        MetricsLink metrics(Form1, SettingsFile);
        RecordsLink records(Form1, Form3, SettingsFile);
        RemoteLink remote(Form1, Form3.Controller(), SettingsFile);
        Form1.ArrangeStationMenu({{"PassPlot1", "PassLog1"}, {"ReconnectOnLineLoss"}, {"RemoteControl1", "ServeMetrics1"}});
        StopSignals stop([&Form1](int) { Form1.EndAtSystemsRequest(); });
        Form1.show();
        QApplication::exec();
        Form1.SetScanLevelDisplay({});  // Form3 goes first
    } catch (const std::exception& e) {
        Messages().ShowError(e.what());
    } catch (...) {
        Messages().ShowError(std::string());
    }
    InstallMessages(nullptr);
    return 0;
}
