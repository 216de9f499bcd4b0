// Reads what MPRIS2 clients see from the main window: the deck's public
// state, the volume slider, the current title, the play list's marks, and
// whether the engine is in the middle of a command.
#pragma once

#include "app/MprisState.h"

namespace tessel {

class CMainWindow;
struct CPlayerParts;

MprisSnapshot ReadMprisSnapshot(CMainWindow& window, const CPlayerParts& parts);

} // namespace tessel
