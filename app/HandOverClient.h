// A second start's end of the hand-over: sends its files to the running
// player's socket and waits a moment for the answer, never longer.
#pragma once

#include <QString>

#include <chrono>
#include <string>
#include <vector>

namespace tessel {

enum class HandOverResult {
    Accepted,   // the running player answered that it took the files
    Unanswered, // sent, but no answer in time (the player is busy or stopped):
                // the files wait in the socket until it reads them
    NoListener, // nobody listens, or the player dropped the connection
};

HandOverResult SendToRunningInstance(const QString& socketPath,
                                     const std::vector<std::string>& paths,
                                     std::chrono::milliseconds patience);

} // namespace tessel
