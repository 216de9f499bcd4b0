// The process-wide objects of the player, built in this order and destroyed
// in the reverse one. The application owns one set; tests build their own.
//
// The chunk store (1.1 MB), the analysis ring (588 kB) and the equalizer's
// filter bank (280 kB) are allocated once on the heap rather than inside
// this object, so a set of parts can live on any stack.
#pragma once

#include "app/QtMainLoop.h"
#include "decode/AudioFileReader.h"
#include "engine/ChunkStore.h"
#include "engine/EngineContext.h"
#include "engine/TrackLengthLoader.h"
#include "equalizer/AnalysisRing.h"
#include "equalizer/FilterBank.h"
#include "output/SoundOutput.h"
#include "playlist/Playlist.h"
#include "settings/Settings.h"

#include <memory>

namespace tessel {

struct CPlayerParts {
    CPlayerParts() { loop.ConnectChannel(engine.channel); }
    ~CPlayerParts() { loop.DisconnectChannel(); }
    CPlayerParts(const CPlayerParts&) = delete;
    CPlayerParts& operator=(const CPlayerParts&) = delete;

    CQtMainLoop loop;
    CEngineContext engine{loop}; // events, run flags, message channel
    CAudioFileReader reader;
    CSoundOutput output;
    std::unique_ptr<CChunkStore> store = std::make_unique<CChunkStore>();
    std::unique_ptr<CAnalysisRing> analysis = std::make_unique<CAnalysisRing>();
    std::unique_ptr<CFilterBank> equalizerBank = std::make_unique<CFilterBank>();
    CPlaylist playlist;
    CSettings settings;
    CTrackLengthLoader lengthLoader{engine};
};

} // namespace tessel
