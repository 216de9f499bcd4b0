// Letting go of the output while nothing plays: after a while paused,
// stopped or at the end of the data, the stream is closed so that a sound
// server can suspend the device (a paused stream keeps it awake, and a
// laptop's or a Bluetooth device's power with it). Play opens it again and
// plays on from the frame where it stood.
#include "engine/Deck.h"

namespace tessel {

void CDeck::FollowIdleness() {
    const State state = m_state.Get();
    const bool idle = (state == State::Paused || (state == State::Playing && ReachedEnd())) &&
                      m_streamer.IsOpen() && m_idleReleaseMs > 0;
    if (idle == m_idleTimerRunning)
        return;
    m_idleTimerRunning = idle;
    if (!idle) {
        m_engine.Loop().StopTimer(kTimerIdleRelease);
        return;
    }
    m_engine.Loop().StartTimer(kTimerIdleRelease, m_idleReleaseMs, [this] {
        m_engine.Loop().StopTimer(kTimerIdleRelease);
        m_idleTimerRunning = false;
        ReleaseIdleOutput();
    });
}

void CDeck::ReleaseIdleOutput() {
    const State state = m_state.Get();
    if (!m_streamer.IsOpen())
        return;
    if (state == State::Paused) {
        int64_t frame = 0;
        if (!m_streamer.HeardTrackFrame(m_track.serial, frame))
            frame = static_cast<int64_t>(m_elapsed * m_streamer.Rate());
        m_idlePlace = {true, frame};
    } else if (state == State::Playing && ReachedEnd()) {
        m_idleAtEnd = true;
    } else {
        return;
    }
    m_streamer.Close();
    m_output.CloseStream();
}

bool CDeck::ResumeReleased() {
    if (!m_idlePlace.kept || m_state.Get() != State::Paused)
        return false;
    const int64_t frame = m_idlePlace.frame;
    m_idlePlace = {};
    ReadAgainFrom(frame);
    m_commands.Raise(DeckCommand::Of(DeckCommandKind::Resume));
    return true;
}

} // namespace tessel
