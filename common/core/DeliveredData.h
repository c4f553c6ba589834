#pragma once

#include <QString>
#include <QStringList>

// The data files delivered with the stations, written by the build (tools/
// makedata) and by tests that need a ready station folder.
namespace DeliveredData {

// data/CSBMK.mdb: the four empty tables of the registration database.
void writeRegistrationDb(const QString& path);

// data/dmb.mdb: 籍贯对照表 filled from the committed division list
// (CSV with the header "code,proName,DistrictDesc", UTF-8).
// Returns the number of rows written.
int writeNativePlaceDb(const QString& path, const QString& divisionsCsv);

// Adds to an existing data/dmb.mdb the rows of the division list whose code
// it does not hold; rows already there are kept as they are. Returns the
// number of rows added.
int addMissingNativePlaces(const QString& path, const QString& divisionsCsv);

// Lays out a registration station folder: data/ with every delivered file
// that is missing, photo/ and card/. Existing files are never replaced; an
// existing dmb.mdb only gains the division codes it lacks.
void layOutRegistrationStation(const QString& folder, const QString& divisionsCsv);

// data/XFRDCJK.mdb: the credit database with its empty 学生表, in the
// protected form.
void writeCreditDb(const QString& path);

// The statements that make the credit database's tables and indexes.
QStringList creditDatabaseStatements();

// data/XXBMB.mdb: the name table 市县学校编码表 filled from a unit list (CSV
// with the header "市县编码,市县名称,学校编码,学校名称", UTF-8), in the
// protected form. Returns the number of rows written.
int writeNameTableDb(const QString& path, const QString& unitsCsv);

// Lays out a credit station folder: data/ with every delivered file that is
// missing (existing files are never touched).
void layOutCreditStation(const QString& folder, const QString& unitsCsv);

// Splits one CSV line (fields may be quoted, "" inside quotes is a quote).
QStringList splitCsvLine(const QString& line);

} // namespace DeliveredData
