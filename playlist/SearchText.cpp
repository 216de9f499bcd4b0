#include "playlist/SearchText.h"

#include "core/TextEncoding.h"

#include <array>
#include <cstdint>

namespace tessel {

namespace {

// U+00C0 .. U+00FF: the base letters of each, or nullptr to keep it (the
// multiplication and division signs).
constexpr std::array<const char*, 64> kLatin1 = {
    "a", "a", "a", "a", "a", "a", "ae", "c",     "e", "e", "e", "e", "i", "i", "i",  "i",  // C0
    "d", "n", "o", "o", "o", "o", "o",  nullptr, "o", "u", "u", "u", "u", "y", "th", "ss", // D0
    "a", "a", "a", "a", "a", "a", "ae", "c",     "e", "e", "e", "e", "i", "i", "i",  "i",  // E0
    "d", "n", "o", "o", "o", "o", "o",  nullptr, "o", "u", "u", "u", "u", "y", "th", "y",  // F0
};

// U+0100 .. U+017F, in pairs of capital and small letter mostly.
constexpr std::array<const char*, 128> kLatinExtendedA = {
    "a", "a", "a",  "a",  "a", "a", "c", "c", "c", "c", "c", "c", "c", "c", "d", "d", // 100
    "d", "d", "e",  "e",  "e", "e", "e", "e", "e", "e", "e", "e", "g", "g", "g", "g", // 110
    "g", "g", "g",  "g",  "h", "h", "h", "h", "i", "i", "i", "i", "i", "i", "i", "i", // 120
    "i", "i", "ij", "ij", "j", "j", "k", "k", "k", "l", "l", "l", "l", "l", "l", "l", // 130
    "l", "l", "l",  "n",  "n", "n", "n", "n", "n", "n", "n", "n", "o", "o", "o", "o", // 140
    "o", "o", "oe", "oe", "r", "r", "r", "r", "r", "r", "s", "s", "s", "s", "s", "s", // 150
    "s", "s", "t",  "t",  "t", "t", "t", "t", "u", "u", "u", "u", "u", "u", "u", "u", // 160
    "u", "u", "u",  "u",  "w", "w", "y", "y", "y", "z", "z", "z", "z", "z", "z", "s", // 170
};

// One code point from the front of text; false (and nothing taken) for a
// byte that does not start well-formed UTF-8.
bool TakeCodePoint(std::string_view text, size_t& at, uint32_t& codePoint) {
    const auto byte = [&](size_t i) { return static_cast<uint8_t>(text[at + i]); };
    const uint8_t lead = byte(0);
    size_t length = 0;
    uint32_t value = 0;
    uint32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        value = lead & 0x1F;
        least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        value = lead & 0x0F;
        least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        value = lead & 0x07;
        least = 0x10000;
    } else {
        return false;
    }
    if (at + length > text.size())
        return false;
    for (size_t i = 1; i < length; ++i) {
        if ((byte(i) & 0xC0) != 0x80)
            return false;
        value = (value << 6) | (byte(i) & 0x3F);
    }
    if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
        return false;
    at += length;
    codePoint = value;
    return true;
}

void AppendFoldedCodePoint(uint32_t c, std::string& out) {
    if (c >= 0xC0 && c <= 0xFF && kLatin1[c - 0xC0] != nullptr) {
        out += kLatin1[c - 0xC0];
        return;
    }
    if (c >= 0x100 && c <= 0x17F) {
        out += kLatinExtendedA[c - 0x100];
        return;
    }
    if (c >= 0x300 && c <= 0x36F)
        return; // a combining accent: "e" + U+0301 reads as "e"
    if ((c >= 0x391 && c <= 0x3AB && c != 0x3A2) || (c >= 0x410 && c <= 0x42F))
        c += 0x20; // Greek and Cyrillic capitals
    else if (c >= 0x400 && c <= 0x40F)
        c += 0x50;
    AppendUtf8(out, c);
}

} // namespace

void AppendFolded(std::string_view text, std::string& out) {
    size_t at = 0;
    while (at < text.size()) {
        // Most of a list's text is ASCII: a whole run of it is lower-cased in
        // one pass, which keeps Find's Next quick over a long list.
        size_t runEnd = at;
        while (runEnd < text.size() && static_cast<unsigned char>(text[runEnd]) < 0x80)
            ++runEnd;
        if (runEnd > at) {
            const size_t start = out.size();
            out.resize(start + (runEnd - at));
            char* write = out.data() + start;
            for (; at < runEnd; ++at, ++write) {
                const char c = text[at];
                *write = c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c;
            }
            continue;
        }
        const auto byte = static_cast<unsigned char>(text[at]);
        uint32_t codePoint = 0;
        if (TakeCodePoint(text, at, codePoint)) {
            AppendFoldedCodePoint(codePoint, out);
        } else {
            out += static_cast<char>(byte);
            ++at;
        }
    }
}

std::string FoldForSearch(std::string_view text) {
    std::string folded;
    folded.reserve(text.size());
    AppendFolded(text, folded);
    return folded;
}

CSearchText::CSearchText(std::string_view wanted) : m_wanted(FoldForSearch(wanted)) {}

bool CSearchText::FoundIn(std::string_view text) const {
    if (m_wanted.empty())
        return true;
    // Folding never lengthens a text: every letter it replaces took at least
    // as many bytes as its base letters ("ß" -> "ss").
    if (text.size() < m_wanted.size())
        return false;
    m_folded.clear();
    AppendFolded(text, m_folded);
    return m_folded.find(m_wanted) != std::string::npos;
}

} // namespace tessel
