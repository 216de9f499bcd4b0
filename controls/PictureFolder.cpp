#include "controls/PictureFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>

#include <algorithm>
#include <cmath>

#ifndef TESSEL_PICTURES_FROM_BIN
#define TESSEL_PICTURES_FROM_BIN "../share/tessel-audio-player/pictures"
#endif

namespace tessel {

namespace {

struct CachedPicture {
    QDateTime modified;
    qint64 size = -1;
    QImage image;
};

} // namespace

QString RowIconFile(RowIcon icon) {
    switch (icon) {
    case RowIcon::Loaded:
        return QStringLiteral("rowLoaded.png");
    case RowIcon::Normal:
        return QStringLiteral("rowNormal.png");
    case RowIcon::Spare:
        return QStringLiteral("rowSpare.png");
    case RowIcon::Selected:
        return QStringLiteral("rowSelected.png");
    case RowIcon::Unreadable:
        return QStringLiteral("rowUnreadable.png");
    }
    return {};
}

QString PicturePath(const QString& fileName) {
    const QString programDir = QCoreApplication::applicationDirPath();
    const QString beside = programDir + QLatin1Char('/') + fileName;
    if (QFileInfo::exists(beside))
        return beside;
    // Installed, the program lives in bin/ and its pictures under share/.
    const QString installed =
        QFileInfo(programDir + QLatin1Char('/') + QStringLiteral(TESSEL_PICTURES_FROM_BIN) +
                  QLatin1Char('/') + fileName)
            .absoluteFilePath();
    if (QFileInfo::exists(installed))
        return installed;
    return beside;
}

QString ScaledPictureName(const QString& fileName, int scale) {
    if (scale <= 1)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const QString suffix = QStringLiteral("@%1x").arg(scale);
    return dot < 0 ? fileName + suffix : fileName.left(dot) + suffix + fileName.mid(dot);
}

QImage LoadPicture(const QString& path) {
    // A redraw happens on every hover and press; decoding the PNG each time
    // is wasted work, but a stat is cheap and keeps the file authoritative.
    static QHash<QString, CachedPicture> cache;
    const QFileInfo info(path);
    if (!info.isFile()) {
        cache.remove(path);
        return {};
    }
    CachedPicture& entry = cache[path];
    if (entry.size != info.size() || entry.modified != info.lastModified() ||
        entry.image.isNull()) {
        entry.modified = info.lastModified();
        entry.size = info.size();
        entry.image = QImage(path);
    }
    return entry.image;
}

QImage LoadPictureForRatio(const QString& fileName, qreal ratio) {
    // Scaling a larger picture down stays sharp; scaling a smaller one up
    // blurs. So the first choice is the smallest one that is large enough.
    const int wanted = std::clamp(static_cast<int>(std::ceil(ratio - 0.001)), 1, kMaxPictureScale);
    int order[kMaxPictureScale];
    int n = 0;
    for (int scale = wanted; scale <= kMaxPictureScale; ++scale)
        order[n++] = scale;
    for (int scale = wanted - 1; scale >= 1; --scale)
        order[n++] = scale;
    for (int scale : order) {
        QImage image = LoadPicture(PicturePath(ScaledPictureName(fileName, scale)));
        if (!image.isNull()) {
            image.setDevicePixelRatio(scale);
            return image;
        }
    }
    return {};
}

} // namespace tessel
