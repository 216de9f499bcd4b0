// The equalizer window: 2, 3 or 5 bands, one gain slider per band labelled
// with its centre, an on/off button and the graph of the bands' responses.
// It keeps the layout and the gains in the filter bank it is given and
// tells the main window of each change (AppMessage::EqualizerBandMoved with the
// band, AppMessage::EqualizerOff, AppMessage::EqualizerOn, and AppMessage::ChildWindowClosed when
// it is closed, which only hides it); the main window has the sound output
// read the bank back.
//
// Threads: GUI thread only, like the bank.
#pragma once

#include "core/AppMessages.h"
#include "equalizer/FilterBank.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

class QFrame;
class QGroupBox;
class QLabel;
class QRadioButton;
class QSlider;

namespace tessel {

class CPictureButton;
class CEqualizerResponseGraph;

class CEqualizerWindow : public QWidget {
  public:
    static constexpr int32_t kSliders = 5;
    static constexpr int32_t kTemplateId = 138;
    // Slider positions are gain factors in thousandths: the top (1150) is
    // +15 dB in the effect, the middle 0 dB, the bottom -15 dB.
    static constexpr int kSliderMin = 850;
    static constexpr int kSliderMax = 1150;
    static constexpr int kSliderMiddle = 1000;

    // What the window tells its owner: a message and its value.
    using MessageSink = std::function<void(AppMessage id, int32_t value)>;

    // Starts with 3 bands, every gain 1.0 and the equalizer off, having sent
    // nothing; Restore brings the remembered state.
    CEqualizerWindow(CFilterBank& bank, QWidget* owner);

    void SetMessageSink(MessageSink sink) { m_send = std::move(sink); }
    // Sets the sliders, the band count and the switch as remembered; tells
    // the owner AppMessage::EqualizerOn when that is on.
    void Restore(bool on, int32_t bands, const std::array<float, kSliders>& gains);

    // The rate of the stream playing, for the graph's sum line: the filters
    // the sound gets depend on it near the top of the range (44100 until
    // told).
    void SetOutputRate(double sampleRate);

    // The user's operations, also for tests.
    void ChangeBandCount(int32_t bands);
    void ToggleOnOff();

    bool IsOn() const { return m_on; }
    int32_t BandCount() const { return m_bandCount; }
    // Every slider's gain factor, bands in use or not.
    std::array<float, kSliders> Gains() const;

    QSlider* Slider(int32_t band) const { return m_sliders.at(band); }
    QLabel* CentreLabel(int32_t band) const { return m_labels.at(band); }
    QRadioButton* BandCountButton(int32_t bands) const;
    CPictureButton* PowerButton() const { return m_power; }
    CEqualizerResponseGraph* Graph() const { return m_graph; }

    // Puts the window's top-left corner at the owner's bottom-left corner.
    void PlaceBelow(const QWidget& owner);

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void BuildControls();
    void OnSliderMoved(int32_t band);
    void RefreshCurve(int32_t band);
    void RefreshSum();
    void Send(AppMessage id, int32_t value = 0) const;

    CFilterBank& m_bank;
    MessageSink m_send;
    int32_t m_bandCount = 3;
    bool m_on = false;
    bool m_updating = false;
    double m_outputRate = 44100.0;

    std::array<QSlider*, kSliders> m_sliders{};
    std::array<QLabel*, kSliders> m_labels{};
    std::array<QGroupBox*, kSliders> m_groups{};
    std::array<QFrame*, kSliders> m_stripes{};
    std::array<QRadioButton*, 3> m_countButtons{};
    CPictureButton* m_power = nullptr;
    CEqualizerResponseGraph* m_graph = nullptr;
};

} // namespace tessel
