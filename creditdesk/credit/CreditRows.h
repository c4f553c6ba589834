#pragma once

#include "Database.h"

#include <QString>
#include <QVariant>

// Students written into the 学生表 of a credit file (the credit database or
// an exchange file): the six columns sub-number, name, ID number and the
// three credits, through one statement prepared once and run per student.
class CreditInserter {
public:
    // Inserts on `connection`; run it inside a transaction.
    explicit CreditInserter(Connection& connection);
    CreditInserter(const CreditInserter&) = delete;
    CreditInserter& operator=(const CreditInserter&) = delete;

    // Inserts one student. Texts are written as they stand; a null credit
    // stays null, a number is stored as it is, a credit text is converted by
    // the database (and refused when it is not a number). Throws DbError as
    // the engine refuses a row.
    void insert(const QString& subNumber, const QString& name, const QString& idNumber,
                const QVariant& required, const QVariant& elective, const QVariant& total);

private:
    Connection& connection_;
};

namespace CreditRows {

// A credit as the statements write it: the text when there is one, else null.
// With `trim` the text counts as empty when it is blank.
QVariant creditValue(const QVariant& stored, bool trim);

// A credit read from a file handed in, as the credit database takes it.
struct ImportedCredit {
    enum Problem { None, NotANumber, OutOfRange };
    QVariant value; // null, or a whole number (qlonglong)
    Problem problem = None;
};

// Null and an empty text give no credit. A number, or a text that is a
// decimal number, becomes a whole number the way the original engine put
// numbers into a SmallInt column: rounded, halves to the even neighbour
// (12.5 -> 12, 13.5 -> 14, -0.5 -> 0). Anything else is NotANumber; a value
// outside -32768..32767 is OutOfRange.
ImportedCredit importedCredit(const QVariant& stored);

} // namespace CreditRows
