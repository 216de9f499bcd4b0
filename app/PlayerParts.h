// The process-wide objects of the player: the deck's engine parts on the Qt
// main loop, then what only the player has (the equalizer's filter bank,
// the settings, the track-length and loudness workers). Built in this order and destroyed
// in the reverse one. The application owns one set; tests build their own.
//
// The filter bank (280 kB) is on the heap, like the deck's large parts, so
// a set of parts can live on any stack.
#pragma once

#include "app/QtMainLoop.h"
#include "decode/LoudnessCache.h"
#include "engine/DeckParts.h"
#include "engine/LoudnessMeasurer.h"
#include "engine/TrackLengthLoader.h"
#include "equalizer/FilterBank.h"
#include "settings/Settings.h"

#include <memory>

namespace tessel {

// Holds the loop so that it exists before the deck parts that post to it.
struct CPlayerLoop {
    CQtMainLoop loop;
};

struct CPlayerParts : CPlayerLoop, CDeckParts {
    CPlayerParts() : CDeckParts(loop) { loop.ConnectChannel(engine.channel); }
    ~CPlayerParts() { loop.DisconnectChannel(); }
    CPlayerParts(const CPlayerParts&) = delete;
    CPlayerParts& operator=(const CPlayerParts&) = delete;

    std::unique_ptr<CFilterBank> equalizerBank = std::make_unique<CFilterBank>();
    CSettings settings;
    CTrackLengthLoader lengthLoader{engine};
    // Idle (no thread, no cache read) until measuring is turned on.
    CLoudnessMeasurer loudnessMeasurer{engine.channel, CLoudnessCache::DefaultPath()};
};

} // namespace tessel
