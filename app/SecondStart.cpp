#include "app/SecondStart.h"

#include "app/HandOverClient.h"
#include "app/SingleInstance.h"

#include <QElapsedTimer>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <thread>

namespace tessel {

namespace {

// Folders go over as folders: the running player lists their audio files
// as a first start does, on its own worker, so a large tree neither holds
// this start up nor has to fit into one message.
std::vector<std::string> ExistingPaths(const std::vector<std::string>& paths) {
    std::vector<std::string> existing;
    for (const std::string& path : paths) {
        std::error_code error;
        const std::filesystem::file_status status = std::filesystem::status(path, error);
        if (std::filesystem::is_regular_file(status) || std::filesystem::is_directory(status))
            existing.push_back(path);
        else
            std::fprintf(stderr, "tessel-audio-player: no such file or folder: %s\n", path.c_str());
    }
    return existing;
}

} // namespace

SecondStartOutcome RunSecondStart(CSingleInstanceGuard& guard, const QString& socketPath,
                                  const std::vector<std::string>& paths) {
    // A player that closes the connection under a write must not end this
    // process with SIGPIPE.
    std::signal(SIGPIPE, SIG_IGN);
    if (paths.empty()) {
        // No files: the running player's window comes to the front. One that
        // is ending or does not answer is no reason to fail.
        SendToRunningInstance(socketPath, {}, kHandOverPatience);
        return {};
    }
    const std::vector<std::string> files = ExistingPaths(paths);
    if (files.empty())
        return {false, 1};

    QElapsedTimer clock;
    clock.start();
    for (;;) {
        switch (SendToRunningInstance(socketPath, files, kHandOverPatience)) {
        case HandOverResult::Accepted:
            return {};
        case HandOverResult::Unanswered:
            std::fprintf(stderr, "tessel-audio-player: the running player has not answered yet; "
                                 "it takes the files when it does\n");
            return {};
        case HandOverResult::NoListener:
            break;
        }
        // Nobody listens: the running player is ending (or only starting).
        if (guard.TryAcquire())
            return {true, 0};
        if (clock.elapsed() > kTakeOverPatience.count())
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::fprintf(stderr, "tessel-audio-player: the running player does not answer; "
                         "the files were not handed over\n");
    return {false, 1};
}

} // namespace tessel
