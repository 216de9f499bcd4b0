// Keeps the loaded track's cover published for desktop widgets: each change
// of track asks the cover worker for the new track's picture, and its answer
// comes back to the GUI thread as the URL MPRIS2 sends (mpris:artUrl).
//
// Threads: GUI thread only. The worker's answers arrive as queued calls; an
// answer to a request that is no longer the latest is dropped (the track
// changed again while the worker read).
#pragma once

#include "decode/CoverArtWorker.h"

#include <QObject>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

namespace tessel {

class CCoverArtFollower : public QObject {
    Q_OBJECT

  public:
    explicit CCoverArtFollower(std::filesystem::path folder = DefaultCoverFolder(),
                               QObject* parent = nullptr);
    ~CCoverArtFollower() override;

    // The loaded track's file (UTF-8); "" when nothing is loaded. The URL
    // goes at once, so no client sees the last track's picture for this one;
    // the same file again (another row of one CUE image) changes nothing.
    void Follow(const std::string& trackPath);
    // The published picture's file:// URL; empty while there is none.
    const std::string& Url() const { return m_url; }
    // Lets go of the picture and the worker; later requests are ignored.
    void Stop();

  signals:
    void urlChanged();

  private:
    void OnAnswer(uint64_t request, const std::string& url);

    std::unique_ptr<CCoverArtWorker> m_worker;
    std::string m_path;
    std::string m_url;
    uint64_t m_request = 0;
};

} // namespace tessel
