// The equalizer's graph: one coloured response curve per band and the
// response the sound actually gets (the product of the peaking filters at
// the output's rate), on black, from -20 dB at the bottom edge to +20 dB at
// the top, over the filter bank's logarithmic axis. The owner writes the
// band curves, hands over the bands for the sum line and asks for a redraw.
// Each paint is composed off-screen at
// the screen's pixel density and put on the window in one draw, so a slider
// dragged over it never makes it flicker.
//
// Threads: GUI thread only.
#pragma once

#include "equalizer/EqualizerDesign.h"
#include "equalizer/FilterBank.h"

#include <QImage>
#include <QRgb>
#include <QWidget>

#include <array>

namespace tessel {

class CEqualizerResponseGraph : public QWidget {
  public:
    static constexpr int32_t kMaxCurves = 5;
    static constexpr int32_t kPoints = CFilterBank::kAxisPoints;
    static constexpr float kTopDb = 20.0f;
    static constexpr float kBottomDb = -20.0f;
    static constexpr std::array<QRgb, kMaxCurves> kColours = {0xFFFF0000, 0xFFFFA500, 0xFFFFFF00,
                                                              0xFF008000, 0xFF0000FF};
    static constexpr QRgb kSumColour = 0xFFFFFFFF;

    explicit CEqualizerResponseGraph(QWidget* parent = nullptr);

    // 640 values in dB, point i at the bank's axis point i.
    void SetCurve(int32_t curve, const float* values);
    void SetSum(const float* values);
    // The sum line: the response `bands` apply to a stream of `sampleRate`
    // (0 dB everywhere for no bands: the equalizer off).
    void SetAppliedResponse(const EqualizerBands& bands, double sampleRate);
    const std::array<float, kPoints>& Sum() const { return m_sum; }
    // Curves 0 ... n-1 are drawn (n clamped to 1 ... 5).
    void SetCurveCount(int32_t n);
    int32_t CurveCount() const { return m_curveCount; }
    // The frequency of each axis point, for the grid's labels.
    void SetAxis(const CFilterBank& bank);

    // What a paint puts on the screen, at `ratio` device pixels per pixel.
    QImage Render(QSize size, qreal ratio) const;

    QSize sizeHint() const override { return {480, 160}; }

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    void DrawGrid(QImage& image, QSize size) const;

    std::array<std::array<float, kPoints>, kMaxCurves> m_curves{};
    std::array<float, kPoints> m_sum{};
    std::array<double, kPoints> m_axisHz{};
    int32_t m_curveCount = 3;
};

} // namespace tessel
