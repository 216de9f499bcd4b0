// Keeps the loudness worker fed while "Measure untagged files" is on: once
// the length worker has nothing left to do (lengths and tags first, so the
// album tags are known), the list's files are handed over; a second after
// the list last changed they are handed again (the worker passes over what
// it has seen). Measured values go into the list as they come, for entries
// opened from then on. Turning it off stops the worker and forgets the
// measured values.
//
// Threads: GUI thread only; the worker reaches it through the engine's
// message channel (AppMessage::LoudnessMeasured).
#pragma once

#include "engine/LoudnessMeasurer.h"

#include <QObject>
#include <QTimer>

namespace tessel {

class CTrackLengthLoader;
class CTrackList;

class CLoudnessMeasuring : public QObject {
  public:
    CLoudnessMeasuring(CLoudnessMeasurer& measurer, CTrackLengthLoader& lengths,
                       CTrackList& tracks);

    void SetEnabled(bool on);
    bool Enabled() const { return m_enabled; }
    // The list changed, or the length worker answered.
    void ListChanged();
    // The handler of AppMessage::LoudnessMeasured.
    void OnMeasured();
    void Shutdown();

  private:
    void HandOver();
    void HandOverSlice();

    CLoudnessMeasurer& m_measurer;
    CTrackLengthLoader& m_lengths;
    CTrackList& m_tracks;
    QTimer m_settle;
    QTimer m_slice; // the next slice of a long list, on the loop's next turn
    int m_nextRow = 0;
    bool m_enabled = false;
};

} // namespace tessel
