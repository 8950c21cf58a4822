// The metrics endpoint on the main window: from the settings file, switched
// from the Station menu, its state in the status bar.
#include "app/ui/metrics_link.h"
#include "form_fixture.h"

#include <QAction>
#include <QHostAddress>
#include <QLabel>
#include <QMenu>
#include <QTcpServer>
#include <QTcpSocket>

#include <string>

namespace {

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// One GET on the event loop; the whole answer.
std::string Get(quint16 port, const std::string& path = "/metrics")
{
    QTcpSocket socket;
    std::string reply;
    QObject::connect(&socket, &QTcpSocket::readyRead, [&] { reply += socket.readAll().toStdString(); });
    socket.connectToHost(QHostAddress::LocalHost, port);
    const std::string request = "GET " + path + " HTTP/1.0\r\n\r\n";
    socket.write(request.data(), static_cast<qint64>(request.size()));
    ProcessUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, 5000);
    return reply;
}

class Link : public FormTest {
protected:
    MetricsLink& MakeLink()
    {
        MakeForm();
        link_.emplace(Form(), *settings_);
        return *link_;
    }
    void TearDown() override
    {
        link_.reset();
        FormTest::TearDown();
    }
    std::string Panel(int i) { return Latin1(Form().StatusPanel[i]->text()); }
    std::string PanelTip(int i) { return Latin1(Form().StatusPanel[i]->toolTip()); }

    std::optional<MetricsLink> link_;
};

TEST_F(Link, OffUnlessTheSettingsSaySoAndNothingWritten)
{
    const std::string settings = "[Recall]\nButton1=Metop\n";
    WriteSettings(settings);
    MetricsLink& link = MakeLink();
    EXPECT_FALSE(link.Server().Listening());
    ASSERT_NE(link.ServeAction(), nullptr);
    EXPECT_FALSE(link.ServeAction()->isChecked());
    EXPECT_EQ(link.ServeAction()->objectName(), "ServeMetrics1");
    EXPECT_EQ(Form().StationMenu()->actions().count(link.ServeAction()), 1);
    EXPECT_EQ(Panel(1), "");
    EXPECT_TRUE(Form().Hub.NoteTexts().empty());
    link_.reset();
    EXPECT_EQ(ReadFileBytes(SettingsPath()), settings);
    EXPECT_TRUE(Form().StationMenu()->actions().isEmpty()) << "the entry goes with the endpoint";
}

TEST_F(Link, EnabledServesTheStationsStatus)
{
    const quint16 port = FreePort();
    const std::string settings = "[Metrics]\nEnabled=1\nPort=" + std::to_string(port) + "\n";
    WriteSettings(settings);
    MetricsLink& link = MakeLink();
    ASSERT_TRUE(link.Server().Listening()) << link.Server().Error().toStdString();
    EXPECT_EQ(link.Server().Port(), port);
    EXPECT_TRUE(link.ServeAction()->isChecked());
    EXPECT_EQ(Panel(1), "M");
    EXPECT_EQ(PanelTip(1), "Metrics served at http://127.0.0.1:" + std::to_string(port) + "/metrics");

    std::string reply = Get(port);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\nContent-Type: text/plain; version=0.0.4\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("\nvarnetrix_port_open 0\n"), std::string::npos) << reply;
    EXPECT_EQ(reply.find("\nvarnetrix_signal_level_dbm "), std::string::npos) << "no status reply yet";

    OpenPort();
    Receive(">1/BCAS_<-60.0,1.0E-3,2.0E-5,0,7.5,50,1.0E-3,]>1/CSV_-250\r   FLT\r]");
    reply = Get(port);
    EXPECT_NE(reply.find("\nvarnetrix_port_open 1\n"), std::string::npos) << reply;
    EXPECT_NE(reply.find("\nvarnetrix_signal_level_dbm -60\n"), std::string::npos) << reply;
    EXPECT_NE(reply.find("\nvarnetrix_frequency_offset_hz -250\n"), std::string::npos) << reply;
    EXPECT_NE(reply.find("\nvarnetrix_decoder_locked 0\n"), std::string::npos) << reply;
    EXPECT_NE(reply.find("\nvarnetrix_replies_total{mnemonic=\"BCAS\"} 1\n"), std::string::npos) << reply;

    EXPECT_EQ(Get(port, "/").rfind("HTTP/1.1 404 ", 0), 0u);
    EXPECT_EQ(ReadFileBytes(SettingsPath()), settings) << "read, never written";
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_TRUE(boxes_.messages.empty());
}

TEST_F(Link, APortInUseIsALineInTheStatusBarNotABox)
{
    QTcpServer holder;
    ASSERT_TRUE(holder.listen(QHostAddress::LocalHost, 0));
    const std::string port = std::to_string(holder.serverPort());
    WriteSettings("[Metrics]\nEnabled=1\nAddress=127.0.0.1\nPort=" + port + "\n");
    MetricsLink& link = MakeLink();
    EXPECT_FALSE(link.Server().Listening());
    EXPECT_EQ(Panel(1), "M!");
    const std::string prefix = "Metrics: cannot listen on 127.0.0.1:" + port + ": ";
    ASSERT_EQ(Form().Hub.NoteTexts().size(), 1u);
    EXPECT_EQ(Form().Hub.NoteTexts()[0].rfind(prefix, 0), 0u) << Form().Hub.NoteTexts()[0];
    EXPECT_GT(Form().Hub.NoteTexts()[0].size(), prefix.size()) << "and why";
    EXPECT_EQ(PanelTip(1), Form().Hub.NoteTexts()[0]);
    EXPECT_NE(PanelTip(2).find(prefix), std::string::npos);
    EXPECT_TRUE(boxes_.errors.empty());
    EXPECT_TRUE(boxes_.messages.empty());
}

TEST_F(Link, SettingsThatCannotBeUsedAreANote)
{
    struct Case {
        const char* section;
        const char* note;
    };
    const Case cases[] = {
        {"[Metrics]\nEnabled=0\nPort=abc\n", "Metrics settings: Port=abc is not a port number"},
        {"[Metrics]\nEnabled=yes\n", "Metrics settings: Enabled=yes is not 0 or 1"},
        {"[Metrics]\nEnabled=1\nAddress=station.example\nPort=1\n",
         "Metrics: cannot listen on station.example:1: Address=station.example is not an IP address"},
    };
    for (const Case& c : cases) {
        WriteSettings(c.section);
        MetricsLink& link = MakeLink();
        EXPECT_FALSE(link.Server().Listening()) << c.section;
        EXPECT_EQ(Form().Hub.NoteTexts(), std::vector<std::string>{c.note});
        link_.reset();
        EXPECT_TRUE(Form().Hub.NoteTexts().empty()) << "the note goes with the endpoint";
    }
    EXPECT_TRUE(boxes_.errors.empty());
}

TEST_F(Link, TheOperatorSwitchesItAndOnlyEnabledIsWritten)
{
    const quint16 port = FreePort();
    const std::string settings = "[Metrics]\nPort=" + std::to_string(port) + "\n";
    WriteSettings(settings);
    MetricsLink& link = MakeLink();
    EXPECT_FALSE(link.Server().Listening());

    link.ServeAction()->trigger();
    EXPECT_TRUE(link.ServeAction()->isChecked());
    EXPECT_EQ(settings_->ReadValue("Metrics", "Enabled", ""), "1");
    ASSERT_TRUE(link.Server().Listening());
    EXPECT_EQ(Get(port).rfind("HTTP/1.1 200 OK", 0), 0u);
    EXPECT_EQ(Panel(1), "M");

    link.ServeAction()->trigger();
    EXPECT_EQ(settings_->ReadValue("Metrics", "Enabled", ""), "0");
    EXPECT_FALSE(link.Server().Listening());
    EXPECT_EQ(Panel(1), "");
    EXPECT_EQ(ReadSettingsLines(SettingsPath()).rfind(settings.substr(0, settings.size() - 1), 0), 0u)
        << ReadFileBytes(SettingsPath());
    EXPECT_TRUE(boxes_.errors.empty());
}

} // namespace
