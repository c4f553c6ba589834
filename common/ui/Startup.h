#pragma once

#include <QString>
#include <QStringList>

class QTranslator;

// What both stations do first: the CJK fonts, and Qt's own texts (buttons of
// file and folder choosers) in Chinese where the translations are installed.
namespace Startup {
void prepareApplication();

// Settles the station folder of `program` for the run: finds it, takes its
// lock (one station process per folder; StationLock.h) and lays out what is
// missing. Returns false, after telling the user why through Dialogs, when
// the station must not start: another station process holds the folder
// (nothing in it is touched then), or it cannot be laid out. `notice` gets
// the status-bar line naming the folder (empty for the program's own).
bool openStation(const QString& program, const QStringList& subfolders, QString* notice);
} // namespace Startup
