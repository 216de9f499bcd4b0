#include "app/AfterFirstPaint.h"

#include <QEvent>
#include <QGuiApplication>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <utility>

#if defined(TESSEL_HAS_XCB)
#include <xcb/xcb.h>
#endif

namespace tessel {

namespace {

// A window that is never exposed (started minimised, on a display that
// sends no exposes) must not hold the start-up back for good.
constexpr int kLongestWaitMs = 1000;

// Sends what the window system connection has buffered (X11); elsewhere a
// no-op.
void FlushWindowSystem() {
#if defined(TESSEL_HAS_XCB)
    // Other platforms may answer for X11 too (offscreen does, without a
    // connection).
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 != nullptr && x11->connection() != nullptr)
        xcb_flush(x11->connection());
#endif
}

class CFirstPaintWatch : public QObject {
  public:
    CFirstPaintWatch(QWidget& widget, std::function<void()> then)
        : QObject(&widget), m_widget(widget), m_then(std::move(then)) {
        widget.installEventFilter(this);
        QTimer::singleShot(kLongestWaitMs, this, [this] { Run(); });
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // The window exists once the widget paints; its expose may have
        // come already or may come later.
        if (watched == &m_widget && event->type() == QEvent::Paint && !m_window) {
            m_window = m_widget.windowHandle();
            if (m_window != nullptr) {
                m_window->installEventFilter(this);
                if (m_window->isExposed())
                    RunSoon();
            }
        } else if (watched == m_window && event->type() == QEvent::Expose) {
            RunSoon(); // after Qt has handled the expose: it paints then
        }
        return false;
    }

  private:
    void RunSoon() {
        QTimer::singleShot(0, this, [this] { Run(); });
    }

    void Run() {
        if (!m_then)
            return;
        m_widget.removeEventFilter(this);
        if (m_window != nullptr)
            m_window->removeEventFilter(this);
        // The exposed picture is still in the connection's buffer.
        FlushWindowSystem();
        std::exchange(m_then, nullptr)();
        deleteLater();
    }

    QWidget& m_widget;
    QWindow* m_window = nullptr;
    std::function<void()> m_then;
};

} // namespace

void AfterFirstPaint(QWidget& widget, std::function<void()> then) {
    new CFirstPaintWatch(widget, std::move(then));
}

} // namespace tessel
