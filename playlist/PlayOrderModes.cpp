#include "playlist/PlayOrderModes.h"

#include <algorithm>
#include <array>
#include <utility>

namespace tessel {

namespace {

constexpr std::array kRepeatTexts{std::pair{RepeatMode::Off, std::string_view("off")},
                                  std::pair{RepeatMode::Track, std::string_view("track")},
                                  std::pair{RepeatMode::All, std::string_view("all")}};
constexpr std::array kShuffleTexts{std::pair{ShuffleMode::Off, std::string_view("off")},
                                   std::pair{ShuffleMode::Tracks, std::string_view("tracks")},
                                   std::pair{ShuffleMode::Albums, std::string_view("albums")}};

std::string_view TrimBlanks(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && blank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && blank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool SameIgnoringAsciiCase(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return lower(x) == lower(y); });
}

template <typename Mode, size_t N>
std::string_view TextOf(const std::array<std::pair<Mode, std::string_view>, N>& table, Mode mode) {
    for (const auto& [known, text] : table)
        if (known == mode)
            return text;
    return table.front().second;
}

template <typename Mode, size_t N>
Mode ModeOf(const std::array<std::pair<Mode, std::string_view>, N>& table, std::string_view text) {
    text = TrimBlanks(text);
    for (const auto& [mode, known] : table)
        if (SameIgnoringAsciiCase(text, known))
            return mode;
    return table.front().first;
}

} // namespace

std::string_view RepeatModeText(RepeatMode mode) {
    return TextOf(kRepeatTexts, mode);
}

std::string_view ShuffleModeText(ShuffleMode mode) {
    return TextOf(kShuffleTexts, mode);
}

RepeatMode ParseRepeatMode(std::string_view text) {
    return ModeOf(kRepeatTexts, text);
}

ShuffleMode ParseShuffleMode(std::string_view text) {
    return ModeOf(kShuffleTexts, text);
}

} // namespace tessel
