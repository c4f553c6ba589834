// The registration station.
#include "DeskError.h"
#include "Dialogs.h"
#include "Startup.h"
#include "Station.h"
#include "StationFolder.h"
#include "mainform.h"

#include <QApplication>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("enrolldesk"));
    Startup::prepareApplication();
    QString folderNotice;
    try {
        folderNotice = StationFolder::open(QStringLiteral("enrolldesk"),
                                           {QStringLiteral("photo"), QStringLiteral("card")});
    } catch (const DeskError& e) {
        std::fprintf(stderr, "enrolldesk: %s\n", e.what());
        Dialogs::current().message(e.message());
        return 1;
    }
    EnrollStation station;
    Dialogs::setProgramCaption(station.FormMain->windowTitle());
    station.FormMain->openMaximized();
    if (!folderNotice.isEmpty())
        station.FormMain->statusBar()->showMessage(folderNotice);
    if (!station.readerWarning.isEmpty())
        QTimer::singleShot(0, [&station] { Dialogs::current().message(station.readerWarning); });
    return app.exec();
}
