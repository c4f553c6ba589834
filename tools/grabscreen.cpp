// Saves a picture of the whole screen of the current X display:
//   grabscreen <file.png> [delay-ms]
// Used to look at the stations as a user sees them (for example under xvfb-run).
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QThread>
#include <cstdio>

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: grabscreen <file.png> [delay-ms]\n");
        return 2;
    }
    if (argc > 2)
        QThread::msleep(QString::fromLocal8Bit(argv[2]).toULong());
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "grabscreen: could not save %s\n", argv[1]);
        return 1;
    }
    return 0;
}
