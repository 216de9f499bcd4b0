#include "app/MprisState.h"

#include <QDBusObjectPath>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QUrl>

#include <cmath>

namespace tessel {

namespace {

// Playing on moves the position by about the time that passed; the display
// follows in steps of a few segments, and a busy main thread can hold a step
// back, so only more than this counts as a jump.
constexpr double kJumpToleranceSeconds = 1.0;

} // namespace

MprisStatus StatusOf(bool trackLoaded, bool playing, bool reachedEnd) {
    if (!trackLoaded || reachedEnd)
        return MprisStatus::Stopped;
    return playing ? MprisStatus::Playing : MprisStatus::Paused;
}

MprisStatus CMprisStatusTracker::Update(const MprisSnapshot& snapshot) {
    if (snapshot.settling)
        return m_status;
    if (snapshot.status == MprisStatus::Playing)
        m_atStart = false;
    else if (snapshot.path != m_path)
        m_atStart = true;
    m_path = snapshot.path;
    // A track loaded where the last run left it waits mid-way: paused.
    const bool waitsAtStart = m_atStart && snapshot.positionSeconds <= 0.0;
    m_status = snapshot.status == MprisStatus::Paused && waitsAtStart ? MprisStatus::Stopped
                                                                      : snapshot.status;
    return m_status;
}

QString StatusName(MprisStatus status) {
    switch (status) {
    case MprisStatus::Playing:
        return QStringLiteral("Playing");
    case MprisStatus::Paused:
        return QStringLiteral("Paused");
    case MprisStatus::Stopped:
        break;
    }
    return QStringLiteral("Stopped");
}

QString LoopStatusName(RepeatMode mode) {
    switch (mode) {
    case RepeatMode::Track:
        return QStringLiteral("Track");
    case RepeatMode::All:
        return QStringLiteral("Playlist");
    case RepeatMode::Off:
        break;
    }
    return QStringLiteral("None");
}

std::optional<RepeatMode> RepeatModeOfLoopStatus(const QString& status) {
    for (RepeatMode mode : {RepeatMode::Off, RepeatMode::Track, RepeatMode::All})
        if (status == LoopStatusName(mode))
            return mode;
    return std::nullopt;
}

ShuffleMode ShuffleModeOf(bool on, ShuffleMode now) {
    if (!on)
        return ShuffleMode::Off;
    return IsShuffled(now) ? now : ShuffleMode::Tracks;
}

QString TrackIdOf(const MprisSnapshot& snapshot, uint64_t loadNumber) {
    if (snapshot.path.empty())
        return QString::fromLatin1(kMprisNoTrack);
    // Object path elements take [A-Za-z0-9_] only: a number always fits.
    if (snapshot.entry != 0)
        return QStringLiteral("/org/tessel/AudioPlayer/Track/%1").arg(snapshot.entry);
    return QStringLiteral("/org/tessel/AudioPlayer/File/%1").arg(loadNumber);
}

QString IsoDateOf(const std::string& date) {
    static const QRegularExpression kIsoDate(QStringLiteral(
        "^\\s*(\\d{4}(?:-(?:0[1-9]|1[0-2])(?:-(?:0[1-9]|[12]\\d|3[01]))?)?)(?:$|[T ])"));
    const QRegularExpressionMatch match = kIsoDate.match(QString::fromStdString(date));
    return match.hasMatch() ? match.captured(1) : QString();
}

namespace {

void InsertText(QVariantMap& metadata, const char* key, const std::string& text) {
    if (!text.empty())
        metadata.insert(QString::fromLatin1(key), QString::fromStdString(text));
}

// MPRIS types these as lists; a tag holds one value as written.
void InsertList(QVariantMap& metadata, const char* key, const std::string& text) {
    if (!text.empty())
        metadata.insert(QString::fromLatin1(key), QStringList{QString::fromStdString(text)});
}

void InsertNumber(QVariantMap& metadata, const char* key, int number) {
    if (number > 0)
        metadata.insert(QString::fromLatin1(key), number);
}

} // namespace

QVariantMap MetadataOf(const MprisSnapshot& snapshot, const QString& trackId) {
    QVariantMap metadata;
    if (snapshot.path.empty()) {
        metadata.insert(QStringLiteral("mpris:trackid"),
                        QVariant::fromValue(QDBusObjectPath(QString::fromLatin1(kMprisNoTrack))));
        return metadata;
    }
    const QString path = QFile::decodeName(snapshot.path.c_str());
    metadata.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(trackId)));
    if (snapshot.lengthSeconds > 0.0)
        metadata.insert(QStringLiteral("mpris:length"), ToMicroseconds(snapshot.lengthSeconds));
    InsertText(metadata, "mpris:artUrl", snapshot.artUrl);
    metadata.insert(QStringLiteral("xesam:title"), snapshot.title.empty()
                                                       ? QFileInfo(path).fileName()
                                                       : QString::fromStdString(snapshot.title));
    const TrackTags& tags = snapshot.tags;
    InsertList(metadata, "xesam:artist", tags.artist);
    InsertList(metadata, "xesam:albumArtist", tags.albumArtist);
    InsertText(metadata, "xesam:album", tags.album);
    InsertNumber(metadata, "xesam:trackNumber", tags.trackNumber);
    InsertNumber(metadata, "xesam:discNumber", tags.discNumber);
    InsertList(metadata, "xesam:genre", tags.genre);
    const QString created = IsoDateOf(tags.date);
    if (!created.isEmpty())
        metadata.insert(QStringLiteral("xesam:contentCreated"), created);
    metadata.insert(QStringLiteral("xesam:url"),
                    QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    return metadata;
}

QStringList ChangedPlayerProperties(const MprisSnapshot& before, const MprisSnapshot& after) {
    QStringList changed;
    if (before.status != after.status)
        changed << QStringLiteral("PlaybackStatus");
    if (before.path != after.path || before.entry != after.entry || before.title != after.title ||
        before.tags != after.tags || before.artUrl != after.artUrl ||
        before.lengthSeconds != after.lengthSeconds)
        changed << QStringLiteral("Metadata");
    if (before.volume != after.volume)
        changed << QStringLiteral("Volume");
    if (before.canGoNext != after.canGoNext)
        changed << QStringLiteral("CanGoNext");
    if (before.canGoPrevious != after.canGoPrevious)
        changed << QStringLiteral("CanGoPrevious");
    if (before.canPlay != after.canPlay)
        changed << QStringLiteral("CanPlay");
    if (before.canPause != after.canPause)
        changed << QStringLiteral("CanPause");
    if (before.canSeek != after.canSeek)
        changed << QStringLiteral("CanSeek");
    if (before.repeat != after.repeat)
        changed << QStringLiteral("LoopStatus");
    if (IsShuffled(before.shuffle) != IsShuffled(after.shuffle))
        changed << QStringLiteral("Shuffle");
    return changed;
}

bool PositionJumped(const MprisSnapshot& before, const MprisSnapshot& after, double wallSeconds) {
    if (before.path != after.path || before.entry != after.entry || after.path.empty())
        return false;
    const double moved = after.positionSeconds - before.positionSeconds;
    const bool played =
        before.status == MprisStatus::Playing || after.status == MprisStatus::Playing;
    const double mostByPlaying = played ? std::max(0.0, wallSeconds) : 0.0;
    return moved < -kJumpToleranceSeconds || moved > mostByPlaying + kJumpToleranceSeconds;
}

QStringList SupportedMimeTypes() {
    return {
        QStringLiteral("audio/mpeg"),
        QStringLiteral("audio/ogg"),
        QStringLiteral("audio/x-vorbis+ogg"),
        QStringLiteral("audio/x-opus+ogg"),
        QStringLiteral("audio/opus"),
        QStringLiteral("audio/x-wav"),
        QStringLiteral("audio/wav"),
        QStringLiteral("audio/x-ms-wma"),
        QStringLiteral("audio/flac"),
        QStringLiteral("audio/x-flac"),
        QStringLiteral("audio/mp4"),
        QStringLiteral("audio/x-m4a"),
        QStringLiteral("audio/aac"),
        QStringLiteral("audio/x-aiff"),
        QStringLiteral("audio/aiff"),
        QStringLiteral("audio/x-ape"),
        QStringLiteral("audio/x-wavpack"),
        QStringLiteral("audio/x-matroska"),
        QStringLiteral("audio/x-m4b"),
        QStringLiteral("application/x-cue"),
        QStringLiteral("audio/x-mpegurl"),
        QStringLiteral("audio/mpegurl"),
        QStringLiteral("application/vnd.apple.mpegurl"),
        QStringLiteral("audio/x-scpls"),
    };
}

} // namespace tessel
