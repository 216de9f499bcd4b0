#include "controls/ButtonFace.h"

#include "controls/PictureFolder.h"

#include <QPainter>
#include <QPainterPath>

namespace tessel {

namespace {

// The pictures' own corner radius, so the frame follows the face's outline.
constexpr qreal kFrameRadius = 6.0;
constexpr qreal kFrameWidth = 2.0;

void DrawFocusFrame(QPainter& painter, QSize logicalSize, const QColor& colour) {
    painter.setRenderHint(QPainter::Antialiasing);
    const qreal inset = kFrameWidth / 2.0;
    const QRectF ring =
        QRectF(QPointF(0, 0), QSizeF(logicalSize)).adjusted(inset, inset, -inset, -inset);
    // A dark outline inside the coloured ring keeps it visible on light and
    // dark faces alike.
    painter.setPen(QPen(QColor(0, 0, 0, 160), kFrameWidth + 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(ring.adjusted(1.5, 1.5, -1.5, -1.5), kFrameRadius - 1.5,
                            kFrameRadius - 1.5);
    painter.setPen(QPen(colour, kFrameWidth));
    painter.drawRoundedRect(ring, kFrameRadius, kFrameRadius);
}

} // namespace

QImage ComposeButtonFace(QSize logicalSize, qreal ratio, const ButtonFaceLook& look) {
    QImage face(logicalSize * ratio, QImage::Format_ARGB32_Premultiplied);
    face.setDevicePixelRatio(ratio);
    face.fill(look.fill);
    QPainter painter(&face);
    if (!look.pictureFile.isEmpty()) {
        const QImage picture = LoadPictureForRatio(look.pictureFile, ratio);
        if (!picture.isNull()) {
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRectF(QPointF(0, 0), QSizeF(logicalSize)), picture);
        }
    }
    if (look.focusFrame)
        DrawFocusFrame(painter, logicalSize, look.frameColour);
    return face;
}

} // namespace tessel
