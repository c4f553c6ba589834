#pragma once

#include <QString>

// The identifiers of a registered student.
//
// Test number (15 characters): enrolment year (1-2), county code (3-6),
// school code (7-10), gender digit (11), sequence number (12-15).
// Sub-number (14 characters): the test number without its gender digit.
// Every derived part is taken by character position, as the database's
// left/mid/right functions take it, so short or malformed numbers give the
// same result in the program as in a statement.
namespace TestNumber {

// "1" for exactly "男", "2" for exactly "女", empty otherwise.
QString genderDigit(const QString& genderText);

// year + county + school + gender digit + sequence, each part trimmed.
// With a gender text other than "男"/"女" the result has no gender digit
// (14 characters for well-formed parts).
QString compose(const QString& year, const QString& county, const QString& school,
                const QString& genderText, const QString& sequence);

QString subNumber(const QString& testNumber); // left 10 + right 4
QString unitCode(const QString& number);      // characters 3-10
QString countyCode(const QString& number);    // characters 3-6
QString cityCode(const QString& number);      // characters 3-4
QString sequenceNumber(const QString& number); // right 4

// The database's string functions, counting characters.
QString left(const QString& text, int count);
QString mid(const QString& text, int start1, int count);
QString right(const QString& text, int count);

// The same derivations as SQL expressions over a column, written once so
// that statements and the indexes that serve them stay identical. Each
// compares without regard to ASCII case (COLLATE NOCASE), as the text
// columns do; an index over one is declared with the same expression.
namespace Sql {
QString subNumber(const QString& column);
QString unitCode(const QString& column);
QString countyCode(const QString& column);
QString cityCode(const QString& column);
QString sequenceNumber(const QString& column);
// The canonical order of students: unit, then sequence number.
QString canonicalOrder(const QString& column);
} // namespace Sql

} // namespace TestNumber
