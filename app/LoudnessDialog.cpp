#include "app/LoudnessDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QVBoxLayout>

namespace tessel {

namespace {

QDoubleSpinBox* DbBox(QWidget* parent) {
    auto* box = new QDoubleSpinBox(parent);
    box->setRange(-kReplayGainMaxPreampDb, kReplayGainMaxPreampDb);
    box->setSingleStep(0.5);
    box->setDecimals(1);
    box->setSuffix(QStringLiteral(" dB"));
    return box;
}

} // namespace

CLoudnessDialog::CLoudnessDialog(QWidget* parent, OnChange onChange)
    : QDialog(parent), m_onChange(std::move(onChange)) {
    setWindowTitle(QStringLiteral("Loudness"));
    m_mode = new QComboBox(this);
    m_mode->addItem(QStringLiteral("Off"), static_cast<int>(ReplayGainMode::Off));
    m_mode->addItem(QStringLiteral("Track gain"), static_cast<int>(ReplayGainMode::Track));
    m_mode->addItem(QStringLiteral("Album gain"), static_cast<int>(ReplayGainMode::Album));
    m_mode->addItem(QStringLiteral("Album in order, track when shuffled"),
                    static_cast<int>(ReplayGainMode::Auto));
    m_preamp = DbBox(this);
    m_untagged = DbBox(this);
    m_clipping = new QCheckBox(QStringLiteral("Prevent clipping"), this);
    m_measure = new QCheckBox(QStringLiteral("&Measure untagged files"), this);
    m_measure->setToolTip(
        QStringLiteral("Measures the loudness of files without ReplayGain tags in the "
                       "background and plays them as if tagged"));

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&ReplayGain:"), m_mode);
    form->addRow(QStringLiteral("&Preamp (tagged files):"), m_preamp);
    form->addRow(QStringLiteral("&Files without tags:"), m_untagged);
    form->addRow(QString(), m_clipping);
    form->addRow(QString(), m_measure);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_mode, &QComboBox::currentIndexChanged, this, [this] { Changed(); });
    connect(m_preamp, &QDoubleSpinBox::valueChanged, this, [this] { Changed(); });
    connect(m_untagged, &QDoubleSpinBox::valueChanged, this, [this] { Changed(); });
    connect(m_clipping, &QCheckBox::toggled, this, [this] { Changed(); });
    connect(m_measure, &QCheckBox::toggled, this, [this] { Changed(); });
}

void CLoudnessDialog::Show(const ReplayGainSettings& settings) {
    m_showing = true;
    m_mode->setCurrentIndex(std::max(0, m_mode->findData(static_cast<int>(settings.mode))));
    m_preamp->setValue(settings.preampDb);
    m_untagged->setValue(settings.untaggedGainDb);
    m_clipping->setChecked(settings.clippingPrevention);
    m_measure->setChecked(settings.measureUntagged);
    m_showing = false;
}

ReplayGainSettings CLoudnessDialog::Settings() const {
    ReplayGainSettings settings;
    settings.mode = static_cast<ReplayGainMode>(m_mode->currentData().toInt());
    settings.preampDb = m_preamp->value();
    settings.untaggedGainDb = m_untagged->value();
    settings.clippingPrevention = m_clipping->isChecked();
    settings.measureUntagged = m_measure->isChecked();
    return settings;
}

void CLoudnessDialog::Changed() {
    if (!m_showing && m_onChange)
        m_onChange(Settings());
}

} // namespace tessel
