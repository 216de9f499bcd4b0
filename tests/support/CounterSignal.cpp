#include "tests/support/CounterSignal.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tessel::test {

void EncodeCounterFrame(uint32_t index, int16_t& left, int16_t& right) {
    if (index >= kCounterMaxFrames)
        throw std::invalid_argument("counter frame index " + std::to_string(index) +
                                    " is beyond the signal's 28 bits");
    const uint32_t value = index + 1;
    left = static_cast<int16_t>(0x4000 | (value & 0x3FFF));
    right = static_cast<int16_t>(-(0x4000 | static_cast<int32_t>(value >> 14)));
}

std::optional<uint32_t> DecodeCounterFrame(int16_t left, int16_t right) {
    if (left < 0x4000 || right > -0x4000 || right == -0x8000)
        return std::nullopt;
    const auto low = static_cast<uint32_t>(left) & 0x3FFF;
    const auto high = static_cast<uint32_t>(-right) & 0x3FFF;
    const uint32_t value = (high << 14) | low;
    if (value == 0)
        return std::nullopt;
    return value - 1;
}

std::vector<int16_t> MakeCounterSignal(size_t frames, uint32_t first) {
    if (frames > kCounterMaxFrames || first > kCounterMaxFrames - frames)
        throw std::invalid_argument("a counter signal holds at most " +
                                    std::to_string(kCounterMaxFrames) + " frames");
    std::vector<int16_t> out(2 * frames);
    for (size_t i = 0; i < frames; ++i)
        EncodeCounterFrame(first + static_cast<uint32_t>(i), out[2 * i], out[2 * i + 1]);
    return out;
}

std::vector<int16_t> ReadRawS16(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

namespace {

struct Frame {
    int16_t l = 0;
    int16_t r = 0;
    bool operator==(const Frame&) const = default;
    bool Silent() const { return l == 0 && r == 0; }
};

Frame Expected(uint32_t index) {
    Frame f;
    EncodeCounterFrame(index, f.l, f.r);
    return f;
}

// True when `got` is `want` times one gain in [0, 1], each sample rounded:
// what a ramp or a volume makes of a frame (silence included, at gain 0).
bool IsScaledCopy(Frame got, Frame want) {
    auto within = [](int g, int w) {
        return g == 0 || ((g > 0) == (w > 0) && std::abs(g) <= std::abs(w));
    };
    if (!within(got.l, want.l) || !within(got.r, want.r))
        return false;
    // got = g * want + e with |e| <= 1/2 per sample, so the cross product
    // got.l * want.r - got.r * want.l = e.l * want.r - e.r * want.l.
    const int64_t cross = int64_t{got.l} * want.r - int64_t{got.r} * want.l;
    return std::llabs(cross) <= (std::abs(int{want.l}) + std::abs(int{want.r})) / 2 + 1;
}

class Report {
  public:
    explicit Report(int rate) : m_rate(rate) {}

    void Fault(size_t at, const std::string& what) {
        ++m_count;
        m_last = "  - recording frame " + Where(at) + ": " + what;
        if (m_lines.size() < kShown)
            m_lines.push_back(m_last);
    }
    size_t Count() const { return m_count; }

    std::string Where(size_t frame) const {
        std::string text = std::to_string(frame);
        if (m_rate > 0) {
            char seconds[32];
            std::snprintf(seconds, sizeof seconds, " (%.3f s)",
                          static_cast<double>(frame) / m_rate);
            text += seconds;
        }
        return text;
    }

    std::string Text(const std::string& summary) const {
        std::string text = summary;
        for (const auto& line : m_lines)
            text += "\n" + line;
        // The last fault too: it tells how the recording ended.
        if (m_count > m_lines.size() + 1)
            text += "\n  ... " + std::to_string(m_count - m_lines.size() - 1) + " more ...";
        if (m_count > m_lines.size())
            text += "\n" + m_last;
        return text;
    }

  private:
    static constexpr size_t kShown = 6;
    int m_rate;
    size_t m_count = 0;
    std::vector<std::string> m_lines;
    std::string m_last;
};

std::string Describe(Frame f) {
    std::string text = "(" + std::to_string(f.l) + ", " + std::to_string(f.r) + ")";
    if (const auto index = DecodeCounterFrame(f.l, f.r))
        text += ", which is frame " + std::to_string(*index);
    return text;
}

std::string Range(uint32_t from, uint32_t to) {
    return from + 1 == to ? "frame " + std::to_string(from)
                          : "frames " + std::to_string(from) + " ... " + std::to_string(to - 1);
}

// A recording seen as frames, with the searches the check makes in it.
class Recording {
  public:
    explicit Recording(std::span<const int16_t> samples)
        : m_samples(samples), m_frames(samples.size() / 2), m_soundEnds(m_frames) {
        while (m_soundEnds > 0 && At(m_soundEnds - 1).Silent())
            --m_soundEnds;
    }

    size_t Frames() const { return m_frames; }
    Frame At(size_t i) const { return {m_samples[2 * i], m_samples[2 * i + 1]}; }
    std::optional<uint32_t> Index(size_t i) const { return DecodeCounterFrame(At(i).l, At(i).r); }
    bool SilentFrom(size_t i) const { return i >= m_soundEnds; }

    // First run of `length` whole consecutive frames at or after `from`:
    // long enough that no ramp or stray data makes one by chance.
    std::optional<std::pair<size_t, uint32_t>> FindRun(size_t from, size_t length) const {
        size_t run = 0;
        uint32_t last = 0;
        for (size_t i = from; i < m_frames; ++i) {
            const auto index = Index(i);
            run = index && run > 0 && *index == last + 1 ? run + 1 : (index ? 1 : 0);
            if (index)
                last = *index;
            if (run == length)
                return std::make_pair(i + 1 - length, last + 1 - static_cast<uint32_t>(length));
        }
        return std::nullopt;
    }

    // Frames before recording frame `at` (frame `index`) that are its
    // predecessors, whole or scaled down but not silent: how far back they go
    // (not past `from`).
    size_t ScaledLeadIn(size_t at, uint32_t index, size_t from) const {
        size_t back = 0;
        while (at - back > from && index - back > 0) {
            const Frame got = At(at - back - 1);
            if (got.Silent() ||
                !IsScaledCopy(got, Expected(index - static_cast<uint32_t>(back) - 1)))
                break;
            ++back;
        }
        return back;
    }

  private:
    std::span<const int16_t> m_samples;
    size_t m_frames;
    size_t m_soundEnds; // one past the last frame that is not silent
};

} // namespace

CounterCheckResult CheckCounterSignal(std::span<const int16_t> samples,
                                      const CounterCheckOptions& options) {
    CounterCheckResult result;
    const Recording rec(samples);
    const size_t frames = rec.Frames();
    const size_t n = options.expectedFrames;
    if (n == 0 || n > kCounterMaxFrames) {
        result.faults = 1;
        result.message = "counter check: expectedFrames must be 1 ... " +
                         std::to_string(kCounterMaxFrames) + ", not " + std::to_string(n);
        return result;
    }
    Report report(options.rate);

    const size_t anchorRun = std::min<size_t>(64, n);
    const auto anchor = rec.FindRun(0, anchorRun);
    if (!anchor) {
        const size_t sounding = static_cast<size_t>(
            std::count_if(samples.begin(), samples.begin() + static_cast<long>(2 * frames),
                          [](int16_t s) { return s != 0; }));
        result.faults = 1;
        result.message = "counter check: no " + std::to_string(anchorRun) +
                         " consecutive counter frames anywhere in " + std::to_string(frames) +
                         " recorded frames (" + std::to_string(sounding) +
                         " samples not silent): silent, another signal, or not at full volume";
        return result;
    }

    // Back from the anchor over whole frames and the start ramp's scaled
    // ones (its first frames scaled to silence), which should reach file
    // frame 0 within the ramp's length.
    size_t p = anchor->first;
    uint32_t e = anchor->second;
    size_t startFaded = 0;
    while (p > 0 && e > 0) {
        const Frame got = rec.At(p - 1);
        const Frame want = Expected(e - 1);
        if (got != want) {
            if (startFaded >= options.fadeFrames || !IsScaledCopy(got, want))
                break;
            ++startFaded;
        }
        --p;
        --e;
    }
    result.startsAt = p;
    result.firstFrame = e;
    result.fadedFrames = startFaded;
    if (e > 0)
        report.Fault(p, "the first frame heard is frame " + std::to_string(e) + ": " + Range(0, e) +
                            " never came (what came before: " +
                            (p > 0 ? Describe(rec.At(p - 1)) : std::string("nothing")) + ")");
    for (size_t q = 0; q < p; ++q) {
        if (!rec.At(q).Silent()) {
            report.Fault(q, "sound before the first frame: " + Describe(rec.At(q)));
            break;
        }
    }

    p = anchor->first;
    e = anchor->second;
    bool lastScaled = false;
    while (p < frames && e < n) {
        const Frame got = rec.At(p);
        const Frame want = Expected(e);
        if (got == want) {
            ++p;
            ++e;
            lastScaled = false;
            continue;
        }
        if (got.Silent()) {
            if (rec.SilentFrom(p))
                break; // silence to the end: the end, checked below
            size_t z = 0;
            while (rec.At(p + z).Silent())
                ++z;
            if (!options.allowUnderruns) {
                report.Fault(p, std::to_string(z) + " frames of silence before frame " +
                                    std::to_string(e) + " (an underrun)");
                p += z;
                continue;
            }
            ++result.underruns;
            result.underrunFrames += z;
            p += z;
            // Ramps around an underrun scale their outermost frames to
            // silence (no more than a quarter of a ramp): those are not lost,
            // though they cannot be heard.
            if (const auto next = rec.FindRun(p, anchorRun)) {
                const size_t leadIn = rec.ScaledLeadIn(next->first, next->second, p);
                if (next->first - leadIn == p) {
                    const uint32_t resume = next->second - static_cast<uint32_t>(leadIn);
                    const bool resumesScaled = rec.At(p) != Expected(resume);
                    if (resume > e && resume - e <= options.fadeFrames / 4 &&
                        (lastScaled || resumesScaled))
                        e = resume;
                }
            }
            lastScaled = false;
            continue;
        }
        if (IsScaledCopy(got, want)) {
            size_t r = 0;
            while (p + r < frames && e + r < n && !rec.At(p + r).Silent() &&
                   IsScaledCopy(rec.At(p + r), Expected(e + static_cast<uint32_t>(r))) &&
                   rec.At(p + r) != Expected(e + static_cast<uint32_t>(r)))
                ++r;
            const bool stopRamp = r <= options.fadeFrames && rec.SilentFrom(p + r);
            if (!stopRamp && !options.allowUnderruns)
                report.Fault(p, Range(e, e + static_cast<uint32_t>(r)) + " came scaled down");
            result.fadedFrames += r;
            p += r;
            e += static_cast<uint32_t>(r);
            lastScaled = true;
            if (stopRamp)
                break;
            continue;
        }
        lastScaled = false;
        if (const auto index = rec.Index(p)) {
            if (*index < e)
                report.Fault(p, "expected frame " + std::to_string(e) + ", got frame " +
                                    std::to_string(*index) + ": a repeat from " +
                                    std::to_string(e - *index) + " frames back");
            else
                report.Fault(p, "expected frame " + std::to_string(e) + ", got frame " +
                                    std::to_string(*index) + ": " + std::to_string(*index - e) +
                                    " frames lost");
            e = *index + 1;
            ++p;
            continue;
        }
        size_t r = 0;
        while (p + r < frames && !rec.At(p + r).Silent() && !rec.Index(p + r))
            ++r;
        report.Fault(p, std::to_string(r) + " frames of other sound where frame " +
                            std::to_string(e) + " was expected, the first " + Describe(got));
        p += r;
    }
    result.endFrame = e;
    if (e < n && n - e > options.tailMayBeMissing)
        report.Fault(p, Range(e, static_cast<uint32_t>(n)) + " never came (" +
                            (p >= frames ? "the recording ends" : "silence follows") + ")");
    for (size_t q = p; q < frames; ++q) {
        if (!rec.At(q).Silent()) {
            report.Fault(q, "sound after the last frame heard: " + Describe(rec.At(q)));
            break;
        }
    }

    result.faults = report.Count();
    result.ok = result.faults == 0;
    if (!result.ok) {
        result.message =
            report.Text("counter check: " + std::to_string(result.faults) + " fault(s) in " +
                        std::to_string(frames) + " recorded frames, where " +
                        Range(0, static_cast<uint32_t>(n)) + " were expected; frame " +
                        std::to_string(result.firstFrame) + " came first, at recording frame " +
                        report.Where(result.startsAt));
    }
    return result;
}

} // namespace tessel::test
