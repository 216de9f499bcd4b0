// Keeps the player to one instance per user: a lock file in the user's
// runtime folder, held for the life of the process. Beside it the running
// instance listens on a local socket for the files of a second start
// (HandOverServer.h).
//
// A lock left by a crashed instance is taken over: its holder's process is
// gone. A live holder's lock never goes stale, however long it has run.
#pragma once

#include <QLockFile>
#include <QString>

namespace tessel {

class CSingleInstanceGuard {
  public:
    static constexpr const char* kLockName = "Audio Player Mutex.lock";
    static constexpr const char* kSocketName = "Audio Player Files.socket";

    explicit CSingleInstanceGuard(const QString& lockPath = DefaultLockPath());

    // False only when another running instance holds the lock. A lock that
    // cannot be made at all (no runtime folder, no rights) does not keep the
    // player from starting.
    bool TryAcquire();

    static QString DefaultLockPath();
    // The hand-over socket beside the default lock.
    static QString DefaultSocketPath();

  private:
    QLockFile m_lock;
};

} // namespace tessel
