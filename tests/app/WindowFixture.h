// A main window over its own set of parts and settings folder, with the
// keyboard handling the application installs, for tests that drive it as a
// user would. Without an output device the deck plays into nothing and stays
// "playing", which is all these tests look at.
#pragma once

#include "app/CadenzoDlg.h"
#include "app/KeyboardShortcuts.h"
#include "app/PlayerParts.h"
#include "engine/Deck.h"
#include "tests/app/QtTestSupport.h"

#include <QComboBox>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

namespace tessel::test {

class WindowFixture : public ::testing::Test {
  protected:
    static constexpr int kRate = 44100;

    void SetUp() override {
        parts = std::make_unique<CPlayerParts>();
        window = std::make_unique<CCadenzoDlg>(*parts);
        window->SetOpenFilesDialog([this](QWidget*, const QString&) {
            ++dialogCalls;
            return nextFiles;
        });
        window->SetNotRecognizedNotice([](QWidget*) {});
        window->Initialise();
        InstallKeyboardShortcuts(*window);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    void TearDown() override {
        window->Shutdown();
        window.reset();
        parts.reset();
    }

    std::string Wav(const std::string& name, double seconds) {
        const auto frames = static_cast<size_t>(seconds * kRate);
        const std::filesystem::path path = dir / name;
        WriteWav16(path, kRate, 2, MakeSignal(kRate, 2, frames));
        return path.string();
    }

    // Chooses the files in the track chooser's Browse...: the first loads,
    // unstarted, the rest are queued.
    void Browse(const std::vector<std::string>& files) {
        nextFiles.clear();
        for (const std::string& file : files)
            nextFiles << QString::fromStdString(file);
        window->OnChooseTrack(window->Controls().trackCombo->findText(QStringLiteral("Browse...")));
        ASSERT_TRUE(Deck().IsTrackLoaded());
    }

    // A key as the windowing system delivers it: to the focused widget,
    // shortcuts first.
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target ? target : window.get(), key, modifiers);
    }

    CDeck& Deck() { return window->Deck(); }
    CTrackList& Tracks() { return parts->playlist.Tracks(); }

    ScopedSettingsFolder settingsFolder;
    TempDir dir;
    std::unique_ptr<CPlayerParts> parts;
    std::unique_ptr<CCadenzoDlg> window;
    QStringList nextFiles;
    int dialogCalls = 0;
};

} // namespace tessel::test
