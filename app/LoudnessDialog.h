// The loudness settings (Ctrl+, and the ☰ menu's "Loudness..."): ReplayGain
// mode, preamp, the gain for files without tags, clipping prevention, and
// measuring files without tags.
// Every change is handed on at once, so it is heard while the dialog is
// still open; Close only closes.
//
// Threads: GUI thread only.
#pragma once

#include "decode/ReplayGain.h"

#include <QDialog>

#include <functional>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;

namespace tessel {

class CLoudnessDialog : public QDialog {
  public:
    using OnChange = std::function<void(const ReplayGainSettings&)>;

    CLoudnessDialog(QWidget* parent, OnChange onChange);

    // Shows `settings` without handing them on.
    void Show(const ReplayGainSettings& settings);
    ReplayGainSettings Settings() const;

    QComboBox* Mode() const { return m_mode; }
    QDoubleSpinBox* Preamp() const { return m_preamp; }
    QDoubleSpinBox* Untagged() const { return m_untagged; }
    QCheckBox* Clipping() const { return m_clipping; }
    QCheckBox* MeasureUntagged() const { return m_measure; }

  private:
    void Changed();

    OnChange m_onChange;
    QComboBox* m_mode = nullptr;
    QDoubleSpinBox* m_preamp = nullptr;
    QDoubleSpinBox* m_untagged = nullptr;
    QCheckBox* m_clipping = nullptr;
    QCheckBox* m_measure = nullptr;
    bool m_showing = false;
};

} // namespace tessel
