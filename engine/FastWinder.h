// Ffwd and Rwnd held down: a target that moves a second at every tick from
// where playback was, within the track; on release the deck seeks there.
//
// Threads: main thread only.
#pragma once

namespace tessel {

class CFastWinder {
  public:
    void Start(bool forward, double from) {
        m_direction = forward ? 1 : -1;
        m_target = from;
    }
    void Tick(double lengthSeconds) {
        const double next = m_target + m_direction;
        if (next > 0.0 && next < lengthSeconds)
            m_target = next;
    }
    // Playback moved on to the next track while held: the target moves from
    // where that track is, not from a place in the one that ended.
    void OnTrackChanged(double from) {
        if (IsWinding())
            m_target = from;
    }
    // Ends the wind in that direction and answers its target; false for a
    // release without its press.
    bool End(bool forward, double& target) {
        if (m_direction != (forward ? 1 : -1))
            return false;
        m_direction = 0;
        target = m_target;
        return true;
    }
    bool IsWinding() const { return m_direction != 0; }
    double Target() const { return m_target; }

  private:
    int m_direction = 0; // +1 forward, -1 back, 0 none
    double m_target = 0.0;
};

} // namespace tessel
