// The equalizer window and its graph: layouts and labels, what each user
// action stores in the bank and tells the main window, and what is drawn.
#include "equalizer/ui/EqualizerWindow.h"
#include "controls/PictureButton.h"
#include "core/AppMessages.h"
#include "equalizer/ui/EqualizerResponseGraph.h"

#include <QLabel>
#include <QSlider>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <utility>
#include <vector>

namespace tessel {
namespace {

using Sent = std::pair<AppMessage, int32_t>;

class EqualizerWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = std::make_unique<CEqualizerWindow>(*bank, nullptr);
        window->SetMessageSink(
            [this](AppMessage id, int32_t value) { sent.emplace_back(id, value); });
    }

    std::unique_ptr<CFilterBank> bank = std::make_unique<CFilterBank>();
    std::unique_ptr<CEqualizerWindow> window;
    std::vector<Sent> sent;
};

TEST_F(EqualizerWindowTest, TheSumLineIsTheResponseTheSoundGets) {
    const auto& sum = window->Graph()->Sum();
    const auto flat = [&] {
        return std::all_of(sum.begin(), sum.end(), [](float db) { return db == 0.0f; });
    };
    // Every band at 0 dB: flat, though the filter bank's own sum is not.
    window->Restore(true, 5, {1.0f, 1.0f, 1.0f, 1.0f, 1.0f});
    EXPECT_TRUE(flat());

    // The first of three bands at +15 dB: +15 dB at its centre, nothing far
    // above it; off, nothing at all.
    window->Restore(true, 3, {1.15f, 1.0f, 1.0f, 1.0f, 1.0f});
    const auto at = [&](double hz) {
        int32_t i = 0;
        while (i + 1 < CFilterBank::kAxisPoints && bank->AxisFrequency(i) < hz)
            ++i;
        return sum[i];
    };
    EXPECT_NEAR(at(bank->GetBandCentre(0)), 15.0f, 0.3f);
    EXPECT_NEAR(at(16000.0), 0.0f, 0.1f);
    window->ToggleOnOff();
    EXPECT_TRUE(flat());
    window->ToggleOnOff();
    window->SetOutputRate(22050.0);
    EXPECT_NEAR(at(bank->GetBandCentre(0)), 15.0f, 0.3f);
}

// What a restart brings back through Restore is the main window's test.
TEST_F(EqualizerWindowTest, BandsAreLabelledByTheirCentresAndTheOwnerIsToldWhatItActsOn) {
    const char* labels[] = {"118 Hz", "1190 Hz", "12000 Hz", "", ""};
    for (int band = 0; band < 5; ++band) {
        EXPECT_EQ(window->CentreLabel(band)->text(), labels[band]);
        EXPECT_EQ(window->Slider(band)->isEnabled(), band < 3) << band;
    }
    window->ChangeBandCount(5);
    EXPECT_EQ(window->CentreLabel(0)->text(), "46 Hz") << "46.875 Hz truncated";
    window->Slider(3)->setValue(1150); // the top
    window->Slider(4)->setValue(850);  // the bottom
    window->ChangeBandCount(2);
    window->ChangeBandCount(5);
    EXPECT_EQ(sent, (std::vector<Sent>{{AppMessage::EqualizerBandMoved, 3},
                                       {AppMessage::EqualizerBandMoved, 4}}))
        << "sliders even while off, a new layout only while on";
    EXPECT_FLOAT_EQ(bank->GetBandGain(3), 1.15f);
    EXPECT_FLOAT_EQ(bank->GetBandGain(4), 0.85f);

    sent.clear();
    window->PowerButton()->click();
    EXPECT_EQ(window->PowerButton()->text(), "Off") << "the button names what it does next";
    window->ChangeBandCount(3);
    window->PowerButton()->click();
    EXPECT_EQ(window->PowerButton()->text(), "On");
    window->show();
    window->close();
    EXPECT_EQ(sent, (std::vector<Sent>{{AppMessage::EqualizerOn, 0},
                                       {AppMessage::EqualizerOn, 0},
                                       {AppMessage::EqualizerOff, 0},
                                       {AppMessage::ChildWindowClosed, 138}}));
    EXPECT_EQ(window->Gains(), (std::array<float, 5>{1.0f, 1.0f, 1.0f, 1.15f, 0.85f}));
}

// Pixels of `row` in a bright shade of `colour`'s hue (antialiasing darkens
// it); the grid's greys and the black have none.
int CountNear(const QImage& image, int row, QRgb colour) {
    int count = 0;
    for (int x = 0; x < image.width(); ++x) {
        const QColor p = image.pixelColor(x, row);
        count += p.valueF() > 0.5f * QColor(colour).valueF() && p.hsvSaturationF() > 0.5f &&
                 std::abs(p.hsvHueF() - QColor(colour).hsvHueF()) < 0.03f;
    }
    return count;
}

TEST(EqualizerGraph, DrawsOnlyTheBandsInUseOnTheDecibelScale) {
    CEqualizerResponseGraph graph;
    std::vector<float> values(CEqualizerResponseGraph::kPoints);
    const float levels[] = {-20.0f, 20.0f, 5.0f, 5.0f, 5.0f};
    for (int c = 0; c < 5; ++c) {
        std::fill(values.begin(), values.end(), levels[c]);
        graph.SetCurve(c, values.data());
    }
    std::fill(values.begin(), values.end(), -300.0f); // the sum, out of sight
    graph.SetSum(values.data());
    graph.SetCurveCount(2);
    const QImage image = graph.Render(QSize(320, 100), 1.0).convertToFormat(QImage::Format_ARGB32);
    // All but where a grid line crosses underneath.
    EXPECT_GE(CountNear(image, 99, CEqualizerResponseGraph::kColours[0]), 315)
        << "-20 dB: bottom row";
    EXPECT_GE(CountNear(image, 0, CEqualizerResponseGraph::kColours[1]), 315) << "+20 dB: top row";
    EXPECT_EQ(CountNear(image, 98, CEqualizerResponseGraph::kColours[0]), 0) << "a sharp line";
    // The bands not in use would lie on top of each other at +5 dB, row 37.
    for (int c = 2; c < 5; ++c)
        EXPECT_EQ(CountNear(image, 37, CEqualizerResponseGraph::kColours[c]), 0) << "curve " << c;

    // Twice the pixels on a HiDPI screen, the same picture.
    const QImage sharp = graph.Render(QSize(320, 100), 2.0).convertToFormat(QImage::Format_ARGB32);
    EXPECT_EQ(sharp.size(), QSize(640, 200));
    EXPECT_GE(CountNear(sharp, 199, CEqualizerResponseGraph::kColours[0]), 630);
    EXPECT_EQ(CountNear(sharp, 197, CEqualizerResponseGraph::kColours[0]), 0);
}

} // namespace
} // namespace tessel
