// ReplayGain's settings as the settings store keeps them between runs:
// "replayGain" (off, track, album or auto), "replayGainPreamp" and
// "replayGainUntagged" (dB as text), "clippingPrevention" (0 or 1, missing
// is on), "measureUntagged" (0 or 1, missing is off). A missing or damaged value reads as its default.
//
// Threads: main thread only, like the settings.
#pragma once

#include "decode/ReplayGain.h"

#include <optional>
#include <string_view>

namespace tessel {

class CSettings;

std::string_view ReplayGainModeText(ReplayGainMode mode);
std::optional<ReplayGainMode> ParseReplayGainModeText(std::string_view text);

ReplayGainSettings ReadReplayGainSettings(const CSettings& settings);
void StoreReplayGainSettings(const CSettings& settings, const ReplayGainSettings& gain);

} // namespace tessel
