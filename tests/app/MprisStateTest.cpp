// The rules that turn the player's state into MPRIS2 properties and signals,
// without a bus.
#include "app/MprisState.h"

#include <QDBusObjectPath>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace tessel {
namespace {

MprisSnapshot Track(const std::string& path, MprisStatus status, double position = 0.0) {
    MprisSnapshot s;
    s.status = status;
    s.path = path;
    s.lengthSeconds = 60.0;
    s.positionSeconds = position;
    return s;
}

TEST(MprisState, AStoppedTrackIsOneThatHasNotPlayedSinceItLoadedOrStopped) {
    EXPECT_EQ(StatusOf(false, false, false), MprisStatus::Stopped);
    EXPECT_EQ(StatusOf(true, true, true), MprisStatus::Stopped); // played to its end
    EXPECT_EQ(StatusOf(true, false, false), MprisStatus::Paused);

    CMprisStatusTracker tracker;
    const MprisSnapshot paused = Track("/a.wav", MprisStatus::Paused);
    const MprisSnapshot playing = Track("/a.wav", MprisStatus::Playing);
    EXPECT_EQ(tracker.Update(paused), MprisStatus::Stopped);
    EXPECT_EQ(tracker.Update(playing), MprisStatus::Playing);
    EXPECT_EQ(tracker.Update(paused), MprisStatus::Paused);
    tracker.OnStop();
    EXPECT_EQ(tracker.Update(paused), MprisStatus::Stopped);
    tracker.Update(playing);

    // Mid-command the last status holds, across the change of track too.
    MprisSnapshot busy = Track("/b.wav", MprisStatus::Paused);
    busy.settling = true;
    EXPECT_EQ(tracker.Update(busy), MprisStatus::Playing);
    busy.settling = false; // the next track loaded but did not start
    EXPECT_EQ(tracker.Update(busy), MprisStatus::Stopped);
    // One loaded where the last run left it waits mid-way.
    EXPECT_EQ(tracker.Update(Track("/c.wav", MprisStatus::Paused, 83.25)), MprisStatus::Paused);
}

TEST(MprisState, MetadataGoesOutTypedUnderTheEntrysIdWithIsoDatesAndWhatIsNotKnownIsLeftOut) {
    MprisSnapshot s = Track("/music/a b/\xc3\xa9t\xc3\xa9.flac", MprisStatus::Playing);
    s.lengthSeconds = 2.5000004;
    s.entry = 42;
    s.artUrl = "file:///run/user/1/tessel-audio-player/cover-1-1.jpg";
    s.tags.artist = "Beyonc\xc3\xa9";
    s.tags.album = "I Am";
    s.tags.date = "2008-11-12";
    s.tags.trackNumber = 3;
    const QString id = TrackIdOf(s, 5);
    EXPECT_EQ(id, "/org/tessel/AudioPlayer/Track/42") << "the entry's id, not the load's";
    const QVariantMap m = MetadataOf(s, id);
    ASSERT_EQ(m.value("mpris:trackid").metaType(), QMetaType::fromType<QDBusObjectPath>());
    EXPECT_EQ(m.value("mpris:trackid").value<QDBusObjectPath>().path(), id);
    const struct {
        const char* key;
        QVariant value;
    } expected[] = {
        {"mpris:length", qlonglong(2'500'000)},
        {"xesam:title", QString::fromUtf8("\xc3\xa9t\xc3\xa9.flac")}, // untitled: the file name
        {"xesam:url", "file:///music/a%20b/%C3%A9t%C3%A9.flac"},
        {"mpris:artUrl", QString::fromStdString(s.artUrl)},
        {"xesam:artist", QStringList{QString::fromUtf8("Beyonc\xc3\xa9")}},
        {"xesam:album", "I Am"},
        {"xesam:contentCreated", "2008-11-12"},
        {"xesam:trackNumber", 3},
    };
    for (const auto& e : expected) {
        EXPECT_EQ(m.value(e.key).metaType(), e.value.metaType()) << e.key;
        EXPECT_EQ(m.value(e.key), e.value) << e.key;
    }

    // Nothing empty goes out (a client would show an empty artist), nor an
    // unknown length rather than a wrong one.
    s.tags = TrackTags{};
    s.tags.date = "sometime";
    s.artUrl.clear();
    s.title = "A Song";
    s.lengthSeconds = 0.0;
    const QVariantMap bare = MetadataOf(s, id);
    QStringList keys = bare.keys();
    keys.sort();
    EXPECT_EQ(keys, QStringList({"mpris:trackid", "xesam:title", "xesam:url"}));
    EXPECT_EQ(bare.value("xesam:title").toString(), "A Song");
    const QVariantMap none = MetadataOf(MprisSnapshot{}, "/t/1");
    EXPECT_EQ(none.keys(), QStringList{"mpris:trackid"});
    EXPECT_EQ(none.value("mpris:trackid").value<QDBusObjectPath>().path(), kMprisNoTrack);

    // A file loaded outside the list is named by its load; every id is an
    // object path the bus accepts (QDBusObjectPath empties one it does not).
    s.entry = 0;
    EXPECT_EQ(TrackIdOf(s, 5), "/org/tessel/AudioPlayer/File/5");
    s.entry = ~uint64_t{0};
    EXPECT_EQ(QDBusObjectPath(TrackIdOf(s, 5)).path(), TrackIdOf(s, 5));
    EXPECT_EQ(TrackIdOf(MprisSnapshot{}, 5), kMprisNoTrack);

    // Dates go out as ISO dates or not at all.
    for (auto [tag, iso] : {std::pair{"1999", "1999"},
                            {"1999-05", "1999-05"},
                            {" 1999-05-03", "1999-05-03"},
                            {"1999-05-03T10:20:30Z", "1999-05-03"},
                            {"c. 1999", ""},
                            {"1999-13-01", ""},
                            {"99", ""}})
        EXPECT_EQ(IsoDateOf(tag), QString::fromLatin1(iso)) << tag;
}

TEST(MprisState, ChangesNameExactlyThePropertiesThatDifferButNeverPositionAndModesMapBothWays) {
    const MprisSnapshot a = Track("/a.wav", MprisStatus::Playing, 1.0);
    MprisSnapshot b = a;
    b.positionSeconds = 30.0;
    EXPECT_TRUE(ChangedPlayerProperties(a, b).isEmpty());
    b.status = MprisStatus::Paused;
    b.volume = 0.5;
    b.canGoNext = true;
    EXPECT_EQ(ChangedPlayerProperties(a, b),
              QStringList({"PlaybackStatus", "Volume", "CanGoNext"}));
    MprisSnapshot c = a;
    c.title = "new title";
    c.canPlay = c.canPause = c.canGoPrevious = c.canSeek = true;
    EXPECT_EQ(ChangedPlayerProperties(a, c),
              QStringList({"Metadata", "CanGoPrevious", "CanPlay", "CanPause", "CanSeek"}));
    c = a;
    c.path = "/b.wav";
    EXPECT_EQ(ChangedPlayerProperties(a, c), QStringList({"Metadata"}));
    // Tags and the cover arrive after the track has loaded; two rows of one
    // CUE image share the file but are two tracks.
    for (const auto& change : std::vector<std::function<void(MprisSnapshot&)>>{
             [](MprisSnapshot& s) { s.tags.artist = "New"; },
             [](MprisSnapshot& s) { s.artUrl = "file:///c.jpg"; },
             [](MprisSnapshot& s) { s.entry = 9; }}) {
        c = a;
        change(c);
        EXPECT_EQ(ChangedPlayerProperties(a, c), QStringList({"Metadata"}));
    }

    // LoopStatus and Shuffle map to the modes both ways.
    for (auto [mode, name] : {std::pair{RepeatMode::Off, "None"},
                              {RepeatMode::Track, "Track"},
                              {RepeatMode::All, "Playlist"}}) {
        EXPECT_EQ(LoopStatusName(mode), name);
        EXPECT_EQ(RepeatModeOfLoopStatus(name), mode);
    }
    for (const char* bad : {"", "none", "Playlist "})
        EXPECT_EQ(RepeatModeOfLoopStatus(bad), std::nullopt) << bad;
    // (asked, now, becomes): a yes keeps album shuffle.
    for (auto [on, now, becomes] : {std::tuple{true, ShuffleMode::Off, ShuffleMode::Tracks},
                                    {true, ShuffleMode::Albums, ShuffleMode::Albums},
                                    {false, ShuffleMode::Albums, ShuffleMode::Off}})
        EXPECT_EQ(ShuffleModeOf(on, now), becomes);

    // Tracks to albums is still "shuffled": no change a client sees.
    b = a;
    b.shuffle = ShuffleMode::Tracks;
    b.repeat = RepeatMode::All;
    EXPECT_EQ(ChangedPlayerProperties(a, b), QStringList({"LoopStatus", "Shuffle"}));
    c = b;
    c.shuffle = ShuffleMode::Albums;
    EXPECT_TRUE(ChangedPlayerProperties(b, c).isEmpty());
}

TEST(MprisState, OnlyAMoveThePlayingCannotExplainIsASeek) {
    const MprisSnapshot before = Track("/a.wav", MprisStatus::Playing, 10.0);
    const auto at = [](MprisSnapshot s, double position) {
        s.positionSeconds = position;
        return s;
    };
    // (position, time passed, a seek?); at 10.0 after 0.4 s the display fell behind.
    for (auto [position, passed, jumped] :
         {std::tuple{10.2, 0.2, false}, {10.0, 0.4, false}, {15.2, 0.2, true}, {5.0, 0.2, true}})
        EXPECT_EQ(PositionJumped(before, at(before, position), passed), jumped) << position;
    const MprisSnapshot paused = Track("/a.wav", MprisStatus::Paused, 10.0);
    EXPECT_TRUE(PositionJumped(paused, at(paused, 11.5), 5.0)) << "paused, time moves nothing";
    EXPECT_FALSE(PositionJumped(before, Track("/b.wav", MprisStatus::Playing), 0.2))
        << "a new track is not a seek";
    MprisSnapshot nextRow = at(before, 0.0);
    nextRow.entry = before.entry + 1;
    EXPECT_FALSE(PositionJumped(before, nextRow, 0.2)) << "nor is the next row of one image";
}

} // namespace
} // namespace tessel
