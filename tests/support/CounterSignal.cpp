#include "tests/support/CounterSignal.h"

#include <stdexcept>

namespace tessel::test {

void EncodeCounterFrame(uint32_t index, int16_t& left, int16_t& right) {
    const uint32_t value = index + 1;
    left = static_cast<int16_t>(0x4000 | (value & 0x3FFF));
    right = static_cast<int16_t>(-(0x4000 | static_cast<int32_t>(value >> 14)));
}

std::optional<uint32_t> DecodeCounterFrame(int16_t left, int16_t right) {
    if (left < 0x4000 || right > -0x4000 || right == -0x8000)
        return std::nullopt;
    const uint32_t value =
        ((static_cast<uint32_t>(-right) & 0x3FFF) << 14) | (static_cast<uint32_t>(left) & 0x3FFF);
    return value == 0 ? std::nullopt : std::optional<uint32_t>(value - 1);
}

std::vector<int16_t> MakeCounterSignal(size_t frames, uint32_t first) {
    if (frames > kCounterMaxFrames || first > kCounterMaxFrames - frames)
        throw std::invalid_argument("a counter signal holds at most 2^28 - 1 frames");
    std::vector<int16_t> out(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        EncodeCounterFrame(first + static_cast<uint32_t>(i), out[2 * i], out[2 * i + 1]);
    return out;
}

std::vector<CounterRun> CounterRuns(std::span<const int16_t> recording, long minLength,
                                    bool acrossSilence) {
    std::vector<CounterRun> runs;
    CounterRun run{-1, -1};
    for (size_t i = 0; i + 1 < recording.size(); i += 2) {
        const int16_t l = recording[i], r = recording[i + 1];
        if (acrossSilence && l == 0 && r == 0)
            continue;
        const auto index = DecodeCounterFrame(l, r);
        if (index && run.first >= 0 && *index == run.last + 1) {
            run.last = *index;
            continue;
        }
        if (run.first >= 0 && run.Length() >= minLength)
            runs.push_back(run);
        run = index ? CounterRun{*index, *index} : CounterRun{-1, -1};
    }
    if (run.first >= 0 && run.Length() >= minLength)
        runs.push_back(run);
    return runs;
}

std::string Describe(const std::vector<CounterRun>& runs) {
    std::string text;
    for (size_t i = 0; i < runs.size() && i < 12; ++i)
        text += "[" + std::to_string(runs[i].first) + ".." + std::to_string(runs[i].last) + "] ";
    if (runs.size() > 12)
        text += "and " + std::to_string(runs.size() - 12) + " more";
    return text.empty() ? "nothing" : text;
}

} // namespace tessel::test
