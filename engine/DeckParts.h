// The engine's objects behind one deck, built in this order and destroyed in
// the reverse one: the console player, the benchmarks and the test rigs
// assemble a deck from this one set (the player adds its settings and the
// track-length worker on top).
//
// The chunk store (1.1 MB) and the analysis ring (588 kB) live on the heap,
// so a set of parts can live on any stack.
#pragma once

#include "decode/AudioFileReader.h"
#include "engine/ChunkStore.h"
#include "engine/Deck.h"
#include "engine/EngineContext.h"
#include "engine/FileParts.h"
#include "equalizer/AnalysisRing.h"
#include "output/SoundOutput.h"
#include "playlist/Playlist.h"

#include <memory>

namespace tessel {

struct CDeckParts {
    // `reader` replaces the playback reader (a test's slow one); null for
    // the ordinary one.
    explicit CDeckParts(IMainLoop& loop, std::unique_ptr<CAudioFileReader> reader = nullptr)
        : engine(loop),
          readerOwner(reader ? std::move(reader) : std::make_unique<CAudioFileReader>()),
          reader(*readerOwner) {
        playlist.cueFileProbe = ProbeSheetFile;
    }
    CDeckParts(const CDeckParts&) = delete;
    CDeckParts& operator=(const CDeckParts&) = delete;

    std::unique_ptr<CDeck> MakeDeck(IDeckHost& host) {
        return std::make_unique<CDeck>(engine, reader, output, *store, *analysis, playlist, host);
    }

    CEngineContext engine; // events, run flags, message channel
    std::unique_ptr<CAudioFileReader> readerOwner;
    CAudioFileReader& reader;
    CSoundOutput output;
    std::unique_ptr<CChunkStore> store = std::make_unique<CChunkStore>();
    std::unique_ptr<CAnalysisRing> analysis = std::make_unique<CAnalysisRing>();
    CPlaylist playlist;
};

} // namespace tessel
