// Pictures are looked for beside the running program first (the build tree
// renders them there), then in the installed pictures folder relative to it
// (bin/../share/tessel-audio-player/pictures). Each picture may come drawn at
// 2x and 3x as "name@2x.png" and "name@3x.png" beside "name.png", for screens
// with more device pixels per logical pixel. Loading is cached per path, but
// the file is checked on every call, so a picture that appears, changes or
// vanishes while the program runs is seen by the next draw.
#pragma once

#include <QImage>
#include <QString>

namespace tessel {

// The playlist rows' state icons, 16 x 16.
enum class RowIcon { Loaded, Normal, Spare, Selected, Unreadable };

QString RowIconFile(RowIcon icon);

inline const QString kAppIconFile = QStringLiteral("appIcon.png");

// The largest scale pictures are drawn at.
inline constexpr int kMaxPictureScale = 3;

// Full path of picture `fileName`: beside the running program when it is
// there, else in the installed pictures folder when it is there, else the
// path beside the program (which then does not load).
QString PicturePath(const QString& fileName);

// The name of `fileName` drawn at `scale`: "name@2x.png" for 2, the name
// itself for 1.
QString ScaledPictureName(const QString& fileName, int scale);

// The picture at `path`; a null image when it is missing or unreadable.
// Main thread only.
QImage LoadPicture(const QString& path);

// Picture `fileName` for a device pixel ratio: the smallest scale at or above
// `ratio` that exists, else the largest one below it, with its device pixel
// ratio set to that scale so it draws at its logical size. Null when no scale
// of it exists. Main thread only.
QImage LoadPictureForRatio(const QString& fileName, qreal ratio);

} // namespace tessel
