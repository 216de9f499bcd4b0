#include "tests/support/ChildProcess.h"

#include "tests/support/TestData.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tessel::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::filesystem::path& out,
                           const std::filesystem::path& err) {
    std::vector<std::string> environment(env);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool overridden = false;
        for (const std::string& mine : env)
            overridden = overridden || mine.rfind(name, 0) == 0;
        if (!overridden)
            environment.push_back(entry);
    }
    std::vector<char*> args, envp;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    for (const std::string& e : environment)
        envp.push_back(const_cast<char*>(e.c_str()));
    args.push_back(nullptr);
    envp.push_back(nullptr);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    const auto target = [](const std::filesystem::path& p) {
        return p.empty() ? std::string("/dev/null") : p.string();
    };
    posix_spawn_file_actions_addopen(&files, 1, target(out).c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&files, 2, target(err).c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    if (posix_spawnp(&m_pid, args[0], &files, nullptr, args.data(), envp.data()) != 0)
        m_pid = -1;
    posix_spawn_file_actions_destroy(&files);
}

bool ChildProcess::Running() {
    int status = 0;
    if (m_pid > 0 && waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        m_pid = -1;
    }
    return m_pid > 0;
}

int ChildProcess::Wait(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return Stop(SIGKILL);
}

int ChildProcess::Stop(int signal) {
    if (Running()) {
        kill(m_pid, signal);
        if (signal != SIGKILL)
            return Wait(std::chrono::seconds(5));
        while (Running())
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return m_status;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    for (size_t at = 0; at <= text.size();) {
        const size_t space = std::min(text.find(' ', at), text.size());
        words.push_back(text.substr(at, space - at));
        at = space + 1;
    }
    return words;
}

ToolRun RunTool(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    TempDir tmp;
    ToolRun run;
    run.status = ChildProcess(argv, env, tmp / "out", tmp / "err").Wait();
    run.out = ReadText(tmp / "out");
    run.err = ReadText(tmp / "err");
    return run;
}

} // namespace tessel::test
