#include "decode/Chapters.h"

#include "core/TextEncoding.h"
#include "decode/FfmpegHandles.h"
#include "decode/FfmpegSetup.h"
#include "decode/LocalInput.h"
#include "decode/StreamLength.h"
#include "decode/TitleTag.h"
#include "decode/Utf8Path.h"

#include <chrono>
#include <filesystem>

namespace tessel {

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::chrono::milliseconds kOpenTimeLimit{1000};
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;
// More marks than this are damage; the later ones are not looked at.
constexpr size_t kMaxChapters = 10000;

std::string Label(size_t index, const ChapterMark& mark) {
    return "chapter " + std::to_string(index + 1) +
           (mark.title.empty() ? "" : " \"" + mark.title + "\"");
}

} // namespace

FileChapters ChapterRanges(const std::vector<ChapterMark>& marks, int sampleRate,
                           int64_t totalFrames) {
    FileChapters result;
    result.readable = sampleRate > 0;
    result.sampleRate = sampleRate;
    result.totalFrames = totalFrames;
    if (sampleRate <= 0)
        return result;
    std::vector<ChapterRange> kept;
    for (size_t i = 0; i < marks.size() && i < kMaxChapters; ++i) {
        const ChapterMark& mark = marks[i];
        if (mark.timeBaseNum <= 0 || mark.timeBaseDen <= 0 || mark.start < 0) {
            result.problems.push_back(Label(i, mark) + " has no usable start; left out");
            continue;
        }
        // Nearest sample, as a CUE sheet's offsets are.
        const int64_t start =
            av_rescale_q_rnd(mark.start, AVRational{mark.timeBaseNum, mark.timeBaseDen},
                             AVRational{1, sampleRate}, AV_ROUND_NEAR_INF);
        if (!kept.empty() && start <= kept.back().startFrame) {
            result.problems.push_back(Label(i, mark) +
                                      " does not start after the one before; left out");
            continue;
        }
        if (totalFrames >= 0 && start >= totalFrames) {
            result.problems.push_back(Label(i, mark) + " starts beyond the end; left out");
            continue;
        }
        if (!kept.empty())
            kept.back().endFrame = start;
        kept.push_back({start, -1, mark.title});
    }
    if (kept.size() >= 2)
        result.chapters = std::move(kept);
    return result;
}

FileChapters ReadChapters(const std::string& path) {
    PrepareFfmpegOnce();
    std::error_code error;
    if (path.empty() || !std::filesystem::is_regular_file(PathFromUtf8(path), error))
        return {};
    const Clock::time_point deadline = Clock::now() + kOpenTimeLimit;
    const ffmpeg::FormatContextPtr format = OpenLocalInput(path, &deadline);
    if (!format)
        return {};
    AVFormatContext* raw = format.get();
    if (avformat_find_stream_info(raw, nullptr) < 0)
        return {};
    const int index = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (index < 0)
        return {};
    const AVStream& stream = *raw->streams[index];
    const int rate = stream.codecpar->sample_rate;
    if (avcodec_find_decoder(stream.codecpar->codec_id) == nullptr || rate < kMinSampleRate ||
        rate > kMaxSampleRate)
        return {};

    FileChapters chapters = ChapterRanges(ChapterMarksOf(*raw), rate,
                                          FindStreamLength(*raw, stream, rate, path).frames);
    chapters.title = ReadTitleTag(*raw, stream);
    return chapters;
}

std::vector<ChapterMark> ChapterMarksOf(const AVFormatContext& format) {
    std::vector<ChapterMark> marks;
    for (unsigned i = 0; i < format.nb_chapters && i < kMaxChapters; ++i) {
        const AVChapter& chapter = *format.chapters[i];
        const AVDictionaryEntry* title = av_dict_get(chapter.metadata, "title", nullptr, 0);
        marks.push_back({chapter.start, chapter.time_base.num, chapter.time_base.den,
                         title && title->value ? ToValidUtf8(title->value) : std::string()});
    }
    return marks;
}

} // namespace tessel
