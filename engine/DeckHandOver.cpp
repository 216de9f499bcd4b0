// The elapsed time and the position slider, and the end-of-stream hand-over
// that moves the deck on to the next playlist entry without a gap.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

#include <algorithm>
#include <cmath>

namespace tessel {

void CDeck::UpdateTimeDisplay(uint32_t ringBytes) {
    double base = m_trackLength;
    if (!m_handedOver && m_trackState == kTrackLoaded)
        base = m_reader.GetPositionSeconds();
    uint32_t stored = 0;
    if (m_handedOver)
        stored = m_trackState == kTrackLoaded ? m_store.BytesInUseForTrack(m_trackPath) : 0;
    else
        stored = m_store.BytesInUse();
    // Stored chunks and ring segments both hold 16-bit stereo, whatever the
    // file's own channel count, so every pending byte counts the same.
    const double pending = static_cast<double>(stored) + ringBytes;
    const double seconds = pending / static_cast<double>(m_streamRate) / kBytesPerFrame;
    m_elapsed = std::max(0.0, base - seconds);
    m_timeText = FormatTime(static_cast<int>(m_elapsed));
    if (!m_sliderHeld)
        m_host.ShowTime(m_timeText);
}

void CDeck::UpdatePositionSlider() {
    if (!(m_trackLength > 0.0))
        return;
    auto toSlider = [this](double seconds) {
        return static_cast<int>(
            std::clamp(kSliderMax * seconds / m_trackLength, 0.0, double(kSliderMax)));
    };
    int position = -1;
    if (m_ffwdActive)
        position = toSlider(m_ffwdPosition);
    else if (m_rwndActive)
        position = toSlider(m_rwndPosition);
    else if (!m_sliderHeld)
        position = toSlider(m_elapsed);
    if (position < 0)
        return;
    m_host.SetPositionSlider(position);
    if (m_sliderHeld)
        OnPositionSliderMoved(position);
}

void CDeck::ForgetHandedOverTracks() {
    m_handedOver = false;
    m_handedOverTracks.clear();
    m_handOverRow = -1;
}

std::string CDeck::CueTrackAfterHandedOver(int& cuedRow) {
    // The entry after the one the reader has just finished: after several
    // short tracks that is not the loaded (sounding) entry any more.
    const int after = m_handOverRow >= 0 ? m_handOverRow : m_playlist.GetLoadedIndex(0);
    std::string path = m_playlist.CueNextTrack(0, after);
    cuedRow = path.empty() ? -1 : m_playlist.GetCuedIndex(0);
    return path;
}

void CDeck::OnReaderEndOfStream(bool reached) {
    if (!reached) {
        // The sounding track changed: the reader is past it only if a later
        // track is already waiting.
        m_handedOver = !m_handedOverTracks.empty();
        return;
    }
    m_handedOver = true;
    // An entry that cannot be opened is marked and passed over, so one bad
    // file does not end the playlist.
    for (;;) {
        int row = -1;
        const std::string next = CueTrackAfterHandedOver(row);
        OpenNextTrack(next);
        if (next.empty() || m_reader.IsOpen()) {
            if (m_reader.IsOpen()) {
                m_handedOverTracks.push_back(
                    {next, m_reader.GetTitle(), m_reader.GetDurationSeconds(), row});
                m_handOverRow = row;
            }
            return;
        }
        m_playlist.MarkUnreadable(next);
        m_handOverRow = row;
    }
}

void CDeck::OpenNextTrack(const std::string& path) {
    OpenOnFileOpenWorker(path);
    m_reader.SetContinueAtEnd(m_reader.IsOpen());
}

} // namespace tessel
