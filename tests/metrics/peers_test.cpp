// The endpoint against the real peers: promtool checks what it serves and the
// shipped rules and configuration; Debian's Prometheus scrapes the program
// every second while it polls the modem simulator.
#include "app/ui/metrics_link.h"
#include "form_fixture.h"
#include "metrics/exposition.h"
#include "sim_process.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkProxy>
#include <QNetworkReply>
#include <QTcpServer>
#include <QTest>
#include <QUrlQuery>

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <set>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

struct Output {
    int exitCode = -1;
    std::string text;  // standard output and error
};

// Runs a shell command line; its exit code and everything it printed.
Output RunCommand(const std::string& command)
{
    Output out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    char buf[4096];
    std::size_t n = 0;
    while ((n = fread(buf, 1, sizeof buf, pipe)) > 0)
        out.text.append(buf, n);
    const int status = pclose(pipe);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

void ExpectInstalled(const std::string& program)
{
    ASSERT_TRUE(std::filesystem::exists(program))
        << program << " is missing: scripts/deps installs Debian's prometheus package";
}

// promtool's verdict on an exposition text.
Output CheckMetrics(const TempDir& dir, const std::string& text)
{
    const std::string file = dir.File("metrics.txt");
    WriteFileBytes(file, text);
    return RunCommand(std::string(PROMTOOL_PROGRAM) + " check metrics < " + file);
}

TEST(Promtool, FindsNothingToSayAboutTheExposition)
{
    ExpectInstalled(PROMTOOL_PROGRAM);
    TempDir dir;
    StationStatus polling;
    polling.haveStatus = true;
    polling.statusFields = {"<-60.0", "1.0E-9", "2.0E-5", "0", "7.5", "50", "1.0E-3"};
    polling.statusUtcMs = 1'796'982'067'250;
    polling.haveOffset = true;
    polling.offsetText = "+1500";
    polling.offsetUtcMs = polling.statusUtcMs;
    polling.lock = LockState::Fault;
    polling.haveTuned = polling.haveTunedMHz = true;
    polling.tunedMHz = 137.0985;
    polling.channelIndex = 3;
    polling.channelText = "FY3A \"\\\n\xe9";  // every character that needs care in a label
    polling.portOpen = polling.pollRunning = true;
    polling.replies = {120, 118, 3, 9};
    polling.requests = 260;

    const std::pair<const char*, std::string> texts[] = {
        {"polling", MetricsText(polling, polling.statusUtcMs + 300, ProgramVersion())},
        {"stale", MetricsText(polling, polling.statusUtcMs + 60'000, ProgramVersion())},
        {"fresh start", MetricsText(StationStatus{}, 0, ProgramVersion())},
    };
    for (const auto& [name, text] : texts) {
        const Output out = CheckMetrics(dir, text);
        EXPECT_EQ(out.exitCode, 0) << name << "\n" << out.text;
        EXPECT_EQ(out.text, "") << name;
    }
}

TEST(Promtool, PassesTheShippedRulesConfigurationAndRuleTests)
{
    ExpectInstalled(PROMTOOL_PROGRAM);
    const std::string promtool = PROMTOOL_PROGRAM;
    const std::string docs = DOCS_DIR;
    const Output rules = RunCommand(promtool + " check rules " + docs + "/varnetrix-alerts.yml");
    EXPECT_EQ(rules.exitCode, 0) << rules.text;
    EXPECT_NE(rules.text.find("SUCCESS: 4 rules found"), std::string::npos) << rules.text;
    const Output config = RunCommand(promtool + " check config " + docs + "/prometheus.yml");
    EXPECT_EQ(config.exitCode, 0) << config.text;
    // The alerts fire when they should and not before (made-up series).
    const Output unit = RunCommand(promtool + " test rules " + std::string(RULES_TEST));
    EXPECT_EQ(unit.exitCode, 0) << unit.text;
    EXPECT_NE(unit.text.find("SUCCESS"), std::string::npos) << unit.text;
}

// A program of ours in the background, its output in a file; stopped with
// SIGTERM when the object goes.
class Child {
public:
    Child(std::vector<std::string> args, const std::string& logFile)
    {
        pid_ = fork();
        if (pid_ == 0) {
            const int log = open(logFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            dup2(log, 1);
            dup2(log, 2);
            std::vector<char*> argv;
            for (auto& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(argv[0], argv.data());
            _exit(127);
        }
    }
    ~Child()
    {
        if (pid_ <= 0)
            return;
        kill(pid_, SIGTERM);
        for (int i = 0; i < 1000; ++i) {
            if (waitpid(pid_, nullptr, WNOHANG) == pid_)
                return;
            usleep(10'000);
        }
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool Running() const { return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    pid_t pid_ = -1;
};

quint16 FreePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

// Keeps every signal level the program received.
class Levels final : public StationListener {
public:
    void StatusReplied(const StationStatus& s) override
    {
        if (const auto level = StatusNumber(s.statusFields[0]))
            seen.insert(*level);
    }
    std::set<double> seen;
};

class WithPrometheus : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        wakeUp_.emplace();
        net_.emplace();
        net_->setProxy(QNetworkProxy::NoProxy);
    }

    // The body of a GET, empty when it failed.
    QByteArray Get(const QUrl& url)
    {
        QNetworkRequest request(url);
        request.setTransferTimeout(3000);
        std::unique_ptr<QNetworkReply> reply(net_->get(request));
        ProcessUntil([&] { return reply->isFinished(); }, 5000);
        if (!reply->isFinished() || reply->error() != QNetworkReply::NoError)
            return {};
        return reply->readAll();
    }

    // A range query, one step a second: the values of the one series, in
    // time order, each run of equal values shown once ("1 0 1").
    std::string History(const std::string& expr, qint64 fromSecs, qint64 toSecs)
    {
        QUrl url(prometheus_ + "/api/v1/query_range");
        QUrlQuery q;
        q.addQueryItem(QStringLiteral("query"), QString::fromStdString(expr));
        q.addQueryItem(QStringLiteral("start"), QString::number(fromSecs));
        q.addQueryItem(QStringLiteral("end"), QString::number(toSecs));
        q.addQueryItem(QStringLiteral("step"), QStringLiteral("1"));
        url.setQuery(q);
        const QJsonArray result = QJsonDocument::fromJson(Get(url))
                                      .object()
                                      .value(QStringLiteral("data"))
                                      .toObject()
                                      .value(QStringLiteral("result"))
                                      .toArray();
        if (result.size() != 1)
            return "(" + std::to_string(result.size()) + " series)";
        std::string runs;
        std::string last;
        for (const auto& point : result[0].toObject().value(QStringLiteral("values")).toArray()) {
            const std::string v = point.toArray()[1].toString().toStdString();
            if (v != last)
                runs += (runs.empty() ? "" : " ") + v;
            last = v;
        }
        return runs;
    }

    // An instant query through Prometheus's HTTP API: the one sample's value.
    std::optional<std::string> Query(const std::string& expr)
    {
        QUrl url(prometheus_ + "/api/v1/query");
        QUrlQuery q;
        q.addQueryItem(QStringLiteral("query"), QString::fromStdString(expr));
        url.setQuery(q);
        const QJsonObject answer = QJsonDocument::fromJson(Get(url)).object();
        const QJsonArray result = answer.value(QStringLiteral("data")).toObject().value(QStringLiteral("result")).toArray();
        if (answer.value(QStringLiteral("status")).toString() != QStringLiteral("success") || result.size() != 1)
            return std::nullopt;
        return result[0].toObject().value(QStringLiteral("value")).toArray()[1].toString().toStdString();
    }

    // Queries until the value is wanted; false after timeoutMs.
    bool QueryUntil(const std::string& expr, const std::function<bool(const std::string&)>& wanted, int timeoutMs)
    {
        QElapsedTimer elapsed;
        elapsed.start();
        while (elapsed.elapsed() < timeoutMs) {
            const auto v = Query(expr);
            if (v && wanted(*v))
                return true;
            ProcessUntil([] { return false; }, 250);
        }
        return false;
    }

    std::string Log() const { return ReadFileBytes(dir_.File("prometheus.log")); }

    TempDir dir_;
    WorkingDirectory cwd_{dir_.Path()};
    RecordedMessages boxes_;
    std::optional<SyncWakeUp> wakeUp_;
    std::optional<QNetworkAccessManager> net_;  // made once the application is there
    QString prometheus_;
};

TEST_F(WithPrometheus, ScrapesTheLevelAndFollowsALockLossOfTheSimulator)
{
    ExpectInstalled(PROMETHEUS_PROGRAM);
    const auto started = std::chrono::steady_clock::now();
    const qint64 startedSecs = QDateTime::currentSecsSinceEpoch();
    const quint16 metricsPort = FreePort();
    const quint16 prometheusPort = FreePort();
    prometheus_ = QStringLiteral("http://127.0.0.1:%1").arg(prometheusPort);

    // The program serving, its port still closed.
    WriteFileBytes(dir_.File("varnetrixreader.ini"),
                   "[Metrics]\nEnabled=1\nPort=" + std::to_string(metricsPort) + "\n");
    TIniFile settings(SettingsFilePath());
    TForm1 f(settings);
    Levels levels;
    f.Hub.Subscribe(levels);
    MetricsLink metrics(f, settings);
    ASSERT_TRUE(metrics.Server().Listening()) << metrics.Server().Error().toStdString();

    // Prometheus scraping it every second. It applies its targets some
    // seconds after its start; the simulator starts once the first scrape is
    // in, since its lock loss is timed from its own start.
    WriteFileBytes(dir_.File("prometheus.yml"),
                   "global:\n"
                   "  scrape_interval: 1s\n"
                   "  scrape_timeout: 1s\n"
                   "scrape_configs:\n"
                   "  - job_name: varnetrix\n"
                   "    static_configs:\n"
                   "      - targets: ['127.0.0.1:" + std::to_string(metricsPort) + "']\n");
    Child prometheus({PROMETHEUS_PROGRAM, "--config.file=" + dir_.File("prometheus.yml"),
                      "--storage.tsdb.path=" + dir_.File("data"),
                      "--web.listen-address=127.0.0.1:" + std::to_string(prometheusPort)},
                     dir_.File("prometheus.log"));
    ASSERT_TRUE(ProcessUntil([&] { return Get(QUrl(prometheus_ + "/-/ready")).startsWith("Prometheus"); }, 30000))
        << Log();
    const auto is = [](const char* want) { return [want](const std::string& v) { return v == want; }; };
    ASSERT_TRUE(QueryUntil("up", is("1"), 30000)) << Log();
    EXPECT_EQ(Query("varnetrix_port_open"), "0");
    EXPECT_EQ(Query("varnetrix_signal_level_dbm"), std::nullopt);
    const double scrapedAt = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();

    // Locked on Metop-A; the lock lost 6 s after the simulator started, for 4 s.
    simtest::Sim sim({"--offset", "0", "--seed", "20", "--drop-lock", "6:4"});
    ASSERT_FALSE(sim.Path().empty());
    f.ComPort.SetPort(sim.Path());
    f.SpeedButton1->click();
    ASSERT_TRUE(f.ComPort.Connected());
    f.show();
    f.ComboBox1->setFocus();
    QTest::keyClick(f.ComboBox1, Qt::Key_Down);  // Metop-A, 147.8 MHz
    f.CheckBox1->click();
    ASSERT_TRUE(f.Timer2->isActive());

    // The level Prometheus stored is one the simulator sent: the carrier's
    // (-33 dBm with a little noise), well above the band's floor.
    std::string level;
    const auto any = [&level](const std::string& v) {
        level = v;
        return true;
    };
    ASSERT_TRUE(QueryUntil("varnetrix_signal_level_dbm", any, 10000)) << Log();
    const double dbm = std::stod(level);
    EXPECT_EQ(levels.seen.count(dbm), 1u) << level;
    EXPECT_GT(dbm, -36.0);
    EXPECT_LT(dbm, -30.0);
    std::printf("[ prometheus ] varnetrix_signal_level_dbm = %s (the program received %zu levels)\n", level.c_str(),
                levels.seen.size());

    EXPECT_TRUE(QueryUntil("varnetrix_tuned_frequency_hz", is("147800000"), 5000));
    // The lock, its loss and its return, as Prometheus saw them.
    ASSERT_TRUE(QueryUntil("varnetrix_decoder_locked", is("1"), 10000)) << "locked before the loss";
    const double lockedAt = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(QueryUntil("varnetrix_decoder_locked", is("0"), 10000)) << "the loss";
    const double lostAt = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    ASSERT_TRUE(QueryUntil("varnetrix_decoder_locked", is("1"), 10000)) << "the return";
    const double backAt = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("[ prometheus ] first scrape at %.1f s; varnetrix_decoder_locked: 1 at %.1f s, 0 at %.1f s, 1 at %.1f s\n",
                scrapedAt, lockedAt, lostAt, backAt);
    // Prometheus's own record of it: locked, lost, locked again.
    ProcessUntil([] { return false; }, 1500);
    const std::string history = History("varnetrix_decoder_locked", startedSecs, QDateTime::currentSecsSinceEpoch());
    EXPECT_EQ(history, "1 0 1");
    std::printf("[ prometheus ] varnetrix_decoder_locked over the run: %s\n", history.c_str());
    EXPECT_EQ(Query("varnetrix_poll_running"), "1");
    EXPECT_EQ(Query("varnetrix_port_open"), "1");
    EXPECT_EQ(Query("up"), "1");
    EXPECT_EQ(Query("varnetrix_build_info{version=\"" + std::string(ProgramVersion()) + "\"}"), "1");
    EXPECT_EQ(Query("varnetrix_channel_info{channel=\"Metop-A\"}"), "1");
    EXPECT_EQ(Query("varnetrix_line_losses_total"), "0");
    const auto bcas = Query("varnetrix_replies_total{mnemonic=\"BCAS\"}");
    ASSERT_TRUE(bcas);
    EXPECT_GE(std::stoi(*bcas), 10);
    std::printf("[ prometheus ] varnetrix_replies_total{mnemonic=\"BCAS\"} = %s\n", bcas->c_str());

    // What the program serves right now passes promtool.
    const QByteArray live = Get(QUrl(QStringLiteral("http://127.0.0.1:%1/metrics").arg(metricsPort)));
    ASSERT_FALSE(live.isEmpty());
    const Output check = CheckMetrics(dir_, live.toStdString());
    EXPECT_EQ(check.exitCode, 0) << check.text;
    EXPECT_EQ(check.text, "");

    EXPECT_TRUE(boxes_.errors.empty()) << boxes_.errors.front();
    EXPECT_TRUE(boxes_.messages.empty()) << boxes_.messages.front();
    EXPECT_TRUE(prometheus.Running()) << Log();
    f.Hub.Unsubscribe(levels);
    std::printf("[ prometheus ] run time %.1f s\n",
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
}

} // namespace
