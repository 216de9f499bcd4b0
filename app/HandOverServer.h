// The running player's end of the hand-over: a local socket beside the
// single-instance lock where a second start delivers its files (see
// HandOverMessage.h). Each connection gets a few seconds to send one
// message; anything else is dropped without an answer. A proper hand-over
// arrives whole right after its connection, so while connections that stall
// fill every place, the one that has waited longest gives way to a newcomer
// rather than the newcomer being turned away.
//
// Threads: GUI thread only.
#pragma once

#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>

#include <functional>
#include <string>
#include <vector>

namespace tessel {

class CHandOverServer : public QObject {
  public:
    // Takes the paths of one message; false when they cannot be taken (the
    // player is closing), which the sender learns by getting no answer. No
    // paths at all come from a start without files.
    using Receiver = std::function<bool(const std::vector<std::string>& paths)>;

    static constexpr int kConnectionTimeoutMs = 3000;
    static constexpr int kMaxConnections = 16;

    explicit CHandOverServer(Receiver receiver, QObject* parent = nullptr);
    ~CHandOverServer() override;

    // Listens at `socketPath` for this user only. A socket file left there by
    // an instance that ended without removing it is replaced: the caller
    // holds the single-instance lock, so nobody else listens there. False
    // when it cannot listen; the player then runs on without hand-over.
    bool Listen(const QString& socketPath);
    // Stops taking connections and removes the socket file.
    void Close();

  private:
    void OnNewConnection();
    void Serve(QLocalSocket* socket);
    // Ends a connection once: with the answer, or without one.
    void Finish(QLocalSocket* socket, bool answer);

    QLocalServer m_server;
    Receiver m_receiver;
    std::vector<QLocalSocket*> m_open; // oldest first
};

} // namespace tessel
