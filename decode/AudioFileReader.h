// Turns one audio file into chunks of 16-bit stereo PCM, one chunk per read,
// and answers questions about the open track (length, position, title).
// Decoding is FFmpeg's (libavformat, libavcodec, libswresample).
//
// Threads: one instance is used by one thread at a time. The playback reader
// is opened by the file-open worker, read by the read worker and asked by the
// main thread; the end-of-stream hand-over closes and reopens it while the
// read worker waits inside ReadChunk (the end-of-stream handler blocks until
// the main thread has finished). m_isOpen and m_continueAtEnd are atomics.
#pragma once

#include "decode/ChunkFormat.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

class CAudioFileReader {
  public:
    // Runs on the reading thread inside ReadChunk when the stream ends, and
    // returns only once the main thread has handled the end of stream (which
    // may Open the next track into this reader and SetContinueAtEnd(true)).
    using EndOfStreamHandler = std::function<void()>;

    CAudioFileReader();
    ~CAudioFileReader();
    CAudioFileReader(const CAudioFileReader&) = delete;
    CAudioFileReader& operator=(const CAudioFileReader&) = delete;

    void SetEndOfStreamHandler(EndOfStreamHandler handler);

    // 0 on success; E_UNEXPECTED_STATUS for an empty path or a missing file;
    // FFmpeg's (negative) error code otherwise. Closes first.
    int32_t Open(std::string path);
    void Close();

    // Writes exactly one kChunkBytes chunk into `out` (zero-filled after the
    // last decoded frame at the end of a stream). `bytesRead` is the number of
    // stereo 16-bit bytes of real audio in it. E_UNEXPECTED_STATUS when closed.
    int32_t ReadChunk(uint8_t* out, uint32_t& bytesRead, bool& endOfStream);

    void SeekToFraction(double fraction);

    double GetDurationSeconds() const;
    double GetPositionSeconds() const;
    std::string GetTitle() const;
    std::string GetFileName() const;
    int32_t GetBitsPerSample() const;
    int32_t GetChannels() const;
    int32_t GetSampleRate() const;
    bool IsOpen() const;
    void SetContinueAtEnd(bool continueAtEnd);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tessel
