#include "app/HandOverServer.h"

#include "app/HandOverMessage.h"

#include <QLocalSocket>
#include <QTimer>

#include <algorithm>
#include <memory>

namespace tessel {

CHandOverServer::CHandOverServer(Receiver receiver, QObject* parent)
    : QObject(parent), m_receiver(std::move(receiver)) {
    connect(&m_server, &QLocalServer::newConnection, this, [this] { OnNewConnection(); });
}

CHandOverServer::~CHandOverServer() {
    Close();
    // Connections still open end here, before the receiver they would call.
    for (QLocalSocket* socket : findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly)) {
        socket->disconnect();
        socket->abort();
        delete socket;
    }
}

bool CHandOverServer::Listen(const QString& socketPath) {
    QLocalServer::removeServer(socketPath);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    return m_server.listen(socketPath);
}

void CHandOverServer::Close() {
    m_server.close();
}

void CHandOverServer::OnNewConnection() {
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        if (m_open.size() >= static_cast<size_t>(kMaxConnections))
            Finish(m_open.front(), false);
        Serve(socket);
    }
}

void CHandOverServer::Serve(QLocalSocket* socket) {
    socket->setParent(this);
    m_open.push_back(socket);
    auto* deadline = new QTimer(socket);
    deadline->setSingleShot(true);
    deadline->start(kConnectionTimeoutMs);
    connect(deadline, &QTimer::timeout, this, [this, socket] { Finish(socket, false); });
    // A start killed mid-way frees its place at once.
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { Finish(socket, false); });
    auto buffer = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer] {
        buffer->append(socket->readAll());
        std::vector<std::string> paths;
        switch (ParseHandOver(*buffer, paths)) {
        case HandOverParse::Incomplete:
            return;
        case HandOverParse::Invalid:
            Finish(socket, false);
            return;
        case HandOverParse::Complete:
            Finish(socket, m_receiver(paths));
            return;
        }
    });
}

void CHandOverServer::Finish(QLocalSocket* socket, bool answer) {
    const auto open = std::find(m_open.begin(), m_open.end(), socket);
    if (open == m_open.end())
        return;
    m_open.erase(open);
    socket->disconnect(this);
    if (answer) {
        socket->write(&kHandOverAccepted, 1);
        socket->flush();
        socket->disconnectFromServer();
    } else {
        socket->abort();
    }
    socket->deleteLater();
}

} // namespace tessel
