#include "settings/Settings.h"

#include <QSettings>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <optional>

namespace tessel {

namespace {

QString Key(const QString& name) {
    return QString::fromLatin1(CSettings::kGroup) + '/' + name;
}

QSettings OpenStore() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, CSettings::kOrganisation,
                     CSettings::kApplication);
}

// The stored value as a whole number; nothing when missing or not a number.
std::optional<int64_t> ReadInteger(const QString& name) {
    const QSettings store = OpenStore();
    const QVariant value = store.value(Key(name));
    if (!value.isValid())
        return std::nullopt;
    bool ok = false;
    const qlonglong number = value.toLongLong(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

// The stored text; a hand-written list without quotes reads back as a list
// and is joined again.
QString StoredText(const QString& name) {
    const QVariant value = OpenStore().value(Key(name));
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(',');
    return value.toString();
}

bool WriteValue(const QString& name, const QVariant& value) {
    QSettings store = OpenStore();
    store.setValue(Key(name), value);
    store.sync();
    return store.status() == QSettings::NoError;
}

QString GainsText(const CSettings::Equalizer& equalizer) {
    QStringList items;
    for (float gain : equalizer.gains)
        items << QString::number(static_cast<double>(gain), 'g', 6);
    return items.join(',');
}

int32_t OfferedBandCount(int64_t stored) {
    const int64_t bands = std::clamp<int64_t>(stored, 2, 5);
    return bands == 4 ? 3 : static_cast<int32_t>(bands);
}

} // namespace

bool CSettings::ValueExists(const QString& name) const {
    return OpenStore().contains(Key(name));
}

uint32_t CSettings::ReadDword(const QString& name) const {
    const std::optional<int64_t> number = ReadInteger(name);
    if (!number)
        return 0;
    return static_cast<uint32_t>(std::clamp<int64_t>(*number, 0, UINT32_MAX));
}

bool CSettings::WriteDword(const QString& name, uint32_t value) const {
    QSettings store = OpenStore();
    store.setValue(Key(name), static_cast<qulonglong>(value));
    store.sync();
    return store.status() == QSettings::NoError;
}

QString CSettings::ReadText(const QString& name) const {
    return StoredText(name);
}

bool CSettings::WriteText(const QString& name, const QString& text) const {
    return WriteValue(name, text);
}

int32_t CSettings::GetVolumeLevel() const {
    if (!ValueExists(kVolumeLevel))
        SetVolumeLevel(0);
    // Read signed so a hand-edited negative value means full volume, not
    // silence.
    const std::optional<int64_t> number = ReadInteger(kVolumeLevel);
    return static_cast<int32_t>(std::clamp<int64_t>(number.value_or(0), 0, kVolumeMax));
}

bool CSettings::SetVolumeLevel(int32_t level) const {
    return WriteDword(kVolumeLevel, static_cast<uint32_t>(std::clamp(level, 0, kVolumeMax)));
}

QString CSettings::GetOutputDevice() const {
    const QVariant value = OpenStore().value(Key(kOutputDevice));
    return value.canConvert<QString>() ? value.toString() : QString();
}

bool CSettings::SetOutputDevice(const QString& description) const {
    QSettings store = OpenStore();
    store.setValue(Key(kOutputDevice), description);
    store.sync();
    return store.status() == QSettings::NoError;
}

QString CSettings::GetLastFolder() const {
    // A path with a comma, hand-written without quotes, reads back whole.
    return ReadText(kLastFolder);
}

bool CSettings::SetLastFolder(const QString& folder) const {
    return WriteValue(kLastFolder, folder);
}

CSettings::Equalizer CSettings::GetEqualizer() const {
    const Equalizer defaults;
    if (!ValueExists(kEqualizerOn))
        WriteDword(kEqualizerOn, defaults.on ? 1 : 0);
    if (!ValueExists(kEqualizerBands))
        WriteDword(kEqualizerBands, static_cast<uint32_t>(defaults.bands));
    if (!ValueExists(kEqualizerGains))
        WriteValue(kEqualizerGains, GainsText(defaults));

    Equalizer equalizer;
    equalizer.on = ReadInteger(kEqualizerOn).value_or(defaults.on ? 1 : 0) != 0;
    const std::optional<int64_t> bands = ReadInteger(kEqualizerBands);
    equalizer.bands = bands ? OfferedBandCount(*bands) : defaults.bands;
    const QStringList items = StoredText(kEqualizerGains).split(',');
    for (int32_t i = 0; i < Equalizer::kSliders && i < items.size(); ++i) {
        bool ok = false;
        const double gain = items[i].trimmed().toDouble(&ok);
        if (ok && std::isfinite(gain))
            equalizer.gains[i] =
                std::clamp(static_cast<float>(gain), Equalizer::kMinGain, Equalizer::kMaxGain);
    }
    return equalizer;
}

bool CSettings::SetEqualizer(const Equalizer& equalizer) const {
    Equalizer stored = equalizer;
    stored.bands = OfferedBandCount(equalizer.bands);
    for (float& gain : stored.gains)
        gain =
            std::isfinite(gain) ? std::clamp(gain, Equalizer::kMinGain, Equalizer::kMaxGain) : 1.0f;
    const bool on = WriteDword(kEqualizerOn, stored.on ? 1 : 0);
    const bool bands = WriteDword(kEqualizerBands, static_cast<uint32_t>(stored.bands));
    const bool gains = WriteValue(kEqualizerGains, GainsText(stored));
    return on && bands && gains;
}

} // namespace tessel
