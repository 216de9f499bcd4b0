#include "decode/TrackTags.h"

#include "core/TextEncoding.h"
#include "decode/TitleTag.h"

#include <cctype>
#include <initializer_list>
#include <string_view>

namespace tessel {

namespace {

// FFmpeg renames most containers' keys to its own ("album_artist", "track",
// "disc", "date"); the rest stay as the file spelt them. av_dict_get ignores
// letter case.
constexpr std::initializer_list<const char*> kArtistKeys = {"artist", "author", "TPE1"};
constexpr std::initializer_list<const char*> kAlbumKeys = {"album", "TALB", "WM/AlbumTitle"};
constexpr std::initializer_list<const char*> kAlbumArtistKeys = {
    "album_artist", "albumartist", "album artist", "TPE2", "WM/AlbumArtist", "aART"};
constexpr std::initializer_list<const char*> kTrackKeys = {"track", "tracknumber", "TRCK",
                                                           "WM/TrackNumber"};
constexpr std::initializer_list<const char*> kDiscKeys = {"disc", "discnumber", "disk", "TPOS",
                                                          "WM/PartOfSet"};
constexpr std::initializer_list<const char*> kDateKeys = {"date", "year",    "TDRC",
                                                          "TYER", "WM/Year", "originaldate"};
constexpr std::initializer_list<const char*> kGenreKeys = {"genre", "TCON", "WM/Genre"};

const char* FindIn(const AVDictionary* tags, std::initializer_list<const char*> keys) {
    for (const char* key : keys) {
        const AVDictionaryEntry* entry = av_dict_get(tags, key, nullptr, 0);
        if (entry == nullptr || entry->value == nullptr)
            continue;
        for (const char* c = entry->value; *c != '\0'; ++c)
            if (!std::isspace(static_cast<unsigned char>(*c)))
                return entry->value;
    }
    return nullptr;
}

const char* Find(const AVFormatContext& format, const AVStream& stream,
                 std::initializer_list<const char*> keys) {
    const char* value = FindIn(format.metadata, keys);
    return value != nullptr ? value : FindIn(stream.metadata, keys);
}

// Valid UTF-8 without the control characters that would break a playlist
// line or a row of the list.
std::string CleanText(const char* value) {
    if (value == nullptr)
        return {};
    std::string text = ToValidUtf8(value);
    for (char& c : text)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
            c = ' ';
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos)
        return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

} // namespace

int ParseTagNumber(const char* text) {
    if (text == nullptr)
        return 0;
    std::string_view rest(text);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front())))
        rest.remove_prefix(1);
    // No album holds more; a longer run of digits is not a track number.
    constexpr int kLargest = 99999;
    int number = 0;
    size_t digits = 0;
    for (; digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]));
         ++digits) {
        number = number * 10 + (rest[digits] - '0');
        if (number > kLargest)
            return 0;
    }
    if (digits == 0)
        return 0;
    rest.remove_prefix(digits);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front())))
        rest.remove_prefix(1);
    // "3/12" counts; "3a" or "3.5" is not a number the list can show.
    if (!rest.empty() && rest.front() != '/')
        return 0;
    return number;
}

TrackTags ReadTrackTags(const AVFormatContext& format, const AVStream& audioStream) {
    TrackTags tags;
    tags.title = CleanText(ReadTitleTag(format, audioStream).c_str());
    tags.artist = CleanText(Find(format, audioStream, kArtistKeys));
    tags.album = CleanText(Find(format, audioStream, kAlbumKeys));
    tags.albumArtist = CleanText(Find(format, audioStream, kAlbumArtistKeys));
    tags.date = CleanText(Find(format, audioStream, kDateKeys));
    tags.genre = CleanText(Find(format, audioStream, kGenreKeys));
    tags.trackNumber = ParseTagNumber(Find(format, audioStream, kTrackKeys));
    tags.discNumber = ParseTagNumber(Find(format, audioStream, kDiscKeys));
    return tags;
}

} // namespace tessel
