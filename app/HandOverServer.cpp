#include "app/HandOverServer.h"

#include "app/HandOverMessage.h"

#include <QLocalSocket>
#include <QTimer>

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
        if (findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly).size() >= kMaxConnections) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        socket->setParent(this);
        auto* deadline = new QTimer(socket);
        deadline->setSingleShot(true);
        deadline->start(kConnectionTimeoutMs);
        auto buffer = std::make_shared<QByteArray>();
        // Ends the connection once: with the answer, or without one.
        auto finish = [socket, deadline](bool answer) {
            deadline->stop();
            QObject::disconnect(socket, &QLocalSocket::readyRead, nullptr, nullptr);
            if (answer) {
                socket->write(&kHandOverAccepted, 1);
                socket->flush();
                socket->disconnectFromServer();
            } else {
                socket->abort();
            }
            socket->deleteLater();
        };
        connect(deadline, &QTimer::timeout, socket, [finish] { finish(false); });
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket, buffer, finish] {
            buffer->append(socket->readAll());
            std::vector<std::string> paths;
            switch (ParseHandOver(*buffer, paths)) {
            case HandOverParse::Incomplete:
                return;
            case HandOverParse::Invalid:
                finish(false);
                return;
            case HandOverParse::Complete:
                finish(m_receiver(paths));
                return;
            }
        });
    }
}

} // namespace tessel
