#include "controls/FocusRing.h"

#include <QEvent>
#include <QPainter>

namespace tessel {

CFocusRing* CFocusRing::Attach(QWidget* control) {
    if (!control || !control->parentWidget())
        return nullptr;
    return new CFocusRing(control);
}

CFocusRing::CFocusRing(QWidget* control) : QWidget(control->parentWidget()), m_control(control) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    hide();
    control->installEventFilter(this);
}

bool CFocusRing::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_control) {
        switch (event->type()) {
        case QEvent::FocusIn:
        case QEvent::FocusOut:
        case QEvent::Move:
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
            Follow();
            break;
        default:
            break;
        }
    }
    return false;
}

void CFocusRing::Follow() {
    if (!m_control || !m_control->hasFocus() || !m_control->isVisible()) {
        hide();
        return;
    }
    setGeometry(m_control->geometry().adjusted(-kMargin, -kMargin, kMargin, kMargin));
    raise();
    show();
    update();
}

void CFocusRing::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::Highlight), 2.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 4, 4);
}

} // namespace tessel
