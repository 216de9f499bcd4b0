// What a CUE sheet's rows need of each audio file the sheet names (whether
// it plays, its rate and its length), as the decoder reads them.
//
// Threads: any; calls share no state.
#pragma once

#include "playlist/CueSheet.h"

#include <string>

namespace tessel {

CueFileFacts ProbeSheetFile(const std::string& path);

} // namespace tessel
