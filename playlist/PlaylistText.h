// Byte-level helpers of the playlist reader and writers: decoding the file's
// text, walking its lines, keeping a title to one line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessel {

// The lines the kept playlist writes before an entry that is a part of its
// file: "<start>,<end>" in sample frames, and the CUE sheet it came from.
inline constexpr std::string_view kRangeLineKey = "#X-TESSEL-RANGE:";
inline constexpr std::string_view kSheetLineKey = "#X-TESSEL-SHEET:";
// A sheet's gains for the row: track gain, track peak, album gain, album
// peak, comma-separated, a missing one empty.
inline constexpr std::string_view kGainLineKey = "#X-TESSEL-GAIN:";

// The playlist's text as UTF-8: a UTF-8 or UTF-16 BOM decides the whole
// file. Without one each line is judged alone: valid UTF-8 is taken as it
// is, anything else as Windows-1252. Files edited by several programs mix
// the two, and one foreign line must not turn every other line to mojibake.
std::string DecodePlaylistText(std::string_view bytes);

// Walks lines ending in LF, CRLF or a lone CR; the last line needs no end.
class LineReader {
  public:
    explicit LineReader(std::string_view text) : m_text(text) {}
    // False at the end of the text.
    bool Next(std::string_view& line);

  private:
    std::string_view m_text;
    std::size_t m_pos = 0;
};

// ASCII case-insensitive prefix test.
bool StartsWithNoCase(std::string_view text, std::string_view prefix);

// The decimal number at the start of text (blanks and a sign allowed);
// -1.0 for no number, a negative one, or one that is not finite.
double ParseSeconds(std::string_view text);

// A title as one line: line breaks and other control characters become spaces.
std::string OneLine(std::string_view text);

} // namespace tessel
