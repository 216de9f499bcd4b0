// Every tag field, under FFmpeg's names and under the ones other taggers use.
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

// The title has four bytes in UTF-8, a surrogate pair in UTF-16.
const TrackTags kExpected{
    "Déjà Vu 🎵", "Beyoncé", "B'Day — 日本", "Various Ärtists", "2006", "R&B", 3, 2,
};

std::string FullMetadata() {
    const TrackTags& t = kExpected;
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

// FFmpeg gives every container's tags under its own names, as the file's
// (ID3v2.3 here, in UTF-16) or as the stream's (Vorbis comments).
TEST(TrackTags, EveryFieldFromTheFilesOrTheStreamsTags) {
    for (const auto& [args, extension] :
         {std::pair{"-id3v2_version 3 -c:a libmp3lame", "mp3"}, {"-c:a libvorbis", "ogg"}}) {
        SCOPED_TRACE(args);
        const auto file = Tagged(FullMetadata() + args, extension);
        EXPECT_EQ(TagsOf(file), kExpected);
        // The playing track's reader says the same, until it closes.
        CAudioFileReader reader;
        ASSERT_EQ(reader.Open(file.string()), 0);
        EXPECT_EQ(reader.GetTags(), kExpected);
        EXPECT_EQ(reader.GetTitle(), kExpected.title);
        reader.Close();
        EXPECT_EQ(reader.GetTags(), TrackTags{});
        EXPECT_EQ(reader.GetTitle(), "");
    }
    // Keys as other taggers spell them, which APEv2 keeps as written.
    const TrackTags others = TagsOf(Tagged("-metadata 'ALBUM ARTIST=Crew' -metadata YEAR=1987 "
                                           "-metadata TRACKNUMBER=' 04 ' -metadata DISCNUMBER=1 "
                                           "-c:a wavpack",
                                           "wv"));
    EXPECT_EQ(others, (TrackTags{"", "", "", "Crew", "1987", "", 4, 1}));
    // No tags at all, and a file that does not open, say nothing.
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
