// Turns one audio file into chunks of 16-bit stereo PCM, one chunk per read,
// and answers questions about the open track (length, position, title).
// Decoding is FFmpeg's (libavformat, libavcodec, libswresample).
//
// Threads: Open, Close, ReadChunk and SeekToFraction are called by one thread
// at a time. The playback reader is opened by the file-open worker, read by
// the read worker and asked by the main thread; the end-of-stream hand-over
// closes and reopens it on another thread while the read worker waits inside
// ReadChunk (the end-of-stream handler blocks until the main thread has
// finished). The numeric queries and IsOpen may be asked from any thread at
// any time (they read atomics); GetTitle, GetTags, GetFileName, GetRange and GetReplayGain copy
// under a small lock. The hand-over's Open learns the rate of the stream that is playing from an
// atomic that ReadChunk sets around the handler call, and SetContinueAtEnd(true) publishes the new
// stream to the waiting reader.
#pragma once

#include "core/ChunkFormat.h"
#include "core/Status.h"
#include "core/TrackRange.h"
#include "core/TrackTags.h"
#include "decode/ReplayGain.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

// What Open and ReadChunk answer besides 0 and FFmpeg's own (negative)
// error codes: the reader refused (no such file, nothing open).
inline constexpr int32_t kReaderRefused = static_cast<int32_t>(Status::Unexpected);

class CAudioFileReader {
  public:
    // Runs on the reading thread inside ReadChunk when the stream ends, and
    // returns only once the main thread has handled the end of stream (which
    // may Open the next track into this reader and SetContinueAtEnd(true)).
    using EndOfStreamHandler = std::function<void()>;

    CAudioFileReader();
    virtual ~CAudioFileReader();
    CAudioFileReader(const CAudioFileReader&) = delete;
    CAudioFileReader& operator=(const CAudioFileReader&) = delete;

    void SetEndOfStreamHandler(EndOfStreamHandler handler);

    // 0 on success; kReaderRefused for an empty path or a missing file;
    // FFmpeg's (negative) error code otherwise. Closes first, except where
    // `range` is the part of the open file that follows the part just read
    // to its end: that goes on in the same stream, so the seam is exact.
    int32_t Open(std::string path, TrackRange range = {});
    void Close();

    // Writes exactly one kChunkBytes chunk into `out` (zero-filled after the
    // last decoded frame at the end of a stream). `bytesRead` is the number of
    // stereo 16-bit bytes of real audio in it (after a hand-over: the old
    // track's tail plus the new track's head). `endOfStream` is set on the
    // chunk that holds a track's last sample when no next track was handed
    // over; the reader is then closed. kReaderRefused when closed.
    // Virtual so that a test can make decoding slow or stall.
    virtual int32_t ReadChunk(uint8_t* out, uint32_t& bytesRead, bool& endOfStream);

    // Moves to `fraction` of the track, to the sample: the next ReadChunk
    // starts exactly there. Nothing happens on a closed reader.
    void SeekToFraction(double fraction);
    // Moves to frame `frame` of the track (in the rate delivered), to the
    // sample; a frame past the end goes to the end.
    void SeekToFrame(int64_t frame);

    // The decodable length (encoder delay and padding removed where the file
    // tells them); 0.0 when closed or unknown.
    double GetDurationSeconds() const;
    // Where the next ReadChunk starts, in seconds of the track.
    double GetPositionSeconds() const;
    // The same in frames at the delivered rate; after the reader closed at
    // the end of its stream, where that stream ended.
    int64_t GetPositionFrames() const;
    // Changes with every successful Open, the hand-over's included: tells
    // two plays of the same file apart.
    uint64_t GetOpenSerial() const;
    std::string GetTitle() const;
    // Every tag of the open file; empty when closed.
    TrackTags GetTags() const;
    std::string GetFileName() const;
    // The part of the file open; whole when closed.
    TrackRange GetRange() const;
    // The loudness values of the open file's tags; empty when closed.
    ReplayGainValues GetReplayGain() const;
    // Always 16: every sample format is converted.
    int32_t GetBitsPerSample() const;
    // 1 for a mono file, 2 for anything wider (mixed down to stereo).
    int32_t GetChannels() const;
    // The rate of the chunks delivered: the file's own, except after a
    // hand-over to a file of another rate, which is converted to the rate of
    // the stream that was playing.
    int32_t GetSampleRate() const;
    bool IsOpen() const;
    void SetContinueAtEnd(bool continueAtEnd);

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace tessel
