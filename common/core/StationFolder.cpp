#include "StationFolder.h"

#include <QCoreApplication>
#include <QDir>

namespace StationFolder {

QString programFolder() {
    QString folder = qEnvironmentVariable("DESK_HOME");
    if (folder.isEmpty())
        folder = QCoreApplication::applicationDirPath();
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString dataFolder() { return programFolder() + QStringLiteral("data/"); }
QString photoFolder() { return programFolder() + QStringLiteral("photo/"); }
QString cardFolder() { return programFolder() + QStringLiteral("card/"); }
QString setupIni() { return programFolder() + QStringLiteral("setup.ini"); }

QString registrationDb() { return dataFolder() + QStringLiteral("CSBMK.mdb"); }
QString nativePlaceDb() { return dataFolder() + QStringLiteral("dmb.mdb"); }
QString creditDb() { return dataFolder() + QStringLiteral("XFRDCJK.mdb"); }
QString nameTableDb() { return dataFolder() + QStringLiteral("XXBMB.mdb"); }

} // namespace StationFolder
