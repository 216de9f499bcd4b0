// Opening the sound output on the system's default device.
#pragma once

namespace tessel {

class CSoundOutput;

inline constexpr const char* kDefaultDeviceDescription = "System Default Device";

// Opens SDL's default playback device. False when there is none that works:
// the output stays closed and the player runs silent.
bool OpenDefaultOutputDevice(CSoundOutput& output);

} // namespace tessel
