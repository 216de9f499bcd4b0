// What the Qt tests share (Qt Core only, so the settings tests can use it
// too): a private settings folder.
#pragma once

#include "tests/support/TestData.h"

#include <QString>

namespace tessel::test {

// Points the per-user settings and data (the stored playlist) at a private
// folder for its lifetime; or at `folder`, which may not be writable at all.
class ScopedSettingsFolder {
  public:
    ScopedSettingsFolder();
    explicit ScopedSettingsFolder(const QString& folder);
    const TempDir& Dir() const { return m_dir; }

  private:
    TempDir m_dir;
    ScopedEnv m_data;
};

} // namespace tessel::test
