#include "core/FormatTime.h"

#include <cstdio>

namespace tessel {

std::string FormatTime(int seconds) {
    const int h = seconds / 3600;
    const int m = (seconds / 60) % 60;
    const int s = seconds % 60;
    auto field = [](int v) { return (v >= 0 && v < 10 ? "0" : "") + std::to_string(v); };
    return field(h) + ":" + field(m) + ":" + field(s);
}

} // namespace tessel
