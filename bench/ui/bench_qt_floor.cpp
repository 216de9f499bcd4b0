// The least a Qt Widgets program costs: a window with one line of text and
// nothing else, started and measured like the player by
// startup_vs_peers.sh, so the player's own start and memory can be read
// above Qt's.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Qt Widgets and nothing else"));
    label.resize(420, 180);
    label.show();
    return app.exec();
}
