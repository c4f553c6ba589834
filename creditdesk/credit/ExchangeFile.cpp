#include "ExchangeFile.h"
#include "Database.h"
#include "Schema.h"
#include "TestNumber.h"

#include <QFileInfo>
#include <QSqlQuery>
#include <QUrl>

namespace ExchangeFile {

namespace {

// The text columns of the exchange file with their widths.
struct Width {
    const char16_t* column;
    int limit;
};
const Width exchangeWidths[] = {{u"学业水平测试副号", 14}, {u"姓名", 10}, {u"身份证号", 19}};

// After a copy refused for a value too long for the exchange file: the
// student and the value at fault, found in the credit database.
QString tooLongForExchange(Connection& credit, const QString& where) {
    for (const Width& width : exchangeWidths) {
        const QString column = QString::fromUtf16(width.column);
        QSqlQuery query(credit.database());
        const QString sql = QStringLiteral("select 学业水平测试副号, 姓名, %1 ").arg(column) + where +
                            QStringLiteral(" and length(%1) > %2 order by rowid limit 1").arg(column).arg(width.limit);
        if (query.exec(sql) && query.next())
            return QStringLiteral("学业水平测试副号为“%1”的学生“%2”的%3“%4”过长，交换文件中最多只能有 %5 "
                                  "个字符，数据没有导出。")
                .arg(query.value(0).toString(), query.value(1).toString(), column, query.value(2).toString())
                .arg(width.limit);
    }
    return QString();
}

// The credit database attached read-only: an export never writes it.
QString readOnlyUri(const QString& path) {
    QUrl url = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
    url.setQuery(QStringLiteral("mode=ro"));
    return QString::fromLatin1(url.toEncoded());
}

} // namespace

QString tableStatement() {
    return Schema::translateCreateTable(
        QStringLiteral("CREATE TABLE 学生表") +
        QStringLiteral(
            " (序号 Counter PRIMARY KEY, 学业水平测试副号 VarChar(14), 姓名 VarChar(10), 身份证号 VarChar "
            "(19),必修学分 SmallInt NULL,选修学分 SmallInt NULL,总学分 SmallInt NULL)"));
}

QString selection(const QString& city, const QString& county, const QString& school) {
    const QString sub = QStringLiteral("学业水平测试副号");
    if (!school.isEmpty())
        return QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::unitCode(sub)) +
               sqlQuote(county + school);
    if (!county.isEmpty())
        return QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::countyCode(sub)) + sqlQuote(county);
    return QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::cityCode(sub)) + sqlQuote(city);
}

void copyStudents(const QString& database, const QString& file, const QString& where) {
    // The copy is written by a connection to the exchange file, with the
    // credit database attached read-only: whatever goes wrong in writing
    // (a full disk) is told of the exchange file, never of the station's
    // own data, which the export does not change.
    const QString plainTable = QStringLiteral(" from 学生表 ");
    if (!where.startsWith(plainTable))
        throw DbError(QStringLiteral("导出条件有误，数据没有导出。"));
    const QString fromCredit = QStringLiteral(" from 学分库.学生表 ") + where.mid(plainTable.size());
    Connection exchange(file);
    exchange.execute(QStringLiteral("ATTACH DATABASE :file AS 学分库"),
                     {{QStringLiteral(":file"), readOnlyUri(database)}});
    // One statement copies the selected students in their stored order; the
    // new file numbers them from 1 as they arrive.
    const QString columns = QStringLiteral("学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分");
    try {
        Transaction transaction(exchange);
        exchange.execute(QStringLiteral("insert into main.学生表(%1) select %1").arg(columns) + fromCredit +
                         QStringLiteral(" order by rowid"));
        transaction.commit();
    } catch (const DbError& e) {
        Connection credit(database);
        const QString culprit = tooLongForExchange(credit, where);
        if (!culprit.isEmpty())
            throw DbError(culprit, e.engineText(), file);
        throw;
    }
    exchange.execute(QStringLiteral("DETACH DATABASE 学分库"));
}

} // namespace ExchangeFile
