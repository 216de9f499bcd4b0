#include "app/SingleInstance.h"

#include <QDir>
#include <QStandardPaths>

namespace tessel {

CSingleInstanceGuard::CSingleInstanceGuard(const QString& lockPath) : m_lock(lockPath) {
    // Qt's default treats a lock older than 30 s as stale, which would let a
    // second instance start beside a long-running first one. Staleness is
    // decided by the holder's process alone.
    m_lock.setStaleLockTime(0);
}

bool CSingleInstanceGuard::TryAcquire() {
    if (m_lock.tryLock(0))
        return true;
    return m_lock.error() != QLockFile::LockFailedError;
}

namespace {

QString RuntimeFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder;
}

} // namespace

QString CSingleInstanceGuard::DefaultLockPath() {
    return QDir(RuntimeFolder()).filePath(QString::fromLatin1(kLockName));
}

QString CSingleInstanceGuard::DefaultSocketPath() {
    return QDir(RuntimeFolder()).filePath(QString::fromLatin1(kSocketName));
}

} // namespace tessel
