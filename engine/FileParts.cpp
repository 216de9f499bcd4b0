#include "engine/FileParts.h"

namespace tessel {

CueFileFacts ProbeSheetFile(const std::string& path) {
    const FileChapters file = ReadChapters(path);
    return {file.readable, file.sampleRate, file.totalFrames, file.title};
}

std::vector<FilePart> ChapterParts(const FileChapters& file) {
    std::vector<FilePart> parts;
    if (file.chapters.size() < 2 || file.sampleRate <= 0)
        return parts;
    for (const ChapterRange& chapter : file.chapters) {
        const int64_t end = chapter.endFrame >= 0 ? chapter.endFrame : file.totalFrames;
        const double seconds = end > chapter.startFrame
                                   ? static_cast<double>(end - chapter.startFrame) / file.sampleRate
                                   : -1.0;
        parts.push_back({{chapter.startFrame, chapter.endFrame}, chapter.title, seconds});
    }
    return parts;
}

} // namespace tessel
