// What a picture button shows: its picture, at the scale the screen wants,
// on the button colour, with a frame around it while it has the keyboard
// focus. Composed off-screen so a half-drawn face is never seen.
#pragma once

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

namespace tessel {

struct ButtonFaceLook {
    QColor fill;             // shows where the picture is transparent or missing
    QString pictureFile;     // empty: the plain fill only
    bool focusFrame = false; // the button has the keyboard focus
    QColor frameColour;
};

// The face of a button `logicalSize` large for a device pixel ratio of
// `ratio`: an image of logicalSize * ratio pixels with that ratio set.
QImage ComposeButtonFace(QSize logicalSize, qreal ratio, const ButtonFaceLook& look);

} // namespace tessel
