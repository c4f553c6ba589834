#pragma once

#include <QString>
#include <QStringList>

// The station folder ("program folder"): where a station keeps data/,
// photo/, card/ and setup.ini. Every path of a station is this folder
// followed by a relative part. Paths end in '/' where they name a folder.
//
// Which folder it is, in this order:
//   1. the folder named by the environment variable DESK_HOME;
//   2. the folder of the running program, when it holds data/ and the user
//      may write there (the build tree, a copied portable station);
//   3. the user's own folder $XDG_DATA_HOME/<program>, by default
//      ~/.local/share/<program> (an installed program under /usr).
// At start-up the program calls open(), which settles the folder for the
// rest of the run and lays out what is missing from the delivered files.
namespace StationFolder {

QString programFolder();
QString dataFolder();  // programFolder() + "data/"
QString photoFolder(); // programFolder() + "photo/"
QString cardFolder();  // programFolder() + "card/" (the simulated card reader)
QString setupIni();    // programFolder() + "setup.ini"

// Registration station
QString registrationDb(); // data/CSBMK.mdb
QString nativePlaceDb();  // data/dmb.mdb

// Credit station
QString creditDb();    // data/XFRDCJK.mdb
QString nameTableDb(); // data/XXBMB.mdb

// Where a station folder was found.
enum class Origin { Environment, ProgramFolder, UserFolder };

struct Location {
    QString folder; // with a trailing '/'
    Origin origin;
};

// The station folder of `program` ("enrolldesk", "creditdesk") run from
// `executableFolder`, by the order above. Looks only; creates nothing.
Location locate(const QString& program, const QString& executableFolder);

// The delivered files an installed program brings along:
// <executableFolder>/../share/enrolldesk/<program>/ (the package holds both
// stations under one name).
QString deliveredFolder(const QString& program, const QString& executableFolder);

// Completes the station folder `folder` from `delivered`: every sub-folder
// and file of `delivered` the station lacks is created or copied, and the
// folders named in `subfolders` are made. Nothing that exists is ever
// replaced, so a station half laid out by an interrupted first start is
// completed and a station in use keeps its data. Each file is copied under a
// temporary name and renamed into place once complete. `delivered` may be
// empty or missing (nothing to copy). Throws DeskError naming the folder
// that could not be created or the file that could not be written.
void layOut(const QString& folder, const QString& delivered, const QStringList& subfolders);

// Start-up of a station: locates its folder, lays out what is missing, and
// makes it the station folder for the rest of the run. The folder and what
// the station keeps in it get the modes of FileModes.h: the user's own
// folder is private (0700, files 0600), a folder shared by a group gets
// 2770 and 0660; files created later in it follow. Returns the line
// that tells the user where the folder is when it is not the program's own
// folder (empty when it is). Throws DeskError with a message for the user
// when the folder cannot be created or completed.
QString open(const QString& program, const QStringList& subfolders);

} // namespace StationFolder
