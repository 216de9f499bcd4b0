// The output device chooser: "System default" first, then the devices it is
// given in their order, the current choice selected. It only shows and
// reports; the caller decides what a choice does.
//
// Threads: GUI thread only.
#pragma once

#include <QDialog>

#include <functional>
#include <string>
#include <vector>

class QComboBox;

namespace tessel {

class CSettings;

class CDeviceChooserDlg : public QDialog {
    Q_OBJECT

  public:
    static constexpr const char* kSystemDefaultEntry = "System default";

    // `current` is a description from `devices`, or "" for the system
    // default; one that is not listed (unplugged) selects the default.
    CDeviceChooserDlg(const std::vector<std::string>& devices, const std::string& current,
                      QWidget* parent = nullptr);

    // The selected description, "" for the system default.
    std::string Selected() const;
    QComboBox* Combo() const { return m_combo; }

  private:
    QComboBox* m_combo = nullptr;
};

// The Devices button: shows the chooser over `parent` with `devices` and the
// `current` choice selected. OK remembers the selection in `settings` and
// hands it to `use`; Cancel changes nothing. True when OK was pressed.
bool ChooseOutputDevice(QWidget* parent, const std::vector<std::string>& devices,
                        const std::string& current, const CSettings& settings,
                        const std::function<void(const std::string&)>& use);

} // namespace tessel
