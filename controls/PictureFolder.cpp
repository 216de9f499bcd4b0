#include "controls/PictureFolder.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFileInfo>
#include <QHash>

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
    return QCoreApplication::applicationDirPath() + QLatin1Char('/') + fileName;
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

} // namespace tessel
