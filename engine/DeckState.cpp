#include "engine/DeckState.h"

#include <cstdio>

namespace tessel {

const char* DeckStateName(DeckState s) {
    switch (s) {
    case DeckState::NoFile:
        return "NoFile";
    case DeckState::Opening:
        return "Opening";
    case DeckState::Paused:
        return "Paused";
    case DeckState::Playing:
        return "Playing";
    case DeckState::Stopping:
        return "Stopping";
    case DeckState::Seeking:
        return "Seeking";
    case DeckState::ShutDown:
        return "ShutDown";
    }
    return "?";
}

void CDeckStateMachine::Enter(DeckState next) {
    if (!IsAllowedTransition(m_state, next)) {
        ++m_refused;
        std::fprintf(stderr, "deck: refused change %s -> %s\n", DeckStateName(m_state),
                     DeckStateName(next));
        return;
    }
    m_state = next;
}

} // namespace tessel
