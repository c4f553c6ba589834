// The credit station.
#include "CreditStation.h"
#include "DeskError.h"
#include "Dialogs.h"
#include "Startup.h"
#include "StationFolder.h"
#include "UnitMain.h"

#include <QApplication>
#include <QStatusBar>
#include <cstdio>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("creditdesk"));
    Startup::prepareApplication();
    QString folderNotice;
    try {
        folderNotice = StationFolder::open(QStringLiteral("creditdesk"), {});
    } catch (const DeskError& e) {
        std::fprintf(stderr, "creditdesk: %s\n", e.what());
        Dialogs::current().message(e.message());
        return 1;
    }
    CreditStation station;
    Dialogs::setProgramCaption(station.MainForm->windowTitle());
    station.MainForm->showCentred();
    if (!folderNotice.isEmpty())
        station.MainForm->statusBar()->showMessage(folderNotice);
    return app.exec();
}
