#include "engine/CommandQueue.h"

#include <iterator>

namespace tessel {

void CCommandQueue::Push(DeckCommand command) {
    if (m_running)
        m_raised.push_back(std::move(command));
    else
        m_waiting.push_back(std::move(command));
}

void CCommandQueue::TakeRaised() {
    m_waiting.insert(m_waiting.begin(), std::make_move_iterator(m_raised.begin()),
                     std::make_move_iterator(m_raised.end()));
    m_raised.clear();
}

void CCommandQueue::Clear() {
    m_waiting.clear();
    m_raised.clear();
}

bool CCommandQueue::EndsPlaying() const {
    for (auto it = m_waiting.rbegin(); it != m_waiting.rend(); ++it) {
        switch (it->kind) {
        case DeckCommandKind::Resume:
        case DeckCommandKind::PlayLoadedEntry:
        case DeckCommandKind::Next:
        case DeckCommandKind::Previous:
            return true;
        case DeckCommandKind::Pause:
        case DeckCommandKind::Close:
        case DeckCommandKind::Load:
            return false;
        default:
            break;
        }
    }
    return false;
}

} // namespace tessel
