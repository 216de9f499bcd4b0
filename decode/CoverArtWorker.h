// The loaded track's cover for desktop widgets: found (FindCoverArt) and
// published as a file (CCoverArtFile) on a worker, never on the caller's
// thread. Only the latest request is answered; a cover found for a track
// that is no longer loaded is not published, and a track without a cover,
// or no track at all, removes the picture published before.
//
// Threads: Request from one thread (the owner's). `answer` runs on the
// worker thread; the owner hands it to its own thread and there drops an
// answer whose number is not its latest request (a newer one is on its way).
// The destructor waits for a read under way, then removes the picture.
#pragma once

#include "decode/CoverArtFile.h"
#include "decode/LatestJobThread.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace tessel {

class CCoverArtWorker {
  public:
    // `url`: the published picture's file:// URL; empty for none.
    using Answer = std::function<void(uint64_t request, const std::string& url)>;

    explicit CCoverArtWorker(Answer answer, std::filesystem::path folder = DefaultCoverFolder());
    ~CCoverArtWorker();
    CCoverArtWorker(const CCoverArtWorker&) = delete;
    CCoverArtWorker& operator=(const CCoverArtWorker&) = delete;

    // The cover of `trackPath` (UTF-8); "" for none. Answers the request's
    // number, which its answer carries.
    uint64_t Request(const std::string& trackPath);

  private:
    Answer m_answer;
    CCoverArtFile m_file;      // touched on the worker only, and by the destructor after it
    CLatestJobThread m_thread; // last: joined before the file goes
};

} // namespace tessel
