#pragma once

#include <QString>
#include <QStringList>

// Table layouts of the data files.
//
// Layouts are written in the Access DDL the stations have always used
// ("序号 Counter PRIMARY KEY, 姓名 VarChar(10), 班级 int, ...") and translated
// once, here, into STRICT SQLite tables that refuse what Access refused:
// a text longer than its column, a non-numeric value in a numeric column,
// a number outside the range of its integer type.
namespace Schema {

// Translates one "CREATE TABLE name (column type, ...)" statement.
// Throws DbError for a type it does not know.
QString translateCreateTable(const QString& accessDdl);

// The delivered registration database: 学生表, 顺序号, 成绩表, 补考表 and the
// indexes of the per-row lookups.
QStringList registrationDatabaseStatements();

// The native-place database: 籍贯对照表 (without rows).
QStringList nativePlaceDatabaseStatements();

// Creates a new file at `path` (which must not exist) and runs the statements.
void createDatabase(const QString& path, const QStringList& statements);

} // namespace Schema
