#include "output/VirtualClockBackend.h"

#include "core/Status.h"
#include "output/SoundDevice.h"

#include <algorithm>
#include <chrono>
#include <random>

namespace tessel {

namespace {
// How often a waiting step looks again at things that do not notify it: a
// ramp asked for on the device, a pace gate that said no.
constexpr auto kRecheck = std::chrono::microseconds(200);

// Frames from `cursor` to one frame past the next notification point.
uint32_t StepFrames(uint32_t cursor) {
    const uint32_t boundary = (cursor / kSegmentFrames + 1) * kSegmentFrames;
    return boundary + 1 - cursor;
}
} // namespace

CVirtualClockBackend::CVirtualClockBackend(VirtualClockOptions options)
    : m_options(std::move(options)) {}

CVirtualClockBackend::~CVirtualClockBackend() {
    Close();
    CloseFile();
}

Status CVirtualClockBackend::Prepare(uint32_t channels) {
    return channels == 2 || channels == 4 ? Status::Ok : Status::Unexpected;
}

Status CVirtualClockBackend::Open(uint32_t sampleRate, uint32_t channels, IRenderSource& source) {
    Close();
    if (channels != 2 && channels != 4)
        return Status::Unexpected;
    // The file keeps the first stream's rate and layout; later streams of
    // this device are appended to it as they are.
    m_source = &source;
    m_channels = channels;
    m_sampleRate = sampleRate;
    const DeviceModel& model = m_options.model;
    const uint32_t largest = model.periodFrames == 0 ? kSegmentFrames + 1 : 4 * model.periodFrames;
    m_stepBuffer.assign(static_cast<size_t>(largest) * channels, 0);
    m_floatStepBuffer.assign(m_options.floatOutput ? m_stepBuffer.size() : 0, 0.0f);
    {
        std::lock_guard lock(m_mutex);
        if (!m_options.wavPath.empty() && !m_wav.IsOpen() && !m_fileFailed && !m_fileClosed &&
            !m_wav.Open(m_options.wavPath, sampleRate, channels))
            m_fileFailed = true;
        m_quit = false;
        m_running = false;
        m_owed = m_acknowledged = source.SignalledCount();
    }
    if (model.periodFrames == 0)
        m_thread = std::thread([this] { Run(); });
    else
        m_thread = std::thread([this] { RunDeviceModel(); });
    return Status::Ok;
}

void CVirtualClockBackend::Start() {
    std::lock_guard lock(m_mutex);
    m_running = true;
    m_wake.notify_all();
}

void CVirtualClockBackend::Pause() {
    std::unique_lock lock(m_mutex);
    m_running = false;
    m_wake.wait(lock, [this] { return !m_stepping; });
}

void CVirtualClockBackend::Close() {
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard lock(m_mutex);
        m_quit = true;
        m_wake.notify_all();
    }
    m_thread.join();
    m_source = nullptr;
}

void CVirtualClockBackend::NotificationHandled() {
    std::lock_guard lock(m_mutex);
    if (m_source != nullptr)
        m_acknowledged = std::max(m_acknowledged, m_source->SignalledCount());
    m_wake.notify_all();
}

void CVirtualClockBackend::SetPaceGate(std::function<bool()> gate) {
    std::lock_guard lock(m_mutex);
    m_gate = std::move(gate);
}

bool CVirtualClockBackend::ReadyToStep() const {
    return m_running && (m_acknowledged >= m_owed || m_source->RampInProgress());
}

void CVirtualClockBackend::Run() {
    for (;;) {
        std::function<bool()> gate;
        {
            std::unique_lock lock(m_mutex);
            while (!m_quit && !ReadyToStep()) {
                if (m_running)
                    m_wake.wait_for(lock, kRecheck); // a ramp may start meanwhile
                else
                    m_wake.wait(lock);
            }
            if (m_quit)
                return;
            gate = m_gate;
        }
        // The gate is the engine's code: never call it with our lock held.
        if (gate && !m_source->RampInProgress() && !gate()) {
            std::this_thread::sleep_for(kRecheck);
            continue;
        }
        {
            std::lock_guard lock(m_mutex);
            if (m_quit || !ReadyToStep())
                continue;
            m_stepping = true;
        }
        const uint32_t frames = StepFrames(m_source->PlayFrame());
        const RenderResult result = Step(frames);
        {
            std::lock_guard lock(m_mutex);
            m_stepping = false;
            ++m_steps;
            if (result.notifications > 0)
                m_owed = m_source->SignalledCount();
            m_wake.notify_all();
        }
    }
}

void CVirtualClockBackend::RunDeviceModel() {
    const DeviceModel& model = m_options.model;
    std::mt19937 random(model.seed);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    using Clock = std::chrono::steady_clock;
    auto due = Clock::now();
    bool wasRunning = false;
    for (;;) {
        uint32_t frames = model.periodFrames;
        if (model.randomPeriod)
            frames =
                std::max<uint32_t>(1, static_cast<uint32_t>(frames * (0.25 + 1.75 * unit(random))));
        const bool late = unit(random) < model.lateChance;
        const auto periodTime = [&](double n) {
            return std::chrono::duration_cast<Clock::duration>(
                std::chrono::duration<double>(n / (model.speed * m_sampleRate)));
        };
        {
            std::unique_lock lock(m_mutex);
            if (!m_running || !wasRunning) {
                m_wake.wait(lock, [this] { return m_quit || m_running; });
                due = Clock::now();
            }
            wasRunning = true;
            const double shift = model.jitter * (2.0 * unit(random) - 1.0);
            auto at = due + periodTime(shift * frames);
            if (late) {
                // The callback comes a period late and makes up for it at once.
                at += periodTime(frames);
                frames *= 2;
            }
            m_wake.wait_until(lock, at, [this] { return m_quit || !m_running; });
            if (m_quit)
                return;
            if (!m_running) {
                wasRunning = false;
                continue;
            }
            m_stepping = true;
        }
        Step(frames);
        {
            std::lock_guard lock(m_mutex);
            m_stepping = false;
            ++m_steps;
            m_wake.notify_all();
        }
        due += periodTime(frames);
    }
}

RenderResult CVirtualClockBackend::Step(uint32_t frames) {
    if (!m_options.floatOutput) {
        const RenderResult result = m_source->Render(m_stepBuffer.data(), frames);
        Record(m_stepBuffer.data(), static_cast<size_t>(result.framesPlayed) * m_channels);
        return result;
    }
    const RenderResult result = m_source->RenderFloat(m_floatStepBuffer.data(), frames);
    std::lock_guard lock(m_mutex);
    m_recordedFloat.insert(m_recordedFloat.end(), m_floatStepBuffer.begin(),
                           m_floatStepBuffer.begin() +
                               static_cast<ptrdiff_t>(result.framesPlayed * m_channels));
    return result;
}

void CVirtualClockBackend::Record(const int16_t* samples, size_t count) {
    if (count == 0)
        return;
    std::lock_guard lock(m_mutex);
    if (m_wav.IsOpen() && !m_wav.Append(samples, count))
        m_fileFailed = true;
    if (m_options.keepInMemory)
        m_recorded.insert(m_recorded.end(), samples, samples + count);
}

bool CVirtualClockBackend::CloseFile() {
    std::lock_guard lock(m_mutex);
    if (m_wav.IsOpen() && !m_wav.Close())
        m_fileFailed = true;
    m_fileClosed = true;
    return !m_options.wavPath.empty() && !m_fileFailed;
}

std::vector<int16_t> CVirtualClockBackend::Recorded() const {
    std::lock_guard lock(m_mutex);
    return m_recorded;
}

std::vector<float> CVirtualClockBackend::RecordedFloat() const {
    std::lock_guard lock(m_mutex);
    return m_recordedFloat;
}

uint64_t CVirtualClockBackend::StepsTaken() const {
    std::lock_guard lock(m_mutex);
    return m_steps;
}

bool CVirtualClockBackend::FileOk() const {
    std::lock_guard lock(m_mutex);
    return !m_options.wavPath.empty() && !m_fileFailed;
}

} // namespace tessel
