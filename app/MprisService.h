// The player on the session bus as an MPRIS2 media player: the bus name
// org.mpris.MediaPlayer2.tessel (with ".instance<pid>" when another process
// has it) and the object /org/mpris/MediaPlayer2 with the root and Player
// interfaces. It learns the player's state by reading a snapshot (on every
// property read, and a few times a second to tell clients of changes) and
// gives its commands through one callback.
//
// Threads: GUI thread only; QtDBus delivers calls there.
#pragma once

#include "app/MprisState.h"
#include "app/UserCommands.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusError>
#include <QDBusObjectPath>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tessel {

struct MprisHooks {
    std::function<MprisSnapshot()> read;
    std::function<void(UserCommand command, double value)> command;
    // Local files from OpenUri.
    std::function<void(const std::vector<std::string>& paths)> open;
};

class CMprisService : public QObject, protected QDBusContext {
    Q_OBJECT

  public:
    static constexpr int kPollIntervalMs = 200;

    // On the bus, or nothing when there is no bus or it takes neither name:
    // the player then runs as it would without MPRIS2.
    static std::unique_ptr<CMprisService> Start(const QDBusConnection& bus, MprisHooks hooks);
    ~CMprisService() override;

    // The state as of now; tells clients what changed since the last look.
    const MprisSnapshot& Current();
    QString TrackId() const { return m_trackId; }
    QString BusName() const { return m_busName; }

    // Tells clients at once what changed (the window saw the deck change),
    // rather than at the next look.
    void Refresh() { Poll(); }
    // How often to look for changes made elsewhere (the position moving).
    void SetPollInterval(int milliseconds) { m_poll.setInterval(milliseconds); }

    // The Player interface's methods.
    void Command(UserCommand command, double value = 0);
    void Seek(qlonglong offsetMicroseconds);
    void SetPosition(const QDBusObjectPath& trackId, qlonglong positionMicroseconds);
    void OpenUri(const QString& uri);

  signals:
    void Seeked(qlonglong positionMicroseconds);

  private:
    CMprisService(const QDBusConnection& bus, MprisHooks hooks);
    void Poll(bool seekedAnyway = false);
    void SendPropertiesChanged(const QStringList& names);
    void Refuse(QDBusError::ErrorType type, const QString& why);

    QDBusConnection m_bus;
    MprisHooks m_hooks;
    MprisSnapshot m_last;
    CMprisStatusTracker m_status;
    QElapsedTimer m_sinceLast;
    QString m_trackId;
    quint64 m_trackCount = 0;
    QString m_busName;
    QTimer m_poll;
};

} // namespace tessel
