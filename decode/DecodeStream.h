// One open audio file being decoded: demuxing and decoding with FFmpeg,
// trimming to the exact length, conversion to 16-bit stereo at the rate the
// caller wants, and sample-exact seeking.
//
// Not thread-safe: one thread at a time uses an instance.
#pragma once

#include "core/TrackTags.h"

#include "decode/FfmpegHandles.h"
#include "decode/ReplayGain.h"
#include "decode/StereoConverter.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tessel {

class CDecodeStream {
  public:
    // Opens `path`. `deliveredRate` 0 delivers at the file's own rate; any
    // other value has the audio converted to that rate. Returns 0 or FFmpeg's
    // (negative) error code.
    static int32_t Open(const std::string& path, int deliveredRate,
                        std::unique_ptr<CDecodeStream>& stream);
    ~CDecodeStream();
    CDecodeStream(const CDecodeStream&) = delete;
    CDecodeStream& operator=(const CDecodeStream&) = delete;

    // Makes the stream the part [startFrame, endFrame) of the file, in
    // file-rate frames (endFrame -1: to the end), as if the file held only
    // that: reads, lengths and seeks count from startFrame. Call right after
    // Open. Returns 0, or an error code for a range outside the file (the
    // stream is then unusable).
    int32_t SelectRange(int64_t startFrame, int64_t endFrame);
    // A stream read to the end of its part goes on with the part
    // [startFrame, endFrame) that follows it, without reopening or seeking,
    // so the two join sample for sample; reads, lengths and seeks then count
    // from startFrame. False, with nothing changed, unless the stream stopped
    // at the end it was given and startFrame is that end.
    bool ContinueRange(int64_t startFrame, int64_t endFrame);

    // Copies up to `frames` stereo 16-bit frames into `out` (byte-addressed,
    // no alignment needed). Fewer only when the stream has ended.
    size_t Read(uint8_t* out, size_t frames);
    // True when no frame is left to read.
    bool AtEnd();

    // Positions the stream at `fraction` of its length so that the next Read
    // starts at exactly that sample. Returns the new position in delivered
    // frames, or -1 when the stream could not move (it stays where it was).
    int64_t SeekToFraction(double fraction);
    // The same for a position in delivered frames (clamped to the length).
    int64_t SeekToDeliveredFrame(int64_t frame);

    int FileRate() const { return m_fileRate; }
    int DeliveredRate() const { return m_deliveredRate; }
    int FileChannels() const { return m_fileChannels; }
    double DurationSeconds() const;
    // The exact decodable length in file-rate frames; -1 when not known.
    int64_t LengthFrames() const { return m_lengthFrames; }
    const std::string& Title() const { return m_title; }
    const TrackTags& Tags() const { return m_tags; }
    const ReplayGainValues& ReplayGain() const { return m_replayGain; }

  private:
    CDecodeStream() = default;
    int64_t SeekToTarget(int64_t target);
    int32_t OpenFile(const std::string& path, int deliveredRate);
    // Takes the next decoded frame into m_frame; false at the end of the
    // stream. Skips what fails to decode.
    bool ReceiveFrame();
    // Decodes until there is something to read or the stream has ended.
    bool Refill();
    void TakeFrame();
    void AppendConverted(const int16_t* stereo, int frames, int frameRate);
    void FlushResampler();
    bool PrepareResampler(int frameRate);
    bool SeekToFrame(int64_t target, int64_t preroll);
    void ResetDecoding();
    static int InterruptCallback(void* opaque);
    void ArmDeadline(std::chrono::milliseconds budget);

    ffmpeg::FormatContextPtr m_format;
    ffmpeg::CodecContextPtr m_codec;
    ffmpeg::PacketPtr m_packet;
    ffmpeg::FramePtr m_frame;
    ffmpeg::ResamplerPtr m_resampler;
    int m_resamplerInputRate = 0;
    CStereoConverter m_converter;
    int m_streamIndex = -1;
    AVRational m_timeBase{1, 1};

    int m_fileRate = 0;
    int m_fileChannels = 0; // 1 for mono, 2 for anything wider
    int m_deliveredRate = 0;
    int64_t m_lengthFrames = -1; // exact decodable length, -1 when unknown
    bool m_cutAtLength = false;
    int64_t m_origin = 0; // timestamp of the first sample, in m_timeBase
    // Decoded samples before sample 0: a delay FFmpeg leaves in, and the
    // part of the file before a selected range.
    int64_t m_firstFrame = 0;
    // The selected part: where it starts in the file, whether it was given
    // an end, and the file's own length and cut, for a part that follows.
    int64_t m_rangeStart = 0;
    bool m_rangeEndGiven = false;
    int64_t m_fileLengthFrames = -1;
    bool m_fileCutAtLength = false;
    // The stream stopped at the end of its part (the frame that crossed it
    // is kept, for a part that follows).
    bool m_endedAtCut = false;
    std::string m_title;
    TrackTags m_tags;
    ReplayGainValues m_replayGain;

    // Source-rate sample index of the next decoded frame's first sample.
    int64_t m_nextIndex = 0;
    // After a seek: samples before this index are decoded and dropped.
    int64_t m_discardBefore = 0;
    // After a seek: the next frame's timestamp sets m_nextIndex.
    bool m_indexFromTimestamp = false;
    // After a seek: index of the first frame decoded, or one of these.
    static constexpr int64_t kNotLanded = INT64_MIN;
    static constexpr int64_t kUnknownLanding = INT64_MIN + 1;
    int64_t m_landedAt = kNotLanded;
    bool m_frameHeld = false; // m_frame holds a frame not yet taken
    bool m_sawAudioPacket = false;
    bool m_inputEnded = false;
    bool m_decoderDrained = false;
    bool m_ended = false; // nothing more will be added to m_pending

    std::vector<int16_t> m_converted; // one frame's stereo samples at its own rate
    std::vector<int16_t> m_pending;   // stereo samples ready to read
    size_t m_pendingRead = 0;         // samples of m_pending already read

    std::chrono::steady_clock::time_point m_deadline;
};

} // namespace tessel
