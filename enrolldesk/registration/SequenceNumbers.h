#pragma once

#include "Query.h"

#include <QString>

// Sequence numbers reserved per class (table 顺序号) and the proposals the
// entry window makes from them. A class is identified by county code, school
// code and class number; its reserved list is its rows in ascending 顺序号
// order. Each function runs the statements on the given query objects, so the
// window's queries hold what was read, as they always have.
namespace SequenceNumbers {

// Opens the class's reserved list on `list`, ascending.
void openClassList(Query& list, const QString& database, const QString& county, const QString& school,
                   const QString& classText);

// The first number of the class's reserved list that no student of the unit
// holds (whatever the student's gender digit or class), trimmed; empty when
// every reserved number is taken or the class has none. `used` runs the
// per-number lookups.
QString firstFree(Query& list, Query& used, const QString& database, const QString& county, const QString& school,
                  const QString& classText);

// After a save with `saved`: positions the class's list on the first number
// beginning with `saved` (the first row when none does) and returns the number
// after it, trimmed; empty at the end of the list. Rows repeating that number
// (a range reserved twice) are passed over. Blank rows of the list (a number
// emptied through the grid) count as absent here and in firstFree.
QString nextAfter(Query& list, const QString& database, const QString& county, const QString& school,
                  const QString& classText, const QString& saved);

// The unit's highest sequence number plus one, or "0001" for a unit without
// students. The reservations play no part.
QString highestPlusOne(Query& query, const QString& database, const QString& county, const QString& school);

// Reserves the numbers start..end (nothing when end < start) for the class,
// one row per number. Returns how many were stored; rows stored before a
// failing one stay stored.
int reserve(const QString& database, const QString& county, const QString& school, const QString& classText,
            long long start, long long end);

} // namespace SequenceNumbers
