#include "app/LoudnessSettings.h"

#include "settings/Settings.h"

#include <array>
#include <cmath>
#include <utility>

namespace tessel {

namespace {

constexpr const char* kModeKey = "replayGain";
constexpr const char* kPreampKey = "replayGainPreamp";
constexpr const char* kUntaggedKey = "replayGainUntagged";
constexpr const char* kClippingKey = "clippingPrevention";
constexpr const char* kMeasureKey = "measureUntagged";

constexpr std::array kModes{std::pair{ReplayGainMode::Off, std::string_view("off")},
                            std::pair{ReplayGainMode::Track, std::string_view("track")},
                            std::pair{ReplayGainMode::Album, std::string_view("album")},
                            std::pair{ReplayGainMode::Auto, std::string_view("auto")}};

double ReadDb(const CSettings& settings, const char* key) {
    bool ok = false;
    const double db = settings.ReadText(key).toDouble(&ok);
    return ok && std::abs(db) <= kReplayGainMaxPreampDb ? db : 0.0;
}

} // namespace

std::string_view ReplayGainModeText(ReplayGainMode mode) {
    for (const auto& [known, text] : kModes)
        if (known == mode)
            return text;
    return "off";
}

std::optional<ReplayGainMode> ParseReplayGainModeText(std::string_view text) {
    for (const auto& [mode, known] : kModes)
        if (known == text)
            return mode;
    return std::nullopt;
}

ReplayGainSettings ReadReplayGainSettings(const CSettings& settings) {
    ReplayGainSettings gain;
    gain.mode = ParseReplayGainModeText(settings.ReadText(kModeKey).toStdString())
                    .value_or(ReplayGainMode::Off);
    gain.preampDb = ReadDb(settings, kPreampKey);
    gain.untaggedGainDb = ReadDb(settings, kUntaggedKey);
    gain.clippingPrevention =
        !settings.ValueExists(kClippingKey) || settings.ReadDword(kClippingKey) != 0;
    // Anything but a plain 1 is off: measuring costs a long decode.
    gain.measureUntagged = settings.ReadDword(kMeasureKey) == 1;
    return gain;
}

void StoreReplayGainSettings(const CSettings& settings, const ReplayGainSettings& gain) {
    const std::string_view mode = ReplayGainModeText(gain.mode);
    settings.WriteText(kModeKey,
                       QString::fromLatin1(mode.data(), static_cast<qsizetype>(mode.size())));
    settings.WriteText(kPreampKey, QString::number(gain.preampDb));
    settings.WriteText(kUntaggedKey, QString::number(gain.untaggedGainDb));
    settings.WriteDword(kClippingKey, gain.clippingPrevention ? 1 : 0);
    settings.WriteDword(kMeasureKey, gain.measureUntagged ? 1 : 0);
}

} // namespace tessel
