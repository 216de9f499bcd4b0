#include "app/PlayerApplication.h"

#include "app/AboutBox.h"
#include "app/AfterFirstPaint.h"
#include "app/DeviceChooserDlg.h"
#include "app/HandOverServer.h"
#include "app/KeyboardShortcuts.h"
#include "app/MainWindow.h"
#include "app/MprisService.h"
#include "app/MprisWindowState.h"
#include "app/PlayerParts.h"
#include "app/SecondStart.h"
#include "app/SingleInstance.h"
#include "app/StartTrace.h"
#include "app/TerminationSignals.h"
#include "controls/ScreenFit.h"
#include "engine/OutputDevices.h"

#include <QDBusConnection>
#include <QTimer>

#include <algorithm>
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

CPlayerApplication::CPlayerApplication(int& argc, char** argv) : m_qt(argc, argv) {
    QCoreApplication::setOrganizationName(QString::fromLatin1(kMakerName));
    QCoreApplication::setApplicationName(QString::fromLatin1(kProductName));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(AboutVersion()));
    m_commandLine.ParseCommandLine(argc, argv);
    TraceStart("Qt application made");
}

CPlayerApplication::~CPlayerApplication() {
    // What calls into the window goes first, then the window (and the deck
    // inside it) before the parts it uses.
    m_mpris.reset();
    m_handOver.reset();
    m_devicePoll.stop();
    m_devices.reset();
    m_window.reset();
    m_parts.reset();
}

int CPlayerApplication::Run() {
    // Before anything can be interrupted halfway: a signal that comes early
    // waits in the pipe and closes the window once Qt's loop runs.
    CTerminationSignals termination([this] {
        if (m_window)
            m_window->reject();
    });
    const std::vector<std::string> paths = Absolute(m_commandLine.TakeAll());
    m_instance = std::make_unique<CSingleInstanceGuard>();
    if (!m_instance->TryAcquire()) {
        const SecondStartOutcome outcome =
            RunSecondStart(*m_instance, CSingleInstanceGuard::DefaultSocketPath(), paths);
        if (!outcome.becomePlayer)
            return outcome.exitStatus;
    }

    TraceStart("single instance settled");
    FitWindowsAsShown();
    m_parts = std::make_unique<CPlayerParts>();
    TraceStart("engine parts made");
    m_window = std::make_unique<CMainWindow>(*m_parts);
    TraceStart("windows made");
    m_window->Prepare();
    TraceStart("settings applied");
    ConnectOutsideCommands();
    TraceStart("hand-over socket listening");

    // Once the window shows and Qt's loop runs: opening the sound device can
    // take a sound server a good part of a second, and nothing needs it before
    // a track is loaded; loading waits for the file-open worker while serving
    // that loop.
    m_devices = std::make_unique<COutputDevices>(m_window->Deck(), m_parts->output);
    m_window->SetDeviceChooser([this](QWidget* parent) { ChooseDevice(parent); });
    // The kept list waits for the first picture too: a long one takes a
    // good part of a second to restore.
    AfterFirstPaint(*m_window, [this, paths] {
        TraceStart("window on screen");
        // The remembered device when it is there, else the system default.
        m_devices->Choose(m_parts->settings.GetOutputDevice().toStdString());
        TraceStart("sound device open");
        m_window->RestorePlaylist();
        TraceStart("kept playlist restored");
        m_window->LoadCommandLine(paths);
        TraceStart("command line handed to the list");
        m_devicePoll.start();
        // The bus connection and the name's registration are a round trip
        // or two to the bus, which the first picture does not need.
        StartMpris();
        TraceStart("MPRIS registered");
    });
    TraceStart("showing the window");
    m_devicePoll.setInterval(kDevicePollMs);
    QObject::connect(&m_devicePoll, &QTimer::timeout, m_window.get(),
                     [this] { m_devices->Poll(); });

    m_window->exec();
    m_devicePoll.stop();
    // Before the lock goes with this process: a second start from now on
    // finds nobody listening and waits for the lock instead.
    m_mpris.reset();
    m_handOver.reset();
    m_window->Shutdown();
    return 0;
}

void CPlayerApplication::ConnectOutsideCommands() {
    InstallKeyboardShortcuts(*m_window);

    m_handOver = std::make_unique<CHandOverServer>([this](const std::vector<std::string>& paths) {
        // A second start without files asks for the window.
        if (paths.empty()) {
            m_window->OnUserCommand(UserCommand::Raise);
            return true;
        }
        return m_window->AppendPathsAndPlay(paths);
    });
    // Without the socket a second start cannot reach this one; the player
    // itself works as before.
    m_handOver->Listen(CSingleInstanceGuard::DefaultSocketPath());

    m_window->SetDeckChangeObserver([this] { PaceTimers(); });
    PaceTimers();
}

void CPlayerApplication::StartMpris() {
    MprisHooks hooks;
    hooks.read = [this] { return ReadMprisSnapshot(*m_window, *m_parts); };
    hooks.command = [this](UserCommand command, double value) {
        m_window->OnUserCommand(command, value);
    };
    hooks.open = [this](const std::vector<std::string>& paths) {
        m_window->OpenPathsAndPlayNow(paths);
    };
    // Without a session bus, or with the name taken, there is simply no
    // MPRIS2: no message, no dialog.
    m_mpris = CMprisService::Start(QDBusConnection::sessionBus(), std::move(hooks));
    PaceTimers();
}

void CPlayerApplication::PaceTimers() {
    // While playing the position moves and a device may go at any moment;
    // paused, the player keeps quiet (a change it makes itself is told to
    // clients at once), so a machine left with it open can sleep.
    const bool playing = m_window->Deck().IsPlaying();
    if (m_mpris) {
        m_mpris->SetPollInterval(playing ? CMprisService::kPollIntervalMs : kIdlePollMs);
        m_mpris->Refresh();
    }
    m_devicePoll.setInterval(playing ? kDevicePollMs : kIdlePollMs);
}

void CPlayerApplication::ChooseDevice(QWidget* parent) {
    ChooseOutputDevice(parent, COutputDevices::ListChoices(), m_devices->Chosen(),
                       m_parts->settings, [this](const std::string& chosen) {
                           // OK on what already plays is no reason to interrupt it.
                           if (chosen != m_devices->Chosen() || chosen != m_devices->InUse())
                               m_devices->Choose(chosen);
                       });
}

} // namespace tessel
