#include "decode/TitleTag.h"

#include <cstdint>

namespace tessel {

namespace {

bool IsValidUtf8(std::string_view text) {
    size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<uint8_t>(text[i]);
        size_t extra = 0;
        uint32_t code = 0;
        if (lead < 0x80) {
            ++i;
            continue;
        } else if ((lead & 0xE0) == 0xC0) {
            extra = 1;
            code = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            extra = 2;
            code = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            extra = 3;
            code = lead & 0x07;
        } else {
            return false;
        }
        if (i + extra >= text.size())
            return false;
        for (size_t k = 1; k <= extra; ++k) {
            const auto next = static_cast<uint8_t>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        const uint32_t smallest = extra == 1 ? 0x80 : extra == 2 ? 0x800 : 0x10000;
        if (code < smallest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            return false;
        i += extra + 1;
    }
    return true;
}

std::string FromLatin1(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto byte = static_cast<uint8_t>(c);
        if (byte < 0x80) {
            out.push_back(c);
        } else {
            out.push_back(static_cast<char>(0xC0 | (byte >> 6)));
            out.push_back(static_cast<char>(0x80 | (byte & 0x3F)));
        }
    }
    return out;
}

const char* FindTitle(const AVDictionary* tags) {
    // av_dict_get matches keys without regard to case: "TITLE", "Title".
    const AVDictionaryEntry* entry = av_dict_get(tags, "title", nullptr, 0);
    return entry != nullptr && entry->value != nullptr && entry->value[0] != '\0' ? entry->value
                                                                                  : nullptr;
}

} // namespace

std::string ToValidUtf8(std::string_view text) {
    return IsValidUtf8(text) ? std::string(text) : FromLatin1(text);
}

std::string ReadTitleTag(const AVFormatContext& format, const AVStream& stream) {
    const char* title = FindTitle(format.metadata);
    if (title == nullptr)
        title = FindTitle(stream.metadata);
    return title != nullptr ? ToValidUtf8(title) : std::string();
}

} // namespace tessel
