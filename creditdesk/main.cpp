// The credit station.
#include "CreditStation.h"
#include "Dialogs.h"
#include "Startup.h"
#include "UnitMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("creditdesk"));
    Startup::prepareApplication();
    CreditStation station;
    Dialogs::setProgramCaption(station.MainForm->windowTitle());
    station.MainForm->showCentred();
    return app.exec();
}
