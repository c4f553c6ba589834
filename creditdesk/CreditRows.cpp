#include "CreditRows.h"
#include "Query.h"
#include "Text.h"

#include <QSqlError>

namespace {
const QString insertSql = QStringLiteral(
    "insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) values(?,?,?,?,?,?)");
}

CreditInserter::CreditInserter(Connection& connection)
    : path_(connection.path()), query_(connection.database()) {
    if (!query_.prepare(insertSql)) {
        const QSqlError error = query_.lastError();
        throw DbError::fromEngine(
            path_, error.databaseText().isEmpty() ? error.driverText() : error.databaseText(), insertSql);
    }
}

void CreditInserter::insert(const QString& subNumber, const QString& name, const QString& idNumber,
                            const QVariant& required, const QVariant& elective, const QVariant& total) {
    const Params params{{QString(), subNumber}, {QString(), name},     {QString(), idNumber},
                        {QString(), required},  {QString(), elective}, {QString(), total}};
    for (int i = 0; i < int(params.size()); ++i)
        query_.bindValue(i, params[i].second);
    const bool ok = query_.exec();
    const QSqlError error = query_.lastError();
    query_.finish(); // done with this row; the statement stays prepared
    if (!ok)
        throw DbError::fromEngine(path_,
                                  error.databaseText().isEmpty() ? error.driverText() : error.databaseText(),
                                  insertSql, params);
}

namespace CreditRows {

QVariant creditValue(const QVariant& stored, bool trim) {
    const QString text = Query::textOf(stored);
    if ((trim ? Text::trimmed(text) : text).isEmpty())
        return QVariant();
    return text;
}

} // namespace CreditRows
