#include "app/HandOverClient.h"

#include "app/HandOverMessage.h"

#include <QElapsedTimer>
#include <QLocalSocket>

namespace tessel {

HandOverResult SendToRunningInstance(const QString& socketPath,
                                     const std::vector<std::string>& paths,
                                     std::chrono::milliseconds patience) {
    QElapsedTimer clock;
    clock.start();
    auto left = [&] {
        return std::max<int>(1, static_cast<int>(patience.count() - clock.elapsed()));
    };

    QLocalSocket socket;
    socket.connectToServer(socketPath);
    // A stopped player's socket still takes the connection and the bytes:
    // the kernel queues them for it.
    if (!socket.waitForConnected(left()))
        return HandOverResult::NoListener;
    const QByteArray message = EncodeHandOver(paths);
    if (socket.write(message) != message.size())
        return HandOverResult::NoListener;
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(left()))
            return socket.state() == QLocalSocket::ConnectedState ? HandOverResult::Unanswered
                                                                  : HandOverResult::NoListener;
    }
    while (socket.bytesAvailable() < 1) {
        if (!socket.waitForReadyRead(left()))
            return socket.state() == QLocalSocket::ConnectedState ? HandOverResult::Unanswered
                                                                  : HandOverResult::NoListener;
    }
    char answer = 0;
    socket.getChar(&answer);
    return answer == kHandOverAccepted ? HandOverResult::Accepted : HandOverResult::NoListener;
}

} // namespace tessel
