#pragma once

#include <QString>

// Score files: the results of the proficiency test, handed to the station as
// a database file whose table 学生表 holds one row per student, its columns
// in the order of the registration database's 成绩表.
namespace ScoreFile {

// Copies every row of 学生表 in the score file `source` into 成绩表 of the
// registration database `database`, column by column in order. The file may
// be one of our database files or a genuine Access file. All rows or none:
// on any failure (no such file, no 学生表, columns that do not fit, a value
// the table refuses) 成绩表 is left as it was and DbError is thrown. The
// score file is only read. Returns the number of rows copied. A safety copy
// of `database` is taken before it is changed (SafetyCopy.h).
int importInto(const QString& database, const QString& source);

} // namespace ScoreFile
