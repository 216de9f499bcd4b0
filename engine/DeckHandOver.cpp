// The elapsed time and the position slider, and the end-of-stream hand-over
// that moves the deck on to the next playlist entry without a gap.
#include "engine/Deck.h"

#include "engine/FormatTime.h"

#include <algorithm>
#include <cmath>

namespace tessel {

void CDeck::UpdateTimeDisplay(uint64_t heardFrame) {
    // Each segment knows the frame of its track it starts with, so the time
    // is that of the frame being heard, whatever is buffered behind it.
    const auto s = static_cast<size_t>(heardFrame / kChunkFrames % kRingSegments);
    if (m_segmentTrackSerial[s] != m_trackSerial)
        return; // silence after the end, or the track before the current one
    const int64_t trackFrame =
        m_segmentTrackFrame[s] + static_cast<int64_t>(heardFrame % kChunkFrames);
    m_elapsed = std::max<int64_t>(0, trackFrame) / static_cast<double>(m_streamRate);
    m_timeText = FormatTime(static_cast<int>(m_elapsed));
    if (!m_sliderHeld)
        m_host.ShowTime(m_timeText);
}

int CDeck::SliderPositionOf(double seconds) const {
    if (!(m_trackLength > 0.0))
        return 0;
    return static_cast<int>(
        std::clamp(kSliderMax * seconds / m_trackLength, 0.0, double(kSliderMax)));
}

void CDeck::UpdatePositionSlider() {
    if (!(m_trackLength > 0.0))
        return;
    int position = -1;
    if (m_ffwdActive)
        position = SliderPositionOf(m_ffwdPosition);
    else if (m_rwndActive)
        position = SliderPositionOf(m_rwndPosition);
    else if (!m_sliderHeld)
        position = SliderPositionOf(m_elapsed);
    if (position < 0)
        return;
    m_host.SetPositionSlider(position);
    if (m_sliderHeld)
        ShowHeldPosition(position);
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

void CDeck::OnHandedOverTrackHeard(uint64_t serial) {
    // Tracks too short to fill a chunk of their own are passed over.
    while (!m_handedOverTracks.empty()) {
        HandedOverTrack track = std::move(m_handedOverTracks.front());
        m_handedOverTracks.pop_front();
        if (track.serial != serial)
            continue;
        m_trackSerial = serial;
        m_trackTitle = track.title;
        ShowTrack(track.path, track.length);
        if (track.row >= 0)
            m_playlist.MarkLoaded(track.row);
        else
            m_playlist.LoadCuedTrack();
        break;
    }
    // The reader is past the current track only if a later one is waiting.
    m_handedOver = !m_handedOverTracks.empty();
}

void CDeck::OnReaderEndOfStream(bool reached) {
    // A worker being stopped (a load or a seek) reads no further: handing
    // over now would open the next track behind the new one's back.
    if (!reached || m_engine.g_readRun.load() == 0)
        return;
    m_handedOver = true;
    // An entry that cannot be opened is marked and passed over, so one bad
    // file does not end the playlist.
    for (;;) {
        int row = -1;
        const std::string next = CueTrackAfterHandedOver(row);
        OpenNextTrack(next);
        if (next.empty() || m_reader.IsOpen()) {
            if (m_reader.IsOpen()) {
                m_handedOverTracks.push_back({next, m_reader.GetTitle(),
                                              m_reader.GetDurationSeconds(), row,
                                              m_reader.GetOpenSerial()});
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
