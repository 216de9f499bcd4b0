#include "playlist/ui/PlaylistWindow.h"
#include "controls/FindBox.h"
#include "controls/PictureButton.h"
#include "controls/PlaylistView.h"
#include "tests/support/TestData.h"

#include <QTest>

#include <gtest/gtest.h>

#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>

#include <fstream>

namespace tessel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void Touch(const fs::path& path, const std::string& bytes = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// The window on its own, its messages served the way the main window would
// serve them, its questions answered by the test.
struct WindowFixture : ::testing::Test {
    test::TempDir dir;
    CPlaylist playlist;
    std::unique_ptr<CPlaylistWindow> window;
    QStringList nextFiles;
    QString nextFolder;
    SaveChoice nextSave;
    bool answerYes = true;
    int deleteAllAsked = 0;
    QStringList overwriteAsked, writeErrors;
    std::vector<int> played;

    void SetUp() override {
        window = std::make_unique<CPlaylistWindow>(
            playlist,
            [this](AppMessage id) {
                QTimer::singleShot(0, window.get(), [this, id] { window->HandleMessage({id}); });
            },
            nullptr);
        PlaylistDialogs dialogs;
        dialogs.openFiles = [this](QWidget*, const QString&) { return nextFiles; };
        dialogs.chooseFolder = [this](QWidget*) { return nextFolder; };
        dialogs.saveFile = [this](QWidget*, const QString&) { return nextSave; };
        dialogs.confirmDeleteAll = [this](QWidget*) { return ++deleteAllAsked, answerYes; };
        dialogs.confirmOverwrite = [this](QWidget*, const QString& path) {
            overwriteAsked.append(path);
            return answerYes;
        };
        dialogs.writeError = [this](QWidget*, const QString& why) { writeErrors.append(why); };
        window->SetDialogs(dialogs);
        playlist.onPlayLoadedEntry = [this] { played.push_back(playlist.GetLoadedIndex()); };
        window->SetWindowWidth(520);
        window->show();
    }

    const PlaylistControls& C() { return window->Controls(); }
    CTrackList& Tracks() { return playlist.Tracks(); }
    std::string Path(int row) { return Tracks().GetTrackPath(row); }
    QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }
    void Click(CPictureButton* button) {
        button->click(); // the roles that post on press post through the sink
        if (const auto press = MessagesFor(button->Role()).press)
            window->HandleMessage({*press});
    }
};

TEST_F(WindowFixture, AFolderGoesInSortedAfterTheRowsBeforeInBatchesWhileTheLoopRuns) {
    const fs::path root = dir / "music";
    for (int a = 0; a < 12; ++a) {
        // Created in an order unlike the sorted one.
        const fs::path artist = root / ("Artist " + std::to_string((a * 7) % 12));
        for (int t = 0; t < 100; ++t)
            Touch(artist / "Album" / (std::to_string(99 - t) + (t % 2 ? ".ogg" : ".flac")));
        Touch(artist / "cover.jpg");
        Touch(artist / "Album" / "info.txt");
    }
    const int audio = 1200;
    window->Model().AppendTrack("/zzz/was here first.mp3", -1.0, "");

    // Small batches, so the insertion surely takes several turns of the loop.
    window->Adder().SetBatchBudget(0ms);
    int ticksWhileAdding = 0;
    bool grewWhileAdding = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!window->Adder().IsBusy())
            return;
        ++ticksWhileAdding;
        const int rows = window->Model().rowCount();
        grewWhileAdding |= rows > 1 && rows < 1 + audio;
        EXPECT_EQ(C().bottom->currentIndex(), 1) << "the progress bar stands in for the buttons";
    });
    ticker.start(0);
    nextFolder = Q(root);
    C().addFolder->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Adder().IsBusy(); }, 20000));
    ticker.stop();

    ASSERT_EQ(Tracks().GetCount(), 1 + audio) << "every audio file, nothing else";
    EXPECT_EQ(Path(0), "/zzz/was here first.mp3") << "rows from before keep their place";
    for (int row = 2; row < Tracks().GetCount(); ++row)
        ASSERT_LT(Path(row - 1), Path(row)) << row;
    EXPECT_EQ(C().bottom->currentIndex(), 0) << "buttons back";
    EXPECT_EQ(C().progress->value(), audio);
    EXPECT_GT(ticksWhileAdding, 2);
    EXPECT_TRUE(grewWhileAdding);
}

TEST_F(WindowFixture, PlusFileReadsPlaylistsAsPlaylistsAndListsEverythingElseUnopened) {
    Touch(dir / "list.m3u8", "#EXTM3U\n#EXTINF:12,From the list\nx.ogg\n/abs/y.mp3\n");
    Touch(dir / "old.pls", "[playlist]\nFile1=/abs/z.mp3\nLength1=3\n");
    Touch(dir / "sheet.cue", "FILE \"a.wav\" WAVE\n");
    nextFiles = {Q(dir / "a.mp3"), Q(dir / "list.m3u8"), Q(dir / "notes.txt"), Q(dir / "old.pls"),
                 Q(dir / "sheet.cue")};
    C().addFile->click();
    // The cue sheet adds nothing; All Files are listed and found out later.
    const std::vector<std::string> expected = {(dir / "a.mp3").string(), (dir / "x.ogg").string(),
                                               "/abs/y.mp3", (dir / "notes.txt").string(),
                                               "/abs/z.mp3"};
    ASSERT_EQ(Tracks().GetCount(), 5);
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(Path(row), expected[size_t(row)]);
    EXPECT_EQ(Tracks().GetTag(1), "From the list");
    EXPECT_EQ(Tracks().GetLength(1), 12.0);
    EXPECT_EQ(window->SelectionMark(), 0) << "no row was chosen: the first new one is";

    window->SelectRow(3);
    nextFiles = {Q(dir / "b.mp3")};
    C().addFile->click();
    EXPECT_EQ(window->SelectionMark(), 3) << "a chosen row stays chosen";
    nextFiles = {};
    C().addFile->click();
    EXPECT_EQ(Tracks().GetCount(), 6) << "cancelled";
}

TEST_F(WindowFixture, DropsTakeFoldersPlaylistsAndFilesAsTheButtonsWould) {
    Touch(dir / "drop" / "b.mp3");
    Touch(dir / "drop" / "a.ogg");
    Touch(dir / "drop" / "skip.jpg");
    Touch(dir / "list.m3u", "/abs/from-list.mp3\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Q(dir / "one.wav")), QUrl::fromLocalFile(Q(dir / "drop")),
                  QUrl::fromLocalFile(Q(dir / "list.m3u")),
                  QUrl::fromLocalFile(Q(dir / "two.wav"))});
    QDragEnterEvent enter(QPoint(20, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(C().list->viewport(), &enter);
    QDropEvent drop(QPointF(20, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(C().list->viewport(), &drop);
    ASSERT_TRUE(drop.isAccepted());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Tracks().GetCount() == 5 && !window->Adder().IsBusy(); }));
    // A dropped playlist is read, not listed, and what came after the folder
    // waits for it.
    const std::vector<std::string> expected = {
        (dir / "one.wav").string(), (dir / "drop" / "a.ogg").string(),
        (dir / "drop" / "b.mp3").string(), "/abs/from-list.mp3", (dir / "two.wav").string()};
    for (int row = 0; row < 5; ++row)
        EXPECT_EQ(Path(row), expected[size_t(row)]);
}

TEST_F(WindowFixture, DeleteMoveFindAndPlayActOnTheChosenRow) {
    for (const char* name : {"Alpha", "beta", "Gamma", "delta", "ALPHABET"})
        window->Model().AppendTrack(std::string("/m/") + name + ".mp3", 10.0, "");
    window->HandleMessage({AppMessage::DeleteSelected});
    EXPECT_EQ(Tracks().GetCount(), 5) << "no row chosen: nothing deleted";

    C().findEdit->setText(QStringLiteral("alpha"));
    window->FindNext();
    EXPECT_EQ(window->SelectionMark(), 0);
    window->FindNext();
    EXPECT_EQ(window->SelectionMark(), 4) << "case does not matter";
    window->FindNext();
    EXPECT_EQ(window->SelectionMark(), 4) << "no match below: nothing changes, no wrap";
    EXPECT_FALSE(Tracks().IsSelected(0));
    // Tags count whichever view is shown, and accents do not matter.
    TrackTags tags;
    tags.album = "Déjà Vu";
    window->Model().Playlist().OnTrackLengthLoaded("/m/delta.mp3", tags, 10.0);
    window->SelectRow(0);
    C().findEdit->setText(QStringLiteral("DEJA"));
    window->FindNext();
    EXPECT_EQ(window->SelectionMark(), 3);

    window->SelectRow(1);
    Click(C().moveUp);
    EXPECT_EQ(window->SelectionMark(), 0);
    Click(C().moveUp); // the first row stays
    EXPECT_EQ(Path(0), "/m/beta.mp3");
    Click(C().moveDown);
    Click(C().moveDown);
    EXPECT_EQ(Path(2), "/m/beta.mp3");
    window->SelectRow(4);
    Click(C().moveDown); // the last row stays
    EXPECT_EQ(Path(4), "/m/ALPHABET.mp3");

    window->SelectRow(2);
    Click(C().deleteOne);
    EXPECT_EQ(Path(2), "/m/delta.mp3");
    EXPECT_EQ(window->SelectionMark(), 2) << "the next row takes the cursor";

    emit C().list->doubleClicked(window->Model().index(1, 0));
    EXPECT_EQ(played, std::vector<int>{1});

    answerYes = false;
    Click(C().deleteAll);
    EXPECT_EQ(Tracks().GetCount(), 4) << "Cancel keeps everything";
    answerYes = true;
    Click(C().deleteAll);
    EXPECT_EQ(deleteAllAsked, 2);
    EXPECT_EQ(window->Model().rowCount(), 0);
}

TEST_F(WindowFixture, SaveTakesTheFormatFromNameOrFilterAsksBeforeReplacingAndReportsFailure) {
    window->Model().AppendTrack("/m/a.mp3", 61.0, "A title far longer than any ID3v1 block holds");
    nextSave = {Q(dir / "list"), QStringLiteral("PLS Playlist (*.pls)")};
    C().save->click();
    EXPECT_TRUE(overwriteAsked.isEmpty());
    EXPECT_EQ(window->windowTitle(), Q(dir / "list.pls"));
    const auto read = LoadPlayList((dir / "list.pls").string());
    ASSERT_EQ(read.entries.size(), 1u);
    EXPECT_EQ(read.entries[0].title, "A title far longer than any ID3v1 block holds");

    // The name's own extension wins over the filter; an existing file is asked about.
    nextSave = {Q(dir / "list.pls"), QStringLiteral("M3U Playlist (*.m3u)")};
    answerYes = false;
    Touch(dir / "list.pls", "keep me");
    C().save->click();
    EXPECT_EQ(overwriteAsked, QStringList{Q(dir / "list.pls")});
    std::ifstream kept(dir / "list.pls");
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), "keep me");

    nextSave = {Q(dir / "no such folder" / "x.m3u"), QString()};
    C().save->click();
    ASSERT_EQ(writeErrors.size(), 1);
    EXPECT_FALSE(writeErrors[0].isEmpty()) << "the reason goes with File Write Error";
}

TEST_F(WindowFixture, TheWindowKeepsItsGivenWidthAndAMinimumHeight) {
    window->resize(900, 100);
    EXPECT_EQ(window->width(), 520);
    EXPECT_EQ(window->height(), CPlaylistWindow::kMinimumHeight);
    window->resize(520, 600);
    const int listTop = C().list->geometry().top();
    window->resize(520, 400);
    EXPECT_EQ(window->height(), 400);
    EXPECT_EQ(C().list->geometry().top(), listTop) << "the list keeps its place";
}

} // namespace
} // namespace tessel
