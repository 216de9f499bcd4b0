// Seeking, and fast wind with the Ffwd and Rwnd buttons: the target moves
// while held; the jump happens on release.
#include "engine/Deck.h"

#include <algorithm>
#include <cmath>

namespace tessel {

void CDeck::RunSeek(double seconds) {
    if (m_state.Get() != State::Paused)
        return; // nothing loaded
    m_elapsed = std::clamp(seconds, 0.0, std::max(m_track.lengthSeconds, 0.0));
    // Shown at once, whoever asked (a key, a client, the slider itself).
    ShowPosition();
    // A seek decides where to play on; a device switch that waited for a
    // device would otherwise take it back.
    m_placeForNextDevice.kept = false;
    ReadAgainFrom(static_cast<int64_t>(std::llround(m_elapsed * m_track.sampleRate)));
}

void CDeck::ReadAgainFrom(int64_t frame) {
    // The reader reopens the track when it has moved past it (or closed at
    // its end): it knows the track by its open serial.
    m_handOver.Forget();
    m_idlePlace = {};
    m_idleAtEnd = false;
    m_streamer.ClearEnd();
    m_streamer.Close();
    m_host.SetTransportEnabled(false);
    EnterState(State::Seeking);
    ReadJob job;
    job.kind = ReadJob::Kind::ReadFrom;
    job.entry = m_track.entry;
    job.path = m_track.path;
    job.range = m_track.range;
    job.gain = m_track.sheetGain;
    job.frame = frame;
    job.serial = m_track.serial;
    FollowList(); // the cue first, as for a load
    m_job = m_worker->Submit(std::move(job));
}

void CDeck::StartFastWind(bool forward) {
    m_engine.Loop().StopTimer(kTimerFastForward);
    m_engine.Loop().StopTimer(kTimerRewind);
    m_winder.Start(forward, m_elapsed);
    m_engine.Loop().StartTimer(forward ? kTimerFastForward : kTimerRewind, 200,
                               [this] { OnFastWindTick(); });
}

void CDeck::EndFastWind(bool forward) {
    double target = 0.0;
    if (!m_winder.End(forward, target))
        return; // a release without its press
    m_engine.Loop().StopTimer(forward ? kTimerFastForward : kTimerRewind);
    ShowPosition();
    // A seek like any other: it pauses first when playing.
    m_commands.Raise(DeckCommand::Of(DeckCommandKind::SeekTo, target));
}

void CDeck::OnFastWindTick() {
    m_winder.Tick(m_track.lengthSeconds);
    ShowPosition();
}

} // namespace tessel
