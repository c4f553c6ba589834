#pragma once

#include "Database.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

// Registration rows and photographs brought into the station from elsewhere:
// a workbook (.xls, .xlsx, .ods, CSV, an HTML table) row by row with its checks, a dBase table (.dbf), an
// Access file (ours or a genuine one) holding a 学生表, and a folder of
// photographs. The window only shows what these report. The row imports
// take a safety copy of the database (SafetyCopy.h) once the source is
// read and before the first row is written; without one nothing is written.
namespace RegistrationImport {

// What an import tells its window while it runs. Every member may be empty.
struct Listener {
    std::function<void(int rowCount)> started;      // workbook: its row count, heading included
    std::function<void(int row)> row;               // workbook: row about to be imported (2 = first student)
    std::function<void(const QString& line)> message; // a line for the message list
    std::function<void()> between;                  // between two rows or files: a chance to repaint
};

// --- workbook

// The message lines of a workbook row (spreadsheet row `row`).
QString existsLine(int row);
QString testNumberEmptyLine(int row);
QString nameEmptyLine(int row);
QString testNumberTooLongLine(int row);
QString classEmptyLine(int row);
QString idCutLine(int row);
// A cell of the row (0-based `column`) is a formula saved without its result.
QString uncomputedLine(int row, int column);
// The row's ID number is a number of more than 15 digits.
QString idAsNumberLine(int row);
// The test number or ID number in `column` is a number the sheet shows in
// scientific form (`shown`), or such a text, not the number it should be.
QString numberShownShortLine(int row, int column, const QString& shown);

// Imports the students of the first sheet of the workbook `path` (any kind
// SheetReader opens) into the 学生表 of `database`. Row 1 is the heading.
// A row holding a formula without its stored result, an ID number kept as
// a number of more than 15 digits, or a test number or ID number the sheet
// shows in scientific form ("9.1001E+13"), is refused with its own line. Each
// other row is checked (test number, name and class given, test number at
// most 15 bytes, phone at most 28 bytes, test number not yet registered); a
// refused row lists its reasons, an ID number over 18 bytes is cut to 18
// (never inside a character) and listed. A class shown with zero decimals
// ("3.0") is the whole number; 性别 is the test number's gender digit. A row the database refuses (a class that is not a
// number, a value too long for its column) ends the import with a DbError
// naming the row: the rows before it stay imported.
void importWorkbook(const QString& path, const QString& database, const Listener& listener);

// --- dBase and Access

// The columns of the working 学生表 of `database`, in order.
QStringList workingColumns(Connection& database);

// Which source column fills which column of the working 学生表: column by
// column in order, the first (the row number 序号, which the database gives
// each new row itself) excepted. `sources[i]` is the source column of
// `targets[i]`. A source with more columns than the working table cannot be
// appended and throws DbError naming `path`; one with fewer leaves the last
// columns empty.
struct ColumnMapping {
    QStringList targets;
    QVector<int> sources;
};
ColumnMapping mapByPosition(const QStringList& sourceColumns, const QStringList& working, const QString& path);

// Appends the rows of the dBase table `path` (columns 水平测试号, 姓名, 身份证号,
// 籍贯, 家庭住址, 联系电话, 中考成绩, 班级) to 学生表 of `database` in stored
// order; the sub-number is derived from the test number. All rows or none:
// a refused row throws DbError naming it and nothing is appended.
void appendDbase(const QString& path, const QString& database, const Listener& listener);

// Appends the rows of the 学生表 of the Access file `path` (a file of ours or
// a genuine Access file) to 学生表 of `database` in ascending sub-number
// order, mapped by position. All rows or none, as appendDbase.
void appendAccess(const QString& path, const QString& database, const Listener& listener);

} // namespace RegistrationImport
