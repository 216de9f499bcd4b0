// Seeking with the position slider and fast wind with the Ffwd and Rwnd
// buttons: the target moves while held; the jump happens on release.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

#include <algorithm>

namespace tessel {

void CDeck::ShowHeldPosition(int position) {
    if (!m_sliderHeld)
        return;
    // Fast wind knows its target exactly; the slider's whole steps would
    // show one second less at every full second.
    double seconds = position * m_trackLength / kSliderMax;
    if (m_ffwdActive)
        seconds = m_ffwdPosition;
    else if (m_rwndActive)
        seconds = m_rwndPosition;
    m_host.ShowTime(FormatTime(static_cast<int>(seconds)));
}

void CDeck::RunSeek(int position) {
    // The slider is let go whatever happens, or it would stop following
    // playback for good.
    m_sliderHeld = false;
    const bool wasPlaying = m_state == State::Playing || m_state == State::Starting;
    if (wasPlaying)
        RunPlayPause();
    if (m_state != State::Paused)
        return; // nothing loaded
    const double fraction = std::clamp(position, 0, kSliderMax) / static_cast<double>(kSliderMax);
    m_elapsed = fraction * m_trackLength;
    // A seek decides where to play on; a device switch that waited for a
    // device would otherwise take it back.
    m_resumeOnDevice = false;
    ReadAgainFrom([this, fraction] { m_reader.SeekToFraction(fraction); });
    if (wasPlaying)
        RunPlayPause();
}

void CDeck::ReadAgainFrom(const std::function<void()>& moveReader) {
    EnterState(State::Seeking);
    ThreadReadFileStop();
    if (m_handedOver || !m_reader.IsOpen()) {
        // The reader has moved past this track (or closed at its end): read
        // it again from the start.
        ForgetHandedOverTracks();
        m_playlist.Tracks().ClearCuedForDeck(0);
        m_reader.Open(m_trackPath);
        m_trackSerial = m_reader.GetOpenSerial();
    }
    moveReader();
    ThreadReadFileStart();
    EnterState(State::Paused);
}

void CDeck::StartFastWind(bool forward) {
    (forward ? m_ffwdActive : m_rwndActive) = true;
    (forward ? m_ffwdPosition : m_rwndPosition) = m_elapsed;
    m_sliderHeld = true;
    m_engine.Loop().StartTimer(forward ? kTimerFastForward : kTimerRewind, 200,
                               [this, forward] { OnFastWindTick(forward); });
}

void CDeck::EndFastWind(bool forward) {
    bool& active = forward ? m_ffwdActive : m_rwndActive;
    if (!active)
        return; // a release without its press
    m_engine.Loop().StopTimer(forward ? kTimerFastForward : kTimerRewind);
    active = false;
    const double target = forward ? m_ffwdPosition : m_rwndPosition;
    RunSeek(SliderPositionOf(target));
}

void CDeck::OnFastWindTick(bool forward) {
    if (forward) {
        if (m_ffwdPosition + 1.0 < m_trackLength)
            m_ffwdPosition += 1.0;
    } else {
        if (m_rwndPosition - 1.0 > 0.0)
            m_rwndPosition -= 1.0;
    }
    UpdatePositionSlider();
}

} // namespace tessel
