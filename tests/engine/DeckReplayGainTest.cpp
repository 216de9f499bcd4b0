// ReplayGain on the virtual clock: each track's gain, from its tags, its
// sheet's values or measured ones, starts on its first frame, a gapless seam
// included; off leaves the samples as they are; a change while playing is
// heard within a device buffer, gliding there. (What each mode's gain is,
// the ReplayGain and render-gain tests tell.) And the background measurer
// that gives untagged files their values.
#include "engine/LoudnessMeasurer.h"
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

// Samples of frames from ... to - 1 of `played` that are not `source`'s at
// `gain`, give or take the dither's one step.
size_t SamplesOffGain(const std::vector<int16_t>& played, const std::vector<int16_t>& source,
                      size_t from, size_t to, double gain) {
    size_t off = 0;
    for (size_t i = 2 * from; i < 2 * to; ++i)
        off += std::abs(played[i] - source[i] * gain) > 1.5;
    return off;
}

} // namespace

// The rows: a sheet's track whose gain wins over its image's 0 dB tag, the
// image's next track with the tag alone, a file tagged -6 dB and an
// untagged one with measured values of -6 dB. Off at first, then track mode
// from a moment in the first row: the seams already read ahead get their
// gains then, the later ones as they are read.
TEST(DeckReplayGain, EachTracksGainStartsOnItsFirstFrameAndAChangeIsHeardWithinADeviceBuffer) {
    TempDir tmp;
    auto whole = TaggedFlac(tmp / "album.flac", 44100 * 3, 45, "+0.00 dB");
    std::ofstream(tmp / "album.cue") << "FILE \"album.flac\" WAVE\n"
                                        "  TRACK 01 AUDIO\n"
                                        "    REM REPLAYGAIN_TRACK_GAIN -6.0206 dB\n"
                                        "    INDEX 01 00:00:00\n"
                                        "  TRACK 02 AUDIO\n"
                                        "    INDEX 01 00:01:00\n";
    const size_t tagged = whole.size() / 2;
    const auto half = TaggedFlac(tmp / "half.flac", 44100 * 2, 41, "-6.0206 dB");
    const auto untagged = TaggedFlac(tmp / "untagged.flac", 30000, 43, "");
    whole.insert(whole.end(), half.begin(), half.end());
    whole.insert(whole.end(), untagged.begin(), untagged.end());

    DeckRig rig;
    ASSERT_EQ(rig.playlist.LoadPlayList((tmp / "album.cue").string()).status,
              PlaylistReadStatus::Ok);
    for (const char* name : {"half.flac", "untagged.flac"})
        rig.playlist.AddTrackRow((tmp / name).string(), -1.0, "");
    rig.playlist.Tracks().SetMeasuredGain((tmp / "untagged.flac").string(), {-6.0206, {}, {}, {}});
    ASSERT_TRUE(rig.LoadRow(0));
    rig.deck->TogglePause();
    ASSERT_TRUE(rig.RunUntil([&] { return rig.clock->StepsTaken() >= 3; }));
    const size_t asked = rig.output.GetFramesPlayed();
    ReplayGainSettings trackMode;
    trackMode.mode = ReplayGainMode::Track;
    rig.deck->SetReplayGain(trackMode);
    ASSERT_TRUE(rig.UntilEnd());
    const std::vector<int16_t> played = rig.Played();
    ASSERT_EQ(played.size(), whole.size());
    const auto differs = std::mismatch(played.begin(), played.end(), whole.begin()).first;
    const auto first = static_cast<size_t>(differs - played.begin()) / 2;
    EXPECT_GE(first, asked) << "off: the files' samples, bit for bit, until the change";
    EXPECT_LE(first, asked + 2 * kChunkFrames + 4096) << "heard within a device buffer or so";
    // It glides there rather than stepping, so the change makes no click.
    const size_t glide = CSoundDevice::kTrackGainGlideFrames;
    ASSERT_LT(first + glide, 44100u);
    EXPECT_GT(SamplesOffGain(played, whole, first + glide / 2, first + glide / 2 + 1, 0.5), 0u);
    EXPECT_EQ(SamplesOffGain(played, whole, first + glide, 44100, 0.5), 0u) << "the sheet's gain";
    EXPECT_EQ(SamplesOffGain(played, whole, 44100, tagged, 1.0), 0u) << "the image's tag";
    EXPECT_EQ(SamplesOffGain(played, whole, tagged, whole.size() / 2, 0.5), 0u)
        << "a tag and measured values";
}

TEST(LoudnessMeasurer, MeasuresTheUntaggedFilesOfTheListByAlbumOnce) {
    TempDir tmp;
    std::filesystem::create_directories(tmp / "other");
    for (const char* name : {"a.flac", "b.flac", "other/c.flac"})
        TaggedFlac(tmp / name, 44100 * 2, uint32_t(name[0]), "");
    TaggedFlac(tmp / "tagged.flac", 44100 * 2, 54, "-3 dB");
    std::ofstream(tmp / "bad.flac") << "not audio";

    DeckRig rig; // for its loop and channel
    CLoudnessMeasurer measurer(rig.engine.channel, tmp / "cache" / "loudness.tsv");
    std::map<std::string, ReplayGainValues> got;
    rig.engine.channel.SetHandler([&](const Message& m) {
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
    ASSERT_TRUE(rig.RunUntil([&] { return got.size() >= 3; }, std::chrono::minutes(2)));
    measurer.Stop();
    rig.engine.channel.DispatchAll();
    ASSERT_EQ(got.size(), 3u) << "the untagged files only";

    const ReplayGainValues& gainA = got[(tmp / "a.flac").string()];
    ASSERT_TRUE(gainA.trackGainDb && gainA.albumGainDb && gainA.trackPeak);
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
