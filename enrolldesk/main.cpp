// The registration station.
#include "Dialogs.h"
#include "Startup.h"
#include "Station.h"
#include "mainform.h"

#include <QApplication>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("enrolldesk"));
    Startup::prepareApplication();
    EnrollStation station;
    Dialogs::setProgramCaption(station.FormMain->windowTitle());
    station.FormMain->openMaximized();
    if (!station.readerWarning.isEmpty())
        QTimer::singleShot(0, [&station] { Dialogs::current().message(station.readerWarning); });
    return app.exec();
}
