#include "controls/FindBox.h"

#include "core/AppMessages.h"

#include <QKeyEvent>

namespace tessel {

CFindBox::CFindBox(QWidget* parent) : QLineEdit(parent) {}

void CFindBox::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    if (key != Qt::Key_Return && key != Qt::Key_Enter) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // QLineEdit would let Enter travel on to the dialog, which treats it as
    // a press of its default button. Accepting it here ends its journey; a
    // held key's repeats each ask again.
    event->accept();
    if (m_post)
        m_post(AppMessage::FindNext);
}

} // namespace tessel
