// The file dialogs open in the folder the user last chose in, kept in the
// settings, else in the music folder, else at home; never in whatever folder
// the player happened to be started from.
#include "controls/DialogFolder.h"
#include "playlist/ui/PlaylistWindow.h"
#include "tests/app/WindowFixture.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTimer>

#include <fstream>

namespace tessel {
namespace {

namespace fs = std::filesystem;

QString Q(const fs::path& path) {
    return QString::fromStdString(path.string());
}

TEST(DialogFolder, TheKeptFolderWhileItIsOneElseMusicElseHome) {
    const test::TempDir dir;
    fs::create_directories(dir / "kept");
    fs::create_directories(dir / "Music");
    std::ofstream(dir / "file.txt") << "a file";
    const QString kept = Q(dir / "kept"), music = Q(dir / "Music"), home = Q(dir.Path());
    const QString gone = Q(dir / "gone");
    struct Case {
        QString kept, music, start;
    };
    const Case cases[] = {
        {kept, music, kept},       {gone, music, music}, {Q(dir / "file.txt"), music, music},
        {QString(), music, music}, {gone, gone, home},   {QString(), QString(), home},
    };
    for (const Case& c : cases)
        EXPECT_EQ(StartFolder(c.kept, c.music, home), c.start) << c.kept.toStdString();
}

// Answers the next file dialog once it shows: notes the folder it opened in,
// then chooses `choice` (or cancels when it is empty).
void AnswerNextDialog(QString& openedIn, const QString& choice) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, &openedIn, choice] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog)
            return;
        poll->deleteLater();
        openedIn = dialog->directory().absolutePath();
        if (choice.isEmpty()) {
            dialog->reject();
            return;
        }
        dialog->setDirectory(QFileInfo(choice).absolutePath());
        dialog->selectFile(QFileInfo(choice).fileName());
        static_cast<QDialog*>(dialog)->accept(); // through its public face
    });
    poll->start(10);
}

using DialogFolderWindowTest = test::WindowFixture;

TEST_F(DialogFolderWindowTest, ThePlayListsDialogsOpenWhereTheLastChoiceWasMadeAndKeepIt) {
    fs::create_directories(dir / "music" / "album");
    const std::string track = Wav("music/album/a.wav", 0.5);
    parts->settings.SetLastFolder(Q(dir / "music"));
    CPlaylistWindow& list = *static_cast<CPlaylistWindow*>(window->PlaylistWindow());

    QString openedIn;
    AnswerNextDialog(openedIn, Q(track));
    list.AddFiles();
    EXPECT_EQ(openedIn, Q(dir / "music"));
    EXPECT_EQ(Tracks().GetCount(), 1);
    EXPECT_EQ(parts->settings.GetLastFolder(), Q(dir / "music" / "album"));

    // A folder is chosen in its parent, which is kept.
    AnswerNextDialog(openedIn, Q(dir / "music" / "album"));
    list.AddFolder();
    EXPECT_EQ(openedIn, Q(dir / "music" / "album"));

    // Cancelled: nothing kept. The kept folder gone: a folder that is there.
    fs::remove_all(dir / "music");
    AnswerNextDialog(openedIn, QString());
    list.SavePlayList();
    EXPECT_NE(openedIn, Q(dir / "music"));
    EXPECT_TRUE(QFileInfo(openedIn).isDir()) << openedIn.toStdString();
}

} // namespace
} // namespace tessel
