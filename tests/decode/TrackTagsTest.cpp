// Every tag field comes out of every container ffmpeg can write here, under
// FFmpeg's names and under the ones other taggers use.
#include "decode/TrackTags.h"
#include "decode/AudioFileReader.h"
#include "decode/TrackProbe.h"
#include "tests/decode/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <ostream>

namespace tessel {
void PrintTo(const TrackTags& t, std::ostream* out) {
    *out << "{" << t.title << " | " << t.artist << " | " << t.album << " | " << t.albumArtist
         << " | " << t.date << " | " << t.genre << " | " << t.trackNumber << " | " << t.discNumber
         << "}";
}
} // namespace tessel

namespace tessel::test {
namespace {

// The 1/2 s test signal written by ffmpeg with these arguments, made once.
std::filesystem::path Tagged(const std::string& args, const std::string& extension) {
    return Encoded(SourceWav(44100, 2, 22050, 31), args, extension);
}

TrackTags Expected() {
    TrackTags tags;
    tags.title = "Déjà Vu 🎵"; // four bytes in UTF-8, a surrogate pair in UTF-16
    tags.artist = "Beyoncé";
    tags.album = "B'Day — 日本";
    tags.albumArtist = "Various Ärtists";
    tags.date = "2006";
    tags.genre = "R&B";
    tags.trackNumber = 3;
    tags.discNumber = 2;
    return tags;
}

std::string FullMetadata() {
    const TrackTags t = Expected();
    return "-metadata title=\"" + t.title + "\" -metadata artist=\"" + t.artist +
           "\" -metadata album=\"" + t.album + "\" -metadata album_artist=\"" + t.albumArtist +
           "\" -metadata date=" + t.date + " -metadata genre=\"" + t.genre +
           "\" -metadata track=3/12 -metadata disc=2/2 ";
}

TrackTags TagsOf(const std::filesystem::path& file) {
    const TrackFacts facts = ProbeTrack(file.string(), ProbeDepth::Headers);
    EXPECT_TRUE(facts.readable) << file;
    return facts.tags;
}

TEST(TrackTags, EveryFieldFromEveryContainer) {
    const std::string meta = FullMetadata();
    const std::pair<std::string, std::string> cases[] = {
        {"-id3v2_version 3 -c:a libmp3lame", "mp3"}, // TYER, UTF-16
        {"-id3v2_version 4 -c:a libmp3lame", "mp3"}, // TDRC, UTF-8
        {"-c:a libvorbis", "ogg"},                   // Vorbis comments on the stream
        {"-c:a libopus", "opus"},
        {"-c:a flac", "flac"},
        {"-c:a aac", "m4a"},    // MP4 atoms, trkn and disk as numbers
        {"-c:a wmav2", "wma"},  // ASF content description and extended content (WM/...)
        {"-c:a wavpack", "wv"}, // APEv2
    };
    for (const auto& [args, extension] : cases) {
        SCOPED_TRACE(args);
        const auto file = Tagged(meta + args, extension);
        EXPECT_EQ(TagsOf(file), Expected());
        // The playing track's reader says the same, until it closes.
        CAudioFileReader reader;
        ASSERT_EQ(reader.Open(file.string()), 0);
        EXPECT_EQ(reader.GetTags(), Expected());
        EXPECT_EQ(reader.GetTitle(), Expected().title);
        reader.Close();
        EXPECT_EQ(reader.GetTags(), TrackTags{});
        EXPECT_EQ(reader.GetTitle(), "");
    }
}

TEST(TrackTags, Id3v1OnlyAndOtherTaggersKeys) {
    // ID3v1 holds no album artist or disc and a numbered genre list.
    const auto source = SourceWav(44100, 2, 22050, 31);
    const TrackTags v1 = TagsOf(Fixture(
        "tags-id3v1.mp3", "lame --quiet --id3v1-only --tt Song --ta Band --tl Record --ty 1999 "
                          "--tg Rock --tn 7 " +
                              Quote(source) + " {out}"));
    TrackTags expected;
    expected.title = "Song";
    expected.artist = "Band";
    expected.album = "Record";
    expected.date = "1999";
    expected.genre = "Rock";
    expected.trackNumber = 7;
    EXPECT_EQ(v1, expected);

    // Keys written as other programs spell them: Vorbis "ALBUM ARTIST" and
    // "YEAR", APEv2 "Year" and "Track" with padding.
    const std::string others = "-metadata 'ALBUM ARTIST=Crew' -metadata YEAR=1987 "
                               "-metadata TRACKNUMBER=' 04 ' -metadata DISCNUMBER=1 ";
    for (const auto& [codec, extension] :
         {std::pair{"libvorbis", "ogg"}, {"flac", "flac"}, {"wavpack", "wv"}}) {
        SCOPED_TRACE(codec);
        const TrackTags tags = TagsOf(Tagged(others + "-c:a " + codec, extension));
        EXPECT_EQ(tags.albumArtist, "Crew");
        EXPECT_EQ(tags.date, "1987");
        EXPECT_EQ(tags.trackNumber, 4);
        EXPECT_EQ(tags.discNumber, 1);
    }

    // No tags at all, and a file that does not open, say nothing.
    EXPECT_EQ(TagsOf(Tagged("-map_metadata -1 -c:a flac", "flac")), TrackTags{});
    EXPECT_EQ(TagsOf(SourceWav(44100, 2, 22050, 31)), TrackTags{});
    EXPECT_EQ(ProbeTrack("/nonexistent/x.flac", ProbeDepth::Headers).tags, TrackTags{});
}

TEST(TrackTags, NumbersAndControlCharacters) {
    const std::pair<const char*, int> numbers[] = {
        {"3/12", 3}, {" 07", 7}, {"12 / 14", 12}, {"0", 0},      {"", 0},
        {"A1", 0},   {"3a", 0},  {"1e9", 0},      {"999999", 0}, {"99999", 99999},
    };
    for (const auto& [text, number] : numbers)
        EXPECT_EQ(ParseTagNumber(text), number) << text;
    EXPECT_EQ(ParseTagNumber(nullptr), 0);

    // A line break in a tag would split a playlist line.
    const TrackTags tags = TagsOf(Tagged("-metadata artist=\"  One\tTwo \" -c:a flac", "flac"));
    EXPECT_EQ(tags.artist, "One Two");
}

} // namespace
} // namespace tessel::test
