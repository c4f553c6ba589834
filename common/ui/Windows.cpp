#include "Windows.h"

#include <QApplication>
#include <QDialog>
#include <QScreen>

namespace Windows {

void showModalAt(QDialog* window, int top, int left) {
    window->setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowCloseButtonHint);
    window->move(left, top);
    window->exec();
}

void showModalCentred(QDialog* window) {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = window->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        window->move(frame.topLeft());
    }
    window->exec();
}

void processPendingMessages() { QCoreApplication::processEvents(); }

} // namespace Windows
