// What a start does while another instance holds the single-instance lock:
// without files, it asks the running player to raise and activate its window
// (exit 0). With files or folders, it hands the
// existing ones to the running player and exits 0 at once. When nobody takes them because the
// running player is just ending, it waits a moment for the lock and, once it
// has it, becomes the player itself with those files. It never waits long: a
// stopped or hung player costs it well under a second.
#pragma once

#include <QString>

#include <chrono>
#include <string>
#include <vector>

namespace tessel {

class CSingleInstanceGuard;

struct SecondStartOutcome {
    bool becomePlayer = false; // the lock is ours now: run as the player
    int exitStatus = 0;        // otherwise exit with this
};

inline constexpr std::chrono::milliseconds kHandOverPatience{250};
inline constexpr std::chrono::milliseconds kTakeOverPatience{700};

// Reports paths that do not exist and files not handed over on stderr.
// `paths` are absolute; those that are neither a file nor a folder are left
// out.
SecondStartOutcome RunSecondStart(CSingleInstanceGuard& guard, const QString& socketPath,
                                  const std::vector<std::string>& paths);

} // namespace tessel
