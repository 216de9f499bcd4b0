#include "app/PlayModes.h"

#include "settings/Settings.h"

#include <cmath>

namespace tessel {

namespace {

template <typename Mode> std::optional<Mode> ModeOfValue(double value, Mode last) {
    if (!std::isfinite(value) || value < 0.0 || value > static_cast<double>(last) ||
        value != std::floor(value))
        return std::nullopt;
    return static_cast<Mode>(static_cast<int>(value));
}

QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

RepeatMode NextRepeatMode(RepeatMode mode) {
    switch (mode) {
    case RepeatMode::Off:
        return RepeatMode::Track;
    case RepeatMode::Track:
        return RepeatMode::All;
    case RepeatMode::All:
        break;
    }
    return RepeatMode::Off;
}

ShuffleMode NextShuffleMode(ShuffleMode mode) {
    switch (mode) {
    case ShuffleMode::Off:
        return ShuffleMode::Tracks;
    case ShuffleMode::Tracks:
        return ShuffleMode::Albums;
    case ShuffleMode::Albums:
        break;
    }
    return ShuffleMode::Off;
}

std::optional<RepeatMode> RepeatModeOfValue(double value) {
    return ModeOfValue(value, RepeatMode::All);
}

std::optional<ShuffleMode> ShuffleModeOfValue(double value) {
    return ModeOfValue(value, ShuffleMode::Albums);
}

PlayModes ReadPlayModes(const CSettings& settings) {
    return {ParseRepeatMode(settings.ReadText(CSettings::kRepeat).toStdString()),
            ParseShuffleMode(settings.ReadText(CSettings::kShuffle).toStdString())};
}

void StorePlayModes(const CSettings& settings, const PlayModes& modes) {
    const QString repeat = Text(RepeatModeText(modes.repeat));
    const QString shuffle = Text(ShuffleModeText(modes.shuffle));
    if (settings.ReadText(CSettings::kRepeat) != repeat)
        settings.WriteText(CSettings::kRepeat, repeat);
    if (settings.ReadText(CSettings::kShuffle) != shuffle)
        settings.WriteText(CSettings::kShuffle, shuffle);
}

bool ReadResumePlaying(const CSettings& settings) {
    return settings.ReadDword(kResumePlayingSetting) == 1;
}

void StoreResumePlaying(const CSettings& settings, bool on) {
    settings.WriteDword(kResumePlayingSetting, on ? 1 : 0);
}

} // namespace tessel
