#include "app/LoudnessMeasuring.h"

#include "engine/TrackLengthLoader.h"
#include "playlist/TrackList.h"

namespace tessel {

namespace {

// Long enough that adding a folder hands the list over once, not per file.
constexpr int kSettleMs = 1000;
// Rows per turn of the loop: a few milliseconds of the main thread.
constexpr int kSliceRows = 4000;

} // namespace

CLoudnessMeasuring::CLoudnessMeasuring(CLoudnessMeasurer& measurer, CTrackLengthLoader& lengths,
                                       CTrackList& tracks)
    : m_measurer(measurer), m_lengths(lengths), m_tracks(tracks) {
    m_settle.setSingleShot(true);
    m_settle.setInterval(kSettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] { HandOver(); });
    m_slice.setSingleShot(true);
    m_slice.setInterval(0);
    connect(&m_slice, &QTimer::timeout, this, [this] { HandOverSlice(); });
}

void CLoudnessMeasuring::SetEnabled(bool on) {
    if (on == m_enabled)
        return;
    m_enabled = on;
    if (on) {
        m_measurer.Start();
        m_settle.start();
    } else {
        m_settle.stop();
        m_slice.stop();
        m_measurer.Stop();
        m_measurer.TakeResults();
        m_tracks.ClearMeasuredGains();
    }
}

void CLoudnessMeasuring::ListChanged() {
    if (m_enabled)
        m_settle.start();
}

void CLoudnessMeasuring::HandOver() {
    if (!m_enabled)
        return;
    // Lengths and tags first: the albums are told apart by their tags.
    if (m_lengths.IsBusy()) {
        m_settle.start();
        return;
    }
    m_nextRow = 0;
    HandOverSlice();
}

void CLoudnessMeasuring::HandOverSlice() {
    if (!m_enabled)
        return;
    // Rows that moved meanwhile are caught by the pass that the change
    // itself schedules.
    m_measurer.Measure(LoudnessCandidates(m_tracks, m_nextRow, kSliceRows));
    m_nextRow += kSliceRows;
    if (m_nextRow < m_tracks.GetCount())
        m_slice.start();
}

void CLoudnessMeasuring::OnMeasured() {
    const std::vector<MeasuredGain> gains = m_measurer.TakeResults();
    if (m_enabled)
        ApplyMeasuredGains(m_tracks, gains);
}

void CLoudnessMeasuring::Shutdown() {
    m_settle.stop();
    m_slice.stop();
    m_measurer.Stop();
}

} // namespace tessel
