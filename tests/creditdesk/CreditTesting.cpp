#include "CreditTesting.h"

#include <QTimer>

QTimer* whenShown(QDialog* window, std::function<void()> action) {
    auto* timer = new QTimer(window);
    timer->setInterval(0);
    QObject::connect(timer, &QTimer::timeout, window, [timer, window, action] {
        if (!window->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        action();
    });
    timer->start();
    return timer;
}
