#include "app/AboutBox.h"

#include <QMessageBox>

#ifndef TESSEL_VERSION
#define TESSEL_VERSION "0.0.0"
#endif

namespace tessel {

const char* AboutVersion() {
    return TESSEL_VERSION;
}

void ShowAboutBox(QWidget* parent) {
    QMessageBox box(parent);
    box.setWindowTitle(QStringLiteral("About Audio Player"));
    box.setIconPixmap(parent ? parent->windowIcon().pixmap(48, 48) : QPixmap());
    box.setText(QStringLiteral("<b>%1</b><br>Version %2<br><br>%3")
                    .arg(QString::fromLatin1(kProductName), QString::fromLatin1(AboutVersion()),
                         QString::fromLatin1(kMakerName)));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

} // namespace tessel
