#include "Startup.h"
#include "DeskError.h"
#include "Dialogs.h"
#include "FileModes.h"
#include "Fonts.h"
#include "StationFolder.h"
#include "StationLock.h"

#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

namespace Startup {

void prepareApplication() {
    auto* qtTexts = new QTranslator(qApp);
    if (qtTexts->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qt"), QStringLiteral("_"),
                      QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
    Fonts::install();
}

bool openStation(const QString& program, const QStringList& subfolders, QString* notice) {
    const auto refuse = [&program](const QString& text) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(program), text.toUtf8().constData());
        Dialogs::current().message(text);
        return false;
    };
    const StationFolder::Location location =
        StationFolder::locate(program, QCoreApplication::applicationDirPath());
    // The lock lives in the folder; a folder that cannot be made is named
    // by the layout below.
    QDir().mkpath(location.folder);
    StationLock::Holder holder;
    if (!StationLock::acquire(location.folder, program, &holder))
        return refuse(StationLock::refusal(location.folder, holder, program));
    try {
        const QString line = StationFolder::open(program, subfolders);
        // The lock file was made before the folder's modes were known.
        FileModes::settle(StationLock::lockFile(location.folder));
        if (notice)
            *notice = line;
    } catch (const DeskError& e) {
        return refuse(e.message());
    }
    return true;
}

} // namespace Startup
