// End-to-end: the console player through the real engine (reader, chunk
// store, read worker, play-forward handling, hand-over) and its outputs.
#include "tests/tools/PlayerRun.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;
using namespace tessel::test;

namespace {

std::vector<int16_t> Slice(const std::vector<int16_t>& s, size_t fromFrame, size_t toFrame) {
    return {s.begin() + static_cast<long>(fromFrame * 2),
            s.begin() + static_cast<long>(toFrame * 2)};
}

// Half a minute through SDL's disk driver at its own pace: it takes a device
// buffer every 90 ms or so like a sound card, and writes exactly what the
// player rendered. Long enough for the output ring to go round many times.
void ExpectDiskDriverGetsEveryFrameOnce(int rate) {
    TempDir tmp;
    const size_t frames = 30 * static_cast<size_t>(rate);
    WriteWav16(tmp / "count.wav", rate, 2, MakeCounterSignal(frames));
    const ToolRun run =
        PlayTool({tmp / "count.wav"},
                 {"SDL_AUDIODRIVER=disk", "SDL_DISKAUDIOFILE=" + (tmp / "disk.raw").string()});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("track\t" + (tmp / "count.wav").string() + "\t30.000"),
              std::string::npos)
        << run.out;
    ExpectRealTimePlay(run, ReadRawS16(tmp / "disk.raw"), frames, rate);
}

} // namespace

TEST(TesselPlay, SplitFilesComeOutAsTheUnsplitSignal) {
    TempDir tmp;
    // Split points that are no multiple of a chunk; the middle part is
    // shorter than the read-ahead point (51 chunks).
    const size_t cuts[] = {0, 70001, 70001 + 40000, 70001 + 40000 + 90123};
    const auto signal = MakeSignal(44100, 2, cuts[3], 7);
    std::vector<std::string> wavArgs{"-o", tmp / "out.wav"}, flacArgs = wavArgs;
    for (int i = 0; i < 3; ++i) {
        const auto part = tmp / ("part" + std::to_string(i) + ".wav");
        WriteWav16(part, 44100, 2, Slice(signal, cuts[i], cuts[i + 1]));
        const auto flac = tmp / ("part" + std::to_string(i) + ".flac");
        ASSERT_EQ(RunCommand("ffmpeg -v error -y -i " + Quote(part) + " " + Quote(flac)), 0);
        wavArgs.push_back(part);
        flacArgs.push_back(flac);
    }
    for (const auto& args : {wavArgs, flacArgs}) {
        const ToolRun run = PlayTool(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const WavData out = ReadWav16(tmp / "out.wav");
        EXPECT_EQ(out.rate, 44100);
        EXPECT_TRUE(out.samples == signal) << "gap, repeat or damage at a hand-over: " << args[2];
        // Each track is announced once, in order, with its length.
        size_t at = 0;
        for (int i = 0; i < 3; ++i) {
            at = run.out.find("track\t", at);
            ASSERT_NE(at, std::string::npos) << run.out;
            EXPECT_NE(run.out.find("part" + std::to_string(i), at), std::string::npos);
            ++at;
        }
        EXPECT_EQ(run.out.find("track\t", at), std::string::npos) << run.out;
        EXPECT_NE(
            run.out.find("part0." + std::string(args == wavArgs ? "wav" : "flac") + "\t1.587"),
            std::string::npos)
            << run.out;
    }
}

TEST(TesselPlay, MonoWidensAndARateChangeKeepsSpeedAndLength) {
    TempDir tmp;
    const auto mono = MakeSignal(44100, 1, 50000, 3);
    WriteWav16(tmp / "mono.wav", 44100, 1, mono);
    WriteWav16(tmp / "48k.wav", 48000, 2, MakeSignal(48000, 2, 96000, 4)); // 2.0 s
    const ToolRun run = PlayTool({"-o", tmp / "out.wav", tmp / "mono.wav", tmp / "48k.wav"});
    ASSERT_EQ(run.status, 0) << run.err;
    const WavData out = ReadWav16(tmp / "out.wav");
    EXPECT_EQ(out.rate, 44100);
    for (size_t i = 0; i < mono.size(); ++i) {
        ASSERT_EQ(out.samples[2 * i], mono[i]);
        ASSERT_EQ(out.samples[2 * i + 1], mono[i]);
    }
    // Two seconds at 48 kHz play as two seconds at 44.1 kHz.
    EXPECT_NEAR(static_cast<double>(out.Frames()), 50000.0 + 88200.0, 64.0);
}

TEST(TesselPlay, UnreadableInputsAreReportedAndSkipped) {
    TempDir tmp;
    const auto signal = MakeSignal(44100, 2, 30000, 5);
    WriteWav16(tmp / "good.wav", 44100, 2, signal);
    std::ofstream(tmp / "bad.mp3") << "this is not audio at all, just some text in a file";
    const ToolRun run = PlayTool({"-o", tmp / "out.wav", tmp / "missing.wav", tmp / "good.wav",
                                  tmp / "bad.mp3", tmp / "good.wav"});
    EXPECT_EQ(run.status, 1);
    for (const char* name : {"missing.wav", "bad.mp3"})
        EXPECT_NE(run.err.find("File Not Recognized: " + (tmp / name).string()), std::string::npos)
            << run.err;
    EXPECT_EQ(ReadWav16(tmp / "out.wav").samples.size(), 2 * signal.size())
        << "both good copies play, back to back";
}

TEST(TesselPlay, UsageErrorsExitWithTwo) {
    TempDir tmp;
    WriteWav16(tmp / "in.wav", 44100, 2, MakeSignal(44100, 2, 3000, 22));
    const std::string in = tmp / "in.wav";
    for (const std::string& args :
         {std::string("-o"), std::string("--bogus x.wav"), "--eq 1,2 --eq 1,2 " + in, in + " --eq",
          "--replaygain loud " + in, "--preamp 3 " + in, "--replaygain track --preamp 15.5 " + in,
          "--replaygain album --preamp x " + in, "--replaygain off --replaygain off " + in})
        EXPECT_EQ(PlayTool(Words(args)).status, 2) << args;
    EXPECT_EQ(PlayTool({}).status, 2) << "no arguments";
    // The equalizer takes 2, 3 or 5 gains from -15 to +15 dB.
    for (const char* bad :
         {"1", "1,2,3,4", "1,2,3,4,5,6", "16,0", "0,-15.5", "a,b", "1,,2", "1,2,", "nan,0", ""}) {
        const ToolRun run = PlayTool({"--eq", bad, in});
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_NE(run.err.find("not 2, 3 or 5 gains"), std::string::npos) << bad << ": " << run.err;
    }
}

TEST(TesselPlay, EqualizerAtZeroDbIsBitIdenticalAndGainsShapeTheSound) {
    TempDir tmp;
    const auto signal = MakeSignal(44100, 2, 60000, 21);
    WriteWav16(tmp / "in.wav", 44100, 2, signal);
    ASSERT_EQ(PlayTool({"--eq", "0,0,0,0,0", "-o", tmp / "flat.wav", tmp / "in.wav"}).status, 0);
    const ToolRun shaped = PlayTool({"--eq", "15,-15,4.5", "-o", tmp / "eq.wav", tmp / "in.wav"});
    ASSERT_EQ(shaped.status, 0) << shaped.err;
    EXPECT_TRUE(ReadWav16(tmp / "flat.wav").samples == signal);
    const WavData eq = ReadWav16(tmp / "eq.wav");
    ASSERT_EQ(eq.samples.size(), signal.size());
    EXPECT_FALSE(eq.samples == signal);
}

TEST(TesselPlay, PlaylistInputsExpandToTheirEntries) {
    TempDir tmp;
    const auto a = MakeSignal(44100, 2, 20000, 11);
    const auto b = MakeSignal(44100, 2, 30000, 12);
    fs::create_directories(tmp / "music");
    WriteWav16(tmp / "music" / "a.wav", 44100, 2, a);
    WriteWav16(tmp / "music" / "b.wav", 44100, 2, b);
    // As other programs write them: a relative entry with a Windows
    // separator, CRLF line ends, an absolute entry, a comment.
    std::ofstream(tmp / "list.m3u", std::ios::binary)
        << "#EXTM3U\r\n#EXTINF:1,A\r\nmusic\\a.wav\r\n# note\r\n"
        << (tmp / "music" / "b.wav").string() << "\r\n";
    std::ofstream(tmp / "list.pls")
        << "[playlist]\nFile1=music/b.wav\nNumberOfEntries=1\nVersion=2\n";
    const ToolRun run = PlayTool({"-o", tmp / "out.wav", tmp / "list.m3u", tmp / "list.pls"});
    ASSERT_EQ(run.status, 0) << run.err;
    auto expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_TRUE(ReadWav16(tmp / "out.wav").samples == expected);
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

TEST(RealTimeDisk, At44100HasEveryFrameOnceInOrder) {
    ExpectDiskDriverGetsEveryFrameOnce(44100);
}

// The device buffer doubles to 16384 frames: more ring segments per callback.
TEST(RealTimeDisk, At96000HasEveryFrameOnceInOrder) {
    ExpectDiskDriverGetsEveryFrameOnce(96000);
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
    EXPECT_EQ(PlayTool({"--list", "-o", tmp / "x.wav", tmp / "album.cue"}).status, 2);
}
