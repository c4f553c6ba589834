#include "TempStation.h"
#include "DeliveredData.h"

#include <QDir>
#include <QFile>
#include <QtGlobal>

#ifndef DESK_SOURCE_DIR
#error "DESK_SOURCE_DIR must name the source tree"
#endif

QString divisionsCsv() { return QStringLiteral(DESK_SOURCE_DIR "/data/divisions.csv"); }

namespace {
// The delivered files are written once per test program and copied for
// every station after that.
QString templateStation() {
    static QTemporaryDir dir;
    static bool laidOut = false;
    if (!laidOut) {
        DeliveredData::layOutRegistrationStation(dir.path(), divisionsCsv());
        laidOut = true;
    }
    return dir.path();
}
} // namespace

TempStation::TempStation() : previousHome_(qgetenv("DESK_HOME")) {
    const QDir from(templateStation() + QStringLiteral("/data"));
    QDir to(dir_.path());
    for (const char* sub : {"data", "photo", "card"})
        to.mkpath(QString::fromLatin1(sub));
    for (const QString& name : from.entryList(QDir::Files))
        QFile::copy(from.filePath(name), dir_.path() + QStringLiteral("/data/") + name);
    qputenv("DESK_HOME", dir_.path().toUtf8());
}

TempStation::~TempStation() {
    if (previousHome_.isEmpty())
        qunsetenv("DESK_HOME");
    else
        qputenv("DESK_HOME", previousHome_);
}

QString TempStation::path() const { return dir_.path() + QLatin1Char('/'); }

QString TempStation::file(const QString& relative) const { return path() + relative; }
