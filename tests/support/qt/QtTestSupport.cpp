#include "tests/support/qt/QtTestSupport.h"

#include <QCoreApplication>
#include <QSettings>

#include <thread>

namespace tessel::test {

namespace {
void PointSettingsAt(const QString& folder) {
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, folder);
}
} // namespace

bool RunQtUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

void RunQtFor(std::chrono::milliseconds duration) {
    RunQtUntil([] { return false; }, duration);
}

ScopedSettingsFolder::ScopedSettingsFolder()
    : m_data("XDG_DATA_HOME", (m_dir.Path() / "data").c_str()) {
    PointSettingsAt(QString::fromStdString(m_dir.Path().string()));
}

ScopedSettingsFolder::ScopedSettingsFolder(const QString& folder)
    : m_data("XDG_DATA_HOME", (folder + QStringLiteral("/data")).toLocal8Bit().constData()) {
    PointSettingsAt(folder);
}

} // namespace tessel::test
