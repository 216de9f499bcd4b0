// ReplayGain on the virtual clock: each track's gain starts on its first
// frame, a gapless seam included; off leaves the samples as they are; a
// change while playing is heard within a device buffer, gliding there.
// And the background measurer that gives untagged files their values.
#include "decode/LoudnessScan.h"
#include "engine/LoudnessMeasurer.h"
#include "engine/PlainLoop.h"
#include "output/SoundDevice.h"
#include "tests/engine/DeckRig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <map>

using namespace tessel;
using namespace tessel::test;

namespace {

// A FLAC of a generated signal whose track gain tag says `gainTag` (none
// when empty); returns the signal.
std::vector<int16_t> TaggedFlac(const std::filesystem::path& flac, size_t frames, uint32_t seed,
                                const std::string& gainTag) {
    const std::filesystem::path wav = flac.string() + ".wav";
    auto signal = MakeWav(wav, frames, seed);
    const std::string tag =
        gainTag.empty() ? "" : " -metadata REPLAYGAIN_TRACK_GAIN=" + Quote(gainTag);
    EXPECT_EQ(RunCommand("ffmpeg -v error -y -i " + Quote(wav) + tag + " -c:a flac " + Quote(flac)),
              0);
    return signal;
}

// Frame i of `played` is `source` frame i at `gain`, give or take the
// dither's one step.
bool AtGain(const std::vector<int16_t>& played, const std::vector<int16_t>& source, size_t frame,
            double gain) {
    for (size_t c = 0; c < 2; ++c) {
        const double want = source[2 * frame + c] * gain;
        if (std::abs(played[2 * frame + c] - want) > 1.5)
            return false;
    }
    return true;
}

// How many of frames from ... to - 1 of `played` are `source`'s at `gain`.
size_t FramesAtGain(const std::vector<int16_t>& played, const std::vector<int16_t>& source,
                    size_t from, size_t to, double gain) {
    size_t scaled = 0;
    for (size_t i = from; i < to; ++i)
        scaled += AtGain(played, source, i, gain);
    return scaled;
}

ReplayGainSettings TrackMode() {
    ReplayGainSettings settings;
    settings.mode = ReplayGainMode::Track;
    return settings;
}

} // namespace

TEST(DeckReplayGain, EachTracksGainStartsOnItsFirstFrameAndOffLeavesTheSamples) {
    TempDir tmp;
    const auto half = TaggedFlac(tmp / "half.flac", 44100 * 2 + 1000, 41, "-6.0206 dB");
    const auto unity = TaggedFlac(tmp / "unity.flac", 44100 + 77, 42, "+0.00 dB");
    const auto untagged = TaggedFlac(tmp / "untagged.flac", 30000, 43, "");
    std::vector<int16_t> whole = half;
    whole.insert(whole.end(), unity.begin(), unity.end());
    whole.insert(whole.end(), untagged.begin(), untagged.end());

    for (const bool on : {false, true}) {
        SCOPED_TRACE(on ? "track mode" : "off");
        DeckRig rig;
        if (on)
            rig.deck->SetReplayGain(TrackMode());
        rig.AddRows({tmp / "half.flac", tmp / "unity.flac", tmp / "untagged.flac"});
        ASSERT_TRUE(rig.LoadRow(0));
        ASSERT_TRUE(rig.PlayToEnd());
        const std::vector<int16_t> played = rig.Played();
        ASSERT_EQ(played.size(), whole.size());
        if (!on) {
            EXPECT_TRUE(played == whole) << "off: the files' samples, bit for bit";
            continue;
        }
        const size_t seam = half.size() / 2;
        EXPECT_EQ(FramesAtGain(played, whole, 0, seam, 0.5), seam) << "the first track at half";
        // From the seam's first frame on, unity: the samples untouched.
        EXPECT_EQ(
            FrameDifference(Frames(played, seam, whole.size()), Frames(whole, seam, whole.size())),
            "");
    }
}

TEST(DeckReplayGain, AChangeWhilePlayingIsHeardWithinADeviceBuffer) {
    TempDir tmp;
    const auto half = TaggedFlac(tmp / "half.flac", 44100 * 6, 44, "-6.0206 dB");
    DeckRig rig;
    rig.AddRows({tmp / "half.flac"});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.clock->StepsTaken() >= 40; }));
    const size_t asked = rig.output.GetFramesPlayed();
    rig.deck->SetReplayGain(TrackMode());
    ASSERT_TRUE(rig.UntilEnd());
    const std::vector<int16_t> played = rig.Played();
    ASSERT_EQ(played.size(), half.size());
    size_t first = 0;
    while (first < half.size() / 2 && played[2 * first] == half[2 * first] &&
           played[2 * first + 1] == half[2 * first + 1])
        ++first;
    EXPECT_GE(first, asked) << "what was heard before is not changed";
    EXPECT_LE(first, asked + 2 * kChunkFrames + 4096) << "heard within a device buffer or so";
    // It glides there rather than stepping, so the change makes no click.
    const size_t settled = first + CSoundDevice::kTrackGainGlideFrames;
    EXPECT_FALSE(AtGain(played, half, first + CSoundDevice::kTrackGainGlideFrames / 2, 0.5));
    EXPECT_EQ(FramesAtGain(played, half, settled, half.size() / 2, 0.5), half.size() / 2 - settled)
        << "and from there on, all of it";
}

TEST(DeckReplayGain, ASheetsTrackGainsWinOverTheImagesTags) {
    TempDir tmp;
    const auto image = TaggedFlac(tmp / "album.flac", 44100 * 3, 45, "+0.00 dB");
    std::ofstream(tmp / "album.cue") << "FILE \"album.flac\" WAVE\n"
                                        "  TRACK 01 AUDIO\n"
                                        "    REM REPLAYGAIN_TRACK_GAIN -6.0206 dB\n"
                                        "    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n"
                                        "    INDEX 01 00:01:00\n";
    DeckRig rig;
    rig.deck->SetReplayGain(TrackMode());
    ASSERT_EQ(rig.playlist.LoadPlayList((tmp / "album.cue").string()).status,
              PlaylistReadStatus::Ok);
    ASSERT_TRUE(rig.LoadRow(0));
    ASSERT_TRUE(rig.PlayToEnd());
    const std::vector<int16_t> played = rig.Played();
    ASSERT_EQ(played.size(), image.size());
    EXPECT_EQ(FramesAtGain(played, image, 0, 44100, 0.5), 44100u)
        << "the first track at its sheet's gain";
    EXPECT_EQ(
        FrameDifference(Frames(played, 44100, image.size()), Frames(image, 44100, image.size())),
        "")
        << "the second at the image's own 0 dB";
}

TEST(DeckReplayGain, MeasuredValuesPlayAsAnUntaggedFilesTags) {
    TempDir tmp;
    const auto untagged = TaggedFlac(tmp / "untagged.flac", 44100 + 500, 48, "");
    DeckRig rig;
    rig.deck->SetReplayGain(TrackMode());
    rig.AddRows({tmp / "untagged.flac"});
    ReplayGainValues measured;
    measured.trackGainDb = -6.0206;
    rig.playlist.Tracks().SetMeasuredGain((tmp / "untagged.flac").string(), measured);
    ASSERT_TRUE(rig.LoadRow(0));
    ASSERT_TRUE(rig.PlayToEnd());
    const std::vector<int16_t> played = rig.Played();
    ASSERT_EQ(played.size(), untagged.size());
    EXPECT_EQ(FramesAtGain(played, untagged, 0, untagged.size() / 2, 0.5), untagged.size() / 2);
}

TEST(LoudnessMeasurer, MeasuresTheUntaggedFilesOfTheListByAlbumOnce) {
    TempDir tmp;
    std::filesystem::create_directories(tmp / "other");
    TaggedFlac(tmp / "a.flac", 44100 * 2, 51, "");
    TaggedFlac(tmp / "b.flac", 44100 * 2, 52, "");
    TaggedFlac(tmp / "other" / "c.flac", 44100 * 2, 53, "");
    TaggedFlac(tmp / "tagged.flac", 44100 * 2, 54, "-3 dB");
    std::ofstream(tmp / "bad.flac") << "not audio";

    CPlainLoop loop;
    CEngineContext engine{loop};
    loop.SetChannel(&engine.channel);
    CLoudnessMeasurer measurer(engine.channel, tmp / "cache" / "loudness.tsv");
    std::map<std::string, ReplayGainValues> got;
    engine.channel.SetHandler([&](const Message& m) {
        if (m.kind != AppMessage::LoudnessMeasured)
            return;
        for (const MeasuredGain& one : measurer.TakeResults()) {
            EXPECT_TRUE(got.emplace(one.path, one.gain).second) << "twice: " << one.path;
        }
    });
    CTrackList list;
    for (const char* name : {"a.flac", "tagged.flac", "bad.flac", "a.flac", "b.flac"})
        list.AddTrack("", -1.0, (tmp / name).string());
    list.AddTrack("", -1.0, (tmp / "other" / "c.flac").string());
    list.SetSheetGain(3, {-1.0, 1.0, {}, {}}); // a row with its own values is not asked for

    measurer.Start();
    measurer.Measure(LoudnessCandidates(list, 0, list.GetCount()));
    measurer.Measure(LoudnessCandidates(list, 0, list.GetCount())); // handed again: nothing new
    ASSERT_TRUE(loop.RunUntil([&] { return got.size() >= 3; }, std::chrono::seconds(120)));
    measurer.Stop();
    engine.channel.DispatchAll();
    ASSERT_EQ(got.size(), 3u) << "the untagged files only";

    const auto a = ScanTrackLoudness((tmp / "a.flac").string());
    const ReplayGainValues& gainA = got[(tmp / "a.flac").string()];
    ASSERT_TRUE(a && gainA.trackGainDb && gainA.albumGainDb && gainA.trackPeak);
    EXPECT_DOUBLE_EQ(*gainA.trackGainDb, -18.0 - a->integratedLufs);
    EXPECT_EQ(gainA.albumGainDb, got[(tmp / "b.flac").string()].albumGainDb)
        << "a and b make one album";
    EXPECT_NE(gainA.albumGainDb, got[(tmp / "other" / "c.flac").string()].albumGainDb)
        << "another folder is another album";

    ApplyMeasuredGains(list, std::vector<MeasuredGain>{{(tmp / "a.flac").string(), gainA}});
    EXPECT_EQ(list.GetEntryGain(0), gainA);
    EXPECT_EQ(list.GetEntryGain(3).trackGainDb, -1.0) << "the sheet's values still win";
    EXPECT_TRUE(std::filesystem::file_size(tmp / "cache" / "loudness.tsv") > 0)
        << "kept for the next run";
}
