#pragma once
// A rigctld client in the test's own process and thread: it writes lines
// and collects what comes back while the event loop runs, so the server it
// talks to (on the same loop) serves it meanwhile.
#include "form_fixture.h"

#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>

#include <string>

class RigClient {
public:
    explicit RigClient(std::uint16_t port, const char* host = "127.0.0.1")
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] {
            const QByteArray bytes = socket.readAll();
            received.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        });
        socket.connectToHost(QString::fromLatin1(host), port);
    }

    // Connected, or refused (false) within the time.
    bool WaitConnected(int timeoutMs = 5000)
    {
        ProcessUntil([&] { return socket.state() == QAbstractSocket::ConnectedState ||
                                  socket.state() == QAbstractSocket::UnconnectedState; },
                     timeoutMs);
        return socket.state() == QAbstractSocket::ConnectedState;
    }

    void Send(const std::string& bytes)
    {
        socket.write(bytes.data(), static_cast<qint64>(bytes.size()));
        socket.flush();  // into the kernel now, even while the loop is held
    }

    // Waits for the answer's lines (counted by line ends); all received so far.
    std::string WaitLines(std::size_t lines, int timeoutMs = 5000)
    {
        ProcessUntil([&] { return LineCount() >= lines || Closed(); }, timeoutMs);
        return received;
    }

    // Sends one command line and returns its answer of the given number of lines.
    std::string Ask(const std::string& line, std::size_t lines = 1)
    {
        received.clear();
        Send(line + "\n");
        return WaitLines(lines);
    }

    bool WaitClosed(int timeoutMs = 5000)
    {
        return ProcessUntil([&] { return Closed(); }, timeoutMs);
    }
    bool Closed() const { return socket.state() == QAbstractSocket::UnconnectedState; }

    std::size_t LineCount() const
    {
        std::size_t n = 0;
        for (char c : received)
            n += c == '\n' ? 1 : 0;
        return n;
    }

    QTcpSocket socket;
    std::string received;
};

// A port that was free a moment ago on the loopback address.
inline std::uint16_t FreePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}
