#pragma once

#include <QChar>
#include <QString>

// Rules of the 18-character resident ID number: six digits of the issuing
// division, the birth date YYYYMMDD (characters 7-14), a three-digit serial
// and a check character computed from the first seventeen digits.
namespace IdNumber {

// The check character of `number`'s first seventeen characters: the digits
// weighted 7 9 10 5 8 4 2 1 6 3 7 9 10 5 8 4 2, summed, and the sum mod 11
// mapped 0..10 to "1 0 X 9 8 7 6 5 4 3 2". A null QChar when `number` has
// fewer than seventeen characters or one of them is not a digit 0-9.
QChar checkCharacter(const QString& number);

// Whether characters 7-14 of `number` are a date of the calendar
// (YYYYMMDD, year 1 or later): 20000229 is, 19000229 and 20011301 are not.
bool birthDateExists(const QString& number);

} // namespace IdNumber
