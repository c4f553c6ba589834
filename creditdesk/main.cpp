// The credit station.
#include "CreditStation.h"
#include "Dialogs.h"
#include "Fonts.h"
#include "UnitMain.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QTranslator>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("creditdesk"));
    // Qt's own texts (the file and folder choosers) in Chinese, where the
    // translations are installed.
    QTranslator qtTexts;
    if (qtTexts.load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                     QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtTexts);
    Fonts::install();
    CreditStation station;
    Dialogs::setProgramCaption(station.MainForm->windowTitle());
    station.MainForm->showCentred();
    return app.exec();
}
