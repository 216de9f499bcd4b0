// The play modes in the window's menu (the ☰ button and the context menu
// show the same one): Repeat and Shuffle as submenus of exclusive choices,
// and the checks Stop After Current and Resume Playing at Start. The checks
// show what the deck says, never what was clicked: Show follows every
// change, whichever side made it (a key, MPRIS2, the stop after current
// firing).
//
// Threads: GUI thread only.
#pragma once

#include "playlist/PlayOrderModes.h"

#include <QObject>

#include <functional>

class QAction;
class QActionGroup;
class QMenu;

namespace tessel {

class CPlayModeMenu : public QObject {
  public:
    struct Hooks {
        std::function<void(RepeatMode)> setRepeat;
        std::function<void(ShuffleMode)> setShuffle;
        std::function<void(bool)> setStopAfterCurrent;
        std::function<void(bool)> setResumePlaying;
    };

    // Object names of the actions, for tests and the menu's own lookups.
    static constexpr const char* kStopAfterCurrent = "stopAfterCurrent";
    static constexpr const char* kResumePlaying = "resumePlaying";

    // Adds the entries to `menu`, which owns them.
    CPlayModeMenu(QMenu& menu, Hooks hooks);

    void Show(RepeatMode repeat, ShuffleMode shuffle, bool stopAfterCurrent, bool resumePlaying);

    // "repeat-off", "shuffle-albums", ...: the action's object name.
    static QString NameOf(RepeatMode mode);
    static QString NameOf(ShuffleMode mode);

  private:
    QActionGroup* m_repeat = nullptr;
    QActionGroup* m_shuffle = nullptr;
    QAction* m_stopAfterCurrent = nullptr;
    QAction* m_resumePlaying = nullptr;
    Hooks m_hooks;
};

} // namespace tessel
