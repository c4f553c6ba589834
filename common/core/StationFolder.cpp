#include "StationFolder.h"
#include "DeskError.h"
#include "FileModes.h"
#include "FileOps.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFileInfo>

namespace StationFolder {

namespace {

// The folder open() settled on; empty before (tests, tools).
QString& settledFolder() {
    static QString folder;
    return folder;
}

QString withSlash(const QString& path) {
    QString folder = QDir::cleanPath(QDir(path).absolutePath());
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder;
}

QString cannotCreate(const QString& folder) {
    return QStringLiteral("无法创建站点文件夹“%1”。请检查这个位置是否可以写入、磁盘是否已满。")
        .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)));
}

void makeFolder(const QString& folder) {
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isDir())
        throw DeskError(cannotCreate(folder));
}

// Copies `from` to the missing file `to`: under a temporary name first, so
// that a crash never leaves a half-copied file that a later start would
// take for a complete one.
void copyMissing(const QString& from, const QString& to) {
    if (QFileInfo::exists(to))
        return;
    const QString temporary = to + QStringLiteral(".part");
    QFile::remove(temporary); // left by an interrupted start
    copyFileDurably(from, temporary);
    try {
        FileOps::current().rename(temporary, to);
    } catch (...) {
        QFile::remove(temporary);
        throw;
    }
}

} // namespace

QString programFolder() {
    const QString home = qEnvironmentVariable("DESK_HOME");
    if (!home.isEmpty())
        return withSlash(home);
    if (!settledFolder().isEmpty())
        return settledFolder();
    return withSlash(QCoreApplication::applicationDirPath());
}

QString dataFolder() { return programFolder() + QStringLiteral("data/"); }
QString photoFolder() { return programFolder() + QStringLiteral("photo/"); }
QString cardFolder() { return programFolder() + QStringLiteral("card/"); }
QString setupIni() { return programFolder() + QStringLiteral("setup.ini"); }

QString registrationDb() { return dataFolder() + QStringLiteral("CSBMK.mdb"); }
QString nativePlaceDb() { return dataFolder() + QStringLiteral("dmb.mdb"); }
QString creditDb() { return dataFolder() + QStringLiteral("XFRDCJK.mdb"); }
QString nameTableDb() { return dataFolder() + QStringLiteral("XXBMB.mdb"); }

Location locate(const QString& program, const QString& executableFolder) {
    const QString home = qEnvironmentVariable("DESK_HOME");
    if (!home.isEmpty())
        return {withSlash(home), Origin::Environment};

    const QString own = withSlash(executableFolder);
    const QFileInfo ownFolder(own);
    const QFileInfo ownData(own + QStringLiteral("data"));
    if (ownData.isDir() && ownData.isWritable() && ownFolder.isWritable())
        return {own, Origin::ProgramFolder};

    // The XDG base directory rules: a relative XDG_DATA_HOME is ignored.
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return {withSlash(base + QLatin1Char('/') + program), Origin::UserFolder};
}

QString deliveredFolder(const QString& program, const QString& executableFolder) {
    return withSlash(executableFolder + QStringLiteral("/../share/enrolldesk/") + program);
}

void layOut(const QString& folder, const QString& delivered, const QStringList& subfolders) {
    makeFolder(folder);
    const QDir station(folder);
    for (const QString& sub : subfolders)
        makeFolder(station.filePath(sub));
    if (delivered.isEmpty() || !QFileInfo(delivered).isDir())
        return;

    const QDir source(delivered);
    QDirIterator it(delivered, QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    // Folders come before the files in them, so a file's folder exists by
    // the time the file is copied.
    QStringList files;
    while (it.hasNext()) {
        const QString path = it.next();
        const QString relative = source.relativeFilePath(path);
        if (it.fileInfo().isDir())
            makeFolder(station.filePath(relative));
        else if (!relative.endsWith(QStringLiteral(".part")))
            files << relative;
    }
    for (const QString& relative : files) {
        try {
            copyMissing(source.filePath(relative), station.filePath(relative));
        } catch (const DeskError& e) {
            throw DeskError(QStringLiteral("无法完成站点文件夹“%1”：%2")
                                .arg(QDir::toNativeSeparators(QDir::cleanPath(folder)), e.message()));
        }
    }
}

QString open(const QString& program, const QStringList& subfolders) {
    const QString executableFolder = QCoreApplication::applicationDirPath();
    const Location location = locate(program, executableFolder);
    // A user's own folder is private; a folder named for the station may be
    // shared by a group (FileModes.h). Everything laid out from here on
    // gets the station's modes.
    FileModes::adopt(location.folder, location.origin == Origin::UserFolder ? FileModes::Sharing::Private
                                                                            : FileModes::sharingOf(location.folder));
    layOut(location.folder, deliveredFolder(program, executableFolder), subfolders);
    QStringList kept{QStringLiteral("data"), QStringLiteral("photo"), QStringLiteral("card"),
                     QStringLiteral("setup.ini")};
    kept += subfolders;
    kept.removeDuplicates();
    FileModes::tighten(kept);
    settledFolder() = location.folder;
    if (location.origin == Origin::ProgramFolder)
        return QString();
    return QStringLiteral("站点文件夹：%1").arg(QDir::toNativeSeparators(QDir::cleanPath(location.folder)));
}

} // namespace StationFolder
