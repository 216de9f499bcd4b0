#include "playlist/FolderScan.h"
#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <thread>

namespace tessel {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

void Touch(const fs::path& path, const std::string& text = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
}

// Waits for the scan's worker (at most 20 s) and takes what it found.
std::vector<std::string> Finish(CFolderScan& scan) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!scan.IsDone() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_TRUE(scan.IsDone());
    return scan.TakeFiles();
}

std::vector<std::string> Scan(const fs::path& folder) {
    CFolderScan scan;
    scan.Start(folder.string());
    return Finish(scan);
}

TEST(FolderScan, CollectsEveryAudioFileBelowTheFolderSortedByPath) {
    TempDir dir;
    const fs::path root = dir / "music";
    // Playlists in a folder are not read; a part of ".mp3" is not ".mp3", nor
    // is no extension at all; a folder named like a track is a folder.
    for (const char* name : {"b.mp3", "a.mp3", "c.wav", "Z upper.FLAC", "Artist/Album/01.ogg",
                             "Artist/Album/02.Opus", "Artist/Album/cover.jpg", "Artist/notes.txt",
                             "list.m3u", "song.mp", "README", "trailing.", "dir.mp3/inside.wma"})
        Touch(root / name);
    // A link back up the tree is entered once, so the walk ends.
    fs::create_directory_symlink(root, root / "Artist" / "loop");

    const std::vector<std::string> files = Scan(root);
    const std::string r = root.string();
    EXPECT_EQ(files,
              (std::vector<std::string>{r + "/Artist/Album/01.ogg", r + "/Artist/Album/02.Opus",
                                        r + "/Z upper.FLAC", r + "/a.mp3", r + "/b.mp3",
                                        r + "/c.wav", r + "/dir.mp3/inside.wma"}));
}

TEST(FolderScan, ASheetStandsForTheFilesItNames) {
    TempDir dir;
    const fs::path root = dir / "music";
    for (const char* name : {"Album/Album.flac", "Box/cd1.wav", "Box/cd2.wav", "Box/bonus.mp3",
                             "single.mp3", "empty.cue"})
        Touch(root / name);
    Touch(root / "Album/album.cue", "FILE \"album.flac\" WAVE\n"); // case differs
    // Two discs, one sheet naming both; a sheet whose audio is gone adds
    // nothing, nor does an empty one.
    Touch(root / "Box/box.CUE", "FILE \"cd1.wav\" WAVE\nFILE \"cd2.wav\" WAVE\n");
    Touch(root / "orphan.cue", "FILE \"gone.wav\" WAVE\n");

    const std::string r = root.string();
    EXPECT_EQ(Scan(root), (std::vector<std::string>{r + "/Album/album.cue", r + "/Box/bonus.mp3",
                                                    r + "/Box/box.CUE", r + "/single.mp3"}));
}

// A scan started over another gives the second folder's files alone, and a
// cancelled scan leaves the scanner ready for the next; a missing folder fails.
TEST(FolderScan, CancellingOrRestartingStopsTheWorkerCleanly) {
    TempDir dir;
    std::vector<std::string> third;
    for (int t = 0; t < 300; ++t) {
        const fs::path file = dir / "tree" / std::to_string(t % 7) / (std::to_string(t) + ".ogg");
        Touch(file);
        if (t % 7 == 3)
            third.push_back(file.string());
    }
    std::sort(third.begin(), third.end());
    CFolderScan scan;
    scan.Start((dir / "tree").string());
    scan.Start((dir / "tree" / "3").string());
    EXPECT_EQ(Finish(scan), third);
    scan.Start((dir / "tree").string());
    scan.Cancel();
    scan.Start((dir / "tree").string());
    EXPECT_EQ(Finish(scan).size(), 300u);
    EXPECT_FALSE(scan.Failed());

    scan.Start((dir / "nowhere").string());
    EXPECT_TRUE(Finish(scan).empty());
    EXPECT_TRUE(scan.Failed()) << "a missing folder";
}

} // namespace
} // namespace tessel
