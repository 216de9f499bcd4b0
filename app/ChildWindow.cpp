#include "app/ChildWindow.h"

#include <QLabel>
#include <QVBoxLayout>

namespace tessel {

CChildWindow::CChildWindow(const QString& title, QSize size, QWidget* owner)
    : QWidget(owner, Qt::Tool) {
    setWindowTitle(title);
    resize(size);
    auto* label = new QLabel(title, this);
    label->setAlignment(Qt::AlignCenter);
    label->setEnabled(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
}

void CChildWindow::PlaceBelow(const QWidget& owner) {
    const QRect frame = owner.frameGeometry();
    move(frame.left(), frame.bottom() + 1);
}

} // namespace tessel
