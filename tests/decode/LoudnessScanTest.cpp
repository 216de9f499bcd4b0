// The loudness scan against ffmpeg's own EBU R128 meter on the same files,
// the ReplayGain values it gives, files it cannot read, and the cache that
// spares a second scan.
#include "decode/LoudnessCache.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace tessel::test {
namespace {

namespace fs = std::filesystem;

// ffmpeg's integrated loudness of `inputs` played one after the other.
double FfmpegLufs(const std::vector<fs::path>& inputs, const fs::path& log) {
    std::string command = "ffmpeg -nostats -hide_banner";
    for (const fs::path& in : inputs)
        command += " -i " + Quote(in);
    command += " -filter_complex '";
    for (size_t i = 0; i < inputs.size(); ++i)
        command += "[" + std::to_string(i) + ":a]";
    command += "concat=n=" + std::to_string(inputs.size()) +
               ":v=0:a=1,ebur128=framelog=verbose' -f null - 2> " + Quote(log);
    EXPECT_EQ(RunCommand(command), 0) << command;
    // The summary's "I:" is the last one printed.
    const std::string text = ReadText(log);
    const size_t at = text.rfind(" I:");
    return at == std::string::npos ? NAN : std::stod(text.substr(at + 3));
}

TEST(LoudnessScan, MatchesFfmpegsMeterForTracksAndTheAlbum) {
    TempDir dir;
    const auto stereo = SourceWav(44100, 2, 44100 * 4, 41);
    const auto quieter = Encoded(stereo, "-af volume=-9dB -c:a flac", "flac");
    const auto mono = Encoded(SourceWav(48000, 1, 48000 * 3, 42), "-c:a libvorbis", "ogg");
    const auto surround = Encoded(
        stereo, "-af 'pan=5.1|FL=c0|FR=c1|FC=0.5*c0|LFE=c1|BL=0.3*c0|BR=0.3*c1' -c:a flac", "flac");
    for (const fs::path& file : {stereo, mono, surround}) {
        const auto loudness = ScanTrackLoudness(file.string());
        ASSERT_TRUE(loudness) << file;
        EXPECT_NEAR(loudness->integratedLufs, FfmpegLufs({file}, dir.Path() / "log"), 0.1) << file;
        EXPECT_GT(loudness->truePeak, 0.1) << file;
        EXPECT_LT(loudness->truePeak, 1.2) << file;
    }
    const AlbumLoudness album =
        ScanAlbumLoudness({stereo.string(), "/no/such/file.flac", quieter.string()});
    ASSERT_EQ(album.tracks.size(), 3u);
    EXPECT_FALSE(album.tracks[1]);
    ASSERT_TRUE(album.tracks[0] && album.tracks[2] && album.album);
    EXPECT_NEAR(album.tracks[0]->integratedLufs - album.tracks[2]->integratedLufs, 9.0, 0.05);
    EXPECT_NEAR(album.album->integratedLufs, FfmpegLufs({stereo, quieter}, dir.Path() / "log"),
                0.1);
    EXPECT_DOUBLE_EQ(album.album->truePeak, album.tracks[0]->truePeak);
}

TEST(LoudnessScan, UnreadableFilesAndSilenceGiveNoGain) {
    TempDir dir;
    WriteBytes(dir.Path() / "noise.mp3", std::string(5000, '\x5a'));
    EXPECT_FALSE(ScanTrackLoudness((dir.Path() / "noise.mp3").string()));
    EXPECT_FALSE(ScanAlbumLoudness({(dir.Path() / "noise.mp3").string()}).album);

    WriteWav16(dir.Path() / "silence.wav", 44100, 2, std::vector<int16_t>(2 * 44100, 0));
    const auto silence = ScanTrackLoudness((dir.Path() / "silence.wav").string());
    ASSERT_TRUE(silence);
    EXPECT_TRUE(std::isinf(silence->integratedLufs));
    EXPECT_EQ(ReplayGainFromLoudness(silence, silence), ReplayGainValues{});
}

TEST(LoudnessCache, KeptPerFileAndAlbumAndScannedAgainWhenAFileChanges) {
    TempDir dir;
    const fs::path a = dir.Path() / "a.wav";
    const fs::path b = dir.Path() / "b.wav";
    WriteWav16(a, 44100, 2, MakeSignal(44100, 2, 44100, 51));
    WriteWav16(b, 44100, 2, MakeSignal(44100, 2, 44100, 52));
    const std::vector<std::string> album = {a.string(), b.string()};
    const fs::path file = dir.Path() / "cache" / "loudness.tsv";

    CLoudnessCache cache(file);
    EXPECT_TRUE(cache.Load()) << "no file yet: empty";
    const AlbumLoudness first = ScanAlbumLoudnessCached(album, cache);
    ASSERT_TRUE(first.album && first.tracks[0] && first.tracks[1]);
    ASSERT_TRUE(cache.Save());

    // Read back, and made recognisable: what comes out now is the cache's.
    CLoudnessCache reread(file);
    ASSERT_TRUE(reread.Load());
    EXPECT_EQ(reread.FindTrack(*IdentifyFile(a))->integratedLufs, first.tracks[0]->integratedLufs);
    reread.PutTrack(*IdentifyFile(a), Loudness{-30.0, 0.5});
    reread.PutAlbum({*IdentifyFile(a), *IdentifyFile(b)}, Loudness{-31.0, 0.6});
    AlbumLoudness cached = ScanAlbumLoudnessCached(album, reread);
    EXPECT_EQ(cached.tracks[0]->integratedLufs, -30.0);
    EXPECT_EQ(cached.album->integratedLufs, -31.0);

    // A changed file: the album is measured again.
    WriteWav16(b, 44100, 2, MakeSignal(44100, 2, 44100, 53));
    fs::last_write_time(b, fs::last_write_time(b) + std::chrono::seconds(5));
    cached = ScanAlbumLoudnessCached(album, reread);
    EXPECT_NEAR(cached.tracks[0]->integratedLufs, first.tracks[0]->integratedLufs, 1e-9);
    EXPECT_NE(cached.album->integratedLufs, -31.0);

    // Damaged lines are passed over, the good ones kept.
    std::ofstream(file, std::ios::app) << "T\tx\t1\t-3\t1\t/p\nA\t12\t-3\t1\nT\t1\t2\tnan\t1\t/q\n"
                                       << "T\t1\t2\t-14.5\t0.9\t/ok path\twith tab\n";
    CLoudnessCache damaged(file);
    ASSERT_TRUE(damaged.Load());
    EXPECT_EQ(damaged.FindTrack({"/ok path\twith tab", 1, 2})->integratedLufs, -14.5);
    EXPECT_FALSE(damaged.FindTrack({"/q", 1, 2}));
    EXPECT_TRUE(damaged.FindTrack(*IdentifyFile(a)));
}

TEST(LoudnessCache, WhereItLivesAndHowAlbumsAreGrouped) {
    {
        ScopedEnv cache("XDG_CACHE_HOME", "/x/cache");
        EXPECT_EQ(CLoudnessCache::DefaultPath(),
                  fs::path("/x/cache/Tessel Programs/Tessel Audio Player/loudness.tsv"));
    }
    {
        ScopedEnv cache("XDG_CACHE_HOME", "relative");
        ScopedEnv home("HOME", "/home/u");
        EXPECT_EQ(CLoudnessCache::DefaultPath(),
                  fs::path("/home/u/.cache/Tessel Programs/Tessel Audio Player/loudness.tsv"));
    }
    const std::vector<std::string> paths = {"/m/x/1.flac", "/m/y/1.flac", "/m/x/2.flac",
                                            "/m/x/3.flac", "/m/x/4.flac"};
    const std::vector<std::string> tags = {"A", "A", "A", "B", ""};
    EXPECT_EQ(GroupAlbums(paths, tags), (std::vector<std::vector<size_t>>{{0, 2}, {1}, {3}, {4}}));
}

} // namespace
} // namespace tessel::test
