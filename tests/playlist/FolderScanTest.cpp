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

void Touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "x";
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
    Touch(root / "b.mp3");
    Touch(root / "a.mp3");
    Touch(root / "c.wav");
    Touch(root / "Z upper.FLAC");
    Touch(root / "Artist" / "Album" / "01.ogg");
    Touch(root / "Artist" / "Album" / "02.Opus");
    Touch(root / "Artist" / "Album" / "cover.jpg");
    Touch(root / "Artist" / "notes.txt");
    Touch(root / "list.m3u"); // playlists in a folder are not read
    Touch(root / "song.mp");  // a part of ".mp3" is not ".mp3"
    Touch(root / "README");   // nor is no extension at all
    Touch(root / "trailing.");
    fs::create_directories(root / "dir.mp3"); // a folder named like a track
    Touch(root / "dir.mp3" / "inside.wma");
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
    Touch(root / "Album" / "Album.flac");
    std::ofstream(root / "Album" / "album.cue") << "FILE \"album.flac\" WAVE\n"; // case differs
    // Two discs, one sheet naming both.
    Touch(root / "Box" / "cd1.wav");
    Touch(root / "Box" / "cd2.wav");
    std::ofstream(root / "Box" / "box.CUE") << "FILE \"cd1.wav\" WAVE\nFILE \"cd2.wav\" WAVE\n";
    Touch(root / "Box" / "bonus.mp3");
    // A sheet whose audio is gone adds nothing; nor does an empty one.
    std::ofstream(root / "orphan.cue") << "FILE \"gone.wav\" WAVE\n";
    Touch(root / "empty.cue");
    Touch(root / "single.mp3");

    const std::string r = root.string();
    EXPECT_EQ(Scan(root), (std::vector<std::string>{r + "/Album/album.cue", r + "/Box/bonus.mp3",
                                                    r + "/Box/box.CUE", r + "/single.mp3"}));
}

TEST(FolderScan, AMissingFolderFailsAndATreeOfThousandsIsCollectedWhole) {
    TempDir dir;
    CFolderScan missing;
    missing.Start((dir / "nowhere").string());
    EXPECT_TRUE(Finish(missing).empty());
    EXPECT_TRUE(missing.Failed());

    for (int a = 0; a < 20; ++a)
        for (int t = 0; t < 100; ++t)
            Touch(dir / "big" / ("artist" + std::to_string(a)) / (std::to_string(t) + ".mp3"));
    const auto files = Scan(dir / "big");
    EXPECT_EQ(files.size(), 2000u);
    EXPECT_TRUE(std::is_sorted(files.begin(), files.end()));
}

// A scan started over another gives the second folder's files alone, and a
// cancelled scan leaves the scanner ready for the next.
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
}

} // namespace
} // namespace tessel
