// Moving playback to another output device while it plays: the new device
// takes over from the frame the listener hears, so nothing is lost or
// repeated beyond what the old device still held in its own buffer (which
// closing it throws away) and the ramps.
#include "core/Status.h"
#include "engine/Deck.h"

#include <algorithm>

namespace tessel {

bool CDeck::HeardTrackFrame(int64_t& frame) const {
    if (!m_output.HasDevice() || !m_streamOpen)
        return false;
    if (m_reachedEnd)
        return false;
    const uint64_t heard = HeardFrame(m_output.GetFramesPlayed());
    const auto s = static_cast<size_t>(heard / kChunkFrames % kRingSegments);
    if (m_segmentTrackSerial[s] != m_track.serial || m_segmentTrackSerial[s] == 0)
        return false;
    frame =
        std::max<int64_t>(0, m_segmentTrackFrame[s] + static_cast<int64_t>(heard % kChunkFrames));
    return true;
}

void CDeck::RunSwitchDevice(const std::string& description, const BackendFactory& makeBackend) {
    // Playing has been paused first; the command after this one plays on.
    bool playOn = !m_queue.empty() && m_queue.front().kind == DeckCommandKind::Resume;

    // Where to go on: the frame heard now, or where an earlier switch that
    // found no device stopped.
    int64_t frame = 0;
    bool restart = false;
    if (m_resumeOnDevice) {
        frame = m_resumeFrame;
        playOn = playOn || m_resumePlaying;
        restart = true;
    } else if (m_state == State::Paused && m_streamOpen) {
        if (!HeardTrackFrame(frame))
            frame = static_cast<int64_t>(m_elapsed * m_streamRate);
        restart = true;
    }

    std::unique_ptr<IAudioBackend> backend = makeBackend ? makeBackend() : nullptr;
    const bool opened =
        backend && m_output.OpenDevice(std::move(backend), description) == S_OK_STATUS;
    if (!opened)
        m_output.CloseDevice();
    m_streamOpen = false;
    m_host.OnOutputDeviceChanged(description, opened);

    if (m_state != State::Paused)
        return; // nothing loaded: the next load opens its stream on the new device
    if (!opened) {
        // Nothing can be heard: keep the place for the next device.
        if (!m_queue.empty() && m_queue.front().kind == DeckCommandKind::Resume)
            m_queue.pop_front();
        m_resumeOnDevice = restart || m_resumeOnDevice;
        m_resumeFrame = frame;
        m_resumePlaying = playOn;
        return;
    }
    m_resumeOnDevice = false;
    m_resumePlaying = false;
    if (restart) {
        m_elapsed = static_cast<double>(frame) / m_streamRate;
        ReadAgainFrom(frame);
    }
    // Without a stream yet, the read-ahead opens it on the new device.
    if (playOn && (m_queue.empty() || m_queue.front().kind != DeckCommandKind::Resume))
        m_raisedByCommand.push_back(DeckCommand::Of(DeckCommandKind::Resume));
}

} // namespace tessel
