#include "metrics/net/metrics_server.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

struct MetricsServer::Connection {
    QTcpSocket* socket = nullptr;  // a child of the listening server
    QTimer* deadline = nullptr;    // a child of the socket
    HttpRequestReader reader;
    bool answered = false;
};

MetricsServer::MetricsServer(std::function<std::string()> body, Limits limits)
    : body_(std::move(body)), limits_(limits), server_(std::make_unique<QTcpServer>())
{
    QObject::connect(server_.get(), &QTcpServer::newConnection, server_.get(), [this] { Accept(); });
}

MetricsServer::~MetricsServer() { Close(); }

bool MetricsServer::Listen(const QString& address, quint16 port)
{
    Close();
    error_.clear();
    QHostAddress host;
    if (address.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0)
        host = QHostAddress(QHostAddress::LocalHost);
    else if (!host.setAddress(address)) {
        error_ = QStringLiteral("Address=%1 is not an IP address").arg(address);
        return false;
    }
    if (!server_->listen(host, port)) {
        error_ = server_->errorString();
        return false;
    }
    return true;
}

void MetricsServer::Close()
{
    server_->close();
    while (!connections_.empty())
        Finish(connections_.back().get());
}

bool MetricsServer::Listening() const { return server_->isListening(); }

quint16 MetricsServer::Port() const { return server_->serverPort(); }

int MetricsServer::RunningTimers() const
{
    const auto timers = server_->findChildren<QTimer*>();
    return static_cast<int>(std::count_if(timers.begin(), timers.end(), [](const QTimer* t) { return t->isActive(); }));
}

void MetricsServer::Accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        if (static_cast<int>(connections_.size()) >= limits_.maxConnections) {
            // Told at once and closed: a flood costs a write per connection
            // and never holds a slot.
            QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->write(QByteArray::fromStdString(HttpResponse(HttpVerdict::Busy)));
            socket->disconnectFromHost();
            if (OnAnswered)
                OnAnswered(HttpVerdict::Busy);
            continue;
        }
        auto c = std::make_unique<Connection>();
        Connection* raw = c.get();
        c->socket = socket;
        c->deadline = new QTimer(socket);
        c->deadline->setSingleShot(true);
        c->deadline->setTimerType(Qt::PreciseTimer);  // a coarse one may fire 5 % early
        connections_.push_back(std::move(c));
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, raw] { Read(raw); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [this, raw] { Finish(raw); });
        QObject::connect(socket, &QTcpSocket::errorOccurred, socket, [this, raw] { Finish(raw); });
        QObject::connect(raw->deadline, &QTimer::timeout, socket, [this, raw] { Expire(raw); });
        raw->deadline->start(limits_.requestTimeoutMs);
        if (socket->bytesAvailable() > 0)
            Read(raw);
    }
}

void MetricsServer::Read(Connection* c)
{
    const QByteArray bytes = c->socket->readAll();
    if (c->answered)
        return;  // anything after the head is not read
    const auto state = c->reader.Feed(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (state != HttpRequestReader::State::Reading)
        Answer(c, Judge(c->reader));
}

void MetricsServer::Answer(Connection* c, HttpVerdict verdict)
{
    std::string response;
    try {
        response = HttpResponse(verdict, verdict == HttpVerdict::Metrics ? body_() : std::string());
    } catch (...) {
        Finish(c);  // nothing to say; the scraper sees the connection close
        return;
    }
    c->answered = true;
    c->socket->write(response.data(), static_cast<qint64>(response.size()));
    if (OnAnswered)
        OnAnswered(verdict);
    // Closes once the answer is written; the deadline still covers a
    // client that never takes it.
    c->socket->disconnectFromHost();
}

void MetricsServer::Expire(Connection* c)
{
    if (!c->answered) {
        Answer(c, HttpVerdict::TimedOut);
        if (std::none_of(connections_.begin(), connections_.end(), [c](const auto& p) { return p.get() == c; }))
            return;  // the answer went out and the connection closed already
        c->socket->flush();
    }
    Finish(c);
}

void MetricsServer::Finish(Connection* c)
{
    const auto it = std::find_if(connections_.begin(), connections_.end(), [c](const auto& p) { return p.get() == c; });
    if (it == connections_.end())
        return;
    QTcpSocket* socket = c->socket;
    c->deadline->stop();
    c->deadline->disconnect();
    socket->disconnect();  // no more calls into this server from it
    connections_.erase(it);
    if (socket->state() != QAbstractSocket::UnconnectedState)
        socket->abort();
    socket->deleteLater();  // may be inside one of its own signals
}
