#pragma once

#include "Query.h"

#include <QString>
#include <QVector>

// What batch credit entry reads and writes: a school's students, a page of
// typed credits, and the same credits for the whole school. Every write
// lifts the credit database's protection for its own time and puts it back.
namespace CreditEntry {

// The students of `unit` (county code + school code) in the credit
// database, in sub-number order, in pages of `pageSize`.
Query schoolStudents(const QString& database, const QString& unit, int pageSize);

// One student of a page as the grid shows him: texts as typed.
struct PageStudent {
    QString subNumber; // empty: no student in that place
    QString name;
    QString required;
    QString elective;
    QString total;
};

// Saves the credits of `students` in their order with one update each, in
// one transaction. A student without a required or an elective credit stops
// the save: the students before him stay saved and his message is returned
// (empty when all were saved). A credit that is not a number, or one the
// column refuses, throws DbError naming the student; the students before
// him stay saved.
QString savePage(const QString& database, const QVector<PageStudent>& students);

// Gives every student of `unit` the credits `required` and `elective` and
// their sum as the total; returns how many students there were. A credit
// that is not a number throws DbError.
int setSchoolCredits(const QString& database, const QString& unit, const QString& required,
                     const QString& elective);

} // namespace CreditEntry
