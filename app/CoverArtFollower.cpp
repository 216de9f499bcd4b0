#include "app/CoverArtFollower.h"

#include <QMetaObject>

namespace tessel {

CCoverArtFollower::CCoverArtFollower(std::filesystem::path folder, QObject* parent)
    : QObject(parent) {
    m_worker = std::make_unique<CCoverArtWorker>(
        [this](uint64_t request, const std::string& url) {
            // On the worker thread: only the post happens here. Qt drops the
            // call should this object be gone by then, and Stop joins the
            // worker before it can be.
            QMetaObject::invokeMethod(
                this, [this, request, url] { OnAnswer(request, url); }, Qt::QueuedConnection);
        },
        std::move(folder));
}

CCoverArtFollower::~CCoverArtFollower() {
    Stop();
}

void CCoverArtFollower::Follow(const std::string& trackPath) {
    if (!m_worker || trackPath == m_path)
        return;
    m_path = trackPath;
    m_request = m_worker->Request(trackPath);
    if (!m_url.empty()) {
        m_url.clear();
        emit urlChanged();
    }
}

void CCoverArtFollower::Stop() {
    m_worker.reset();
    m_url.clear();
}

void CCoverArtFollower::OnAnswer(uint64_t request, const std::string& url) {
    if (!m_worker || request != m_request || url == m_url)
        return;
    m_url = url;
    emit urlChanged();
}

} // namespace tessel
