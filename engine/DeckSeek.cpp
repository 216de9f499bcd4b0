// Seeking with the position slider and fast wind with the Ffwd and Rwnd
// buttons: the target moves while held; the jump happens on release.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

namespace tessel {

void CDeck::OnPositionSliderGrabbed() {
    m_sliderHeld = true;
}

void CDeck::OnPositionSliderMoved(int position) {
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

void CDeck::SeekToSlider() {
    if (DeferIfWaiting([this] { SeekToSlider(); }))
        return;
    CommandScope scope(*this);
    const bool wasPlaying = m_isPlaying;
    if (wasPlaying)
        TogglePlayPause();
    const int position = m_host.GetPositionSlider();
    const double fraction = position / static_cast<double>(kSliderMax);
    m_elapsed = fraction * m_trackLength;
    if (m_trackState == kTrackLoaded) {
        ThreadReadFileStop();
        if (m_handedOver || !m_reader.IsOpen()) {
            // The reader has moved past this track (or closed at its end):
            // read it again from the start.
            ForgetHandedOverTracks();
            m_playlist.Tracks().ClearCuedForDeck(0);
            m_reader.Open(m_trackPath);
            m_trackSerial = m_reader.GetOpenSerial();
        }
        m_reader.SeekToFraction(fraction);
        ThreadReadFileStart();
    }
    if (wasPlaying)
        TogglePlayPause();
    m_sliderHeld = false;
}

void CDeck::OnFastForwardPressed() {
    StartFastWind(true);
}
void CDeck::OnFastForwardReleased() {
    EndFastWind(true);
}
void CDeck::OnRewindPressed() {
    StartFastWind(false);
}
void CDeck::OnRewindReleased() {
    EndFastWind(false);
}

void CDeck::StartFastWind(bool forward) {
    (forward ? m_ffwdActive : m_rwndActive) = true;
    (forward ? m_ffwdPosition : m_rwndPosition) = m_elapsed;
    m_sliderHeld = true;
    m_engine.Loop().StartTimer(forward ? kTimerFastForward : kTimerRewind, 200,
                               [this, forward] { OnFastWindTick(forward); });
}

void CDeck::EndFastWind(bool forward) {
    m_engine.Loop().StopTimer(forward ? kTimerFastForward : kTimerRewind);
    SeekToSlider();
    (forward ? m_ffwdActive : m_rwndActive) = false;
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
