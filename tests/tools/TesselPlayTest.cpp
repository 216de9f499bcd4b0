// End-to-end: the console player through the real engine (reader, chunk
// store, read worker, play-forward handling, hand-over), its outputs, its play
// modes and its command line.
#include "tests/tools/PlayerRun.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <thread>

namespace fs = std::filesystem;
using namespace tessel::test;

// Half a minute through SDL's disk driver at its own pace: it takes a device
// buffer every 90 ms or so like a sound card, and writes exactly what the
// player rendered. Long enough for the output ring to go round many times; at
// 96 kHz the device buffer doubles to 16384 frames, more ring segments per
// callback.
TEST(RealTimeDisk, EveryFrameOnceInOrderAt44100And96000) {
    for (const int rate : {44100, 96000}) {
        SCOPED_TRACE(rate);
        TempDir tmp;
        const size_t frames = 30 * static_cast<size_t>(rate);
        WriteWav16(tmp / "count.wav", rate, 2, MakeCounterSignal(frames));
        const ToolRun run =
            PlayTool({tmp / "count.wav"},
                     {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + (tmp / "disk.raw").string()});
        ASSERT_EQ(run.status, 0) << run.err;
        ExpectRealTimePlay(run, ReadRawS16(tmp / "disk.raw"), frames, rate);
    }
}

// Split points that are no multiple of a chunk; the middle part is shorter
// than the read-ahead point (51 chunks); the last two parts are a playlist's;
// between them, inputs that will not open, reported and passed over. (Other
// rates and channel counts reaching the output are the engine's and the
// reader's tests.)
TEST(TesselPlay, SplitFilesAndPlaylistEntriesComeOutAsTheUnsplitSignalPastUnreadableOnes) {
    TempDir tmp;
    std::ofstream(tmp / "bad.mp3") << "this is not audio at all, just some text in a file";
    const size_t cuts[] = {0, 70001, 70001 + 40000, 70001 + 40000 + 90123};
    const auto signal = MakeSignal(44100, 2, cuts[3], 7);
    for (const std::string ext : {"wav", "flac"}) {
        SCOPED_TRACE(ext);
        std::vector<std::string> parts;
        for (size_t i = 0; i < 3; ++i) {
            const std::string wav = tmp / ("part" + std::to_string(i) + ".wav");
            WriteWav16(wav, 44100, 2,
                       {signal.begin() + 2 * cuts[i], signal.begin() + 2 * cuts[i + 1]});
            parts.push_back(fs::path(wav).replace_extension(ext));
            const std::string flac = "ffmpeg -v error -y -i " + Quote(wav) + " " + Quote(parts[i]);
            ASSERT_TRUE(ext == "wav" || RunCommand(flac) == 0);
        }
        std::ofstream(tmp / "list.m3u") << "part1." << ext << "\r\npart2." << ext << "\r\n";
        const ToolRun run = PlayTool({"-o", tmp / "out.wav", parts[0], tmp / "missing.wav",
                                      tmp / "bad.mp3", tmp / "list.m3u"});
        EXPECT_EQ(run.status, 1) << run.err;
        for (const char* name : {"missing.wav", "bad.mp3"})
            EXPECT_NE(run.err.find("File Not Recognized: " + (tmp / name).string()),
                      std::string::npos)
                << run.err;
        const WavData out = ReadWav16(tmp / "out.wav");
        EXPECT_EQ(out.rate, 44100);
        EXPECT_TRUE(out.samples == signal) << "gap, repeat or damage at a hand-over";
        // Each track announced once, in order, with its length.
        EXPECT_EQ(PlayedPaths(run.out), parts) << run.out;
        EXPECT_NE(run.out.find(parts[0] + "\t1.587"), std::string::npos) << run.out;
    }
}

TEST(TesselPlay, EqualizerAtZeroDbIsBitIdenticalAndGainsShapeTheSound) {
    TempDir tmp;
    const auto signal = MakeSignal(44100, 2, 60000, 21);
    WriteWav16(tmp / "in.wav", 44100, 2, signal);
    for (const std::string gains : {"0,0,0,0,0", "15,-15,4.5"}) {
        ASSERT_EQ(PlayTool({"--eq", gains, "-o", tmp / "out.wav", tmp / "in.wav"}).status, 0);
        const WavData out = ReadWav16(tmp / "out.wav");
        ASSERT_EQ(out.samples.size(), signal.size());
        EXPECT_EQ(out.samples == signal, gains[0] == '0') << gains;
    }
}

TEST(TesselPlay, BadCommandLinesAreUsageErrorsThatSayWhatIsWrongAndWriteNothing) {
    TempDir tmp;
    const std::string in = tmp / "in.wav", out = tmp / "out.wav";
    WriteWav16(in, 44100, 2, MakeSignal(44100, 2, 3000, 22));
    struct Case {
        std::string args;
        std::string says;
    };
    std::vector<Case> cases = {{"", "usage"},
                               {"-o", "usage"},
                               {"--bogus x.wav", "usage"},
                               {"--list -o " + out + " " + in, "usage"},
                               {"--replaygain loud " + in, "--replaygain loud"},
                               {"--preamp 3 " + in, "usage"},
                               {"--replaygain track --preamp 15.5 " + in, "--preamp 15.5"},
                               {"--repeat all -o " + out + " " + in, "would never end"},
                               {"--repeat off " + in, "--repeat off"},
                               {"--seed 5 " + in, "usage"},
                               {"--shuffle --seed 4294967296 " + in, "--seed 4294967296"},
                               {"--shuffle --seed 12x " + in, "--seed 12x"},
                               {"--shuffle --shuffle " + in, "usage"}};
    // The equalizer takes 2, 3 or 5 gains from -15 to +15 dB.
    for (const std::string bad :
         {"1", "1,2,3,4", "1,2,3,4,5,6", "16,0", "0,-15.5", "a,b", "1,,2", "1,2,", "nan,0", ""})
        cases.push_back({"--eq " + bad + " -o " + out + " " + in, "not 2, 3 or 5 gains"});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const ToolRun run = PlayTool(Words(c.args));
        EXPECT_EQ(run.status, 2);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_FALSE(fs::exists(out));
    }
}

// That the deck plays a shuffled list gaplessly, every entry once, is the
// engine's play-mode test; here the options reach it.
TEST(TesselPlay, ShuffleRendersEveryInputOnceInTheOrderItsSeedGives) {
    TempDir tmp;
    std::vector<std::string> inputs, args{"--shuffle", "--seed", "7", "-o", tmp / "out.wav"};
    for (int i = 0; i < 6; ++i) {
        inputs.push_back(tmp / ("t" + std::to_string(i) + ".wav"));
        WriteWav16(inputs.back(), 44100, 2, MakeSignal(44100, 2, 3000, i + 1));
    }
    args.insert(args.end(), inputs.begin(), inputs.end());
    const ToolRun run = PlayTool(args), again = PlayTool(args);
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(PlayedPaths(run.out), ::testing::UnorderedElementsAreArray(inputs)) << run.out;
    EXPECT_NE(PlayedPaths(run.out), inputs) << "not shuffled";
    EXPECT_EQ(PlayedPaths(again.out), PlayedPaths(run.out)) << "the same seed, another order";
    EXPECT_EQ(ReadWav16(tmp / "out.wav").Frames(), 6 * 3000u) << "each input heard once";
}

TEST(TesselPlay, RepeatTrackPlaysTheFirstTrackOverUntilInterrupted) {
    TempDir tmp;
    WriteWav16(tmp / "a.wav", 44100, 2, MakeSignal(44100, 2, 11025, 1));
    WriteWav16(tmp / "b.wav", 44100, 2, MakeSignal(44100, 2, 11025, 2));
    ChildProcess player(
        {BinDir() / "tessel-play", "--repeat", "track", tmp / "a.wav", tmp / "b.wav"},
        {"SDL_AUDIODRIVER=dummy"}, tmp / "out");
    std::this_thread::sleep_for(std::chrono::seconds(3));
    EXPECT_TRUE(player.Running()) << "it ended by itself";
    player.Stop(SIGINT);
    const std::vector<std::string> played = PlayedPaths(ReadText(tmp / "out"));
    EXPECT_GE(played.size(), 2u) << ReadText(tmp / "out");
    EXPECT_THAT(played, ::testing::Each((tmp / "a.wav").string()));
}

TEST(TesselPlay, AnMp3LongerThanTheStoreRendersWholeWhenDecodingIsTheSlowerSide) {
    // Offline, the output takes chunks faster than MP3 decodes: the read
    // worker must be woken however its batches and the output interleave.
    const fs::path mp3 =
        Fixture("mix-60s.mp3",
                "ffmpeg -v error -f lavfi -i sine=frequency=440:duration=60:sample_rate=44100 "
                "-f lavfi -i anoisesrc=d=60:a=0.05:r=44100 -filter_complex "
                "'[0][1]amix=inputs=2,aformat=channel_layouts=stereo' "
                "-c:a libmp3lame -b:a 192k -f mp3 {out}");
    TempDir tmp;
    const ToolRun run = PlayTool({"-o", tmp / "out.wav", mp3});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadWav16(tmp / "out.wav").Frames(), 60u * 44100u)
        << "the MP3's exact length, no more, no less";
}

TEST(TesselPlay, NoDeviceAtAllIsReportedWithStatusThree) {
    std::ifstream cards("/proc/asound/cards");
    std::string first;
    if (cards && std::getline(cards, first) && first.find("no soundcards") == std::string::npos)
        GTEST_SKIP() << "this machine has a sound card";
    TempDir tmp;
    WriteWav16(tmp / "in.wav", 44100, 2, MakeSignal(44100, 2, 4410));
    const ToolRun run = PlayTool({tmp / "in.wav"}, {"SDL_AUDIODRIVER=alsa"});
    EXPECT_EQ(run.status, 3);
    EXPECT_NE(run.err.find("No audio output device"), std::string::npos) << run.err;
}

TEST(TesselPlay, ListPrintsEachRowWithItsExactLengthAndRangeWithoutPlaying) {
    TempDir tmp;
    WriteWav16(tmp / "album.wav", 48000, 2, MakeSignal(48000, 2, 48000 * 3 + 7, 23));
    std::ofstream(tmp / "album.cue")
        << "FILE \"album.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"First\"\n    INDEX 01 00:00:00\n"
           "  TRACK 02 AUDIO\n    TITLE \"Second\"\n    INDEX 01 00:01:01\n"
           "  TRACK 03 AUDIO\n    TITLE \"Back\"\n    INDEX 01 00:00:50\n";
    std::ofstream(tmp / "list.m3u") << "album.cue\nmissing.wav\n";
    const ToolRun run = PlayTool({"--list", tmp / "list.m3u"});
    const std::string image = (tmp / "album.wav").string();
    EXPECT_EQ(run.out, "1\t1.013\tFirst\t" + image + "\t0-48640\n" + "2\t1.987\tSecond\t" + image +
                           "\t48640-end\n" + "3\t-\tFile Not Recognized\t" +
                           (tmp / "missing.wav").string() + "\n");
    EXPECT_EQ(run.status, 1) << "a row that will not open";
    EXPECT_NE(run.err.find("album.cue: "), std::string::npos) << "the track out of order, told";
}
