#pragma once

#include <string>

namespace tessel {

// Whole seconds as "hh:mm:ss"; each field below 10 gets a leading zero and
// hours are not limited to two digits ("100:00:00").
std::string FormatTime(int seconds);

} // namespace tessel
