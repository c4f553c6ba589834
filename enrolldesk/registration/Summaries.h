#pragma once

#include <QString>
#include <QStringList>
#include <QVector>
#include <exception>

// The per-unit summaries of the registration database: how the test numbers
// of each unit (county code + school code) are filled, and how many make-up
// candidates each unit has per subject. Each is one grouped statement over
// the table, however many units the county has.
namespace Summaries {

// The rows of a summary, in ascending unit code order, as the grid shows
// them. `units` is the number of units found; when a unit's figures cannot
// be worked out (a sequence part that is not a number) the rows stop at it:
// its row holds the columns before the failing one, `failure` holds the
// error naming the unit, and the rows built so far are kept.
struct Table {
    int units = 0;
    QVector<QStringList> rows;
    std::exception_ptr failure;
};

// Per unit of the test number, over the students of 学生表: county code,
// school code, the first and the last sequence number in sequence order
// (gender digit ignored), the number of students, and the highest sequence
// number minus the number of students. Rows without a test number belong
// to no unit and are left out.
Table registration(const QString& database);

// Per unit of the sub-number, over the rows of 补考表: county code, school
// code and the number of "补" marks under 语文补考 … 技术补考. Rows without a
// sub-number are left out.
Table makeup(const QString& database);

// The grouped statements behind the two summaries (for benchmarks).
QString registrationStatement();
QString makeupStatement();

} // namespace Summaries
