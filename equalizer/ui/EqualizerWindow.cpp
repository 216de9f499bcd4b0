#include "equalizer/ui/EqualizerWindow.h"

#include "controls/PictureButton.h"
#include "core/AppMessages.h"
#include "equalizer/ui/EqualizerResponseGraph.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

constexpr std::array<int32_t, 3> kBandCounts = {2, 3, 5};

QString GainText(int position) {
    const double db = (position - CEqualizerWindow::kSliderMiddle) / 10.0;
    return QStringLiteral("%1%2 dB").arg(db > 0 ? "+" : "").arg(db, 0, 'f', 1);
}

} // namespace

CEqualizerWindow::CEqualizerWindow(CFilterBank& bank, QWidget* owner)
    : QWidget(owner, Qt::Tool), m_bank(bank) {
    setWindowTitle(QStringLiteral("Equalizer"));
    BuildControls();
    m_updating = true;
    for (int32_t b = 0; b < kSliders; ++b)
        m_bank.SetBandGain(b, 1.0f);
    m_updating = false;
    ChangeBandCount(3);
}

void CEqualizerWindow::BuildControls() {
    auto* countBox = new QGroupBox(QStringLiteral("# Bands"), this);
    auto* countLayout = new QVBoxLayout(countBox);
    auto* countGroup = new QButtonGroup(this);
    for (size_t i = 0; i < kBandCounts.size(); ++i) {
        const int32_t bands = kBandCounts[i];
        auto* button = new QRadioButton(QString::number(bands), countBox);
        countGroup->addButton(button);
        countLayout->addWidget(button);
        m_countButtons[i] = button;
        connect(button, &QRadioButton::clicked, this, [this, bands] { ChangeBandCount(bands); });
    }
    countLayout->addStretch();

    auto* enableBox = new QGroupBox(QStringLiteral("Enable"), this);
    auto* enableLayout = new QVBoxLayout(enableBox);
    m_power = new CPictureButton(enableBox);
    m_power->SetRole(ButtonRole::Power);
    m_power->SetEnabledLook(true);
    m_power->SetPowerOff();
    m_power->setText(QStringLiteral("On"));
    m_power->setToolTip(QStringLiteral("Switch the equalizer on"));
    m_power->setFixedSize(m_power->sizeHint());
    enableLayout->addWidget(m_power, 0, Qt::AlignHCenter);
    enableLayout->addStretch();
    connect(m_power, &QAbstractButton::clicked, this, [this] { ToggleOnOff(); });

    // Tight enough to stand as wide as the main window above it.
    auto* top = new QHBoxLayout;
    top->setSpacing(3);
    top->addWidget(countBox);
    for (int32_t b = 0; b < kSliders; ++b) {
        auto* box = new QGroupBox(QStringLiteral("Band %1").arg(b + 1), this);
        auto* layout = new QVBoxLayout(box);
        auto* slider = new QSlider(Qt::Vertical, box);
        slider->setRange(kSliderMin, kSliderMax);
        slider->setValue(kSliderMiddle);
        slider->setSingleStep(1);
        slider->setPageStep(10);
        slider->setTickPosition(QSlider::TicksBothSides);
        slider->setTickInterval(50);
        slider->setMinimumHeight(110);
        slider->setToolTip(GainText(kSliderMiddle));
        auto* label = new QLabel(box);
        label->setAlignment(Qt::AlignHCenter);
        label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("12000 Hz")));
        // A stripe in the colour of the band's curve ties slider and curve.
        auto* stripe = new QFrame(box);
        stripe->setFixedHeight(3);
        QPalette palette = stripe->palette();
        palette.setColor(QPalette::Window, QColor::fromRgba(CEqualizerResponseGraph::kColours[b]));
        stripe->setPalette(palette);
        stripe->setAutoFillBackground(true);
        layout->setContentsMargins(4, 4, 4, 4);
        layout->addWidget(slider, 1, Qt::AlignHCenter);
        layout->addWidget(label);
        layout->addWidget(stripe);
        m_stripes[b] = stripe;
        m_groups[b] = box;
        m_sliders[b] = slider;
        m_labels[b] = label;
        connect(slider, &QSlider::valueChanged, this, [this, b] { OnSliderMoved(b); });
        top->addWidget(box);
    }
    top->addWidget(enableBox);

    m_graph = new CEqualizerResponseGraph(this);
    m_graph->SetAxis(m_bank);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addLayout(top);
    layout->addWidget(m_graph, 1);
}

QRadioButton* CEqualizerWindow::BandCountButton(int32_t bands) const {
    for (size_t i = 0; i < kBandCounts.size(); ++i)
        if (kBandCounts[i] == bands)
            return m_countButtons[i];
    return nullptr;
}

void CEqualizerWindow::Restore(bool on, int32_t bands, const std::array<float, kSliders>& gains) {
    m_updating = true;
    for (int32_t b = 0; b < kSliders; ++b) {
        const int position =
            std::clamp(static_cast<int>(std::lround(gains[b] * 1000.0f)), kSliderMin, kSliderMax);
        m_sliders[b]->setValue(position);
        m_sliders[b]->setToolTip(GainText(position));
        m_bank.SetBandGain(b, position / 1000.0f);
    }
    m_updating = false;
    ChangeBandCount(BandCountButton(bands) ? bands : 3);
    if (on != m_on)
        ToggleOnOff();
}

void CEqualizerWindow::ChangeBandCount(int32_t bands) {
    if (!BandCountButton(bands))
        return;
    m_updating = true;
    BandCountButton(bands)->setChecked(true);
    for (int32_t b = 0; b < kSliders; ++b) {
        const bool used = b < bands;
        m_groups[b]->setEnabled(used);
        m_stripes[b]->setVisible(used);
    }
    m_bandCount = bands;
    m_bank.SetNumBands(bands);
    for (int32_t b = 0; b < kSliders; ++b) {
        if (b < bands) {
            const auto hz = static_cast<int>(m_bank.GetBandCentre(b)); // truncated, as labelled
            m_labels[b]->setText(QStringLiteral("%1 Hz").arg(hz));
            RefreshCurve(b);
        } else {
            m_labels[b]->clear();
        }
    }
    RefreshSum();
    if (m_on)
        Send(AppMessage::EqualizerOn);
    m_graph->SetCurveCount(bands);
    m_graph->update();
    m_updating = false;
}

void CEqualizerWindow::ToggleOnOff() {
    m_on = !m_on;
    if (m_on) {
        m_power->SetPowerOn();
        m_power->setText(QStringLiteral("Off"));
        m_power->setToolTip(QStringLiteral("Switch the equalizer off"));
        Send(AppMessage::EqualizerOn);
    } else {
        m_power->SetPowerOff();
        m_power->setText(QStringLiteral("On"));
        m_power->setToolTip(QStringLiteral("Switch the equalizer on"));
        Send(AppMessage::EqualizerOff);
    }
    RefreshSum();
    m_graph->update();
}

std::array<float, CEqualizerWindow::kSliders> CEqualizerWindow::Gains() const {
    std::array<float, kSliders> gains{};
    for (int32_t b = 0; b < kSliders; ++b)
        gains[b] = m_sliders[b]->value() / 1000.0f;
    return gains;
}

void CEqualizerWindow::OnSliderMoved(int32_t band) {
    if (m_updating)
        return;
    const int position = m_sliders[band]->value();
    m_sliders[band]->setToolTip(GainText(position));
    m_bank.SetBandGain(band, position / 1000.0f);
    m_bank.UpdateBandResponse(band);
    Send(AppMessage::EqualizerBandMoved, band);
    if (band < m_bandCount) {
        RefreshCurve(band);
        RefreshSum();
        m_graph->update();
    }
}

void CEqualizerWindow::RefreshCurve(int32_t band) {
    std::array<float, CFilterBank::kAxisPoints> curve{};
    m_bank.GetBandResponse(band, curve.data());
    m_graph->SetCurve(band, curve.data());
}

void CEqualizerWindow::SetOutputRate(double sampleRate) {
    if (!(sampleRate > 0.0) || sampleRate == m_outputRate)
        return;
    m_outputRate = sampleRate;
    RefreshSum();
    m_graph->update();
}

void CEqualizerWindow::RefreshSum() {
    // What the sound gets, not the filter bank's own sum (whose band shapes
    // do not add up to 0 dB when every band is flat).
    m_graph->SetAppliedResponse(m_on ? EqualizerBandsFromBank(m_bank) : EqualizerBands{},
                                m_outputRate);
}

void CEqualizerWindow::Send(AppMessage id, int32_t value) const {
    if (m_send)
        m_send(id, value);
}

void CEqualizerWindow::PlaceBelow(const QWidget& owner) {
    const QRect frame = owner.frameGeometry();
    move(frame.left(), frame.bottom() + 1);
}

void CEqualizerWindow::closeEvent(QCloseEvent* event) {
    Send(AppMessage::ChildWindowClosed, kTemplateId);
    QWidget::closeEvent(event);
}

} // namespace tessel
