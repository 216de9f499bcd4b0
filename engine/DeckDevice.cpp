// Moving playback to another output device while it plays: the new device
// takes over from the frame the listener hears, so nothing is lost or
// repeated beyond what the old device still held in its own buffer (which
// closing it throws away) and the ramps.
#include "core/Status.h"
#include "engine/Deck.h"

#include <algorithm>

namespace tessel {

bool CDeck::HeardTrackFrame(int64_t& frame) const {
    if (!m_output.HasDevice() || !m_engine.events.deckReadyToPlay.IsSet())
        return false;
    if (m_reachedEnd)
        return false;
    const uint64_t heard = HeardFrame(m_output.GetFramesPlayed());
    const auto s = static_cast<size_t>(heard / kChunkFrames % kRingSegments);
    if (m_segmentTrackSerial[s] != m_trackSerial || m_segmentTrackSerial[s] == 0)
        return false;
    frame =
        std::max<int64_t>(0, m_segmentTrackFrame[s] + static_cast<int64_t>(heard % kChunkFrames));
    return true;
}

void CDeck::RunSwitchDevice(const std::string& description, const BackendFactory& makeBackend) {
    bool playOn = m_state == State::Playing || m_state == State::Starting;
    if (m_state == State::Playing && m_reachedEnd)
        playOn = false; // the track has been heard to its end
    if (m_state == State::Playing || m_state == State::Starting)
        RunPlayPause();
    if (m_state != State::Paused && m_state != State::NoFile)
        return; // in the middle of a change: cannot happen outside a wait

    // Where to go on: the frame heard now, or where an earlier switch that
    // found no device stopped.
    const bool streamReady = m_engine.events.deckReadyToPlay.IsSet();
    int64_t frame = 0;
    bool restart = false;
    if (m_resumeOnDevice) {
        frame = m_resumeFrame;
        playOn = playOn || m_resumePlaying;
        restart = true;
    } else if (m_state == State::Paused && streamReady) {
        if (!HeardTrackFrame(frame))
            frame = static_cast<int64_t>(m_elapsed * m_streamRate);
        restart = true;
    }

    std::unique_ptr<IAudioBackend> backend = makeBackend ? makeBackend() : nullptr;
    const bool opened =
        backend && m_output.OpenDevice(std::move(backend), description) == S_OK_STATUS;
    if (!opened)
        m_output.CloseDevice();
    m_host.OnOutputDeviceChanged(description, opened);

    if (m_state != State::Paused)
        return; // nothing loaded: the next load opens its stream on the new device
    if (!opened) {
        // Nothing can be heard: keep the place for the next device.
        m_resumeOnDevice = restart || m_resumeOnDevice;
        m_resumeFrame = frame;
        m_resumePlaying = playOn;
        return;
    }
    m_resumeOnDevice = false;
    m_resumePlaying = false;
    if (restart) {
        m_elapsed = static_cast<double>(frame) / m_streamRate;
        ReadAgainFrom([this, frame] { m_reader.SeekToFrame(frame); });
    }
    // Without a stream yet, the read-ahead opens it on the new device.
    if (playOn)
        RunPlayPause();
}

} // namespace tessel
