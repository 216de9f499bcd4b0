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

#include <array>
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
    static constexpr const char* kEqualizerOn = "eqOn";
    static constexpr const char* kEqualizerBands = "eqBands";
    static constexpr const char* kEqualizerGains = "eqGains";
    // Text values: "off", "track" or "all"; "off", "tracks" or "albums".
    // playlist/PlayOrderModes.h reads and writes them.
    static constexpr const char* kRepeat = "repeat";
    static constexpr const char* kShuffle = "shuffle";
    static constexpr const char* kLastFolder = "lastFolder";

    // The equalizer window's state: on or off, 2, 3 or 5 bands, and the gain
    // factor of each of its five sliders (kept for every slider, so a band
    // count chosen later finds them), 0.85 ... 1.15.
    struct Equalizer {
        static constexpr int32_t kSliders = 5;
        static constexpr float kMinGain = 0.85f;
        static constexpr float kMaxGain = 1.15f;
        bool on = true;
        int32_t bands = 3;
        std::array<float, kSliders> gains{1.0f, 1.0f, 1.0f, 1.0f, 1.0f};
    };

    bool ValueExists(const QString& name) const;
    // 0 when the value is missing or not a number; values outside 0 .. 2^32-1
    // are clamped into that range.
    uint32_t ReadDword(const QString& name) const;
    // False when the store could not be written (the value is lost).
    bool WriteDword(const QString& name, uint32_t value) const;
    // "" when the value is missing; a hand-written list without quotes
    // reads back joined by commas.
    QString ReadText(const QString& name) const;
    // False when the store could not be written (the value is lost).
    bool WriteText(const QString& name, const QString& text) const;

    // The volume slider position, 0 (full volume) .. 1000 (silence). Writes
    // 0 first when the value is missing; a stored value out of range is
    // clamped.
    int32_t GetVolumeLevel() const;
    bool SetVolumeLevel(int32_t level) const;

    // The description of the output device the user chose, "" for the
    // system default (also when missing or not text).
    QString GetOutputDevice() const;
    bool SetOutputDevice(const QString& description) const;

    // The folder the file dialogs were last used in, "" when none (also when
    // not text). Whether it still exists is the reader's question.
    QString GetLastFolder() const;
    bool SetLastFolder(const QString& folder) const;

    // Each value missing is written with its default first. A damaged value
    // reads as its default, piece by piece for the gains: eqOn not a number
    // is on; eqBands not a number is 3, a number is clamped to 2 ... 5 and
    // 4 becomes 3; a gain that is no number is 1.0, one out of range is
    // clamped, missing ones are 1.0 and extra ones are ignored.
    Equalizer GetEqualizer() const;
    bool SetEqualizer(const Equalizer& equalizer) const;
};

} // namespace tessel
