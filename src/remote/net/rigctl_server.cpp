#include "remote/net/rigctl_server.h"

#include "remote/rigctl.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <vector>

namespace {

// Qt reads at most this much ahead of us; the rest stays with the kernel,
// which then slows the sender down.
constexpr qint64 kReadBuffer = 4096;

std::string PeerName(const QTcpSocket& socket)
{
    const QHostAddress address = socket.peerAddress();
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
                             ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
                             : address.toString();
    return (host + QLatin1Char(':') + QString::number(socket.peerPort())).toStdString();
}

bool Blank(const std::string& line)
{
    for (char c : line)
        if (c != ' ' && c != '\t' && c != '\r')
            return false;
    return true;
}

} // namespace

RigctlServer::RigctlServer(RemoteStation& station, RigctlServerObserver& observer, QObject* parent)
    : QObject(parent), station_(station), observer_(observer), server_(new QTcpServer(this))
{
    server_->setObjectName(QStringLiteral("RemoteControlServer"));
    connect(server_, &QTcpServer::newConnection, this, [this] { Accept(); });
}

RigctlServer::~RigctlServer() { Close(); }

bool RigctlServer::Listen(const std::string& address, std::uint16_t port, std::string& error)
{
    QHostAddress host;
    if (!host.setAddress(QString::fromStdString(address))) {
        error = "\"" + address + "\" is not an IP address";
        return false;
    }
    if (!server_->listen(host, port)) {
        error = server_->errorString().toStdString();
        return false;
    }
    return true;
}

bool RigctlServer::Listening() const { return server_->isListening(); }
std::uint16_t RigctlServer::Port() const { return server_->serverPort(); }

int RigctlServer::ClientCount() const
{
    int n = 0;
    for (const auto& [id, client] : clients_)
        n += client->socket ? 1 : 0;
    return n;
}

void RigctlServer::Close()
{
    server_->close();
    // The program is closing or the server is being turned off: what is
    // queued cannot be carried out any more, and no client should wait for
    // an answer that never comes.
    const std::string refusal = "RPRT " + std::to_string(RigError::PowerOff) + "\n";
    for (const Line& line : queue_) {
        Client* client = Find(line.client);
        if (client && client->socket && !client->closing)
            client->socket->write(refusal.data(), static_cast<qint64>(refusal.size()));
    }
    queue_.clear();
    std::vector<int> open;
    for (const auto& [id, client] : clients_)
        if (client->socket)
            open.push_back(id);
    for (int id : open) {
        Client* client = Find(id);
        QTcpSocket* socket = client->socket;
        socket->disconnect(this);
        socket->flush();
        socket->disconnectFromHost();
        client->socket = nullptr;
        socket->deleteLater();
        observer_.ClientDisconnected(client->name, "remote control closed");
    }
    const bool hadClients = !open.empty();
    clients_.clear();
    if (hadClients)
        observer_.ClientsChanged(0);
}

void RigctlServer::Accept()
{
    while (QTcpSocket* socket = server_->nextPendingConnection()) {
        const std::string name = PeerName(*socket);
        if (ClientCount() >= kMaxClients) {
            observer_.ClientRefused(name);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_unique<Client>();
        client->id = nextId_++;
        client->socket = socket;
        client->name = name;
        socket->setReadBufferSize(kReadBuffer);
        const int id = client->id;
        connect(socket, &QTcpSocket::readyRead, this, [this, id] {
            if (Client* c = Find(id))
                Read(*c);
            ForgetIfDone(id);
        });
        connect(socket, &QTcpSocket::disconnected, this, [this, id] { Gone(id, {}); });
        clients_.emplace(id, std::move(client));
        observer_.ClientConnected(name);
        observer_.ClientsChanged(ClientCount());
        if (Client* c = Find(id))
            Read(*c);
        ForgetIfDone(id);
    }
}

RigctlServer::Client* RigctlServer::Find(int id)
{
    const auto it = clients_.find(id);
    return it == clients_.end() ? nullptr : it->second.get();
}

void RigctlServer::Read(Client& client, bool all)
{
    if (!client.socket || client.closing)
        return;
    char buffer[1024];
    std::vector<std::string> lines;
    while ((all || client.queued < kMaxQueuedLines) && client.socket && client.socket->bytesAvailable() > 0) {
        const qint64 n = client.socket->read(buffer, sizeof buffer);
        if (n <= 0)
            break;
        lines.clear();
        const bool fits = client.reader.Feed(std::string_view(buffer, static_cast<std::size_t>(n)), lines);
        for (std::string& line : lines)
            Enqueue(client, std::move(line));
        if (!fits) {
            Drop(client, "a line longer than " + std::to_string(LineReader::kMaxLine) + " bytes");
            return;
        }
    }
}

void RigctlServer::Enqueue(Client& client, std::string line)
{
    if (Blank(line))
        return;  // no answer is due, nothing to queue
    queue_.push_back({client.id, std::move(line)});
    ++client.queued;
    ScheduleNext();
}

void RigctlServer::ScheduleNext()
{
    if (scheduled_ || running_ || queue_.empty())
        return;
    scheduled_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            scheduled_ = false;
            RunNext();
        },
        Qt::QueuedConnection);
}

void RigctlServer::RunNext()
{
    if (running_ || queue_.empty())
        return;
    const Line line = std::move(queue_.front());
    queue_.pop_front();
    Client* client = Find(line.client);
    if (!client)
        return ScheduleNext();

    // A copy: the sequence may run a nested event loop in which anything
    // can happen to the client, up to the server being closed.
    const std::string name = client->name;
    running_ = true;
    const RigctlAnswer answer = AnswerRigctl(line.text, station_, name);
    running_ = false;

    // Whatever ran meanwhile may have changed the clients; look again. Only
    // the entry points forget a client, so the reference holds until then.
    client = Find(line.client);
    if (client) {
        --client->queued;
        if (client->socket && !client->closing && !answer.text.empty())
            Send(*client, answer.text);
        if (client->socket && !client->closing) {
            if (answer.close) {
                client->closing = true;
                // After the answer has gone; disconnected() then ends it.
                client->socket->disconnectFromHost();
            } else {
                Read(*client);  // it may have been left unread at its bound
            }
        }
    }
    ForgetIfDone(line.client);
    ScheduleNext();
}

void RigctlServer::Send(Client& client, const std::string& text)
{
    client.socket->write(text.data(), static_cast<qint64>(text.size()));
    if (client.socket->bytesToWrite() > kMaxUnsentBytes)
        Drop(client, "it does not read its answers");
}

void RigctlServer::Gone(int id, const std::string& reason)
{
    Client* client = Find(id);
    if (client && client->socket) {
        // What it sent before it went is still carried out.
        if (!client->closing) {
            Read(*client, true);
            std::string rest = client->reader.TakeRest();
            if (client->socket && !rest.empty())
                Enqueue(*client, std::move(rest));
        }
        if (client->socket)
            Release(*client, reason);
    }
    ForgetIfDone(id);
}

void RigctlServer::Drop(Client& client, const std::string& reason)
{
    if (client.socket) {
        client.socket->disconnect(this);
        client.socket->abort();
        Release(client, reason);
    }
}

void RigctlServer::Release(Client& client, const std::string& reason)
{
    QTcpSocket* socket = client.socket;
    socket->disconnect(this);
    client.socket = nullptr;
    socket->deleteLater();
    observer_.ClientDisconnected(client.name, reason);
    observer_.ClientsChanged(ClientCount());
}

void RigctlServer::ForgetIfDone(int id)
{
    Client* client = Find(id);
    if (client && !client->socket && client->queued == 0)
        clients_.erase(id);
}
