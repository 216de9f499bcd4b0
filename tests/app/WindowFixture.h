// The player's main window over its own parts and settings folder, with the
// keyboard handling and the fitting to the screen the application installs, for tests that drive it
// as a user would. Its dialogs are answered by the test. Without a device the deck plays into
// nothing and stays "playing", which most tests look at.
#pragma once

#include "app/KeyboardShortcuts.h"
#include "app/MainWindow.h"
#include "app/PlayerParts.h"
#include "controls/PictureButton.h"
#include "controls/ScreenFit.h"
#include "engine/Deck.h"
#include "output/VirtualClockBackend.h"
#include "tests/support/TrackPaths.h"
#include "tests/support/qt/QtTestSupport.h"

#include <QAction>
#include <QComboBox>
#include <QMenu>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace tessel::test {

class WindowFixture : public ::testing::Test {
  protected:
    void SetUp() override { Start(); }
    void TearDown() override { Stop(); }

    void Start(std::unique_ptr<IAudioBackend> backend = nullptr) {
        parts = std::make_unique<CPlayerParts>();
        if (backend) {
            ASSERT_EQ(parts->output.OpenDevice(std::move(backend), "Virtual"), Status::Ok);
        }
        window = std::make_unique<CMainWindow>(*parts);
        window->SetOpenFilesDialog([this](QWidget*, const QString&) {
            ++dialogCalls;
            return nextFiles;
        });
        window->SetNotRecognizedNotice([this](QWidget*) { ++notices; });
        window->Initialise();
        InstallKeyboardShortcuts(*window);
        FitWindowsAsShown();
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }
    void Stop() {
        if (window)
            window->Shutdown();
        window.reset();
        parts.reset();
    }

    std::string Wav(const std::string& name, double seconds) {
        const std::filesystem::path path = dir / name;
        std::filesystem::create_directories(path.parent_path());
        WriteWav16(path, 44100, 2, MakeSignal(44100, 2, static_cast<size_t>(seconds * 44100)));
        return path.string();
    }

    // Chooses the files in the track chooser's Browse...: the first loads,
    // unstarted, the rest are queued.
    void Browse(const std::vector<std::string>& files) {
        nextFiles.clear();
        for (const std::string& file : files)
            nextFiles << QString::fromStdString(file);
        window->OnChooseTrack(Combo().findText(QStringLiteral("Browse...")));
        Settle();
    }
    // Lets the deck finish what it was asked: its workers report back
    // through Qt's loop.
    void Settle() {
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return Deck().GetState() == CDeck::State::ShutDown || !Deck().IsBusy(); }));
    }
    void PlayAndWait() {
        window->Controls().play->click();
        ASSERT_TRUE(QTest::qWaitFor([&] { return Deck().IsPlaying(); }));
    }
    // The deck has read ahead and could start at once.
    bool DeckReady() { return window->Controls().play->EnabledLook(); }

    // A key as the windowing system delivers it: to the focused widget,
    // shortcuts first.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : window.get(), key, modifiers);
        Settle();
    }

    // A deck that plays into memory at once, keeping what it played.
    static std::unique_ptr<IAudioBackend> RecordingClock() {
        VirtualClockOptions options;
        options.keepInMemory = true;
        return std::make_unique<CVirtualClockBackend>(options);
    }
    QAction* MenuAction(const QString& name) {
        QAction* action = window->Menu()->findChild<QAction*>(name);
        EXPECT_NE(action, nullptr) << name.toStdString();
        return action;
    }

    QComboBox& Combo() { return *window->Controls().trackCombo; }
    CDeck& Deck() { return window->Deck(); }
    CTrackList& Tracks() { return parts->playlist.Tracks(); }
    std::vector<std::string> Paths() { return TrackPaths(Tracks()); }

    ScopedSettingsFolder settingsFolder;
    TempDir dir;
    std::unique_ptr<CPlayerParts> parts;
    std::unique_ptr<CMainWindow> window;
    QStringList nextFiles;
    int dialogCalls = 0;
    int notices = 0;
};

} // namespace tessel::test
