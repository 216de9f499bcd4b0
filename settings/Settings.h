// The user's settings, kept as named values in the per-user settings store
// (on Linux ~/.config/Tessel Programs/Tessel Audio Player.conf).
//
// Nothing is cached: every operation opens the store, does one value and
// closes it again, so a value written is on disk when the call returns. A
// store that cannot be written loses the value silently; reads then answer 0.
//
// Threads: main thread only.
#pragma once

#include <QString>

#include <cstdint>

namespace tessel {

class CSettings {
  public:
    static constexpr const char* kOrganisation = "Tessel Programs";
    static constexpr const char* kApplication = "Tessel Audio Player";
    static constexpr const char* kGroup = "Settings";
    static constexpr const char* kVolumeLevel = "volumeLevel";
    static constexpr const char* kOutputDevice = "outputDevice";
    static constexpr int32_t kVolumeMax = 1000;

    bool ValueExists(const QString& name) const;
    // 0 when the value is missing or not a number; values outside 0 .. 2^32-1
    // are clamped into that range.
    uint32_t ReadDword(const QString& name) const;
    // False when the store could not be written (the value is lost).
    bool WriteDword(const QString& name, uint32_t value) const;

    // The volume slider position, 0 (full volume) .. 1000 (silence). Writes
    // 0 first when the value is missing; a stored value out of range is
    // clamped.
    int32_t GetVolumeLevel() const;
    bool SetVolumeLevel(int32_t level) const;

    // The description of the output device the user chose, "" for the
    // system default (also when missing or not text).
    QString GetOutputDevice() const;
    bool SetOutputDevice(const QString& description) const;
};

} // namespace tessel
