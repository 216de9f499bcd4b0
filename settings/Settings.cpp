#include "settings/Settings.h"

#include <QSettings>

#include <algorithm>
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

} // namespace tessel
