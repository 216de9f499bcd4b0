// What the window tests share: one QApplication for the process (offscreen
// platform), a private settings folder per test, and waiting while Qt's
// events run.
#pragma once

#include "tests/support/TestData.h"

#include <QString>

#include <chrono>
#include <functional>

namespace tessel::test {

// Serves Qt's events until `done` answers true or `timeout` passes; true
// when `done` was reached.
bool RunQtUntil(const std::function<bool()>& done,
                std::chrono::milliseconds timeout = std::chrono::seconds(10));
void RunQtFor(std::chrono::milliseconds duration);

// Points the per-user settings and data (the stored playlist) at a private
// folder for its lifetime.
class ScopedSettingsFolder {
  public:
    ScopedSettingsFolder();
    // A folder that may not be writable at all.
    explicit ScopedSettingsFolder(const QString& folder);
    const TempDir& Dir() const { return m_dir; }

  private:
    TempDir m_dir;
    ScopedEnv m_data;
};

} // namespace tessel::test
