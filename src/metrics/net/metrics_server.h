#pragma once
#include "metrics/http_request.h"

#include <QString>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class QTcpServer;
class QTcpSocket;
class QTimer;

// Serves GET /metrics from the event loop: one request per connection,
// answered and closed (HTTP/1.0 and 1.1, Connection: close). At most a few
// connections at once; each has a deadline from its accept, and its timer
// lives only as long as the connection, so an idle server has none.
// How much one client may take: connections at once, and the time from
// accept to a complete request head.
struct MetricsServerLimits {
    int maxConnections = 4;
    int requestTimeoutMs = 5000;
};

class MetricsServer {
public:
    using Limits = MetricsServerLimits;

    // body makes the exposition for each GET /metrics.
    explicit MetricsServer(std::function<std::string()> body, Limits limits = Limits());
    ~MetricsServer();
    MetricsServer(const MetricsServer&) = delete;
    MetricsServer& operator=(const MetricsServer&) = delete;

    // Starts listening (after closing what was open). False when the address
    // is no IP address or cannot be bound; Error() then says why.
    bool Listen(const QString& address, quint16 port);
    // Stops listening and drops every open connection.
    void Close();
    bool Listening() const;
    quint16 Port() const;
    const QString& Error() const { return error_; }
    int OpenConnections() const { return static_cast<int>(connections_.size()); }
    // Deadline timers running now: one per open connection, none when idle.
    int RunningTimers() const;

    // Each answer given, for the curious (tests; the indicator's tooltip).
    std::function<void(HttpVerdict)> OnAnswered;

private:
    struct Connection;
    void Accept();
    void Read(Connection* c);
    void Answer(Connection* c, HttpVerdict verdict);
    void Expire(Connection* c);
    void Finish(Connection* c);

    std::function<std::string()> body_;
    Limits limits_;
    std::unique_ptr<QTcpServer> server_;
    std::vector<std::unique_ptr<Connection>> connections_;
    QString error_;
};
