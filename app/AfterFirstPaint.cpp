#include "app/AfterFirstPaint.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <utility>

namespace tessel {

namespace {

// A window that is never painted (started minimised, on a display that
// sends no exposes) must not hold the start-up back for good.
constexpr int kLongestWaitMs = 1000;

class CFirstPaintWatch : public QObject {
  public:
    CFirstPaintWatch(QWidget& widget, std::function<void()> then)
        : QObject(&widget), m_then(std::move(then)) {
        widget.installEventFilter(this);
        QTimer::singleShot(kLongestWaitMs, this, [this] { Run(); });
    }

    bool eventFilter(QObject*, QEvent* event) override {
        // The paint itself goes first: this only queues.
        if (event->type() == QEvent::Paint)
            QTimer::singleShot(0, this, [this] { Run(); });
        return false;
    }

  private:
    void Run() {
        if (!m_then)
            return;
        parent()->removeEventFilter(this);
        std::exchange(m_then, nullptr)();
        deleteLater();
    }

    std::function<void()> m_then;
};

} // namespace

void AfterFirstPaint(QWidget& widget, std::function<void()> then) {
    new CFirstPaintWatch(widget, std::move(then));
}

} // namespace tessel
