#include "decode/LocalInput.h"

namespace tessel {

namespace {

int PastDeadline(void* opaque) {
    return std::chrono::steady_clock::now() >
                   *static_cast<const std::chrono::steady_clock::time_point*>(opaque)
               ? 1
               : 0;
}

} // namespace

ffmpeg::FormatContextPtr OpenLocalInput(const std::string& path,
                                        const std::chrono::steady_clock::time_point* deadline) {
    AVFormatContext* raw = avformat_alloc_context();
    if (raw == nullptr)
        return nullptr;
    if (deadline != nullptr) {
        raw->interrupt_callback.callback = &PastDeadline;
        raw->interrupt_callback.opaque =
            const_cast<std::chrono::steady_clock::time_point*>(deadline);
    }
    AVDictionary* rawOptions = nullptr;
    av_dict_set(&rawOptions, "protocol_whitelist", "file", 0);
    // On failure FFmpeg frees the context; what it did not use of the
    // options it gives back in their place.
    const int opened = avformat_open_input(&raw, path.c_str(), nullptr, &rawOptions);
    const ffmpeg::DictionaryPtr left(rawOptions);
    return ffmpeg::FormatContextPtr(opened < 0 ? nullptr : raw);
}

} // namespace tessel
