#include "tests/support/qt/QtTestSupport.h"

#include <QSettings>

namespace tessel::test {

namespace {
void PointSettingsAt(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}
} // namespace

ScopedSettingsFolder::ScopedSettingsFolder()
    : m_data("XDG_DATA_HOME", (m_dir.Path() / "data").c_str()) {
    PointSettingsAt(QString::fromStdString(m_dir.Path().string()));
}

ScopedSettingsFolder::ScopedSettingsFolder(const QString& folder)
    : m_data("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toLocal8Bit().constData()) {
    PointSettingsAt(folder);
}

} // namespace tessel::test
