// Covers come out of every container that embeds one, else from the folder
// by name in any case; pictures too large or that do not decode are passed
// over; the published file follows the track and goes when done.
#include "decode/CoverArt.h"
#include "decode/CoverArtFile.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavutil/base64.h>
}

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace tessel::test {
namespace {

fs::path Picture(const std::string& extension) {
    return test::Picture("red", extension);
}

// The FLAC picture block that Vorbis and Opus comments carry in base64.
std::string PictureBlock(const std::vector<uint8_t>& png) {
    std::vector<uint8_t> block;
    const auto put32 = [&block](uint32_t v) {
        for (int shift = 24; shift >= 0; shift -= 8)
            block.push_back(static_cast<uint8_t>(v >> shift));
    };
    const std::string mime = "image/png";
    put32(3); // front cover
    put32(static_cast<uint32_t>(mime.size()));
    block.insert(block.end(), mime.begin(), mime.end());
    // No description, 16 x 16 pixels of 24 bits, no palette, then the data.
    for (uint32_t v : {0u, 16u, 16u, 24u, 0u, static_cast<uint32_t>(png.size())})
        put32(v);
    block.insert(block.end(), png.begin(), png.end());
    std::string text(AV_BASE64_SIZE(block.size()), '\0');
    av_base64_encode(text.data(), static_cast<int>(text.size()), block.data(),
                     static_cast<int>(block.size()));
    text.resize(text.size() - 1);
    return text;
}

TEST(CoverArt, EmbeddedInEveryContainer) {
    const fs::path png = Picture("png");
    const fs::path jpg = Picture("jpg");
    const auto pngBytes = ReadBytes(png);
    const auto jpgBytes = ReadBytes(jpg);
    struct Case {
        fs::path file;
        const std::vector<uint8_t>& bytes;
        const char* mime;
    };
    const auto source = SourceWav(44100, 2, 22050, 41);
    const std::string comment = "-metadata METADATA_BLOCK_PICTURE=" + PictureBlock(pngBytes) + " ";
    const Case cases[] = {
        {WithCover(png, "-c:a libmp3lame -id3v2_version 3", "mp3"), pngBytes, "image/png"},
        {WithCover(jpg, "-c:a libmp3lame -id3v2_version 4", "mp3"), jpgBytes, "image/jpeg"},
        {WithCover(png, "-c:a flac", "flac"), pngBytes, "image/png"},
        {WithCover(jpg, "-c:a aac", "m4a"), jpgBytes, "image/jpeg"},
        {Encoded(source, comment + "-c:a libvorbis", "ogg"), pngBytes, "image/png"},
        {Encoded(source, comment + "-c:a libopus", "opus"), pngBytes, "image/png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file.string());
        const CoverPicture picture = FindCoverArt(c.file.string());
        EXPECT_EQ(picture.mimeType, c.mime);
        EXPECT_EQ(picture.bytes, c.bytes);
    }
    EXPECT_TRUE(FindCoverArt(source.string()).Empty());
    EXPECT_TRUE(FindCoverArt("/nonexistent/a.mp3").Empty());
    EXPECT_TRUE(FindCoverArt("").Empty());
}

TEST(CoverArt, FolderPictureByNameInAnyCaseLargeAndBrokenPassedOver) {
    TempDir dir;
    const auto pngBytes = ReadBytes(Picture("png"));
    const auto jpgBytes = ReadBytes(Picture("jpg"));
    const fs::path track = dir / "01 Song.flac";
    fs::copy_file(SourceWav(44100, 2, 22050, 41), track);
    EXPECT_TRUE(FindCoverArt(track.string()).Empty());

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
    fs::copy_file(WithCover(Picture("png"), "-c:a libmp3lame -id3v2_version 3", "mp3"), embedded);
    EXPECT_EQ(FindCoverArt(embedded.string()).mimeType, "image/png");
}

TEST(CoverArt, CheckPictureRefusesWhatDoesNotDecode) {
    const auto pngBytes = ReadBytes(Picture("png"));
    EXPECT_EQ(CheckPicture(pngBytes), "image/png");
    EXPECT_EQ(CheckPicture({}), "");
    EXPECT_EQ(CheckPicture({'G', 'I', 'F', '8', '9', 'a'}), "");
    std::vector<uint8_t> cut(pngBytes.begin(), pngBytes.begin() + 20);
    EXPECT_EQ(CheckPicture(cut), "");
    // A PNG header claiming 100000 x 100000 pixels is not decoded.
    std::vector<uint8_t> huge = pngBytes;
    const uint8_t size[] = {0, 1, 0x86, 0xA0, 0, 1, 0x86, 0xA0};
    std::copy(std::begin(size), std::end(size), huge.begin() + 16);
    EXPECT_EQ(CheckPicture(huge), "");
}

TEST(CoverArtFile, OneFileAtATimeUnderTheRuntimeFolder) {
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

    CoverPicture png;
    png.bytes = ReadBytes(Picture("png"));
    png.mimeType = "image/png";
    CoverPicture jpg;
    jpg.bytes = ReadBytes(Picture("jpg"));
    jpg.mimeType = "image/jpeg";
    fs::path second;
    {
        CCoverArtFile file(folder);
        EXPECT_FALSE(fs::exists(stale));
        EXPECT_TRUE(fs::exists(running));

        const std::string url = file.Publish(png);
        const fs::path first = file.CurrentFile();
        EXPECT_EQ(first.extension(), ".png");
        EXPECT_EQ(ReadBytes(first), png.bytes);
        EXPECT_EQ(url.rfind("file://", 0), 0u);
        EXPECT_NE(url.find("/covers%20%C3%A9/"), std::string::npos) << url;

        const std::string next = file.Publish(jpg);
        second = file.CurrentFile();
        EXPECT_NE(next, url) << "a new picture gets a new name";
        EXPECT_FALSE(fs::exists(first));
        EXPECT_EQ(ReadBytes(second), jpg.bytes);

        EXPECT_EQ(file.Publish(CoverPicture{}), "");
        EXPECT_FALSE(fs::exists(second));
        file.Publish(jpg);
        second = file.CurrentFile();
        EXPECT_TRUE(fs::exists(second));
    }
    EXPECT_FALSE(fs::exists(second)) << "the owner takes its picture with it";
    EXPECT_TRUE(fs::exists(running));
}

} // namespace
} // namespace tessel::test
