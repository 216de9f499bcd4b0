// The application: Qt's start-up, the single-instance check, the process-wide
// objects, the main window's run, and the shutdown in the reverse order.
#pragma once

#include "app/CommandLinePaths.h"

#include <QApplication>
#include <QTimer>

#include <memory>

namespace tessel {

class CMainWindow;
class CHandOverServer;
class CMprisService;
class COutputDevices;
class CSingleInstanceGuard;
struct CPlayerParts;

class CPlayerApplication {
  public:
    // Qt takes its own options (-platform, -display, ...) out of argv here;
    // every argument left is a path.
    CPlayerApplication(int& argc, char** argv);
    ~CPlayerApplication();
    CPlayerApplication(const CPlayerApplication&) = delete;
    CPlayerApplication& operator=(const CPlayerApplication&) = delete;

    // Runs the player until its window closes. When another instance runs
    // already, hands it this start's files and answers at once, showing
    // nothing (SecondStart.h).
    int Run();

  private:
    // The ways in from outside: keys, the hand-over socket, MPRIS2.
    void ConnectOutsideCommands();
    void StartMpris();
    // The polls' pace: quick while playing, slow otherwise.
    void PaceTimers();
    static constexpr int kDevicePollMs = 250;
    static constexpr int kIdlePollMs = 2000;
    // The Devices button: the chooser, then the choice remembered and used.
    void ChooseDevice(QWidget* parent);
    QApplication m_qt;
    CCommandLinePaths m_commandLine;
    std::unique_ptr<CSingleInstanceGuard> m_instance;
    std::unique_ptr<CPlayerParts> m_parts;
    std::unique_ptr<CMainWindow> m_window;
    std::unique_ptr<CHandOverServer> m_handOver;
    std::unique_ptr<CMprisService> m_mpris;
    std::unique_ptr<COutputDevices> m_devices;
    // SDL's hot-plug events wait in its queue until this polls them.
    QTimer m_devicePoll;
};

} // namespace tessel
