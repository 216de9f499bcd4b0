// What the output's operations answer. The failures keep the values of the
// system codes they are named after, so a status read in a log or a
// debugger means what it always meant.
#pragma once

#include <cstdint>

namespace tessel {

enum class Status : int32_t {
    Ok = 0,
    Unexpected = static_cast<int32_t>(0x8000FFFF),     // a bad argument, or the wrong moment
    NotInitialized = static_cast<int32_t>(0x800401F0), // no device or no stream yet
    Locked = static_cast<int32_t>(0x8002000D),         // the ring still holds unplayed audio
    Failed = static_cast<int32_t>(0x80004005),         // the device would not
};

} // namespace tessel
