// A program the end-to-end tests start without a shell: its arguments are
// passed as they are, its output goes to files, and it is stopped and
// reaped by the time the object goes.
#pragma once

#include <chrono>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace tessel::test {

class ChildProcess {
  public:
    // Starts argv (argv[0] looked up in PATH) with `env` ("NAME=value")
    // over this process's environment; empty paths are /dev/null.
    explicit ChildProcess(const std::vector<std::string>& argv,
                          const std::vector<std::string>& env = {},
                          const std::filesystem::path& out = {},
                          const std::filesystem::path& err = {});
    ~ChildProcess() { Stop(); }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    bool Running();
    // The exit status, 128 + the signal for a killed one; past `limit` it is
    // killed, so a hung program cannot hang the suite.
    int Wait(std::chrono::milliseconds limit = std::chrono::seconds(120));
    int Stop(int signal = SIGTERM);

  private:
    pid_t m_pid = -1;
    int m_status = -1;
};

// `text` split at each space: arguments as a test writes them (none of
// them holds a space; the test folders have none). Two spaces in a row
// give an empty argument; an empty text gives none.
std::vector<std::string> Words(const std::string& text);

struct ToolRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs argv to its end and returns its status and output.
ToolRun RunTool(const std::vector<std::string>& argv, const std::vector<std::string>& env = {});

} // namespace tessel::test
