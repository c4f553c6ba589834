#pragma once

#include "Database.h"

#include <QSqlQuery>
#include <QString>
#include <QVariant>

// Students written into the 学生表 of a credit file (the credit database or
// an exchange file): the six columns sub-number, name, ID number and the
// three credits, through one statement prepared once and run per student.
class CreditInserter {
public:
    // Prepares the statement on `connection`; run it inside a transaction.
    explicit CreditInserter(Connection& connection);
    CreditInserter(const CreditInserter&) = delete;
    CreditInserter& operator=(const CreditInserter&) = delete;

    // Inserts one student. Texts are written as they stand; a null credit
    // stays null, a credit text is converted by the database (and refused
    // when it is not a number). Throws DbError as the engine refuses a row.
    void insert(const QString& subNumber, const QString& name, const QString& idNumber,
                const QVariant& required, const QVariant& elective, const QVariant& total);

private:
    QString path_;
    QSqlQuery query_;
};

namespace CreditRows {

// A credit as the statements write it: the text when there is one, else null.
// With `trim` the text counts as empty when it is blank.
QVariant creditValue(const QVariant& stored, bool trim);

} // namespace CreditRows
