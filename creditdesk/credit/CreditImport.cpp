#include "CreditImport.h"
#include "AccessFile.h"
#include "CreditRows.h"
#include "Database.h"
#include "FileProtection.h"
#include "Query.h"
#include "SafetyCopy.h"
#include "Statement.h"

#include <QDir>
#include <algorithm>
#include <utility>

namespace CreditImport {

namespace {

const QString studentTable = QStringLiteral("学生表");

// Inserts one source row; `columns` are the six imported columns' indexes.
void insertStudent(CreditInserter& inserter, const QVector<QVariant>& row, const int* columns) {
    const QString sub = Query::textOf(row[columns[0]]);
    const QString name = Query::textOf(row[columns[1]]);
    // Names the student the import stopped at.
    const auto stoppedAt = [&](const QString& reason) {
        return QStringLiteral("导入在学业水平测试副号为“%1”的学生“%2”处停止：%3").arg(sub, name, reason);
    };
    QVariant credits[3];
    for (int c = 0; c < 3; ++c) {
        const QVariant& stored = row[columns[3 + c]];
        const CreditRows::ImportedCredit credit = CreditRows::importedCredit(stored);
        if (credit.problem == CreditRows::ImportedCredit::NotANumber)
            throw DbError(stoppedAt(QStringLiteral("%1“%2”不是数字。").arg(importedColumns()[3 + c],
                                                                         Query::textOf(stored))));
        if (credit.problem == CreditRows::ImportedCredit::OutOfRange)
            throw DbError(stoppedAt(QStringLiteral("%1“%2”超出了允许的范围（-32768 至 32767）。")
                                        .arg(importedColumns()[3 + c], Query::textOf(stored))));
        credits[c] = credit.value;
    }
    try {
        inserter.insert(sub, name, Query::textOf(row[columns[2]]), credits[0], credits[1], credits[2]);
    } catch (const DbError& e) {
        throw DbError(stoppedAt(e.message()), e.engineText(), e.path());
    }
}

// Whether the file holds a table or view of this name (names compare
// without regard to case, as the engine's do).
bool hasTableOrView(Connection& connection, const QString& name) {
    Statement statement(connection,
                        QStringLiteral("select 1 from pragma_table_list where schema='main' and name=:t collate nocase"),
                        {{QStringLiteral(":t"), name}});
    return statement.step();
}

DbError noStudentTable(const QString& path) {
    return DbError(QStringLiteral("数据库文件“%1”中没有表“%2”，它不是学分数据交换文件。")
                       .arg(QDir::toNativeSeparators(path), studentTable),
                   QString(), path);
}

} // namespace

void checkStudentTable(Connection& connection, const QString& source) {
    if (isBaseTable(connection, studentTable))
        return;
    if (hasTableOrView(connection, studentTable))
        throw DbError(QStringLiteral("数据库文件“%1”中的“%2”不是数据表（它是一个查询），无法导入。")
                          .arg(QDir::toNativeSeparators(source), studentTable),
                      QString(), source);
    if (isBaseTable(connection, QStringLiteral("补考表")))
        throw DbError(QStringLiteral("文件“%1”是补考报名数据，不是学分数据交换文件：其中没有表“%2”。"
                                     "请选择学分数据导出得到的文件。")
                          .arg(QDir::toNativeSeparators(source), studentTable),
                      QString(), source);
    throw noStudentTable(source);
}

const QStringList& importedColumns() {
    static const QStringList columns{QStringLiteral("学业水平测试副号"), QStringLiteral("姓名"),
                                     QStringLiteral("身份证号"),         QStringLiteral("必修学分"),
                                     QStringLiteral("选修学分"),         QStringLiteral("总学分")};
    return columns;
}

int columnIndex(const SourceTable& table, const QString& column, const QString& path) {
    for (int i = 0; i < table.columns.size(); ++i) {
        if (table.columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    // A registration file (an export of the registration station, the
    // station's own database) has no credits: say what it is.
    const bool credit = column.endsWith(QStringLiteral("学分"));
    const bool registration = std::any_of(table.columns.begin(), table.columns.end(), [](const QString& c) {
        return c.compare(QStringLiteral("学业水平测试号"), Qt::CaseInsensitive) == 0;
    });
    if (credit && registration)
        throw DbError(QStringLiteral("文件“%1”是报名数据，不是学分数据交换文件：它的学生表中没有学分字段“%2”。"
                                     "请选择学分数据导出得到的文件。")
                          .arg(QDir::toNativeSeparators(path), column),
                      QString(), path);
    throw DbError(QStringLiteral("文件“%1”不是学分数据交换文件：它的学生表中没有字段“%2”。")
                      .arg(QDir::toNativeSeparators(path), column),
                  QString(), path);
}

SourceTable readAccessSource(const QString& path) {
    const QStringList tables = AccessFile::tableNames(path);
    const auto it = std::find_if(tables.begin(), tables.end(), [](const QString& t) {
        return t.compare(studentTable, Qt::CaseInsensitive) == 0;
    });
    if (it == tables.end())
        throw noStudentTable(path);
    AccessFile::Table table = AccessFile::readTable(path, *it);
    return {table.columns, table.rows};
}

void sortBySubNumber(SourceTable& table, const QString& path) {
    // Jet sorted by the column's own type; so does this.
    const int subColumn = columnIndex(table, importedColumns()[0], path);
    std::stable_sort(table.rows.begin(), table.rows.end(),
                     [subColumn](const QVector<QVariant>& a, const QVector<QVariant>& b) {
                         return Query::sourceKeyLess(a[subColumn], b[subColumn]);
                     });
}

void store(const QString& database, const SourceTable& table, const QString& source) {
    int columns[6];
    for (int c = 0; c < 6; ++c)
        columns[c] = columnIndex(table, importedColumns()[c], source);

    SafetyCopy::before(database, SafetyCopy::Before::creditImport);
    FileProtection::Lift lifted(database);
    {
        Connection connection(database);
        Transaction transaction(connection);
        CreditInserter inserter(connection);
        for (const QVector<QVariant>& row : std::as_const(table.rows)) {
            try {
                insertStudent(inserter, row, columns);
            } catch (...) {
                // The students before the refused one stay imported.
                transaction.rethrowKeepingDone(QStringLiteral("此前导入的学生"));
            }
        }
        transaction.commit();
    }
    lifted.restore();
}

} // namespace CreditImport
