#pragma once
#include "remote/line_reader.h"
#include "remote/remote_station.h"

#include <QObject>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>

class QTcpServer;
class QTcpSocket;

// Told what the clients do, for the station's records and the status bar.
class RigctlServerObserver {
public:
    virtual ~RigctlServerObserver() = default;
    virtual void ClientConnected(const std::string& /*client*/) {}
    // reason: empty when the client ended the session itself.
    virtual void ClientDisconnected(const std::string& /*client*/, const std::string& /*reason*/) {}
    // Turned away at once: kMaxClients are connected.
    virtual void ClientRefused(const std::string& /*client*/) {}
    virtual void ClientsChanged(int /*connected*/) {}
};

// A TCP server of the rigctld line protocol on the user-interface thread: the
// event loop tells it of connections and data, nothing polls, and an idle
// client costs a socket and nothing more.
//
// Commands of all clients go into one queue in the order they were read and
// are carried out one at a time, each in an event-loop turn of its own, so
// that the receive handler, the poll and repaints run between them as they
// do between the operator's clicks. A sequence pauses the thread; whatever
// arrives meanwhile waits in the socket and is read afterwards. A client
// that goes away still has the commands it sent carried out; only their
// answers are dropped. Bounds: kMaxClients at once (the next is closed at
// once), a line of LineReader::kMaxLine bytes (a longer one closes the
// client), kMaxQueuedLines waiting per client (beyond that its socket is
// left unread until it has had answers) and kMaxUnsentBytes of answers a
// client has not taken (then it is closed).
class RigctlServer : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxClients = 8;
    static constexpr int kMaxQueuedLines = 16;
    static constexpr std::int64_t kMaxUnsentBytes = 64 * 1024;

    // The observer must outlive the server.
    RigctlServer(RemoteStation& station, RigctlServerObserver& observer, QObject* parent = nullptr);
    ~RigctlServer() override;

    // Listens on address:port (port 0: any free port); false, with the
    // reason in error, when that cannot be done.
    bool Listen(const std::string& address, std::uint16_t port, std::string& error);
    bool Listening() const;
    std::uint16_t Port() const;
    int ClientCount() const;
    // Commands read and not yet carried out.
    std::size_t Queued() const { return queue_.size(); }

    // Stops listening; commands still queued are answered with an error
    // (they can no longer be carried out), then every client is closed.
    void Close();

private:
    struct Client {
        int id = 0;
        QTcpSocket* socket = nullptr;  // null once the connection is gone
        std::string name;              // "address:port"
        LineReader reader;
        int queued = 0;                // its lines in queue_
        bool closing = false;          // asked to quit: nothing more is read
    };
    struct Line {
        int client;
        std::string text;
    };

    void Accept();
    Client* Find(int id);
    // Reads what the client sent, up to the bound of its queue.
    void Read(Client& client, bool all = false);
    void Enqueue(Client& client, std::string line);
    void ScheduleNext();
    void RunNext();
    void Send(Client& client, const std::string& text);
    // The peer ended the connection.
    void Gone(int id, const std::string& reason);
    // Ends the connection from here at once.
    void Drop(Client& client, const std::string& reason);
    void Release(Client& client, const std::string& reason);
    // Only the entry points (signals, the queue's turn) forget a client whose
    // connection is gone and whose commands have all run, so a Client&
    // stays valid through everything they call.
    void ForgetIfDone(int id);

    RemoteStation& station_;
    RigctlServerObserver& observer_;
    QTcpServer* server_ = nullptr;
    std::map<int, std::unique_ptr<Client>> clients_;
    std::deque<Line> queue_;
    int nextId_ = 1;
    bool running_ = false;
    bool scheduled_ = false;
};
