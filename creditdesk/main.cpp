// The credit station.
#include "CreditStation.h"
#include "Dialogs.h"
#include "Startup.h"
#include "UnitMain.h"

#include <QApplication>
#include <QStatusBar>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("creditdesk"));
    Startup::prepareApplication();
    QString folderNotice;
    if (!Startup::openStation(QStringLiteral("creditdesk"), {}, &folderNotice))
        return 1;
    CreditStation station;
    Dialogs::setProgramCaption(station.MainForm->windowTitle());
    station.MainForm->showCentred();
    if (!folderNotice.isEmpty())
        station.MainForm->statusBar()->showMessage(folderNotice);
    return app.exec();
}
