#include "decode/CoverArtWorker.h"

namespace tessel {

CCoverArtWorker::CCoverArtWorker(Answer answer, std::filesystem::path folder)
    : m_answer(std::move(answer)), m_file(std::move(folder)) {}

CCoverArtWorker::~CCoverArtWorker() = default;

uint64_t CCoverArtWorker::Request(const std::string& trackPath) {
    return m_thread.Post([this, trackPath](uint64_t number) {
        const CoverPicture picture = trackPath.empty() ? CoverPicture{} : FindCoverArt(trackPath);
        // Overtaken while reading: the newer request publishes its own.
        if (!m_thread.IsLatest(number))
            return;
        const std::string url = m_file.Publish(picture);
        if (m_answer)
            m_answer(number, url);
    });
}

} // namespace tessel
