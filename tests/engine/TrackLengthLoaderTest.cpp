#include "engine/TrackLengthLoader.h"
#include "engine/PlainLoop.h"
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

using namespace tessel;
using namespace tessel::test;
using namespace std::chrono_literals;

namespace {
struct LoaderRig {
    CPlainLoop loop;
    CEngineContext engine{loop};
    CTrackLengthLoader loader{engine};
    std::vector<std::pair<double, std::string>> answers;
    LoaderRig() {
        loop.SetChannel(&engine.channel);
        engine.channel.SetHandler([this](const Message& m) {
            if (m.id == kMsgTrackLengthLoaded)
                answers.emplace_back(loader.AnswerLength(), loader.AnswerTag());
        });
    }
};
} // namespace

TEST(TrackLengthLoader, AnswersLengthsAndKeepsTheTagOfAFailedRequest) {
    TempDir tmp;
    MakeWav(tmp / "a.wav", 44100 * 3 / 2, 1);
    LoaderRig rig;
    rig.loader.Start();
    ASSERT_TRUE(rig.loader.Request((tmp / "a.wav").string()));
    ASSERT_TRUE(
        rig.loop.RunUntil([&] { return rig.answers.size() == 1 && !rig.loader.IsBusy(); }, 10s));
    EXPECT_NEAR(rig.answers[0].first, 1.5, 1e-6);
    ASSERT_TRUE(rig.loader.Request((tmp / "missing.wav").string()));
    ASSERT_TRUE(
        rig.loop.RunUntil([&] { return rig.answers.size() == 2 && !rig.loader.IsBusy(); }, 10s));
    EXPECT_EQ(rig.answers[1].first, -1.0);
    rig.loader.Stop();
    EXPECT_TRUE(rig.engine.events.trackLengthLoadThreadIsDone.IsSet());
}

TEST(TrackLengthLoader, StopsWhileIdleWithoutMeasuringAndTwiceIsHarmless) {
    LoaderRig rig;
    rig.loader.Start();
    rig.loader.Stop();
    rig.loader.Stop();
    EXPECT_TRUE(rig.answers.empty());
    EXPECT_FALSE(rig.loader.Request("/nowhere.wav")) << "a stopped loader takes no requests";
}

TEST(TrackLengthLoader, PlaylistMarksUnreadableOrFillsLengthAndTag) {
    CPlaylist playlist;
    playlist.AddTrackRow(0, "/m/a.mp3", -1.0, "");
    playlist.AddTrackRow(0, "/m/b.mp3", -1.0, "");
    playlist.AddTrackRow(0, "/m/a.mp3", -1.0, "");
    playlist.OnTrackLengthLoaded("/m/a.mp3", "Title A", 61.5);
    playlist.OnTrackLengthLoaded("/m/b.mp3", "ignored", -1.0);
    EXPECT_EQ(playlist.Tracks().GetLengthText(0), "1:01");
    EXPECT_EQ(playlist.Tracks().GetTag(2), "Title A");
    EXPECT_TRUE(playlist.Tracks().IsUnreadable(1));
    EXPECT_FALSE(playlist.Tracks().IsUnreadable(0));
}
