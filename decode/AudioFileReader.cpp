#include "decode/AudioFileReader.h"

#include "core/Status.h"
#include "decode/DecodeStream.h"
#include "decode/FfmpegSetup.h"
#include "decode/Utf8Path.h"

#include <cstring>
#include <filesystem>
#include <mutex>

namespace tessel {

namespace {

constexpr int32_t kDefaultSampleRate = 44100;
constexpr int32_t kDefaultChannels = 2;
constexpr int32_t kDeliveredBits = 16;

} // namespace

struct CAudioFileReader::Impl {
    // Owned by whichever thread holds the reader (see the class comment).
    std::unique_ptr<CDecodeStream> stream;
    EndOfStreamHandler endOfStreamHandler;

    std::atomic<bool> isOpen{false};
    std::atomic<bool> continueAtEnd{false};
    // The delivered rate of the stream that has just ended, for as long as
    // ReadChunk waits in the end-of-stream handler; 0 at any other time. An
    // Open that sees it converts the new file to that rate.
    std::atomic<int32_t> handOverRate{0};

    std::atomic<int32_t> channels{kDefaultChannels};
    std::atomic<int32_t> sampleRate{kDefaultSampleRate};
    std::atomic<double> durationSeconds{0.0};
    std::atomic<int64_t> positionFrames{0}; // at the delivered rate
    std::atomic<uint64_t> openSerial{0};

    mutable std::mutex textLock;
    std::string fileName;
    std::string title;
    TrackTags tags;
    TrackRange range;
    ReplayGainValues replayGain;
};

CAudioFileReader::CAudioFileReader() : m_impl(std::make_unique<Impl>()) {
    PrepareFfmpegOnce();
}

CAudioFileReader::~CAudioFileReader() {
    Close();
}

void CAudioFileReader::SetEndOfStreamHandler(EndOfStreamHandler handler) {
    m_impl->endOfStreamHandler = std::move(handler);
}

int32_t CAudioFileReader::Open(std::string path, TrackRange range) {
    Impl& d = *m_impl;
    if (d.stream && !range.IsWholeFile() && path == GetFileName() &&
        d.stream->ContinueRange(range.start, range.end)) {
        d.durationSeconds.store(d.stream->DurationSeconds());
        d.positionFrames.store(0);
        {
            std::lock_guard<std::mutex> lock(d.textLock);
            d.range = range;
        }
        d.openSerial.fetch_add(1);
        return 0;
    }
    Close();
    if (path.empty())
        return kReaderRefused;
    std::error_code error;
    if (!std::filesystem::exists(PathFromUtf8(path), error))
        return kReaderRefused;

    const int32_t handOverRate = d.handOverRate.load(std::memory_order_acquire);
    std::unique_ptr<CDecodeStream> stream;
    const int32_t status = CDecodeStream::Open(path, handOverRate, stream);
    if (status != 0)
        return status;
    if (!range.IsWholeFile()) {
        const int32_t selected = stream->SelectRange(range.start, range.end);
        if (selected != 0)
            return selected;
    }

    d.channels.store(stream->FileChannels());
    d.sampleRate.store(stream->DeliveredRate());
    d.durationSeconds.store(stream->DurationSeconds());
    d.positionFrames.store(0);
    {
        std::lock_guard<std::mutex> lock(d.textLock);
        d.fileName = std::move(path);
        d.title = stream->Title();
        d.tags = stream->Tags();
        d.replayGain = stream->ReplayGain();
        d.range = range;
    }
    d.stream = std::move(stream);
    d.openSerial.fetch_add(1);
    d.isOpen.store(true, std::memory_order_release);
    return 0;
}

void CAudioFileReader::Close() {
    Impl& d = *m_impl;
    d.isOpen.store(false, std::memory_order_release);
    d.continueAtEnd.store(false, std::memory_order_release);
    d.stream.reset();
    std::lock_guard<std::mutex> lock(d.textLock);
    d.fileName.clear();
    d.title.clear();
    d.tags = TrackTags{};
    d.range = {};
    d.replayGain = {};
}

int32_t CAudioFileReader::ReadChunk(uint8_t* out, uint32_t& bytesRead, bool& endOfStream) {
    Impl& d = *m_impl;
    if (!d.stream || out == nullptr)
        return kReaderRefused;

    size_t frames = d.stream->Read(out, kChunkFrames);
    d.positionFrames.fetch_add(static_cast<int64_t>(frames));
    // The chunk that holds the last sample reports the end, so that a track
    // whose length is a whole number of chunks is not followed by a chunk of
    // silence before the next one. A next track shorter than the rest of the
    // chunk hands over again within it, so the chunk holds no gap.
    endOfStream = false;
    while (frames < kChunkFrames || d.stream->AtEnd()) {
        d.handOverRate.store(d.sampleRate.load(), std::memory_order_release);
        if (d.endOfStreamHandler)
            d.endOfStreamHandler();
        d.handOverRate.store(0, std::memory_order_release);
        // The acquire pairs with SetContinueAtEnd on the thread that opened
        // the next file, which makes its new stream visible here.
        if (!d.continueAtEnd.exchange(false, std::memory_order_acq_rel) || !d.stream) {
            Close();
            endOfStream = true;
            break;
        }
        const size_t more = d.stream->Read(out + FramesToBytes(static_cast<uint32_t>(frames)),
                                           kChunkFrames - frames);
        d.positionFrames.fetch_add(static_cast<int64_t>(more));
        frames += more;
    }
    const uint32_t written = FramesToBytes(static_cast<uint32_t>(frames));
    std::memset(out + written, 0, kChunkBytes - written);
    bytesRead = written;
    return 0;
}

void CAudioFileReader::SeekToFraction(double fraction) {
    Impl& d = *m_impl;
    if (!d.stream)
        return;
    const int64_t position = d.stream->SeekToFraction(fraction);
    if (position >= 0)
        d.positionFrames.store(position);
}

void CAudioFileReader::SeekToFrame(int64_t frame) {
    Impl& d = *m_impl;
    if (!d.stream)
        return;
    const int64_t position = d.stream->SeekToDeliveredFrame(frame);
    if (position >= 0)
        d.positionFrames.store(position);
}

double CAudioFileReader::GetDurationSeconds() const {
    return IsOpen() ? m_impl->durationSeconds.load() : 0.0;
}

double CAudioFileReader::GetPositionSeconds() const {
    if (!IsOpen())
        return 0.0;
    return static_cast<double>(m_impl->positionFrames.load()) / m_impl->sampleRate.load();
}

int64_t CAudioFileReader::GetPositionFrames() const {
    // Kept after the close at the end of the stream: the last chunk's
    // position is asked for after the read that closed the reader.
    return m_impl->positionFrames.load();
}

uint64_t CAudioFileReader::GetOpenSerial() const {
    return m_impl->openSerial.load();
}

std::string CAudioFileReader::GetTitle() const {
    std::lock_guard<std::mutex> lock(m_impl->textLock);
    return m_impl->title;
}

TrackTags CAudioFileReader::GetTags() const {
    std::lock_guard<std::mutex> lock(m_impl->textLock);
    return m_impl->tags;
}

std::string CAudioFileReader::GetFileName() const {
    std::lock_guard<std::mutex> lock(m_impl->textLock);
    return m_impl->fileName;
}

TrackRange CAudioFileReader::GetRange() const {
    std::lock_guard<std::mutex> lock(m_impl->textLock);
    return m_impl->range;
}

ReplayGainValues CAudioFileReader::GetReplayGain() const {
    std::lock_guard<std::mutex> lock(m_impl->textLock);
    return m_impl->replayGain;
}

int32_t CAudioFileReader::GetBitsPerSample() const {
    return kDeliveredBits;
}

int32_t CAudioFileReader::GetChannels() const {
    return m_impl->channels.load();
}

int32_t CAudioFileReader::GetSampleRate() const {
    return m_impl->sampleRate.load();
}

bool CAudioFileReader::IsOpen() const {
    return m_impl->isOpen.load(std::memory_order_acquire);
}

void CAudioFileReader::SetContinueAtEnd(bool continueAtEnd) {
    m_impl->continueAtEnd.store(continueAtEnd, std::memory_order_release);
}

} // namespace tessel
