// Status codes returned by the player's own objects: 0 is success, and the
// failures keep the values of the system codes they are named after, so a
// status read in a log or a debugger means what it always meant.
#pragma once

#include <cstdint>

namespace tessel {

constexpr int32_t S_OK_STATUS = 0;
constexpr int32_t E_UNEXPECTED_STATUS = static_cast<int32_t>(0x8000FFFF);
constexpr int32_t CO_E_NOTINITIALIZED_STATUS = static_cast<int32_t>(0x800401F0);
constexpr int32_t DISP_E_ARRAYISLOCKED_STATUS = static_cast<int32_t>(0x8002000D);

} // namespace tessel
