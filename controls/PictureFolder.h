// Pictures live in the running program's own folder, with no subfolder and
// no second place to look. Loading is cached per path, but the file is
// checked on every call, so a picture that appears, changes or vanishes
// while the program runs is seen by the next draw.
#pragma once

#include <QImage>
#include <QString>

namespace tessel {

// The playlist rows' state icons, 16 x 16.
enum class RowIcon { Loaded, Normal, Spare, Selected, Unreadable };

QString RowIconFile(RowIcon icon);

inline const QString kAppIconFile = QStringLiteral("appIcon.png");

// Full path of picture `fileName` in the folder of the running program.
QString PicturePath(const QString& fileName);

// The picture at `path`; a null image when it is missing or unreadable.
// Main thread only.
QImage LoadPicture(const QString& path);

} // namespace tessel
