#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The submission files of the registration station: the students of a
// county or a school written into a new database file, and their
// photographs copied out of the photo store.
//
// A unit is chosen by codes: with a school code, county code + school code
// against characters 3-10 of an identifier; without one, the county code
// against characters 3-6. Codes are compared without regard to ASCII case,
// as the registration database compares them.
namespace RegistrationExport {

enum class Kind {
    Current, // this year's registrations, 学生表
    MakeUp,  // make-up registrations, 补考表
};

// "<county><school>学业水平测试报名库2010年.mdb" or "...补考报名库2010年.mdb".
QString defaultFileName(Kind kind, const QString& county, const QString& school);

// The table of an exported file, as the engine's statement.
QString tableStatement(Kind kind);

// Called between parts of a long run: `done` of `total` items finished.
using Progress = std::function<void(int done, int total)>;

// Writes the unit's rows of the registration database `database` into a
// new file at `target`, in their stored order, numbered from 1. The file
// gets its name only when complete: on any failure nothing is left at
// `target` and DeskError is thrown. Returns the number of rows written.
int writeFile(Kind kind, const QString& database, const QString& target, const QString& county,
              const QString& school, const Progress& progress = {});

// Whether the photo file `name` belongs to the unit: characters 3-10 (or
// 3-6 without a school code) of the name itself.
bool photoInScope(const QString& name, const QString& county, const QString& school);

} // namespace RegistrationExport
