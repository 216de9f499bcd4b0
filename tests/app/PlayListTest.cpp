#include "app/CadenzoDlg.h"
#include "app/PlayerParts.h"
#include "app/PlaylistStore.h"
#include "engine/Deck.h"
#include "output/VirtualClockBackend.h"
#include "playlist/ui/PlayListWindow.h"
#include "tests/app/QtTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tessel {
namespace {

using namespace std::chrono_literals;
using test::RunQtUntil;
namespace fs = std::filesystem;

constexpr int kRate = 44100;

// The player's window over its own parts, settings and data folder, playing
// into a virtual clock, as the application starts it: the stored playlist
// first, then the command line.
class PlayListTest : public ::testing::Test {
  protected:
    void TearDown() override { Stop(); }

    void Start() {
        parts = std::make_unique<CPlayerParts>();
        VirtualClockOptions options;
        options.keepInMemory = true;
        ASSERT_EQ(
            parts->output.OpenDevice(std::make_unique<CVirtualClockBackend>(options), "Virtual"),
            0);
        window = std::make_unique<CCadenzoDlg>(*parts);
        window->Initialise();
        window->show();
    }
    void Stop() {
        if (window)
            window->Shutdown();
        window.reset();
        parts.reset();
    }

    std::string Wav(const std::string& name, size_t frames) {
        const fs::path path = dir / name;
        fs::create_directories(path.parent_path());
        test::WriteWav16(path, kRate, 2, test::MakeSignal(kRate, 2, frames));
        return path.string();
    }
    CTrackList& Tracks() { return parts->playlist.Tracks(); }
    CPlayListWindow& List() { return *static_cast<CPlayListWindow*>(window->PlayListWindow()); }
    fs::path Stored() { return fs::path(CPlaylistStore::DefaultPath().toStdString()); }
    bool LengthsKnown() {
        for (int i = 0; i < Tracks().GetCount(); ++i)
            if (Tracks().GetLength(i) < 0.0 && !Tracks().IsUnreadable(i))
                return false;
        return true;
    }

    test::ScopedSettingsFolder settingsFolder;
    test::TempDir dir;
    std::unique_ptr<CPlayerParts> parts;
    std::unique_ptr<CCadenzoDlg> window;
};

TEST_F(PlayListTest, CommandLineEntriesGoInOrderUnopenedAndPlayOnFromTheFirstThatOpens) {
    // A playlist kept from the last run: it stays first and is not played.
    const std::string kept = Wav("kept.wav", kRate);
    Start();
    List().Model().AppendTrack(kept, -1.0, "");
    parts->playlist.MarkLoaded(0);
    Stop();

    const std::string a = Wav("a.wav", 20000);
    const std::string b = Wav("b.wav", 15000);
    const std::string c = Wav("folder/sub/c.wav", 12000);
    const std::string d = Wav("folder/d.wav", 9000);
    std::ofstream(dir / "folder" / "cover.jpg") << "not audio";
    std::ofstream(dir / "list.m3u") << "#EXTM3U\n#EXTINF:1,Bee\nb.wav\n";
    const std::string missing = (dir / "missing.mp3").string();

    Start();
    ASSERT_EQ(Tracks().GetCount(), 1);
    window->LoadCommandLine({missing, a, (dir / "list.m3u").string(), (dir / "folder").string()});
    ASSERT_TRUE(RunQtUntil([&] { return window->Deck().IsPlaying(); }, 20s));
    ASSERT_EQ(Tracks().GetCount(), 6);
    EXPECT_EQ(Tracks().GetTrackPath(0), kept);
    EXPECT_EQ(Tracks().GetTrackPath(1), missing);
    EXPECT_EQ(Tracks().GetTrackPath(2), a);
    EXPECT_EQ(Tracks().GetTrackPath(3), b);
    EXPECT_EQ(Tracks().GetTag(3), "Bee");
    EXPECT_EQ(Tracks().GetTrackPath(4), d);
    EXPECT_EQ(Tracks().GetTrackPath(5), c);
    EXPECT_TRUE(Tracks().IsUnreadable(1)) << "passed over silently, shown as unreadable";
    EXPECT_EQ(window->Deck().TrackPath(), a);

    // The hand-over carries on through the rest, gapless: exactly their audio.
    ASSERT_TRUE(RunQtUntil([&] { return window->Deck().ReachedEnd(); }, 30s));
    EXPECT_EQ(parts->playlist.GetLoadedIndex(0), 5);
    EXPECT_EQ(window->Deck().AudioBytesWritten(), 4u * (20000 + 15000 + 12000 + 9000));
    ASSERT_TRUE(RunQtUntil([&] { return LengthsKnown(); }, 20s));
    EXPECT_EQ(List().Model().data(List().Model().index(1, 1)).toString(), QStringLiteral("???"));
}

TEST_F(PlayListTest, TheStoredPlaylistSurvivesTwoStartsAndADamagedOneIsSetAside) {
    const std::string a = Wav("a.wav", kRate * 2);
    const std::string b = Wav("b.wav", kRate * 3);
    Start();
    List().Model().AppendEntries({{"Title A", -1.0, a}, {"", -1.0, b}});
    parts->playlist.MarkLoaded(1);
    ASSERT_TRUE(RunQtUntil([&] { return LengthsKnown(); }));
    Stop(); // the exit writes it

    for (int start = 0; start < 2; ++start) {
        Start();
        ASSERT_EQ(Tracks().GetCount(), 2) << "start " << start;
        EXPECT_EQ(Tracks().GetTrackPath(0), a);
        EXPECT_EQ(Tracks().GetTag(0), "Title A");
        EXPECT_NEAR(Tracks().GetLength(1), 3.0, 1e-3);
        EXPECT_EQ(parts->playlist.GetLoadedIndex(0), 1);
        // With no command line the loaded entry is loaded again, not started.
        window->LoadCommandLine({});
        EXPECT_TRUE(window->Deck().IsTrackLoaded());
        EXPECT_EQ(window->Deck().TrackPath(), b);
        EXPECT_FALSE(window->Deck().IsPlaying());
        Stop();
    }

    std::ofstream(Stored(), std::ios::binary | std::ios::trunc) << "#EXTM3U\n#X-TESSEL-ENTRIES:2\n"
                                                                << a << "\n";
    Start();
    EXPECT_EQ(Tracks().GetCount(), 0) << "a damaged playlist starts empty";
    EXPECT_FALSE(fs::exists(Stored()));
    List().Model().AppendTrack(b, 3.0, "");
    Stop();
    std::ifstream bad(Stored().string() + ".bad");
    std::stringstream badText;
    badText << bad.rdbuf();
    EXPECT_EQ(badText.str(), "#EXTM3U\n#X-TESSEL-ENTRIES:2\n" + a + "\n") << "kept unread";
    Start();
    ASSERT_EQ(Tracks().GetCount(), 1);
    EXPECT_EQ(Tracks().GetTrackPath(0), b);
}

} // namespace
} // namespace tessel
