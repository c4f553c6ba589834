// The credit station.
#include "Dialogs.h"
#include "Fonts.h"
#include "UnitMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("creditdesk"));
    Fonts::install();
    TMainForm mainForm;
    Dialogs::setProgramCaption(mainForm.windowTitle());
    mainForm.show();
    return app.exec();
}
