#include "controls/ScreenFit.h"

#include <QApplication>
#include <QEvent>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace tessel {

namespace {

// One span of the rectangle: its length within the area's (or within what
// is left after its start), then its start moved so that its end is on the
// area, then its start.
void FitSpan(int& start, int& length, int areaStart, int areaLength, int minimum,
             bool shortenFirst) {
    const int room =
        shortenFirst && start >= areaStart ? areaStart + areaLength - start : areaLength;
    length = std::max(std::min(length, room), minimum);
    start = std::min(start, areaStart + areaLength - length);
    start = std::max(start, areaStart);
}

QScreen* ScreenOf(const QWidget& window) {
    if (QScreen* screen = QGuiApplication::screenAt(window.frameGeometry().center()))
        return screen;
    if (QScreen* screen = window.screen())
        return screen;
    return QGuiApplication::primaryScreen();
}

const QString kFitterName = QStringLiteral("tessel-fit-windows-as-shown");

class CFitOnShow : public QObject {
  public:
    explicit CFitOnShow(QObject* parent) : QObject(parent) { setObjectName(kFitterName); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            auto* widget = static_cast<QWidget*>(watched);
            if (widget->isWindow())
                FitOnScreen(*widget);
        }
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

QRect FitInside(const QRect& frame, const QRect& available, const QSize& minimum, FitWay way) {
    if (available.isEmpty())
        return frame;
    int x = frame.x(), y = frame.y(), width = frame.width(), height = frame.height();
    FitSpan(x, width, available.x(), available.width(), minimum.width(), false);
    FitSpan(y, height, available.y(), available.height(), minimum.height(),
            way == FitWay::ShortenFirst);
    return {x, y, width, height};
}

void FitOnScreen(QWidget& window, FitWay way) {
    if (!window.isWindow())
        return;
    const QScreen* screen = ScreenOf(window);
    if (!screen)
        return;
    const QRect frame = window.frameGeometry();
    const QRect inner = window.geometry();
    // The frame's share, known once the window manager has framed the window
    // (nothing before that).
    const QSize frameExtra = frame.size() - inner.size();
    const QRect fitted =
        FitInside(frame, screen->availableGeometry(), window.minimumSize() + frameExtra, way);
    if (fitted.size() != frame.size())
        window.resize(fitted.size() - frameExtra);
    if (fitted.topLeft() != frame.topLeft())
        window.move(fitted.topLeft());
}

void FitWindowsAsShown() {
    if (!qApp || qApp->findChild<QObject*>(kFitterName, Qt::FindDirectChildrenOnly))
        return;
    qApp->installEventFilter(new CFitOnShow(qApp));
}

} // namespace tessel
