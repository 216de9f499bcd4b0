#include "decode/TitleTag.h"

#include "core/TextEncoding.h"

#include <cstdint>

namespace tessel {

namespace {

const char* FindTitle(const AVDictionary* tags) {
    // av_dict_get matches keys without regard to case: "TITLE", "Title".
    const AVDictionaryEntry* entry = av_dict_get(tags, "title", nullptr, 0);
    return entry != nullptr && entry->value != nullptr && entry->value[0] != '\0' ? entry->value
                                                                                  : nullptr;
}

} // namespace

std::string ReadTitleTag(const AVFormatContext& format, const AVStream& stream) {
    const char* title = FindTitle(format.metadata);
    if (title == nullptr)
        title = FindTitle(stream.metadata);
    return title != nullptr ? ToValidUtf8(title) : std::string();
}

} // namespace tessel
