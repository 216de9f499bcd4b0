#include "app/CadenzoApp.h"

#include "app/AboutBox.h"
#include "app/CadenzoDlg.h"
#include "app/OutputDevice.h"
#include "app/PlayerParts.h"
#include "app/SingleInstance.h"
#include "app/TerminationSignals.h"

#include <QTimer>

#include <filesystem>

namespace tessel {

namespace {

// Paths go into the play list, which outlives the working folder it was
// started from.
std::vector<std::string> Absolute(std::vector<std::string> paths) {
    for (std::string& path : paths) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(path, error);
        if (!error && !path.empty())
            path = absolute.string();
    }
    return paths;
}

} // namespace

CCadenzoApp::CCadenzoApp(int& argc, char** argv) : m_qt(argc, argv) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kMakerName));
    QCoreApplication::setApplicationName(QString::fromLatin1(kProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AboutVersion()));
    m_commandLine.ParseCommandLine(argc, argv);
}

CCadenzoApp::~CCadenzoApp() {
    // The window (and the deck inside it) goes before the parts it uses.
    m_window.reset();
    m_parts.reset();
}

int CCadenzoApp::Run() {
    // Before anything can be interrupted halfway: a signal that comes early
    // waits in the pipe and closes the window once Qt's loop runs.
    CTerminationSignals termination([this] {
        if (m_window)
            m_window->reject();
    });
    m_instance = std::make_unique<CSingleInstanceGuard>();
    if (!m_instance->TryAcquire())
        return 0;

    m_parts = std::make_unique<CPlayerParts>();
    m_window = std::make_unique<CCadenzoDlg>(*m_parts);
    m_window->Initialise();

    // Once the window shows and Qt's loop runs: opening the sound device can
    // take a sound server a good part of a second, and nothing needs it before
    // a track is loaded; loading waits for the file-open worker while serving
    // that loop.
    const std::vector<std::string> paths = Absolute(m_commandLine.TakeAll());
    QTimer::singleShot(0, m_window.get(), [this, paths] {
        OpenDefaultOutputDevice(m_parts->output);
        m_window->LoadCommandLine(paths);
    });

    m_window->exec();
    m_window->Shutdown();
    return 0;
}

} // namespace tessel
