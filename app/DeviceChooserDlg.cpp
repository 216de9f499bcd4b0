#include "app/DeviceChooserDlg.h"

#include "settings/Settings.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QVBoxLayout>

namespace tessel {

CDeviceChooserDlg::CDeviceChooserDlg(const std::vector<std::string>& devices,
                                     const std::string& current, QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("Output Device"));
    setObjectName(QStringLiteral("deviceChooser"));
    auto* group = new QGroupBox(QStringLiteral("Audio Device"), this);
    m_combo = new QComboBox(group);
    m_combo->setObjectName(QStringLiteral("deviceCombo"));
    // Long sink descriptions must stay readable.
    m_combo->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_combo->setMinimumContentsLength(28);
    // The item data holds the description; the default's is empty, so the
    // text shown can never be taken for a device's name.
    m_combo->addItem(QString::fromLatin1(kSystemDefaultEntry), QString());
    for (const std::string& device : devices) {
        const QString text = QString::fromStdString(device);
        m_combo->addItem(text, text);
    }
    const int index = m_combo->findData(QString::fromStdString(current));
    m_combo->setCurrentIndex(current.empty() || index < 0 ? 0 : index);

    auto* groupLayout = new QVBoxLayout(group);
    groupLayout->addWidget(m_combo);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group);
    layout->addWidget(buttons);
}

std::string CDeviceChooserDlg::Selected() const {
    return m_combo->currentData().toString().toStdString();
}

bool ChooseOutputDevice(QWidget* parent, const std::vector<std::string>& devices,
                        const std::string& current, const CSettings& settings,
                        const std::function<void(const std::string&)>& use) {
    CDeviceChooserDlg chooser(devices, current, parent);
    if (chooser.exec() != QDialog::Accepted)
        return false;
    const std::string chosen = chooser.Selected();
    settings.SetOutputDevice(QString::fromStdString(chosen));
    if (use)
        use(chosen);
    return true;
}

} // namespace tessel
