// A private PulseAudio server for end-to-end tests, with null sinks whose
// monitors record what was played into them, and the counter signal that
// makes every lost or repeated frame visible in such a recording.
#pragma once

#include "tests/support/TestData.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace tessel::test {

// True while `pid` runs (an exited one may linger as a zombie).
inline bool ProcessRunning(int pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto close = text.rfind(") ");
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] != 'Z';
}

// Sends SIGTERM and waits (a little) for the process to go.
inline void StopProcess(int pid) {
    using namespace std::chrono_literals;
    kill(pid, SIGTERM);
    for (int i = 0; i < 200 && ProcessRunning(pid); ++i)
        std::this_thread::sleep_for(10ms);
}

class PrivatePulseServer {
  public:
    // `modules`: each a --load argument, e.g. "module-null-sink sink_name=a";
    // `daemonConf`: lines of the server's daemon.conf.
    PrivatePulseServer(const std::filesystem::path& root, const std::vector<std::string>& modules,
                       const std::string& daemonConf = {})
        : m_root(root) {
        using namespace std::chrono_literals;
        for (const char* key : {"PULSE_RUNTIME_PATH", "PULSE_STATE_PATH", "PULSE_CONFIG_PATH"}) {
            const std::filesystem::path dir = root / key;
            std::filesystem::create_directories(dir);
            m_env += std::string(key) + "=" + Quote(dir) + " ";
        }
        if (!daemonConf.empty())
            std::ofstream(root / "PULSE_CONFIG_PATH" / "daemon.conf") << daemonConf;
        std::string command = m_env + "pulseaudio -D --exit-idle-time=-1 --system=false -n ";
        for (const std::string& module : modules)
            command += "--load='" + module + "' ";
        command += "--load=module-native-protocol-unix >/dev/null 2>&1";
        if (RunCommand(command) != 0)
            return;
        for (int i = 0; i < 200 && !m_ready; ++i) {
            m_ready = RunCommand(m_env + "pactl info >/dev/null 2>&1") == 0;
            if (!m_ready)
                std::this_thread::sleep_for(25ms);
        }
    }
    ~PrivatePulseServer() {
        StopRecorders();
        std::ifstream pidFile(m_root / "PULSE_RUNTIME_PATH" / "pid");
        int pid = 0;
        // Waited for, or it writes into its runtime folder after the test
        // has removed it.
        if (pidFile >> pid && pid > 0)
            StopProcess(pid);
    }
    bool Ready() const { return m_ready; }
    const std::string& Env() const { return m_env; }

    // Records sink `sink`'s monitor into `raw` (s16le, 44.1 kHz). A
    // recorder of the default source's monitor would follow the default
    // sink when it changes: give the server another default source first.
    void Record(const std::string& sink, const std::filesystem::path& raw, int channels = 2,
                const std::string& channelMap = {}) {
        const std::filesystem::path pid = m_root / ("parec-" + raw.filename().string() + ".pid");
        std::string command =
            "parec -d " + sink +
            ".monitor --format=s16le --rate=44100 --channels=" + std::to_string(channels);
        if (!channelMap.empty())
            command += " --channel-map=" + channelMap;
        RunCommand(m_env + "sh -c '" + command + " > " + raw.string() + " & echo $! > " +
                   pid.string() + "'");
        m_recorders.push_back(pid);
    }
    void StopRecorders() {
        for (const auto& pid : m_recorders)
            RunCommand("kill $(cat " + Quote(pid) + ") 2>/dev/null");
        m_recorders.clear();
    }
    int Pactl(const std::string& args) const {
        return RunCommand(m_env + "pactl " + args + " >/dev/null 2>&1");
    }

  private:
    std::filesystem::path m_root;
    std::string m_env;
    std::vector<std::filesystem::path> m_recorders;
    bool m_ready = false;
};

inline std::vector<int16_t> ReadRaw(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// Frame n carries n + 1: left the low 14 bits, right the rest, so silence
// is no frame and a ramp's scaled frames are no run.
inline std::vector<int16_t> CounterSignal(size_t frames) {
    std::vector<int16_t> samples(frames * 2);
    for (size_t n = 0; n < frames; ++n) {
        samples[2 * n] = static_cast<int16_t>((n + 1) & 0x3fff);
        samples[2 * n + 1] = static_cast<int16_t>((n + 1) >> 14);
    }
    return samples;
}

// A stretch of the counter found whole in a recording: frames first..last.
struct CounterRun {
    long first = 0;
    long last = 0;
    long Length() const { return last - first + 1; }
};

// The runs of consecutive counter frames at least `minLength` long, in the
// order recorded. `stride` channels per frame; `left` the channel carrying
// the low bits (the right one follows it).
inline std::vector<CounterRun> CounterRuns(const std::vector<int16_t>& recorded, int stride = 2,
                                           int left = 0, long minLength = 64) {
    std::vector<CounterRun> runs;
    long previous = -2;
    CounterRun run{-1, -1};
    const auto close = [&] {
        if (run.first >= 0 && run.Length() >= minLength)
            runs.push_back(run);
        run = {-1, -1};
    };
    for (size_t i = 0; i + static_cast<size_t>(stride) <= recorded.size(); i += stride) {
        const int lo = recorded[i + left];
        const int hi = recorded[i + left + 1];
        long index = -1;
        if (lo >= 0 && lo <= 0x3fff && hi >= 0 && (lo != 0 || hi != 0))
            index = ((static_cast<long>(hi) << 14) | lo) - 1;
        if (index >= 0 && index == previous + 1 && run.first >= 0) {
            run.last = index;
        } else {
            close();
            if (index >= 0)
                run = {index, index};
        }
        previous = index;
    }
    close();
    return runs;
}

inline std::string Describe(const std::vector<CounterRun>& runs) {
    std::string text;
    for (const auto& run : runs)
        text += "[" + std::to_string(run.first) + ".." + std::to_string(run.last) + "] ";
    return text.empty() ? "nothing" : text;
}

} // namespace tessel::test
