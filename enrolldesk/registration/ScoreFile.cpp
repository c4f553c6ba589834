#include "ScoreFile.h"
#include "AccessFile.h"
#include "Database.h"
#include "Query.h"
#include "SafetyCopy.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace ScoreFile {

namespace {

const QString scoreTable = QStringLiteral("成绩表");
const QString sourceTable = QStringLiteral("学生表");
const QString attached = QStringLiteral("成绩库");

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

// The columns of `table` in the database `schema` of the connection, in order.
QStringList columnsOf(Connection& connection, const QString& schema, const QString& table) {
    Query info(connection);
    info.setSql(QStringLiteral("select name from pragma_table_info(:t, :s) order by cid"));
    info.setParam(QStringLiteral(":t"), table);
    info.setParam(QStringLiteral(":s"), schema);
    info.open();
    QStringList names;
    for (int row = 0; row < info.recordCount(); ++row)
        names << info.value(row, 0).toString();
    return names;
}

void checkColumnCount(qsizetype found, qsizetype wanted, const QString& source) {
    if (found != wanted)
        throw DbError(QStringLiteral("成绩数据文件“%1”的%2有 %3 个字段，%4有 %5 个字段，字段不对应，无法导入。")
                          .arg(shown(source), sourceTable)
                          .arg(found)
                          .arg(scoreTable)
                          .arg(wanted),
                      QString(), source);
}

QString readOnlyUri(const QString& path) {
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=ro"));
    return QString::fromLatin1(url.toEncoded());
}

// Inserts `rows` into 成绩表 one by one, by position, in the transaction
// the caller holds. A refused row is named in the error.
void insertRows(Connection& connection, const QStringList& columns, const QVector<QVector<QVariant>>& rows,
                const QString& source) {
    QStringList marks;
    for (qsizetype c = 0; c < columns.size(); ++c)
        marks << QStringLiteral("?");
    // The columns are named, so that a refusal names the value at fault.
    const QString insert = QStringLiteral("insert into %1(%2) values(%3)")
                               .arg(scoreTable, columns.join(QLatin1Char(',')), marks.join(QLatin1Char(',')));
    Params params(size_t(columns.size()), {QString(), QVariant()});
    for (qsizetype r = 0; r < rows.size(); ++r) {
        for (qsizetype c = 0; c < columns.size() && c < rows[r].size(); ++c)
            params[size_t(c)].second = rows[r][c];
        try {
            connection.execute(insert, params);
        } catch (const DbError& e) {
            throw DbError(QStringLiteral("成绩数据文件“%1”第 %2 行的数据无法导入，没有导入任何数据。\n%3")
                              .arg(shown(source))
                              .arg(r + 1)
                              .arg(e.message()),
                          e.engineText(), source);
        }
    }
}

int importAccessFile(Connection& connection, const QStringList& columns, const QString& source) {
    const AccessFile::Table table = AccessFile::readTable(source, sourceTable);
    checkColumnCount(table.columns.size(), columns.size(), source);
    Transaction transaction(connection);
    insertRows(connection, columns, table.rows, source);
    transaction.commit();
    return int(table.rows.size());
}

// After the copy of the whole table was refused: the same rows once more,
// one by one, to tell which row and which value the table refuses. Nothing
// of it is kept.
void explainRefusal(Connection& connection, const QStringList& columns, const QString& source) {
    Query rows(connection);
    rows.setSql(QStringLiteral("select * from %1.%2").arg(attached, sourceTable));
    rows.open();
    QVector<QVector<QVariant>> values;
    values.reserve(rows.recordCount());
    for (int r = 0; r < rows.recordCount(); ++r)
        values << rows.row(r);
    rows.close();
    Transaction transaction(connection); // rolled back
    insertRows(connection, columns, values, source);
}

int importDatabaseFile(Connection& connection, const QStringList& columns, const QString& source) {
    connection.execute(QStringLiteral("ATTACH DATABASE :file AS %1").arg(attached),
                       {{QStringLiteral(":file"), readOnlyUri(source)}});
    int copied = 0;
    try {
        const QStringList found = columnsOf(connection, attached, sourceTable);
        if (found.isEmpty())
            throw DbError(QStringLiteral("数据库文件“%1”中没有表“%2”。").arg(shown(source), sourceTable), QString(),
                          source);
        if (!isBaseTable(connection, sourceTable, attached))
            throw DbError(QStringLiteral("数据库文件“%1”中的“%2”不是数据表（它是一个查询），无法导入。")
                              .arg(shown(source), sourceTable),
                          QString(), source);
        checkColumnCount(found.size(), columns.size(), source);
        try {
            Transaction transaction(connection);
            copied = connection.execute(QStringLiteral("insert into main.%1 select * from %2.%3")
                                            .arg(scoreTable, attached, sourceTable));
            transaction.commit();
        } catch (const DbError&) {
            explainRefusal(connection, columns, source);
            throw;
        }
    } catch (...) {
        try {
            connection.execute(QStringLiteral("DETACH DATABASE %1").arg(attached));
        } catch (const DeskError&) {
            // the error being handled is the one to show
        }
        throw;
    }
    connection.execute(QStringLiteral("DETACH DATABASE %1").arg(attached));
    return copied;
}

} // namespace

int importInto(const QString& database, const QString& source) {
    if (source.isEmpty())
        throw DbError(QStringLiteral("没有选择成绩数据文件。"));
    const QFileInfo info(source);
    if (!info.exists())
        throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(shown(source)), QString(), source);
    if (!info.isFile())
        throw DbError(QStringLiteral("“%1”不是数据库文件。").arg(shown(source)), QString(), source);

    SafetyCopy::before(database, SafetyCopy::Before::scoreImport);
    Connection connection(database);
    const QStringList columns = columnsOf(connection, QStringLiteral("main"), scoreTable);
    if (AccessFile::isAccessFile(source))
        return importAccessFile(connection, columns, source);
    if (isSqliteFile(source))
        return importDatabaseFile(connection, columns, source);
    throw DbError(QStringLiteral("文件“%1”不是有效的数据库文件。").arg(shown(source)), QString(), source);
}

} // namespace ScoreFile
