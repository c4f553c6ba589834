#pragma once

#include <QString>

// The credit exchange file a credit station's export writes and its import
// reads: one 学生表 with the sub-number, name, ID number and three credits.
namespace ExchangeFile {

// The statement that makes the exchange file's 学生表.
QString tableStatement();

// The from-and-where part (" from 学生表 where ...") that selects the
// students of a school (county and school code given), else of a county
// (county code given), else of a city.
QString selection(const QString& city, const QString& county, const QString& school);

// Copies the students `where` (as selection() makes it) selects from the credit database `database`
// into the exchange file `file` (made by tableStatement()), in their stored
// order, in one transaction. A value too long for the exchange file throws
// DbError naming the student and the value; nothing is copied then. The
// credit database is only read; a failure to write names `file`.
void copyStudents(const QString& database, const QString& file, const QString& where);

} // namespace ExchangeFile
