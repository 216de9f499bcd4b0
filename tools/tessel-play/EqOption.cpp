#include "EqOption.h"

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace tessel {

std::optional<std::vector<double>> ParseEqGains(const std::string& text) {
    std::vector<double> gains;
    std::stringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        if (item.empty())
            return std::nullopt;
        const char* begin = item.c_str();
        char* end = nullptr;
        const double gain = std::strtod(begin, &end);
        if (end != begin + item.size() || !std::isfinite(gain) || std::abs(gain) > kEqOptionMaxDb)
            return std::nullopt;
        gains.push_back(gain);
    }
    // A trailing comma leaves an empty last item that getline does not show.
    if (!text.empty() && text.back() == ',')
        return std::nullopt;
    if (gains.size() != 2 && gains.size() != 3 && gains.size() != 5)
        return std::nullopt;
    return gains;
}

} // namespace tessel
