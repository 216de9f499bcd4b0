// The playlist window at scale: "+ Folder" on a generated tree of small
// audio files (MP3, Ogg Vorbis and FLAC in artist/album folders, with covers
// and notes mixed in), through the player's own main window.
//
// It reports
//  - listed: from the folder chosen to every entry in the list,
//  - longest event-loop gap while adding: the longest time between two ticks
//    of a zero-interval timer, i.e. the longest the window could not answer,
//  - lengths: from the folder chosen to every entry's length known,
//  - longest gap while measuring.
//
//   bench_playlist_window [files]     (default 10000; the tree is made in /tmp)
//   bench_playlist_window --kept [entries]
//                                     (default 100000 generated entries in
//                                     the kept playlist: the restore, then
//                                     the whole list paged through with the
//                                     keyboard, the longest page reported)
//   bench_playlist_window --sheets [albums]
//                                     (default 100 album folders, each a 30 s
//                                     FLAC image with a 10-track CUE sheet:
//                                     1000 rows)
#include "app/MainWindow.h"
#include "app/PlayerParts.h"
#include "playlist/StoredPlaylist.h"
#include "playlist/ui/PlaylistWindow.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace tessel;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

namespace {

double Seconds(Clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

bool MakeTemplate(const fs::path& out, const std::string& codec) {
    const std::string command = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=1 "
                                "-ac 2 -ar 44100 " +
                                codec + " '" + out.string() + "'";
    return std::system(command.c_str()) == 0;
}

// 20 tracks an album, 10 albums an artist; every album has a cover and notes.
int MakeTree(const fs::path& root, int files) {
    const fs::path templates = root.parent_path() / "templates";
    fs::create_directories(templates);
    const fs::path kinds[] = {templates / "t.mp3", templates / "t.ogg", templates / "t.flac"};
    if (!MakeTemplate(kinds[0], "-c:a libmp3lame -b:a 96k") ||
        !MakeTemplate(kinds[1], "-c:a libvorbis -q:a 2") || !MakeTemplate(kinds[2], "-c:a flac"))
        return -1;
    for (int i = 0; i < files; ++i) {
        const fs::path album =
            root / ("Artist " + std::to_string(i / 200)) / ("Album " + std::to_string(i / 20 % 10));
        if (i % 20 == 0) {
            fs::create_directories(album);
            std::ofstream(album / "cover.jpg") << std::string(2048, '\xFF');
            std::ofstream(album / "notes.txt") << "liner notes\n";
        }
        const fs::path& kind = kinds[i % 3];
        fs::copy_file(kind,
                      album / (std::to_string(i % 20 + 1) + " Track" + kind.extension().string()));
    }
    return files;
}

constexpr int kSheetTracks = 10;

// Each album one FLAC image and its sheet, as a ripper leaves them.
int MakeSheetTree(const fs::path& root, int albums) {
    const fs::path templates = root.parent_path() / "templates";
    fs::create_directories(templates);
    const std::string command = "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=30 "
                                "-ac 2 -ar 44100 -c:a flac '" +
                                (templates / "image.flac").string() + "'";
    if (std::system(command.c_str()) != 0)
        return -1;
    for (int a = 0; a < albums; ++a) {
        const fs::path album =
            root / ("Artist " + std::to_string(a / 10)) / ("Album " + std::to_string(a % 10));
        fs::create_directories(album);
        fs::copy_file(templates / "image.flac", album / "Album.flac");
        std::ofstream sheet(album / "Album.cue");
        sheet << "PERFORMER \"Artist\"\nTITLE \"Album\"\nFILE \"Album.flac\" WAVE\n";
        for (int t = 0; t < kSheetTracks; ++t)
            sheet << "  TRACK " << (t < 9 ? "0" : "") << t + 1 << " AUDIO\n    TITLE \"Song "
                  << t + 1 << "\"\n    INDEX 01 00:" << (t * 3 < 10 ? "0" : "") << t * 3 << ":00\n";
    }
    return albums * kSheetTracks;
}

bool AllLengthsKnown(const CTrackList& tracks) {
    for (int i = 0; i < tracks.GetCount(); ++i)
        if (tracks.GetLength(i) < 0.0 && !tracks.IsUnreadable(i))
            return false;
    return true;
}

// A kept playlist of `count` entries whose files do not exist, as the
// player writes it; then the restore and a keyboard walk through it.
int KeptList(QApplication& app, const fs::path& base, int count) {
    const fs::path kept =
        base / "data" / "Tessel Programs" / "Tessel Audio Player" / "playlist.m3u8";
    fs::create_directories(kept.parent_path());
    {
        std::ofstream out(kept, std::ios::binary);
        out << "#EXTM3U\r\n#X-TESSEL-ENTRIES:" << count << "\r\n#X-TESSEL-LOADED:-1\r\n";
        for (int i = 0; i < count; ++i)
            out << "#EXTINF:" << 120 + i % 300 << ",Artist " << i % 97 << " - Title " << i
                << "\r\n/music/Artist " << i % 97 << "/Album " << i % 1013 << "/" << i
                << " Track.mp3\r\n";
    }
    CPlayerParts parts;
    CMainWindow window(parts);
    window.Prepare();
    window.show();
    const Clock::time_point start = Clock::now();
    window.RestorePlaylist();
    app.processEvents();
    const double restore = Seconds(Clock::now() - start);
    auto& list = *static_cast<CPlaylistWindow*>(window.PlaylistWindow());
    list.show();
    QWidget* view = reinterpret_cast<QWidget*>(list.Controls().list);
    view->setFocus();
    app.processEvents();
    Clock::duration longest{0};
    int pages = 0, longestAt = 0, over50 = 0;
    const Clock::time_point walk = Clock::now();
    while (parts.playlist.Tracks().IsSelected(parts.playlist.GetRowCount() - 1) == false &&
           pages < 100000) {
        const Clock::time_point before = Clock::now();
        QKeyEvent press(QEvent::KeyPress, Qt::Key_PageDown, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
        app.processEvents();
        const Clock::duration took = Clock::now() - before;
        over50 += took > std::chrono::milliseconds(50);
        if (took > longest) {
            longest = took;
            longestAt = pages;
        }
        ++pages;
    }
    const double walked = Seconds(Clock::now() - walk);
    std::printf("entries: %d\n", parts.playlist.GetRowCount());
    std::printf("restore: %.3f s\n", restore);
    std::printf("paged to the end: %d pages in %.3f s, longest page %.1f ms (page %d), %d over "
                "50 ms\n",
                pages, walked, Seconds(longest) * 1000, longestAt, over50);
    const Clock::time_point closing = Clock::now();
    window.Shutdown();
    std::printf("shutdown (the kept list written): %.3f s\n", Seconds(Clock::now() - closing));
    return parts.playlist.GetRowCount() == count ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::string(argv[1]) == "--kept") {
        const fs::path base =
            fs::temp_directory_path() / ("tessel-bench-kept-" + std::to_string(::getpid()));
        setenv("XDG_DATA_HOME", (base / "data").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
        if (!getenv("QT_QPA_PLATFORM"))
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        QApplication app(argc, argv);
        const int status = KeptList(app, base, argc > 2 ? std::atoi(argv[2]) : 100000);
        std::error_code error;
        fs::remove_all(base, error);
        return status;
    }
    const bool sheets = argc > 1 && std::string(argv[1]) == "--sheets";
    const int count = argc > 1 + sheets ? std::atoi(argv[1 + sheets]) : sheets ? 100 : 10000;
    const fs::path base =
        fs::temp_directory_path() / ("tessel-bench-window-" + std::to_string(::getpid()));
    // The player's settings and stored playlist go to the bench's own folder.
    setenv("XDG_DATA_HOME", (base / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (base / "config").c_str(), 1);
    if (!getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    std::printf("making %d %s under %s ...\n", count, sheets ? "album images" : "files",
                base.c_str());
    const int files = sheets ? count * kSheetTracks : count;
    if ((sheets ? MakeSheetTree(base / "music", count) : MakeTree(base / "music", count)) !=
        files) {
        std::fprintf(stderr, "could not make the tree (is ffmpeg installed?)\n");
        return 1;
    }

    QApplication app(argc, argv);
    int status = 0;
    {
        CPlayerParts parts;
        CMainWindow window(parts);
        window.Initialise();
        window.show();
        auto& list = *static_cast<CPlaylistWindow*>(window.PlaylistWindow());
        PlaylistDialogs dialogs = StandardPlaylistDialogs();
        dialogs.chooseFolder = [&](QWidget*) {
            return QString::fromStdString((base / "music").string());
        };
        list.SetDialogs(dialogs);

        Clock::time_point last = Clock::now();
        Clock::duration longestAdding{0}, longestMeasuring{0};
        bool listed = false;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const Clock::time_point now = Clock::now();
            (listed ? longestMeasuring : longestAdding) =
                std::max(listed ? longestMeasuring : longestAdding, now - last);
            last = now;
        });

        const Clock::time_point start = Clock::now();
        Clock::time_point listedAt{}, measuredAt{};
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, [&] {
            if (!listed && !list.Adder().IsBusy() && parts.playlist.GetRowCount() >= files) {
                listed = true;
                listedAt = Clock::now();
            }
            if (listed && AllLengthsKnown(parts.playlist.Tracks())) {
                measuredAt = Clock::now();
                app.quit();
            }
            if (Clock::now() - start > std::chrono::seconds(300)) {
                status = 2;
                app.quit();
            }
        });
        ticker.start(0);
        watch.start(5);
        last = Clock::now();
        list.AddFolder();
        app.exec();

        int unreadable = 0, estimated = 0;
        for (int i = 0; i < parts.playlist.GetRowCount(); ++i) {
            unreadable += parts.playlist.Tracks().IsUnreadable(i);
            estimated += parts.playlist.Tracks().GetLengthOrigin(i) == LengthOrigin::Estimated;
        }
        std::printf("entries: %d (unreadable %d, estimated %d)\n", parts.playlist.GetRowCount(),
                    unreadable, estimated);
        std::printf("listed: %.3f s\n", Seconds(listedAt - start));
        std::printf("longest event-loop gap while adding: %.1f ms\n",
                    Seconds(longestAdding) * 1000);
        std::printf("lengths: %.3f s\n", status == 0 ? Seconds(measuredAt - start) : -1.0);
        std::printf("longest event-loop gap while measuring: %.1f ms\n",
                    Seconds(longestMeasuring) * 1000);
        window.Shutdown();
    }
    std::error_code error;
    fs::remove_all(base, error);
    return status;
}
