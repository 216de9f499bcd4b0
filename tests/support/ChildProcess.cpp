#include "tests/support/ChildProcess.h"

#include "tests/support/TestData.h"

#include <algorithm>
#include <fcntl.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>

extern char** environ;

namespace tessel::test {

ChildProcess::ChildProcess(const std::vector<std::string>& argv,
                           const std::vector<std::string>& env, const std::filesystem::path& out,
                           const std::filesystem::path& err) {
    std::vector<std::string> environment(env);
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e), name = entry.substr(0, entry.find('=') + 1);
        if (std::none_of(env.begin(), env.end(),
                         [&](auto& mine) { return mine.rfind(name, 0) == 0; }))
            environment.push_back(entry);
    }
    const auto pointers = [](const std::vector<std::string>& strings) {
        std::vector<char*> p;
        for (const std::string& s : strings)
            p.push_back(const_cast<char*>(s.c_str()));
        p.push_back(nullptr);
        return p;
    };
    std::vector<char*> args = pointers(argv), envp = pointers(environment);
    posix_spawn_file_actions_t files;
    posix_spawn_file_actions_init(&files);
    for (const auto& [fd, path] : {std::pair{1, out}, {2, err}})
        posix_spawn_file_actions_addopen(&files, fd, path.empty() ? "/dev/null" : path.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
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
    std::istringstream in(text);
    for (std::string word; std::getline(in, word, ' ');)
        words.push_back(word);
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
