#include "decode/CoverArt.h"

#include "decode/FfmpegHandles.h"
#include "decode/FfmpegSetup.h"
#include "decode/LocalInput.h"
#include "decode/Utf8Path.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string_view>

namespace tessel {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kOpenTimeLimit{1000};
// A cover is shown a few hundred pixels wide; a header claiming more than
// this would only make the decoder allocate for nothing.
constexpr int64_t kMaxPixels = 8192 * 8192;

constexpr std::array<std::string_view, 4> kFolderNames = {"cover", "folder", "front", "album"};
constexpr std::array<std::string_view, 3> kFolderExtensions = {".jpg", ".jpeg", ".png"};

bool StartsWith(const std::vector<uint8_t>& bytes, std::string_view magic) {
    return bytes.size() >= magic.size() &&
           std::memcmp(bytes.data(), magic.data(), magic.size()) == 0;
}

bool Decodes(AVCodecID codecId, const std::vector<uint8_t>& bytes) {
    const AVCodec* codec = avcodec_find_decoder(codecId);
    if (codec == nullptr)
        return false;
    ffmpeg::CodecContextPtr context(avcodec_alloc_context3(codec));
    ffmpeg::PacketPtr packet(av_packet_alloc());
    ffmpeg::FramePtr frame(av_frame_alloc());
    if (!context || !packet || !frame)
        return false;
    context->max_pixels = kMaxPixels;
    context->thread_count = 1;
    if (avcodec_open2(context.get(), codec, nullptr) < 0)
        return false;
    // The packet borrows the bytes; the decoder copies what it keeps, and
    // it reads past the end only into padding it may assume is there.
    std::vector<uint8_t> padded(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE, 0);
    std::memcpy(padded.data(), bytes.data(), bytes.size());
    packet->data = padded.data();
    packet->size = static_cast<int>(bytes.size());
    packet->flags |= AV_PKT_FLAG_KEY;
    if (avcodec_send_packet(context.get(), packet.get()) < 0)
        return false;
    avcodec_send_packet(context.get(), nullptr);
    if (avcodec_receive_frame(context.get(), frame.get()) < 0)
        return false;
    return frame->width > 0 && frame->height > 0;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Where a folder file stands in the order of preference; -1 when it is no
// cover at all.
int Preference(const fs::path& file) {
    const std::string stem = Lower(file.stem().string());
    const std::string extension = Lower(file.extension().string());
    const auto name = std::find(kFolderNames.begin(), kFolderNames.end(), stem);
    const auto kind = std::find(kFolderExtensions.begin(), kFolderExtensions.end(), extension);
    if (name == kFolderNames.end() || kind == kFolderExtensions.end())
        return -1;
    return static_cast<int>((name - kFolderNames.begin()) * kFolderExtensions.size() +
                            (kind - kFolderExtensions.begin()));
}

CoverPicture ReadPictureFile(const fs::path& file) {
    std::error_code error;
    const uintmax_t size = fs::file_size(file, error);
    if (error || size == 0 || size > kMaxCoverBytes)
        return {};
    std::ifstream in(file, std::ios::binary);
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    if (!in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size)))
        return {};
    CoverPicture picture;
    picture.mimeType = CheckPicture(bytes);
    if (!picture.mimeType.empty())
        picture.bytes = std::move(bytes);
    return picture;
}

} // namespace

std::string CheckPicture(const std::vector<uint8_t>& bytes) {
    if (bytes.empty() || bytes.size() > kMaxCoverBytes)
        return {};
    PrepareFfmpegOnce();
    // By content, not by name: a ".png" that holds a JPEG is a JPEG.
    if (StartsWith(bytes, "\xFF\xD8\xFF"))
        return Decodes(AV_CODEC_ID_MJPEG, bytes) ? "image/jpeg" : "";
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n"))
        return Decodes(AV_CODEC_ID_PNG, bytes) ? "image/png" : "";
    return {};
}

CoverPicture ReadEmbeddedCover(const std::string& trackPath) {
    PrepareFfmpegOnce();
    std::error_code error;
    if (trackPath.empty() || !fs::is_regular_file(PathFromUtf8(trackPath), error))
        return {};
    const Clock::time_point deadline = Clock::now() + kOpenTimeLimit;
    const ffmpeg::FormatContextPtr format = OpenLocalInput(trackPath, &deadline);
    if (!format)
        return {};
    AVFormatContext* raw = format.get();
    // The demuxer reads attached pictures with the headers: no packet needs
    // to be read, and the stream info (which would decode audio) is not
    // needed either.
    for (unsigned i = 0; i < raw->nb_streams; ++i) {
        const AVStream& stream = *raw->streams[i];
        if ((stream.disposition & AV_DISPOSITION_ATTACHED_PIC) == 0)
            continue;
        const AVPacket& packet = stream.attached_pic;
        if (packet.data == nullptr || packet.size <= 0 ||
            static_cast<uint64_t>(packet.size) > kMaxCoverBytes)
            continue;
        std::vector<uint8_t> bytes(packet.data, packet.data + packet.size);
        CoverPicture picture;
        picture.mimeType = CheckPicture(bytes);
        if (!picture.mimeType.empty()) {
            picture.bytes = std::move(bytes);
            return picture;
        }
    }
    return {};
}

CoverPicture ReadFolderCover(const std::string& trackPath) {
    if (trackPath.empty())
        return {};
    const fs::path folder = PathFromUtf8(trackPath).parent_path();
    std::vector<std::pair<int, fs::path>> candidates;
    std::error_code error;
    fs::directory_iterator entries(folder.empty() ? fs::path(".") : folder, error);
    if (error)
        return {};
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        if (error)
            break;
        const int preference = Preference(entries->path());
        if (preference >= 0 && entries->is_regular_file(error))
            candidates.emplace_back(preference, entries->path());
    }
    // "Cover.jpg" and "cover.jpg" can both be there: the name's bytes decide,
    // so the same folder always gives the same picture.
    std::sort(candidates.begin(), candidates.end());
    for (const auto& [preference, file] : candidates) {
        CoverPicture picture = ReadPictureFile(file);
        if (!picture.Empty())
            return picture;
    }
    return {};
}

CoverPicture FindCoverArt(const std::string& trackPath) {
    CoverPicture picture = ReadEmbeddedCover(trackPath);
    return picture.Empty() ? ReadFolderCover(trackPath) : picture;
}

} // namespace tessel
