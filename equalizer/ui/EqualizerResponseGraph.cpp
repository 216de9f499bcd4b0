#include "equalizer/ui/EqualizerResponseGraph.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace tessel {

namespace {

constexpr QRgb kGridColour = 0xFF303438;
constexpr QRgb kZeroColour = 0xFF50565C;
constexpr QRgb kLabelColour = 0xFF80888F;
constexpr double kGridHz[] = {100.0, 1000.0, 10000.0};
const char* const kGridLabels[] = {"100 Hz", "1 kHz", "10 kHz"};

// Point i and a value in dB to the centres of the first and last pixel
// columns and rows: the curve spans the full width, and -20 dB lies exactly
// on the bottom row, +20 dB on the top one.
struct Scale {
    explicit Scale(QSize size)
        : sx((size.width() - 1) / double(CEqualizerResponseGraph::kPoints - 1)),
          sy((size.height() - 1) /
             double(CEqualizerResponseGraph::kTopDb - CEqualizerResponseGraph::kBottomDb)) {}
    double X(double point) const { return 0.5 + point * sx; }
    double Y(double db) const {
        // Far beyond the edges is as good as just beyond them.
        db = std::clamp(db, -1000.0, 1000.0);
        return 0.5 + (CEqualizerResponseGraph::kTopDb - db) * sy;
    }
    double sx;
    double sy;
};

QPainterPath CurvePath(const float* values, const Scale& scale) {
    QPainterPath path;
    path.moveTo(scale.X(0), scale.Y(values[0]));
    for (int32_t i = 1; i < CEqualizerResponseGraph::kPoints; ++i)
        path.lineTo(scale.X(i), scale.Y(values[i]));
    return path;
}

} // namespace

CEqualizerResponseGraph::CEqualizerResponseGraph(QWidget* parent) : QWidget(parent) {
    // The paint covers every pixel: nothing to erase first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    setAttribute(Qt::WA_NoSystemBackground);
    setMinimumSize(200, 80);
    for (int32_t i = 0; i < kPoints; ++i)
        m_axisHz[i] = 20000.0 / 1024.0 * std::pow(2.0, (i + 2) / 64.0);
}

void CEqualizerResponseGraph::SetCurve(int32_t curve, const float* values) {
    if (curve < 0 || curve >= kMaxCurves || values == nullptr)
        return;
    std::copy(values, values + kPoints, m_curves[curve].begin());
}

void CEqualizerResponseGraph::SetSum(const float* values) {
    if (values != nullptr)
        std::copy(values, values + kPoints, m_sum.begin());
}

void CEqualizerResponseGraph::SetAppliedResponse(const EqualizerBands& bands, double sampleRate) {
    AppliedResponseDb(bands, sampleRate, m_axisHz.data(), m_sum.data(), kPoints);
}

void CEqualizerResponseGraph::SetCurveCount(int32_t n) {
    m_curveCount = std::clamp(n, 1, kMaxCurves);
}

void CEqualizerResponseGraph::SetAxis(const CFilterBank& bank) {
    for (int32_t i = 0; i < kPoints; ++i)
        m_axisHz[i] = bank.AxisFrequency(i);
}

void CEqualizerResponseGraph::DrawGrid(QImage& image, QSize size) const {
    const Scale scale(size);
    QPainter painter(&image);
    QFont font = painter.font();
    font.setPointSizeF(7.5);
    painter.setFont(font);
    // Cosmetic pens: one device pixel, crisp at any density.
    painter.setPen(QPen(QColor::fromRgba(kGridColour), 0));
    for (float db : {-10.0f, 10.0f})
        painter.drawLine(QPointF(0, scale.Y(db)), QPointF(size.width(), scale.Y(db)));
    for (size_t g = 0; g < std::size(kGridHz); ++g) {
        const auto point = std::lower_bound(m_axisHz.begin(), m_axisHz.end(), kGridHz[g]);
        const double x = scale.X(static_cast<double>(point - m_axisHz.begin()));
        painter.setPen(QPen(QColor::fromRgba(kGridColour), 0));
        painter.drawLine(QPointF(x, 0), QPointF(x, size.height()));
        painter.setPen(QColor::fromRgba(kLabelColour));
        painter.drawText(QPointF(x + 3, size.height() - 4), QString::fromLatin1(kGridLabels[g]));
    }
    painter.setPen(QPen(QColor::fromRgba(kZeroColour), 0));
    painter.drawLine(QPointF(0, scale.Y(0)), QPointF(size.width(), scale.Y(0)));
    painter.setPen(QColor::fromRgba(kLabelColour));
    painter.drawText(QPointF(3, scale.Y(0) - 3), QStringLiteral("0 dB"));
    painter.drawText(QPointF(3, scale.Y(10) - 3), QStringLiteral("+10"));
    painter.drawText(QPointF(3, scale.Y(-10) - 3), QStringLiteral("-10"));
}

QImage CEqualizerResponseGraph::Render(QSize size, qreal ratio) const {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    if (size.isEmpty())
        return image;
    DrawGrid(image, size);

    const Scale scale(size);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    // The sum first, broad and faint, so the band lying along it at the top
    // still shows its colour.
    QColor sum = QColor::fromRgba(kSumColour);
    sum.setAlphaF(0.45f);
    painter.setPen(QPen(sum, 3.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(CurvePath(m_sum.data(), scale));
    for (int32_t c = 0; c < m_curveCount; ++c) {
        painter.setPen(QPen(QColor::fromRgba(kColours[c]), 1.0));
        painter.drawPath(CurvePath(m_curves[c].data(), scale));
    }
    return image;
}

void CEqualizerResponseGraph::paintEvent(QPaintEvent*) {
    const QImage image = Render(size(), devicePixelRatioF());
    QPainter(this).drawImage(0, 0, image);
}

} // namespace tessel
