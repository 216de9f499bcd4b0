#include "app/MprisAdaptors.h"

#include "app/AboutBox.h"
#include "app/MprisService.h"
#include "app/PlayModes.h"

namespace tessel {

CMprisRootAdaptor::CMprisRootAdaptor(CMprisService* service)
    : QDBusAbstractAdaptor(service), m_service(*service) {}

QString CMprisRootAdaptor::identity() const {
    return QString::fromLatin1(kProductName);
}

QString CMprisRootAdaptor::desktopEntry() const {
    return QStringLiteral("tessel-audio-player");
}

QStringList CMprisRootAdaptor::supportedUriSchemes() const {
    return {QStringLiteral("file")};
}

QStringList CMprisRootAdaptor::supportedMimeTypes() const {
    return SupportedMimeTypes();
}

void CMprisRootAdaptor::Raise() {
    m_service.Command(UserCommand::Raise);
}

void CMprisRootAdaptor::Quit() {
    m_service.Command(UserCommand::Quit);
}

CMprisPlayerAdaptor::CMprisPlayerAdaptor(CMprisService* service)
    : QDBusAbstractAdaptor(service), m_service(*service) {
    // The service's Seeked goes out on this interface.
    setAutoRelaySignals(true);
}

QString CMprisPlayerAdaptor::playbackStatus() const {
    return StatusName(m_service.Current().status);
}

QVariantMap CMprisPlayerAdaptor::metadata() const {
    const MprisSnapshot& now = m_service.Current();
    return MetadataOf(now, m_service.TrackId());
}

double CMprisPlayerAdaptor::volume() const {
    return m_service.Current().volume;
}

void CMprisPlayerAdaptor::setVolume(double volume) {
    m_service.Command(UserCommand::SetVolume, volume);
}

qlonglong CMprisPlayerAdaptor::position() const {
    return ToMicroseconds(m_service.Current().positionSeconds);
}

bool CMprisPlayerAdaptor::canGoNext() const {
    return m_service.Current().canGoNext;
}
bool CMprisPlayerAdaptor::canGoPrevious() const {
    return m_service.Current().canGoPrevious;
}
bool CMprisPlayerAdaptor::canPlay() const {
    return m_service.Current().canPlay;
}
bool CMprisPlayerAdaptor::canPause() const {
    return m_service.Current().canPause;
}
bool CMprisPlayerAdaptor::canSeek() const {
    return m_service.Current().canSeek;
}

QString CMprisPlayerAdaptor::loopStatus() const {
    return LoopStatusName(m_service.Current().repeat);
}

void CMprisPlayerAdaptor::setLoopStatus(const QString& status) {
    if (const std::optional<RepeatMode> mode = RepeatModeOfLoopStatus(status))
        m_service.Command(UserCommand::SetRepeat, ValueOf(*mode));
}

bool CMprisPlayerAdaptor::shuffle() const {
    return IsShuffled(m_service.Current().shuffle);
}

void CMprisPlayerAdaptor::setShuffle(bool on) {
    m_service.Command(UserCommand::SetShuffle,
                      ValueOf(ShuffleModeOf(on, m_service.Current().shuffle)));
}

void CMprisPlayerAdaptor::Next() {
    m_service.Command(UserCommand::Next);
}
void CMprisPlayerAdaptor::Previous() {
    m_service.Command(UserCommand::Previous);
}
void CMprisPlayerAdaptor::Pause() {
    m_service.Command(UserCommand::Pause);
}
void CMprisPlayerAdaptor::PlayPause() {
    m_service.Command(UserCommand::PlayPause);
}
void CMprisPlayerAdaptor::Stop() {
    m_service.Command(UserCommand::Stop);
}
void CMprisPlayerAdaptor::Play() {
    m_service.Command(UserCommand::Play);
}
void CMprisPlayerAdaptor::Seek(qlonglong Offset) {
    m_service.Seek(Offset);
}
void CMprisPlayerAdaptor::SetPosition(const QDBusObjectPath& TrackId, qlonglong Position) {
    m_service.SetPosition(TrackId, Position);
}
void CMprisPlayerAdaptor::OpenUri(const QString& Uri) {
    m_service.OpenUri(Uri);
}

} // namespace tessel
