// The playlist window and its model.
#include "playlist/ui/PlaylistWindow.h"
#include "controls/FindBox.h"
#include "controls/PictureButton.h"
#include "controls/PlaylistView.h"
#include "tests/support/TestData.h"
#include "tests/support/TrackPaths.h"

#include <QTest>

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QProgressBar>
#include <QStackedWidget>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <fstream>
#include <string_view>

namespace tessel {
namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

void Touch(const fs::path& path, const std::string& bytes = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every complaint of the model tester fails the test that provoked it.
QStringList g_complaints;
QtMessageHandler g_previousHandler = nullptr;
void CollectComplaints(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (context.category != nullptr && std::string_view(context.category) == "qt.modeltest")
        g_complaints.append(text);
    else if (g_previousHandler != nullptr)
        g_previousHandler(type, context, text);
}

// The window on its own, its messages served the way the main window would
// serve them, its questions answered by the test; its model under Qt's model
// tester, and its list the view that asks for rows, icons and tips.
struct WindowFixture : ::testing::Test {
    test::TempDir dir;
    CPlaylist playlist;
    std::unique_ptr<CPlaylistWindow> window;
    QStringList nextFiles;
    QString nextFolder;
    SaveChoice nextSave;
    bool answerYes = true;
    QStringList overwriteAsked, writeErrors;
    std::vector<int> played;
    std::unique_ptr<QAbstractItemModelTester> tester;

    void SetUp() override {
        g_complaints.clear();
        g_previousHandler = qInstallMessageHandler(CollectComplaints);
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
        dialogs.confirmDeleteAll = [this](QWidget*) { return answerYes; };
        dialogs.confirmOverwrite = [this](QWidget*, const QString& path) {
            overwriteAsked.append(path);
            return answerYes;
        };
        dialogs.writeError = [this](QWidget*, const QString& why) { writeErrors.append(why); };
        window->SetDialogs(dialogs);
        playlist.onPlayLoadedEntry = [this] { played.push_back(playlist.GetLoadedIndex()); };
        tester = std::make_unique<QAbstractItemModelTester>(
            &window->Model(), QAbstractItemModelTester::FailureReportingMode::Warning);
        window->show();
    }
    void TearDown() override {
        tester.reset();
        qInstallMessageHandler(g_previousHandler);
        EXPECT_TRUE(g_complaints.isEmpty()) << g_complaints.join('\n').toStdString();
    }

    const PlaylistControls& C() { return window->Controls(); }
    CTrackList& Tracks() { return playlist.Tracks(); }
    std::vector<std::string> Paths() { return test::TrackPaths(Tracks()); }
    QString Q(const fs::path& path) { return QString::fromStdString(path.string()); }
    QString Text(int row, int column = 0) {
        return window->Model().data(window->Model().index(row, column)).toString();
    }
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
    }
    const int audio = 1200;
    window->Model().AppendTrack("/zzz/was here first.mp3", -1.0, "");

    // Small batches, so the insertion surely takes several turns of the loop.
    window->Adder().SetBatchBudget(0ms);
    bool grewWhileAdding = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (!window->Adder().IsBusy())
            return;
        const int rows = window->Model().rowCount();
        grewWhileAdding |= rows > 1 && rows < 1 + audio;
        EXPECT_EQ(C().bottom->currentIndex(), 1) << "the progress bar stands in for the buttons";
    });
    ticker.start(0);
    nextFolder = Q(root);
    C().addFolder->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !window->Adder().IsBusy(); }, 20000));
    ticker.stop();

    const std::vector<std::string> paths = Paths();
    ASSERT_EQ(paths.size(), 1u + audio) << "every audio file, nothing else";
    EXPECT_EQ(paths[0], "/zzz/was here first.mp3") << "rows from before keep their place";
    EXPECT_TRUE(std::is_sorted(paths.begin() + 1, paths.end()));
    EXPECT_EQ(C().bottom->currentIndex(), 0) << "buttons back";
    EXPECT_EQ(C().progress->value(), audio);
    EXPECT_TRUE(grewWhileAdding) << "rows went in while the loop ran";
}

// A playlist chosen is read, not listed; All Files are listed unopened and
// found out later; what came after a dropped folder waits for it.
TEST_F(WindowFixture, PlusFileReadsPlaylistsAndListsEverythingElseAndDropsKeepTheirOrder) {
    Touch(dir / "list.m3u8", "#EXTM3U\n#EXTINF:12,From the list\nx.ogg\n/abs/y.mp3\n");
    Touch(dir / "sheet.cue", "FILE \"a.wav\" WAVE\n"); // its audio is gone: no rows
    nextFiles = {Q(dir / "a.mp3"), Q(dir / "list.m3u8"), Q(dir / "notes.txt"),
                 Q(dir / "sheet.cue")};
    C().addFile->click();
    EXPECT_EQ(Paths(), (std::vector<std::string>{(dir / "a.mp3").string(), (dir / "x.ogg").string(),
                                                 "/abs/y.mp3", (dir / "notes.txt").string()}));
    EXPECT_EQ(Tracks().GetTag(1), "From the list");
    EXPECT_EQ(Tracks().GetLength(1), 12.0);
    EXPECT_EQ(window->SelectionMark(), 0) << "no row was chosen: the first new one is";
    window->SelectRow(3);
    nextFiles = {Q(dir / "b.mp3")};
    C().addFile->click();
    EXPECT_EQ(window->SelectionMark(), 3) << "a chosen row stays chosen";
    window->Model().RemoveAll();

    for (const char* name : {"b.mp3", "a.ogg"})
        Touch(dir / "drop" / name);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(Q(dir / "one.wav")), QUrl::fromLocalFile(Q(dir / "drop")),
                  QUrl::fromLocalFile(Q(dir / "two.wav"))});
    QDragEnterEvent enter(QPoint(20, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(C().list->viewport(), &enter);
    QDropEvent drop(QPointF(20, 40), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(C().list->viewport(), &drop);
    ASSERT_TRUE(drop.isAccepted());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return Tracks().GetCount() == 4 && !window->Adder().IsBusy(); }));
    EXPECT_EQ(Paths(), (std::vector<std::string>{
                           (dir / "one.wav").string(), (dir / "drop" / "a.ogg").string(),
                           (dir / "drop" / "b.mp3").string(), (dir / "two.wav").string()}));
}

TEST_F(WindowFixture, DeleteMoveFindAndPlayActOnTheChosenRow) {
    for (const char* name : {"Alpha", "beta", "Gamma", "delta", "ALPHABET"})
        window->Model().AppendTrack(std::string("/m/") + name + ".mp3", 10.0, "");
    window->HandleMessage({AppMessage::DeleteSelected});
    EXPECT_EQ(Tracks().GetCount(), 5) << "no row chosen: nothing deleted";

    // Find goes on from the chosen row and does not wrap.
    C().findEdit->setText(QStringLiteral("alpha"));
    for (int expected : {0, 4, 4}) {
        window->FindNext();
        EXPECT_EQ(window->SelectionMark(), expected);
    }

    window->SelectRow(1);
    Click(C().moveUp);
    EXPECT_EQ(window->SelectionMark(), 0);
    Click(C().moveDown);
    Click(C().moveDown);
    EXPECT_EQ(Paths(), (std::vector<std::string>{"/m/Alpha.mp3", "/m/Gamma.mp3", "/m/beta.mp3",
                                                 "/m/delta.mp3", "/m/ALPHABET.mp3"}));
    Click(C().deleteOne);
    EXPECT_EQ(Tracks().GetTrackPath(2), "/m/delta.mp3");
    EXPECT_EQ(window->SelectionMark(), 2) << "the next row takes the cursor";
    // The Delete key on the list is the button.
    window->show();
    QApplication::setActiveWindow(window.get());
    C().list->setFocus();
    QTest::keyClick(C().list, Qt::Key_Delete);
    EXPECT_EQ(Paths(),
              (std::vector<std::string>{"/m/Alpha.mp3", "/m/Gamma.mp3", "/m/ALPHABET.mp3"}));

    emit C().list->doubleClicked(window->Model().index(1, 0));
    EXPECT_EQ(played, std::vector<int>{1});

    answerYes = false;
    Click(C().deleteAll);
    EXPECT_EQ(Tracks().GetCount(), 3) << "Cancel keeps everything";
    answerYes = true;
    Click(C().deleteAll);
    EXPECT_EQ(window->Model().rowCount(), 0);
}

TEST_F(WindowFixture, SaveTakesTheFormatFromNameOrFilterAsksBeforeReplacingAndReportsFailure) {
    window->Model().AppendTrack("/m/a.mp3", 61.0, "Title");
    nextSave = {Q(dir / "list"), QStringLiteral("PLS Playlist (*.pls)")};
    C().save->click();
    EXPECT_TRUE(overwriteAsked.isEmpty());
    EXPECT_EQ(window->windowTitle(), Q(dir / "list.pls"));
    EXPECT_EQ(LoadPlayList((dir / "list.pls").string()).entries.size(), 1u);

    // The name's own extension wins over the filter; an existing file is asked about.
    nextSave = {Q(dir / "list.pls"), QStringLiteral("M3U Playlist (*.m3u)")};
    answerYes = false;
    Touch(dir / "list.pls", "keep me");
    C().save->click();
    EXPECT_EQ(overwriteAsked, QStringList{Q(dir / "list.pls")});
    EXPECT_EQ(test::ReadText(dir / "list.pls"), "keep me");

    nextSave = {Q(dir / "no such folder" / "x.m3u"), QString()};
    C().save->click();
    ASSERT_EQ(writeErrors.size(), 1);
    EXPECT_FALSE(writeErrors[0].isEmpty()) << "the reason goes with File Write Error";
}

// Its adds, deletes, moves and folder batches stay consistent for the model
// tester in the window's other tests.
TEST_F(WindowFixture, TheModelShowsNamesTagsOrPathsAndFollowsTheList) {
    CPlaylistModel& model = window->Model();
    model.AppendTrack("/m/b.mp3", 61.0, "Bee");
    model.AppendEntries({{"", -1.0, "/m/d.e.mp3"}});
    // Entries appended behind the adapter's back are announced when the list says so.
    playlist.AddTrackRow("/m/z.wav", -1.0, "");
    ASSERT_EQ(model.rowCount(), 3);
    model.MoveDown(2); // the last row stays
    model.MoveUp(0);   // and so does the first
    model.RemoveRow(99);
    EXPECT_EQ(Text(1), "d.e") << "the last extension goes";
    EXPECT_EQ(Text(0, CPlaylistModel::kTimeColumn), "1:01");
    model.SetShowMode(ShowMode::Tag);
    EXPECT_EQ(Text(1), "d.e") << "no tag: the file name";
    TrackTags tags;
    tags.artist = "Beyoncé";
    playlist.OnTrackLengthLoaded("/m/b.mp3", tags, 61.0);
    EXPECT_EQ(Text(0), QStringLiteral("Beyoncé \u2013 Bee"));
    model.SetShowMode(ShowMode::Path);
    EXPECT_EQ(Text(0), "/m/b.mp3");
    playlist.MarkUnreadable("/m/d.e.mp3");
    EXPECT_EQ(Text(1, CPlaylistModel::kTimeColumn), "???");
}

// Rows before the start keep their place; after it, paths sort byte-wise
// (capitals first), and a batch is one insertion for the view.
TEST_F(WindowFixture, AFoldersBatchGoesInSortedAfterTheStartAsOneInsertion) {
    CPlaylistModel& model = window->Model();
    for (const char* path : {"/z/before.mp3", "/Z/upper.mp3", "/c/late.mp3"})
        model.AppendTrack(path, -1.0, "");
    int insertions = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    std::vector<std::string> folder;
    for (int i = 0; i < 50; ++i)
        folder.push_back("/b/" + std::to_string(100 + i) + ".mp3");
    size_t next = 0;
    int start = 1;
    model.InsertSorted(folder, next, start, std::chrono::steady_clock::time_point::max());
    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(playlist.Tracks().GetTrackPath(2), "/b/100.mp3");
    EXPECT_EQ(playlist.Tracks().GetTrackPath(52), "/c/late.mp3");
    EXPECT_EQ(start, 52);
}

} // namespace
} // namespace tessel
