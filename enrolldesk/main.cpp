// The registration station.
#include "Dialogs.h"
#include "Startup.h"
#include "Station.h"
#include "mainform.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("enrolldesk"));
    Startup::prepareApplication();
    QString folderNotice;
    if (!Startup::openStation(QStringLiteral("enrolldesk"), {QStringLiteral("photo"), QStringLiteral("card")}, &folderNotice))
        return 1;
    EnrollStation station;
    Dialogs::setProgramCaption(station.FormMain->windowTitle());
    station.FormMain->openMaximized();
    if (!folderNotice.isEmpty())
        station.FormMain->statusBar()->showMessage(folderNotice);
    if (!station.readerWarning.isEmpty())
        QTimer::singleShot(0, [&station] { Dialogs::current().message(station.readerWarning); });
    return app.exec();
}
