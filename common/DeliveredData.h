#pragma once

#include <QString>

// The data files delivered with the stations, written by the build (tools/
// makedata) and by tests that need a ready station folder.
namespace DeliveredData {

// data/CSBMK.mdb: the four empty tables of the registration database.
void writeRegistrationDb(const QString& path);

// data/dmb.mdb: 籍贯对照表 filled from the committed division list
// (CSV with the header "code,proName,DistrictDesc", UTF-8).
// Returns the number of rows written.
int writeNativePlaceDb(const QString& path, const QString& divisionsCsv);

// Lays out a registration station folder: data/ with every delivered file
// that is missing (existing files are never touched), photo/ and card/.
void layOutRegistrationStation(const QString& folder, const QString& divisionsCsv);

// Splits one CSV line (fields may be quoted, "" inside quotes is a quote).
QStringList splitCsvLine(const QString& line);

} // namespace DeliveredData
