// The deck's states and the one table of the changes allowed between them.
// Settled states take commands; the others wait for a worker's report, and
// commands that arrive meanwhile queue until the state settles.
#pragma once

#include <array>
#include <utility>

namespace tessel {

enum class DeckState {
    NoFile,   // settled: nothing loaded
    Opening,  // the read worker opens the track and reads ahead
    Paused,   // settled: loaded, the output stopped
    Playing,  // settled: the output plays (or has played to the end)
    Stopping, // the output's stop ramp plays out
    Seeking,  // the read worker reads again from another frame
    ShutDown, // for good
};

constexpr bool IsSettled(DeckState s) {
    return s == DeckState::NoFile || s == DeckState::Paused || s == DeckState::Playing;
}

constexpr bool IsLoaded(DeckState s) {
    return s == DeckState::Paused || s == DeckState::Playing || s == DeckState::Stopping ||
           s == DeckState::Seeking;
}

// What ends each change: a command, or the report named beside it.
inline constexpr std::array<std::pair<DeckState, DeckState>, 14> kDeckTransitions{{
    {DeckState::NoFile, DeckState::Opening},   // a load
    {DeckState::Paused, DeckState::Opening},   // a load
    {DeckState::Opening, DeckState::Opening},  // the next entry, after one that would not open
    {DeckState::Opening, DeckState::Paused},   // "primed"
    {DeckState::Opening, DeckState::NoFile},   // "open failed"
    {DeckState::Paused, DeckState::NoFile},    // no file chosen
    {DeckState::Paused, DeckState::Playing},   // play
    {DeckState::Paused, DeckState::Seeking},   // a seek, a device change
    {DeckState::Seeking, DeckState::Paused},   // "primed"
    {DeckState::Seeking, DeckState::NoFile},   // the track went away
    {DeckState::Playing, DeckState::Stopping}, // pause, and what must pause first
    {DeckState::Playing, DeckState::Paused},   // no ramp (none wanted, no device, at the end)
    {DeckState::Stopping, DeckState::Paused},  // "ramp done"
    {DeckState::NoFile, DeckState::NoFile},    // no file chosen again
}};

constexpr bool IsAllowedTransition(DeckState from, DeckState to) {
    if (to == DeckState::ShutDown)
        return from != DeckState::ShutDown;
    for (const auto& [a, b] : kDeckTransitions)
        if (a == from && b == to)
            return true;
    return false;
}

const char* DeckStateName(DeckState s);

// The state a deck is in. A change the table refuses is a fault of the
// deck's own: it is never made, and it is counted and printed (a test fails
// on any), in every build.
class CDeckStateMachine {
  public:
    DeckState Get() const { return m_state; }
    void Enter(DeckState next);
    int RefusedTransitions() const { return m_refused; }

  private:
    DeckState m_state = DeckState::NoFile;
    int m_refused = 0;
};

} // namespace tessel
