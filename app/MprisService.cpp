#include "app/MprisService.h"

#include "app/MprisAdaptors.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <unistd.h>

namespace tessel {

std::unique_ptr<CMprisService> CMprisService::Start(const QDBusConnection& bus, MprisHooks hooks) {
    if (!bus.isConnected() || !hooks.read || !hooks.command)
        return nullptr;
    std::unique_ptr<CMprisService> service(new CMprisService(bus, std::move(hooks)));
    // The object first, so a client that sees the name finds it.
    if (!service->m_bus.registerObject(QString::fromLatin1(kMprisPath), service.get()))
        return nullptr;
    const QString name = QString::fromLatin1(kMprisBusName);
    const QString instanceName = name + QStringLiteral(".instance%1").arg(::getpid());
    for (const QString& candidate : {name, instanceName}) {
        if (service->m_bus.registerService(candidate)) {
            service->m_busName = candidate;
            return service;
        }
    }
    return nullptr;
}

CMprisService::CMprisService(const QDBusConnection& bus, MprisHooks hooks)
    : m_bus(bus), m_hooks(std::move(hooks)), m_trackId(QString::fromLatin1(kMprisNoTrack)) {
    new CMprisRootAdaptor(this);
    new CMprisPlayerAdaptor(this);
    m_last = m_hooks.read();
    m_last.status = m_status.Update(m_last);
    // A track may be loaded before the service starts.
    m_trackId = TrackIdOf(m_last, ++m_trackCount);
    m_sinceLast.start();
    m_poll.setInterval(kPollIntervalMs);
    connect(&m_poll, &QTimer::timeout, this, [this] { Poll(); });
    m_poll.start();
}

CMprisService::~CMprisService() {
    m_poll.stop();
    if (!m_busName.isEmpty())
        m_bus.unregisterService(m_busName);
    m_bus.unregisterObject(QString::fromLatin1(kMprisPath));
}

const MprisSnapshot& CMprisService::Current() {
    Poll();
    return m_last;
}

void CMprisService::Poll(bool seekedAnyway) {
    MprisSnapshot now = m_hooks.read();
    now.status = m_status.Update(now);
    const double wall = m_sinceLast.restart() / 1000.0;
    const bool jumped = PositionJumped(m_last, now, wall);
    if (now.path != m_last.path || now.entry != m_last.entry)
        m_trackId = TrackIdOf(now, ++m_trackCount);
    const QStringList changed = ChangedPlayerProperties(m_last, now);
    m_last = now;
    if (!changed.isEmpty())
        SendPropertiesChanged(changed);
    if (jumped || seekedAnyway)
        emit Seeked(ToMicroseconds(now.positionSeconds));
}

void CMprisService::SendPropertiesChanged(const QStringList& names) {
    QVariantMap values;
    for (const QString& name : names) {
        if (name == QLatin1String("PlaybackStatus"))
            values.insert(name, StatusName(m_last.status));
        else if (name == QLatin1String("Metadata"))
            values.insert(name, MetadataOf(m_last, m_trackId));
        else if (name == QLatin1String("Volume"))
            values.insert(name, m_last.volume);
        else if (name == QLatin1String("CanGoNext"))
            values.insert(name, m_last.canGoNext);
        else if (name == QLatin1String("CanGoPrevious"))
            values.insert(name, m_last.canGoPrevious);
        else if (name == QLatin1String("CanPlay"))
            values.insert(name, m_last.canPlay);
        else if (name == QLatin1String("CanPause"))
            values.insert(name, m_last.canPause);
        else if (name == QLatin1String("CanSeek"))
            values.insert(name, m_last.canSeek);
        else if (name == QLatin1String("LoopStatus"))
            values.insert(name, LoopStatusName(m_last.repeat));
        else if (name == QLatin1String("Shuffle"))
            values.insert(name, IsShuffled(m_last.shuffle));
    }
    QDBusMessage signal = QDBusMessage::createSignal(
        QString::fromLatin1(kMprisPath), QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(kMprisPlayerInterface) << values << QStringList();
    m_bus.send(signal);
}

void CMprisService::Command(UserCommand command, double value) {
    m_hooks.command(command, value);
    if (command == UserCommand::Stop)
        m_status.OnStop();
    Poll();
}

void CMprisService::Seek(qlonglong offsetMicroseconds) {
    const MprisSnapshot& now = Current();
    if (!now.canSeek)
        return;
    const double target = now.positionSeconds + offsetMicroseconds / 1e6;
    // Past the end is the next track, as if the track had played out.
    if (target >= now.lengthSeconds) {
        Command(UserCommand::Next);
        return;
    }
    m_hooks.command(UserCommand::SeekTo, std::max(0.0, target));
    Poll(true);
}

void CMprisService::SetPosition(const QDBusObjectPath& trackId, qlonglong positionMicroseconds) {
    const MprisSnapshot& now = Current();
    // A position for a track that is no longer current is stale.
    if (!now.canSeek || trackId.path() != m_trackId)
        return;
    const double target = positionMicroseconds / 1e6;
    if (target < 0.0 || target > now.lengthSeconds)
        return;
    m_hooks.command(UserCommand::SeekTo, target);
    Poll(true);
}

void CMprisService::Refuse(QDBusError::ErrorType type, const QString& why) {
    if (calledFromDBus())
        sendErrorReply(type, why);
}

void CMprisService::OpenUri(const QString& uri) {
    const QUrl url(uri);
    if (!url.isValid() || !url.isLocalFile()) {
        Refuse(QDBusError::NotSupported,
               QStringLiteral("Only local file:// URIs are opened: %1").arg(uri));
        return;
    }
    const QString path = url.toLocalFile();
    if (!QFileInfo(path).isFile()) {
        Refuse(QDBusError::InvalidArgs, QStringLiteral("No such file: %1").arg(path));
        return;
    }
    if (m_hooks.open)
        m_hooks.open({QFile::encodeName(path).toStdString()});
}

} // namespace tessel
