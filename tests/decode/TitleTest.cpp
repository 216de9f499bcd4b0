// Titles come from whichever tag block the format keeps them in, as UTF-8.
#include "decode/AudioFileReader.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tessel::test {
namespace {

const std::string kTitle = "Café Ünïcødé — 日本語 🎵";

std::string TitleOf(const std::filesystem::path& file) {
    CAudioFileReader reader;
    EXPECT_EQ(reader.Open(file.string()), 0) << file;
    return reader.GetTitle();
}

TEST(ReaderTitle, ReadsEveryTagKindAsUtf8) {
    const auto source = SourceWav(44100, 2, 22050, 21);
    const std::string meta = "-metadata title='" + kTitle + "' ";
    const std::pair<std::string, std::string> cases[] = {
        {meta + "-id3v2_version 3 -c:a libmp3lame", "mp3"}, // ID3v2.3, UTF-16 text
        {meta + "-id3v2_version 4 -c:a libmp3lame", "mp3"}, // ID3v2.4, UTF-8 text
        {meta + "-c:a libvorbis", "ogg"},                   // Vorbis comment in the stream
        {meta + "-c:a libopus", "opus"},
        {meta + "-c:a flac", "flac"},
        {meta + "-c:a aac", "m4a"},    // MP4 ©nam
        {meta + "-c:a wmav2", "wma"},  // ASF content description
        {meta + "-c:a wavpack", "wv"}, // APEv2
    };
    for (const auto& [args, extension] : cases) {
        SCOPED_TRACE(args);
        EXPECT_EQ(TitleOf(Encoded(source, args, extension)), kTitle);
    }
    EXPECT_EQ(TitleOf(Encoded(source, "-c:a libvorbis -map_metadata -1", "ogg")), "");
    EXPECT_EQ(TitleOf(source), "");

    CAudioFileReader reader;
    ASSERT_EQ(reader.Open(Encoded(source, meta + "-c:a flac", "flac").string()), 0);
    reader.Close();
    EXPECT_EQ(reader.GetTitle(), "") << "closing forgets the title";
}

TEST(ReaderTitle, SingleByteId3v1TitleIsConverted) {
    // An ID3v1 tag in Latin-1 at the end of an MP3 without ID3v2.
    TempDir dir;
    const auto source = SourceWav(44100, 2, 22050, 21);
    const auto mp3 =
        Fixture("plain.mp3", "lame --quiet -t --id3v1-only '" + source.string() + "' {out}");
    std::filesystem::copy_file(mp3, dir / "v1.mp3");
    std::string tag(128, '\0');
    tag.replace(0, 3, "TAG");
    tag.replace(3, 5, "Caf\xE9!");
    std::ofstream(dir / "v1.mp3", std::ios::binary | std::ios::app) << tag;
    EXPECT_EQ(TitleOf(dir / "v1.mp3"), "Café!");
}

} // namespace
} // namespace tessel::test
