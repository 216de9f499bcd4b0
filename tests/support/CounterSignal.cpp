#include "tests/support/CounterSignal.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace tessel::test {

void EncodeCounterFrame(uint32_t index, int16_t& left, int16_t& right) {
    if (index >= kCounterMaxFrames)
        throw std::invalid_argument("counter frame index beyond the signal's 28 bits");
    const uint32_t value = index + 1;
    left = static_cast<int16_t>(0x4000 | (value & 0x3FFF));
    right = static_cast<int16_t>(-(0x4000 | static_cast<int32_t>(value >> 14)));
}

std::optional<uint32_t> DecodeCounterFrame(int16_t left, int16_t right) {
    if (left < 0x4000 || right > -0x4000 || right == -0x8000)
        return std::nullopt;
    const uint32_t value =
        ((static_cast<uint32_t>(-right) & 0x3FFF) << 14) | (static_cast<uint32_t>(left) & 0x3FFF);
    if (value == 0)
        return std::nullopt;
    return value - 1;
}

std::vector<int16_t> MakeCounterSignal(size_t frames, uint32_t first) {
    if (frames > kCounterMaxFrames || first > kCounterMaxFrames - frames)
        throw std::invalid_argument("a counter signal holds at most 2^28 - 1 frames");
    std::vector<int16_t> out(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        EncodeCounterFrame(first + static_cast<uint32_t>(i), out[2 * i], out[2 * i + 1]);
    return out;
}

namespace {

struct Frame {
    int16_t l = 0;
    int16_t r = 0;
    bool Silent() const { return l == 0 && r == 0; }
};

Frame Expected(int64_t index) {
    Frame f;
    if (index >= 0 && index < kCounterMaxFrames)
        EncodeCounterFrame(static_cast<uint32_t>(index), f.l, f.r);
    return f;
}

// True when `got` is `want` times one gain in [0, 1), each sample rounded:
// what a ramp or a volume makes of a frame, if it is not silent.
bool IsScaledCopy(Frame got, Frame want) {
    auto within = [](int g, int w) {
        return g == 0 || ((g > 0) == (w > 0) && std::abs(g) <= std::abs(w));
    };
    if (got.Silent() || want.Silent() || !within(got.l, want.l) || !within(got.r, want.r))
        return false;
    // got = g * want + e with |e| <= 1/2 per sample, so the cross product
    // got.l * want.r - got.r * want.l = e.l * want.r - e.r * want.l.
    const int64_t cross = int64_t{got.l} * want.r - int64_t{got.r} * want.l;
    return std::llabs(cross) <= (std::abs(int{want.l}) + std::abs(int{want.r})) / 2 + 1;
}

std::string Range(int64_t from, int64_t to) {
    return from + 1 == to ? "frame " + std::to_string(from)
                          : "frames " + std::to_string(from) + " ... " + std::to_string(to - 1);
}

} // namespace

CounterCheckResult CheckCounterSignal(std::span<const int16_t> samples,
                                      const CounterCheckOptions& options) {
    CounterCheckResult result;
    const size_t frames = samples.size() / 2;
    const auto n = static_cast<int64_t>(options.expectedFrames);
    const auto at = [&](size_t i) { return Frame{samples[2 * i], samples[2 * i + 1]}; };
    size_t faults = 0;
    std::string shown;
    const auto fault = [&](size_t pos, const std::string& what) {
        if (++faults > 6)
            return;
        char seconds[32] = "";
        if (options.rate > 0)
            std::snprintf(seconds, sizeof seconds, " (%.3f s)",
                          static_cast<double>(pos) / options.rate);
        shown += "\n  - recording frame " + std::to_string(pos) + seconds + ": " + what;
    };
    // Scaled copies of frames `index`, `index` + step, ... from recording
    // frame `pos` on, in direction `step`, at most `limit`.
    const auto scaledRun = [&](size_t pos, int64_t index, int step, size_t limit) {
        size_t k = 0;
        while (k < limit && IsScaledCopy(at(step > 0 ? pos + k : pos - k),
                                         Expected(index + step * static_cast<int64_t>(k))))
            ++k;
        return k;
    };

    std::vector<std::pair<size_t, int64_t>> whole; // recording frame, file frame
    for (size_t i = 0; i < frames; ++i)
        if (const auto index = DecodeCounterFrame(at(i).l, at(i).r))
            whole.emplace_back(i, *index);
    if (n <= 0 || whole.empty()) {
        result.message = "counter check: no counter frame in " + std::to_string(frames) +
                         " recorded frames (silent, another signal, or not at full volume)";
        return result;
    }

    // The start ramp leads up to the first whole frame: scaled copies of the
    // frames before it, the first ones maybe scaled to silence.
    const auto [q0, f0] = whole.front();
    const size_t lead = scaledRun(q0 - 1, f0 - 1, -1, std::min<size_t>(q0, f0));
    if (f0 > static_cast<int64_t>(options.fadeFrames))
        fault(q0, "the first whole frame is frame " + std::to_string(f0) + ": " +
                      Range(0, f0 - static_cast<int64_t>(lead)) + " never came");
    for (size_t i = 0; i < q0 - lead; ++i)
        if (!at(i).Silent()) {
            fault(i, "sound before the first frame");
            break;
        }

    for (size_t w = 1; w < whole.size(); ++w) {
        const auto [pa, a] = whole[w - 1];
        const auto [pb, b] = whole[w];
        const size_t gap = pb - pa - 1;
        if (gap == 0 && b == a + 1)
            continue;
        // Ramps down into silence and up out of it, or a volume dip.
        const size_t down = scaledRun(pa + 1, a + 1, 1, gap);
        const size_t up = scaledRun(pb - 1, b - 1, -1, gap - down);
        size_t silent = 0;
        while (silent < gap - down - up && at(pa + 1 + down + silent).Silent())
            ++silent;
        const int64_t missing = b - a - 1 - static_cast<int64_t>(down) - static_cast<int64_t>(up);
        const bool rampsToSilence = missing > 0 && (down > 0 || up > 0) &&
                                    missing <= static_cast<int64_t>(options.fadeFrames / 4);
        if (silent + down + up < gap)
            fault(pa + 1, std::to_string(gap - silent - down - up) +
                              " frames of other sound where frame " + std::to_string(a + 1) +
                              " was expected");
        else if (gap > 0 && !options.allowUnderruns)
            fault(pa + 1, std::to_string(gap) + " frames of silence or scaled sound before frame " +
                              std::to_string(b) + " (an underrun)");
        else if (silent > 0)
            ++result.underruns;
        if (b <= a)
            fault(pb, "expected frame " + std::to_string(a + 1) + ", got frame " +
                          std::to_string(b) + ": a repeat from " + std::to_string(a + 1 - b) +
                          " frames back");
        else if (missing != 0 && !rampsToSilence)
            fault(pb, "expected frame " + std::to_string(a + 1 + static_cast<int64_t>(down)) +
                          ", got frame " + std::to_string(b - static_cast<int64_t>(up)) + ": " +
                          std::to_string(missing) + " frames lost");
    }

    // A stop ramp may follow the last whole frame; then silence to the end.
    const auto [ql, fl] = whole.back();
    const size_t tail = scaledRun(ql + 1, fl + 1, 1, std::min(frames - ql - 1, options.fadeFrames));
    const int64_t end = fl + 1 + static_cast<int64_t>(tail);
    if (end > n)
        fault(ql, "frame " + std::to_string(fl) + " is beyond the file");
    else if (n - end > static_cast<int64_t>(options.tailMayBeMissing))
        fault(ql + 1 + tail, Range(end, n) + " never came");
    for (size_t i = ql + 1 + tail; i < frames; ++i)
        if (!at(i).Silent()) {
            fault(i, "sound after the last frame heard");
            break;
        }

    result.ok = faults == 0;
    if (!result.ok)
        result.message = "counter check: " + std::to_string(faults) + " fault(s) in " +
                         std::to_string(frames) + " recorded frames, " + Range(0, n) +
                         " expected:" + shown;
    return result;
}

std::vector<CounterRun> CounterRuns(std::span<const int16_t> recording, int stride, int left,
                                    long minLength) {
    std::vector<CounterRun> runs;
    CounterRun run{-1, -1};
    for (size_t i = 0; i + static_cast<size_t>(stride) <= recording.size(); i += stride) {
        const auto index = DecodeCounterFrame(recording[i + left], recording[i + left + 1]);
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
    for (const auto& run : runs)
        text += "[" + std::to_string(run.first) + ".." + std::to_string(run.last) + "] ";
    return text.empty() ? "nothing" : text;
}

} // namespace tessel::test
