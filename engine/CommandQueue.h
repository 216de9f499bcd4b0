// The deck's one queue of commands. A command runs only when the deck is
// settled; the ones that arrive meanwhile wait here in arrival order. A
// running command may raise commands of its own (a Next makes the playlist
// ask for its entry to be played; a pause-first asks for the command again
// after the stop): those run before anything that was already waiting.
//
// Threads: main thread only.
#pragma once

#include "engine/DeckCommand.h"

#include <deque>

namespace tessel {

class CCommandQueue {
  public:
    // Queues a command from outside; while a command runs, it is raised by
    // that command instead.
    void Push(DeckCommand command);
    // Raised by the running command: after the ones it raised before, or
    // (RaiseFirst) before them.
    void Raise(DeckCommand command) { m_raised.push_back(std::move(command)); }
    void RaiseFirst(DeckCommand command) { m_raised.push_front(std::move(command)); }

    // Runs waiting commands, one at a time, for as long as `settled()` says
    // the deck takes them. `run` never nests: a command pushed while one runs
    // is raised by it.
    template <class Settled, class Run> void RunWhile(Settled settled, Run run) {
        while (!m_waiting.empty() && !m_running && settled()) {
            DeckCommand command = std::move(m_waiting.front());
            m_waiting.pop_front();
            m_running = true;
            run(command);
            m_running = false;
            TakeRaised();
        }
    }

    bool IsEmpty() const { return m_waiting.empty(); }
    size_t Size() const { return m_waiting.size(); }
    // The command that runs next, or null.
    const DeckCommand* Next() const { return m_waiting.empty() ? nullptr : &m_waiting.front(); }
    void DropNext() { m_waiting.pop_front(); }
    void Clear();
    // Whether the last command waiting that decides it makes the deck play.
    bool EndsPlaying() const;

  private:
    void TakeRaised();

    std::deque<DeckCommand> m_waiting;
    std::deque<DeckCommand> m_raised;
    bool m_running = false;
};

} // namespace tessel
