// What the window tells of the track: the title bar by its tags, the Track
// Info dialog (the list's tags merged with the file's, its details read on a
// worker), and the cover published for other programs following the track.
#include "app/TrackInfoDialog.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tests/app/WindowFixture.h"

#include <QAction>
#include <QMenu>

namespace tessel {
namespace {

QString ValueOf(const std::vector<TrackInfoLine>& lines, const char* name) {
    for (const TrackInfoLine& line : lines)
        if (line.name == QLatin1String(name))
            return line.value;
    return QStringLiteral("<no line>");
}

TEST(TrackInfoLines, TheListsTagsComeFirstThenTheFilesAndAPartOfAFileKeepsItsOwn) {
    StreamDetails file;
    file.readable = true;
    file.bitRate = 2'345'678;
    file.seconds = 3600.0;
    file.title = "Whole Album";
    file.tags.artist = "File Artist";
    file.tags.album = "File Album";
    file.replayGain.trackGainDb = -6.2;
    file.replayGain.albumPeak = 0.5;
    TrackInfoRequest row;
    row.path = "/music/\xc3\xa9t\xc3\xa9.flac";
    row.title = "Row Title";
    row.tags.artist = "Row Artist";
    row.rowLength = 61.5;
    TrackInfoRequest part = row; // a CUE sheet's track: its own length and the sheet's gains
    part.partOfFile = true;
    part.sheetGain.trackGainDb = -1.0;
    const StreamDetails reading; // the worker has not answered: what the list knows
    const std::tuple<const TrackInfoRequest&, const StreamDetails&, const char*, QString> cases[] =
        {
            {row, file, "title", "Row Title"},
            {row, file, "artist", "Row Artist"},
            {row, file, "album", "File Album"},
            {row, file, "bitrate", "2346 kbps"},
            {row, file, "length", "01:00:00 (3600.000 s)"},
            {row, file, "trackGain", "-6.20 dB"},
            {row, file, "albumPeak", "0.500000"},
            {row, file, "path", QString::fromUtf8("/music/\xc3\xa9t\xc3\xa9.flac")},
            {row, reading, "length", "00:01:01 (61.500 s)"},
            {part, file, "length", "00:01:01 (61.500 s)"},
            {part, file, "trackGain", "-1.00 dB"},
            {part, file, "albumPeak", ""},
        };
    for (const auto& [request, details, name, shown] : cases)
        EXPECT_EQ(ValueOf(TrackInfoLines(request, details), name), shown) << name;
    // The row without a title takes the file's; a part of a file never does.
    row.title.clear();
    EXPECT_EQ(ValueOf(TrackInfoLines(row, file), "title"), "Whole Album");
    row.partOfFile = true;
    EXPECT_EQ(ValueOf(TrackInfoLines(row, file), "title"), "");
}

const QString kTaggedTitle = "Beyonc\xc3\xa9 \xe2\x80\x93 Halo \xe2\x80\x93 Tessel Audio Player";

class TrackInfoTest : public test::WindowFixture {
  protected:
    std::string TaggedFlac(const std::string& name, const std::string& tags) {
        return test::TaggedFlac(dir.Path(), name, 3.0, 48000, "green", tags);
    }
    CTrackInfoDialog* Dialog() { return window->findChild<CTrackInfoDialog*>(); }
};

TEST_F(TrackInfoTest, TheTitleBarTheDialogAndTheCoverFollowTheLoadedTrack) {
    const std::string tagged = TaggedFlac(
        "tagged", "-metadata title=Halo -metadata artist=Beyonc\xc3\xa9 -metadata album=Fierce "
                  "-metadata REPLAYGAIN_TRACK_GAIN='-6.20 dB'");
    const std::string plain = Wav("plain.wav", 3.0);
    Browse({tagged, plain});
    ASSERT_TRUE(QTest::qWaitFor([&] { return DeckReady(); }));
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == kTaggedTitle; }))
        << window->windowTitle().toStdString();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->CoverUrl().empty(); }));

    // Ctrl+I: the loaded track, its details once the worker has read them.
    Key(Qt::Key_I, Qt::ControlModifier);
    ASSERT_NE(Dialog(), nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialog()->IsComplete(); }));
    // The row's tags, and the file's details and gain as the worker read them.
    for (auto [name, value] :
         {std::pair<const char*, QString>{"artist", "Beyonc\xc3\xa9"}, {"trackGain", "-6.20 dB"}})
        EXPECT_EQ(Dialog()->Value(name), value) << name;
    EXPECT_TRUE(Dialog()->HasPicture());

    // The list's context menu on the other row: no cover, no tags.
    auto& list = *static_cast<CPlaylistWindow*>(window->PlaylistWindow());
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tracks().GetCount() == 2; }));
    QMenu* menu = list.RowMenu(1);
    ASSERT_NE(menu, nullptr);
    auto* info = menu->findChild<QAction*>("trackInfo");
    ASSERT_NE(info, nullptr);
    info->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Dialog()->IsComplete(); }));
    EXPECT_EQ(Dialog()->Value("path"), QString::fromStdString(plain));
    EXPECT_FALSE(Dialog()->HasPicture());
    EXPECT_EQ(list.RowMenu(5), nullptr);

    // Nothing loaded takes the last track's cover away.
    window->OnChooseTrack(Combo().findText(QStringLiteral("No File Loaded")));
    Settle();
    EXPECT_TRUE(window->CoverUrl().empty());
    EXPECT_EQ(window->windowTitle(), "Tessel Audio Player");
}

// From the command line the row may be measured before the list shows it.
// The kept playlist holds a row's length and title only: its other tags are
// read again at the next start, and Find and the tag view have them back.
TEST_F(TrackInfoTest, ATrackStartedFromTheCommandLineTitlesTheWindowAndItsTagsAreReadAgainLater) {
    window->LoadCommandLine({TaggedFlac(
        "kept", "-metadata title=Halo -metadata artist=Beyonc\xc3\xa9 -metadata album=Fierce")});
    EXPECT_TRUE(QTest::qWaitFor([&] { return window->windowTitle() == kTaggedTitle; }))
        << window->windowTitle().toStdString();
    ASSERT_TRUE(QTest::qWaitFor([&] { return Tracks().GetTags(0).album == "Fierce"; }));
    Stop();
    Start();
    ASSERT_EQ(Tracks().GetCount(), 1);
    EXPECT_EQ(Tracks().GetTag(0), "Halo");
    EXPECT_GE(Tracks().GetLength(0), 0.0) << "the kept length shows at once";
    EXPECT_TRUE(QTest::qWaitFor([&] { return Tracks().GetTags(0).album == "Fierce"; }));
    EXPECT_EQ(Tracks().GetTagLine(0), "Beyonc\xc3\xa9 \xe2\x80\x93 Halo");
    EXPECT_EQ(parts->playlist.FindRow("beyonce", 0, 1), 0);
}

} // namespace
} // namespace tessel
