#include "playlist/CueSheet.h"
#include "playlist/PlaylistFiles.h"
#include "playlist/PlaylistText.h"
#include "playlist/TrackText.h"

#include <charconv>
#include <cmath>
#include <cstdio>

namespace tessel {

namespace {

// Minutes beyond this (about 19 years) come from damage, and would overflow
// the sample arithmetic further on.
constexpr int64_t kMaxCueMinutes = 10'000'000;

void Report(CueSheet& sheet, int line, const std::string& what) {
    if (sheet.problems.size() >= kMaxCueProblems) {
        ++sheet.problemsLeftOut;
        return;
    }
    sheet.problems.push_back("line " + std::to_string(line) + ": " + what);
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

// Splits "WORD rest" at the first run of blanks.
std::string_view TakeWord(std::string_view& text) {
    text = TrimSpace(text);
    size_t end = 0;
    while (end < text.size() && text[end] != ' ' && text[end] != '\t')
        ++end;
    const std::string_view word = text.substr(0, end);
    text = TrimSpace(text.substr(end));
    return word;
}

// A value in quotes runs to the last quote on the line, so that quotes
// inside a title ("The "Best" Of") survive; an unclosed quote runs to the
// end. `rest` is what follows the closing quote.
std::string_view Unquote(std::string_view text, std::string_view* rest = nullptr) {
    text = TrimSpace(text);
    if (rest)
        *rest = {};
    if (!text.starts_with('"'))
        return text;
    const size_t close = text.rfind('"');
    if (close == 0)
        return text.substr(1);
    if (rest)
        *rest = TrimSpace(text.substr(close + 1));
    return text.substr(1, close - 1);
}

// "FILE name TYPE": the type is the last word of a bare name.
std::string FileName(std::string_view value) {
    std::string_view rest;
    if (TrimSpace(value).starts_with('"'))
        return std::string(Unquote(value, &rest));
    value = TrimSpace(value);
    const size_t blank = value.find_last_of(" \t");
    if (blank == std::string_view::npos)
        return std::string(value);
    return std::string(TrimSpace(value.substr(0, blank)));
}

bool ParseWhole(std::string_view digits, int64_t& value) {
    if (digits.empty() || digits.size() > 12)
        return false;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    return error == std::errc() && end == digits.data() + digits.size() && value >= 0;
}

// "mm:ss:ff" -> CD frames; minutes may run past 99 for long files.
std::optional<int64_t> ParseCueTime(std::string_view text) {
    const size_t first = text.find(':');
    const size_t second = first == std::string_view::npos ? first : text.find(':', first + 1);
    if (second == std::string_view::npos)
        return std::nullopt;
    int64_t minutes = 0, seconds = 0, frames = 0;
    if (!ParseWhole(text.substr(0, first), minutes) ||
        !ParseWhole(text.substr(first + 1, second - first - 1), seconds) ||
        !ParseWhole(text.substr(second + 1), frames) || minutes > kMaxCueMinutes || seconds >= 60 ||
        frames >= kCueFramesPerSecond)
        return std::nullopt;
    return (minutes * 60 + seconds) * kCueFramesPerSecond + frames;
}

// "-7.89 dB", "0.988", quoted or not.
std::optional<double> ParseGainValue(std::string_view text) {
    text = Unquote(text);
    std::string_view number = TakeWord(text);
    if (number.starts_with('+'))
        number.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (error != std::errc() || end != number.data() + number.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

void ParseRemark(std::string_view text, CueRemarks& remarks, CueSheet& sheet, int line) {
    const std::string key = Upper(TakeWord(text));
    const std::string value(Unquote(text));
    if (key == "GENRE") {
        remarks.genre = value;
    } else if (key == "DATE") {
        remarks.date = value;
    } else if (key == "DISCNUMBER") {
        remarks.discNumber = value;
    } else if (key == "COMMENT") {
        remarks.comment = value;
    } else if (key.starts_with("REPLAYGAIN_")) {
        std::optional<double>* target = key == "REPLAYGAIN_TRACK_GAIN"   ? &remarks.trackGain
                                        : key == "REPLAYGAIN_TRACK_PEAK" ? &remarks.trackPeak
                                        : key == "REPLAYGAIN_ALBUM_GAIN" ? &remarks.albumGain
                                        : key == "REPLAYGAIN_ALBUM_PEAK" ? &remarks.albumPeak
                                                                         : nullptr;
        if (target == nullptr)
            return;
        *target = ParseGainValue(text);
        if (!*target)
            Report(sheet, line, key + " is no number: " + value);
    }
}

void ParseIndex(std::string_view text, CueSheet& sheet, int line, int currentFile) {
    CueTrack& track = sheet.tracks.back();
    const std::string_view numberText = TakeWord(text);
    int64_t number = 0;
    if (!ParseWhole(numberText, number)) {
        Report(sheet, line, "INDEX without a number");
        return;
    }
    if (number > 1)
        return; // sub-indexes mark points inside a track; no row starts there
    const std::optional<int64_t> frames = ParseCueTime(TakeWord(text));
    if (!frames) {
        Report(sheet, line, "INDEX time is not mm:ss:ff");
        return;
    }
    CueIndex& index = number == 0 ? track.pregap : track.start;
    if (index.frames >= 0) {
        Report(sheet, line, "INDEX " + std::string(numberText) + " given twice; the first counts");
        return;
    }
    index = {*frames, currentFile};
}

} // namespace

CueSheet ParseCueSheet(std::string_view bytes) {
    CueSheet sheet;
    const std::string text = DecodePlaylistText(bytes);
    LineReader lines(text);
    std::string_view line;
    int lineNumber = 0;
    int currentFile = -1;
    bool tracksDropped = false;
    bool filesDropped = false;
    while (lines.Next(line)) {
        ++lineNumber;
        if (line.size() > kMaxPlaylistLineBytes || line.find('\0') != std::string_view::npos) {
            Report(sheet, lineNumber, "unreadable line skipped");
            continue;
        }
        std::string_view rest = line;
        const std::string command = Upper(TakeWord(rest));
        const bool inTrack = !sheet.tracks.empty();
        if (command.empty()) {
            continue;
        } else if (command == "FILE") {
            if (sheet.files.size() >= kMaxCueFiles) {
                filesDropped = true;
                currentFile = -1;
                continue;
            }
            std::string name = FileName(rest);
            if (name.empty())
                Report(sheet, lineNumber, "FILE without a name");
            sheet.files.push_back(std::move(name));
            currentFile = static_cast<int>(sheet.files.size()) - 1;
        } else if (command == "TRACK") {
            if (sheet.tracks.size() >= kMaxCueTracks) {
                tracksDropped = true;
                continue;
            }
            CueTrack track;
            track.line = lineNumber;
            int64_t number = 0;
            if (!ParseWhole(TakeWord(rest), number) || number > 9999)
                Report(sheet, lineNumber, "TRACK without a number");
            track.number = static_cast<int>(std::min<int64_t>(number, 9999));
            track.audio = Upper(TakeWord(rest)) == "AUDIO";
            if (currentFile < 0)
                Report(sheet, lineNumber, "TRACK before any FILE");
            sheet.tracks.push_back(std::move(track));
        } else if (command == "INDEX") {
            if (!inTrack)
                Report(sheet, lineNumber, "INDEX outside a TRACK");
            else if (currentFile >= 0)
                ParseIndex(rest, sheet, lineNumber, currentFile);
        } else if (command == "TITLE") {
            (inTrack ? sheet.tracks.back().title : sheet.title) = std::string(Unquote(rest));
        } else if (command == "PERFORMER") {
            (inTrack ? sheet.tracks.back().performer : sheet.performer) =
                std::string(Unquote(rest));
        } else if (command == "REM") {
            ParseRemark(rest, inTrack ? sheet.tracks.back().remarks : sheet.remarks, sheet,
                        lineNumber);
        }
        // CATALOG, FLAGS, ISRC, PREGAP, POSTGAP, SONGWRITER, CDTEXTFILE and
        // anything unknown: nothing a row needs.
    }
    if (filesDropped)
        Report(sheet, lineNumber, "more than " + std::to_string(kMaxCueFiles) + " FILE lines");
    if (tracksDropped)
        Report(sheet, lineNumber, "more than " + std::to_string(kMaxCueTracks) + " tracks");
    if (sheet.tracks.empty())
        Report(sheet, lineNumber, "no TRACK in the sheet");
    return sheet;
}

} // namespace tessel
