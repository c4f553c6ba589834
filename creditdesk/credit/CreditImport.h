#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

class Connection;

// Students of a credit exchange file copied into the credit database.
namespace CreditImport {

// The columns an import reads, in the order it uses them: sub-number, name,
// ID number, required, elective and total credit.
const QStringList& importedColumns();

// A source's 学生表: its column names and its rows in the order to import.
struct SourceTable {
    QStringList columns;
    QVector<QVector<QVariant>> rows;
};

// The index of `column` in `table` (names compared without regard to case).
// A missing column throws DbError naming the file `path`, and says so when
// the file holds registration data rather than credits.
int columnIndex(const SourceTable& table, const QString& column, const QString& path);

// Throws DbError unless the database file `connection` has open (a copy of
// `source`) holds a real table 学生表. A view of that name is refused (it
// may run any query); a file without one is told apart: a make-up
// registration file (only 补考表) is called registration data.
void checkStudentTable(Connection& connection, const QString& source);

// A genuine Access file's 学生表 through the Jet reader, in stored order.
// Throws DbError when the file has no such table.
SourceTable readAccessSource(const QString& path);

// Sorts the rows by their sub-numbers, each compared by its own type as the
// source's engine did; equal sub-numbers keep their order.
void sortBySubNumber(SourceTable& table, const QString& path);

// Inserts the rows of `table` (from `source`) into the credit database
// `database`, after a safety copy of it, in one transaction. A credit that is
// not a whole number within -32768..32767 after rounding, or a row the
// database refuses, stops the import with a DbError naming the student; the
// students before him stay imported. The database's protection is lifted
// for the time of the import.
void store(const QString& database, const SourceTable& table, const QString& source);

} // namespace CreditImport
