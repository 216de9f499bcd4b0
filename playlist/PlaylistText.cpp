#include "playlist/PlaylistText.h"

#include "core/TextEncoding.h"
#include "playlist/TrackText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

namespace tessel {

std::string OneLine(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return out;
}

std::string DecodePlaylistText(std::string_view bytes) {
    if (bytes.starts_with("\xEF\xBB\xBF"))
        bytes.remove_prefix(3);
    else if (bytes.starts_with("\xFF\xFE"))
        return Utf16ToUtf8(bytes.substr(2), false);
    else if (bytes.starts_with("\xFE\xFF"))
        return Utf16ToUtf8(bytes.substr(2), true);
    if (IsValidUtf8(bytes))
        return std::string(bytes);
    std::string out;
    out.reserve(bytes.size() + bytes.size() / 8);
    size_t start = 0;
    while (start < bytes.size()) {
        size_t end = bytes.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = bytes.size();
        const std::string_view line = bytes.substr(start, end - start);
        if (IsValidUtf8(line))
            out.append(line);
        else
            out.append(Windows1252ToUtf8(line));
        // Line ends are ASCII in both encodings and pass unchanged.
        while (end < bytes.size() && (bytes[end] == '\r' || bytes[end] == '\n'))
            out.push_back(bytes[end++]);
        start = end;
    }
    return out;
}

bool LineReader::Next(std::string_view& line) {
    if (m_pos >= m_text.size())
        return false;
    size_t end = m_pos;
    while (end < m_text.size() && m_text[end] != '\n' && m_text[end] != '\r')
        ++end;
    if (end == m_text.size()) {
        line = m_text.substr(m_pos);
        m_pos = m_text.size();
        return true;
    }
    line = m_text.substr(m_pos, end - m_pos);
    m_pos = end + 1;
    if (m_text[end] == '\r' && m_pos < m_text.size() && m_text[m_pos] == '\n')
        ++m_pos;
    return true;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char a = text[i];
        char b = prefix[i];
        if (a >= 'A' && a <= 'Z')
            a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z')
            b = static_cast<char>(b - 'A' + 'a');
        if (a != b)
            return false;
    }
    return true;
}

double ParseSeconds(std::string_view text) {
    text = TrimSpace(text);
    if (text.starts_with('+'))
        text.remove_prefix(1);
    double value = 0.0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    (void)end;
    if (error != std::errc() || !std::isfinite(value) || value < 0.0)
        return -1.0;
    return value;
}

} // namespace tessel
