#include "playlist/ui/PlaylistModel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QTreeView>

namespace tessel {
namespace {

// Every complaint of the model tester fails the test that provoked it.
QStringList g_complaints;
void CollectComplaints(QtMsgType type, const QMessageLogContext&, const QString& text) {
    if (type != QtDebugMsg && type != QtInfoMsg)
        g_complaints.append(text);
}

struct ModelFixture : ::testing::Test {
    CPlaylist playlist;
    CPlaylistModel model{playlist};
    QtMessageHandler previous = nullptr;
    std::unique_ptr<QAbstractItemModelTester> tester;
    QTreeView view; // a real view asks for rows, icons and tips as it would on screen

    void SetUp() override {
        g_complaints.clear();
        previous = qInstallMessageHandler(CollectComplaints);
        tester = std::make_unique<QAbstractItemModelTester>(
            &model, QAbstractItemModelTester::FailureReportingMode::Warning);
        view.setModel(&model);
        view.resize(400, 300);
        view.show();
    }
    void TearDown() override {
        view.setModel(nullptr);
        tester.reset();
        qInstallMessageHandler(previous);
        EXPECT_TRUE(g_complaints.isEmpty()) << g_complaints.join('\n').toStdString();
    }
    QString Text(int row, int column = 0) {
        return model.data(model.index(row, column)).toString();
    }
};

TEST_F(ModelFixture, StaysConsistentThroughAddsDeletesMovesAndModeChanges) {
    model.AppendTrack("/m/b.mp3", 61.0, "Bee");
    model.AppendEntries({{"", -1.0, "/m/d.mp3"}, {"Title", 5.0, "/m/a.ogg"}});
    // Entries appended behind the adapter's back are announced when the list says so.
    playlist.AddTrackRow("/m/z.wav", -1.0, "");
    ASSERT_EQ(model.rowCount(), 4);

    // A folder's sorted paths go in among the rows from the start index on.
    const std::vector<std::string> folder = {"/f/1.mp3", "/f/2.mp3", "/f/3.mp3"};
    model.AppendTrack("/f/25.mp3", -1.0, ""); // came in with the folder
    size_t next = 0;
    int start = 4;
    model.InsertSorted(folder, next, start, std::chrono::steady_clock::time_point::max());
    EXPECT_EQ(next, folder.size());
    EXPECT_EQ(playlist.Tracks().GetTrackPath(6), "/f/25.mp3");
    EXPECT_EQ(playlist.Tracks().GetTrackPath(7), "/f/3.mp3");

    model.MoveUp(1);
    EXPECT_EQ(Text(0), "d");
    model.MoveDown(0);
    EXPECT_EQ(Text(1), "d");
    model.MoveDown(7); // the last row stays
    model.MoveUp(0);   // and so does the first
    model.RemoveRow(2);
    model.RemoveRow(99);
    EXPECT_EQ(model.rowCount(), 7);

    EXPECT_EQ(Text(0), "b");
    EXPECT_EQ(Text(0, CPlaylistModel::kTimeColumn), "1:01");
    model.SetShowMode(ShowMode::Tag);
    EXPECT_EQ(Text(0), "Bee");
    EXPECT_EQ(Text(1), "d") << "no tag: the file name";
    TrackTags tags;
    tags.artist = "Beyoncé";
    playlist.OnTrackLengthLoaded("/m/b.mp3", tags, 61.0);
    EXPECT_EQ(Text(0), QStringLiteral("Beyoncé \u2013 Bee"));
    model.SetShowMode(ShowMode::Path);
    EXPECT_EQ(Text(0), "/m/b.mp3");

    playlist.MarkUnreadable("/m/d.mp3");
    EXPECT_EQ(Text(1, CPlaylistModel::kTimeColumn), "???");
    const QIcon loaded = model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>();
    playlist.MarkLoaded(0);
    EXPECT_NE(model.data(model.index(0, 0), Qt::DecorationRole).value<QIcon>().cacheKey(),
              loaded.cacheKey());

    model.RemoveAll();
    EXPECT_EQ(playlist.GetRowCount(), 0);
}

TEST_F(ModelFixture, ABatchOfAFolderIsOneInsertionWhereverItLands) {
    model.AppendTrack("/a/x.mp3", -1.0, "");
    model.AppendTrack("/z/late.mp3", -1.0, ""); // sorts after the folder's files
    int insertions = 0;
    QObject::connect(&model, &QAbstractItemModel::rowsInserted, [&] { ++insertions; });
    std::vector<std::string> folder;
    for (int i = 0; i < 50; ++i)
        folder.push_back("/b/" + std::to_string(100 + i) + ".mp3");
    size_t next = 0;
    int start = 1;
    model.InsertSorted(folder, next, start, std::chrono::steady_clock::time_point::max());
    EXPECT_EQ(insertions, 1);
    EXPECT_EQ(playlist.Tracks().GetTrackPath(1), "/b/100.mp3");
    EXPECT_EQ(playlist.Tracks().GetTrackPath(51), "/z/late.mp3");
    EXPECT_EQ(start, 51);
}

} // namespace
} // namespace tessel
