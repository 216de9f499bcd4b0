// Moving playback to another output device while it plays: the new device
// takes over from the frame the listener hears, so nothing is lost or
// repeated beyond what the old device still held in its own buffer (which
// closing it throws away) and the ramps.
#include "core/Status.h"
#include "engine/Deck.h"

#include <algorithm>

namespace tessel {

void CDeck::RunSwitchDevice(const std::string& description, const BackendFactory& makeBackend) {
    // Playing has been paused first; the command after this one plays on.
    const DeckCommand* next = m_commands.Next();
    bool playOn = next != nullptr && next->kind == DeckCommandKind::Resume;

    // Where to go on: the frame heard now, or where an earlier switch that
    // found no device stopped.
    int64_t frame = 0;
    bool restart = false;
    if (m_placeForNextDevice.kept) {
        frame = m_placeForNextDevice.frame;
        playOn = playOn || m_placeForNextDevice.playing;
        restart = true;
    } else if (m_idlePlace.kept) {
        frame = m_idlePlace.frame; // the output was let go of while paused
        restart = true;
    } else if (m_state.Get() == State::Paused && m_streamer.IsOpen()) {
        if (!m_streamer.HeardTrackFrame(m_track.serial, frame))
            frame = static_cast<int64_t>(m_elapsed * m_streamer.Rate());
        restart = true;
    }

    std::unique_ptr<IAudioBackend> backend = makeBackend ? makeBackend() : nullptr;
    const bool opened =
        backend && m_output.OpenDevice(std::move(backend), description) == Status::Ok;
    if (!opened)
        m_output.CloseDevice();
    m_streamer.Close();
    m_host.OnOutputDeviceChanged(description, opened);

    if (m_state.Get() != State::Paused)
        return; // nothing loaded: the next load opens its stream on the new device
    if (!opened) {
        // Nothing can be heard: keep the place for the next device.
        if (playOn && next != nullptr && next->kind == DeckCommandKind::Resume)
            m_commands.DropNext();
        m_placeForNextDevice = {restart || m_placeForNextDevice.kept, playOn, frame};
        return;
    }
    m_placeForNextDevice = {};
    if (restart) {
        m_elapsed = static_cast<double>(frame) / m_streamer.Rate();
        ReadAgainFrom(frame);
    }
    // Without a stream yet, the read-ahead opens it on the new device.
    next = m_commands.Next();
    if (playOn && (next == nullptr || next->kind != DeckCommandKind::Resume))
        m_commands.Raise(DeckCommand::Of(DeckCommandKind::Resume));
}

} // namespace tessel
