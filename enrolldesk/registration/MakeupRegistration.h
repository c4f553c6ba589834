#pragma once

#include <QString>

// The make-up registration: every student whom 成绩表 shows failing at
// least one subject gets one row in 补考表, with "补" under each subject to
// retake.
namespace MakeupRegistration {

// The mark for one grade: "补" for exactly "D" (compared as it is stored:
// "d" and "D " are not a fail), empty text otherwise.
QString mark(const QString& grade);

// Whether 补考表 holds any row.
bool hasRows(const QString& database);

// Appends the candidates of 成绩表 to 补考表 in the order of 成绩表, with the
// sub-number, name and ID number as stored; a student without a fail gets no
// row. With `replace` the rows of 补考表 are deleted first. One transaction:
// when a row fails, the rows written before it are kept and the error is
// raised. Returns the number of rows written. A safety copy of the file is
// taken first; when none can be made nothing is written (DeskError).
int generate(const QString& database, bool replace);

} // namespace MakeupRegistration
