#include "SequenceNumbers.h"
#include "TestNumber.h"
#include "Text.h"

namespace {

const QString classField = QStringLiteral("班级");
const QString numberField = QStringLiteral("顺序号");

} // namespace

namespace SequenceNumbers {

void openClassList(Query& list, const QString& database, const QString& county, const QString& school,
                   const QString& classText) {
    list.close();
    list.setDatabasePath(database);
    // Codes match whatever their case, also in files made before the columns
    // were declared so.
    list.setSql(QStringLiteral("select * from 顺序号 where 县区代码=:xqdm COLLATE NOCASE and "
                               "学校代码=:xxdm COLLATE NOCASE and 班级=") +
                sqlInteger(classText, classField) + QStringLiteral(" order by 顺序号 asc"));
    list.setParam(QStringLiteral(":xqdm"), county);
    list.setParam(QStringLiteral(":xxdm"), school);
    list.open();
}

QString firstFree(Query& list, Query& used, const QString& database, const QString& county, const QString& school,
                  const QString& classText) {
    openClassList(list, database, county, school, classText);
    if (list.isEmpty())
        return QString();
    const QString id = QStringLiteral("学业水平测试号");
    // One connection for the whole walk: a lookup per reserved number.
    Connection connection(database);
    used.close();
    used.setConnection(&connection);
    used.setSql(QStringLiteral("select * from 学生表 where %1=:sxbm and %2=:sxh")
                    .arg(TestNumber::Sql::unitCode(id), TestNumber::Sql::sequenceNumber(id)));
    QString found;
    for (list.first(); !list.eof(); list.next()) {
        const QString number = Text::trimmed(list.text(numberField));
        if (number.isEmpty())
            continue; // a blank row entered through the grid reserves nothing
        used.setParam(QStringLiteral(":sxbm"), county + school);
        used.setParam(QStringLiteral(":sxh"), number);
        used.open();
        if (used.isEmpty()) {
            found = number;
            break;
        }
    }
    used.setDatabasePath(database); // the connection ends here
    return found;
}

QString nextAfter(Query& list, const QString& database, const QString& county, const QString& school,
                  const QString& classText, const QString& saved) {
    openClassList(list, database, county, school, classText);
    // Blank rows (entered through the grid) reserve nothing: the list is
    // read as if they were not there.
    const auto skipBlanks = [&list] {
        while (!list.eof() && Text::trimmed(list.text(numberField)).isEmpty())
            list.next();
    };
    if (!list.locate(numberField, saved, Query::Match::Prefix))
        skipBlanks();
    // A range reserved twice lists each number twice: the number after the
    // one the list is on is the next different one, or the class would be
    // offered the number just saved again, save after save.
    const QString current = list.eof() ? QString() : Text::trimmed(list.text(numberField));
    while (!list.eof() && Text::trimmed(list.text(numberField)) == current)
        list.next();
    skipBlanks();
    if (list.eof())
        return QString();
    return Text::trimmed(list.text(numberField));
}

QString highestPlusOne(Query& query, const QString& database, const QString& county, const QString& school) {
    const QString id = QStringLiteral("学业水平测试号");
    query.close();
    query.setDatabasePath(database);
    query.setSql(QStringLiteral("select max(%1) as maxsxh from 学生表 where %2=:sxbm")
                     .arg(TestNumber::Sql::sequenceNumber(id), TestNumber::Sql::unitCode(id)));
    query.setParam(QStringLiteral(":sxbm"), county + school);
    query.open();
    const QString highest = query.text(QStringLiteral("maxsxh"));
    if (highest.isEmpty())
        return QStringLiteral("0001");
    return Text::sequenceText(Text::toInteger(highest) + 1);
}

int reserve(const QString& database, const QString& county, const QString& school, const QString& classText,
            long long start, long long end) {
    if (end < start)
        return 0;
    const QString cls = sqlInteger(classText, classField);
    Connection connection(database);
    Transaction transaction(connection);
    int stored = 0;
    try {
        for (long long n = start; n <= end; ++n) {
            connection.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级)values(") +
                               sqlQuote(county) + QLatin1Char(',') + sqlQuote(school) + QLatin1Char(',') +
                               sqlQuote(Text::sequenceText(n)) + QLatin1Char(',') + cls + QLatin1Char(')'));
            ++stored;
        }
    } catch (...) {
        // The numbers before the failing one stay reserved.
        transaction.rethrowKeepingDone(QStringLiteral("此前设置的顺序号"));
    }
    transaction.commit();
    return stored;
}

} // namespace SequenceNumbers
