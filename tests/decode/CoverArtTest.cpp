// Covers come out of the file (FFmpeg reads every container's alike), else
// from the folder by name in any case; pictures too large or that do not decode are passed
// over; the published file follows the track and goes when done.
#include "decode/CoverArt.h"
#include "decode/CoverArtFile.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tessel::test {
namespace {

fs::path Picture(const std::string& extension) {
    return test::Picture("red", extension);
}

TEST(CoverArt, FolderPictureByNameInAnyCaseLargeAndBrokenPassedOver) {
    TempDir dir;
    const auto pngBytes = ReadBytes(Picture("png"));
    const auto jpgBytes = ReadBytes(Picture("jpg"));
    const fs::path track = dir / "01 Song.flac";
    fs::copy_file(SourceWav(44100, 2, 22050, 41), track);
    for (const fs::path& none : {track, fs::path("/nonexistent/a.mp3"), fs::path()})
        EXPECT_TRUE(FindCoverArt(none.string()).Empty()) << none;

    WriteBytes(dir / "ALBUM.PNG", pngBytes);
    WriteBytes(dir / "back.jpg", jpgBytes); // not a cover name
    EXPECT_EQ(ReadFolderCover(track.string()).mimeType, "image/png");

    WriteBytes(dir / "Front.JPEG", jpgBytes);
    EXPECT_EQ(ReadFolderCover(track.string()).mimeType, "image/jpeg") << "front before album";

    // A broken cover.jpg and a sparse one above the limit are passed over for
    // the next name; so is a folder called cover.png.
    std::vector<uint8_t> broken = {0xFF, 0xD8, 0xFF, 0xE0, 'n', 'o', 't', 0, 0, 0};
    WriteBytes(dir / "cover.jpg", broken);
    WriteBytes(dir / "Cover.jpeg", std::vector<uint8_t>(jpgBytes.begin(), jpgBytes.begin() + 4));
    fs::resize_file(dir / "Cover.jpeg", kMaxCoverBytes + 1);
    fs::create_directory(dir / "cover.png");
    WriteBytes(dir / "folder.png", pngBytes);
    const CoverPicture picture = FindCoverArt(track.string());
    EXPECT_EQ(picture.mimeType, "image/png");
    EXPECT_EQ(picture.bytes, pngBytes);

    // A JPEG named .png is known by its contents.
    WriteBytes(dir / "COVER.png", jpgBytes);
    EXPECT_EQ(ReadFolderCover(track.string()).mimeType, "image/jpeg");

    // An embedded picture wins over the folder.
    const fs::path embedded = dir / "embedded.mp3";
    fs::copy_file(WithCover(Picture("png"), "-c:a libmp3lame", "mp3"), embedded);
    EXPECT_EQ(FindCoverArt(embedded.string()).mimeType, "image/png");
    EXPECT_EQ(FindCoverArt(embedded.string()).bytes, pngBytes);
}

TEST(CoverArt, CheckPictureRefusesWhatDoesNotDecode) {
    const auto pngBytes = ReadBytes(Picture("png"));
    EXPECT_EQ(CheckPicture(pngBytes), "image/png");
    EXPECT_EQ(CheckPicture({'G', 'I', 'F', '8', '9', 'a'}), "");
    // A PNG header claiming 100000 x 100000 pixels is not decoded.
    std::vector<uint8_t> huge = pngBytes;
    const uint8_t size[] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
    std::copy(std::begin(size), std::end(size), huge.begin() + 16);
    EXPECT_EQ(CheckPicture(huge), "");
}

TEST(CoverArtFile, UnderTheRuntimeFolderWithoutThoseOfGonePlayers) {
    TempDir dir;
    {
        ScopedEnv runtime("XDG_RUNTIME_DIR", (dir.Path() / "run").c_str());
        EXPECT_EQ(DefaultCoverFolder(), dir.Path() / "run" / "tessel-audio-player");
        ScopedEnv noRuntime("XDG_RUNTIME_DIR", "relative/run");
        ScopedEnv cache("XDG_CACHE_HOME", (dir.Path() / "cache").c_str());
        EXPECT_EQ(DefaultCoverFolder(), dir.Path() / "cache" / "tessel-audio-player");
        ScopedEnv noCache("XDG_CACHE_HOME", nullptr);
        ScopedEnv home("HOME", "/home/someone");
        EXPECT_EQ(DefaultCoverFolder(), fs::path("/home/someone/.cache/tessel-audio-player"));
    }

    const fs::path folder = dir / "covers é";
    fs::create_directories(folder);
    // A cover a player that is gone left behind; one of a running player.
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    const fs::path stale = folder / ("cover-" + std::to_string(child) + "-3.jpg");
    const fs::path running = folder / ("cover-" + std::to_string(getppid()) + "-1.jpg");
    WriteBytes(stale, std::string("x"));
    WriteBytes(running, std::string("x"));

    // The worker's test follows each picture's file from one track to the
    // next; here its name.
    const CoverPicture png{ReadBytes(Picture("png")), "image/png"};
    CCoverArtFile file(folder);
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_TRUE(fs::exists(running));
    const std::string url = file.Publish(png);
    EXPECT_EQ(file.CurrentFile().extension(), ".png");
    EXPECT_EQ(ReadBytes(file.CurrentFile()), png.bytes);
    EXPECT_NE(url.find("/covers%20%C3%A9/"), std::string::npos) << url;
    EXPECT_NE(file.Publish(png), url) << "a new picture gets a new name";
}

} // namespace
} // namespace tessel::test
