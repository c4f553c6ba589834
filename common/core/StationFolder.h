#pragma once

#include <QString>

// The station folder ("program folder"): the folder of the running program,
// or the folder named by the environment variable DESK_HOME. Every path of a
// station is this folder followed by a relative part. Paths end in '/'
// where they name a folder.
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

} // namespace StationFolder
