#include "engine/SheetFileProbe.h"

#include "decode/Chapters.h"

namespace tessel {

CueFileFacts ProbeSheetFile(const std::string& path) {
    const FileChapters file = ReadChapters(path);
    return {file.readable, file.sampleRate, file.totalFrames};
}

} // namespace tessel
