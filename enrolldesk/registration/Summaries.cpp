#include "Summaries.h"
#include "DeskError.h"
#include "Query.h"
#include "TestNumber.h"
#include "Text.h"


namespace Summaries {

namespace {

// The mark columns of 补考表, subject by subject.
const char16_t* const marks[] = {u"语文补考", u"数学补考", u"外语补考", u"科学补考", u"人文补考", u"技术补考"};

// County and school code of a unit code as the grouping returned it.
QStringList unitColumns(const QString& unitCode) {
    const QString dm = Text::trimmed(unitCode);
    return {TestNumber::left(dm, 4), TestNumber::right(dm, 4)};
}

} // namespace

QString registrationStatement() {
    // One grouped pass over the students. Within a unit the students' order
    // (first ten characters, then the sequence number, codes without regard
    // to case) is that of the enrolment year and the sequence number, as
    // the characters between them are the unit code itself. Both make a
    // key of one length throughout a unit, lower-cased as the case-blind
    // comparison folds; the smallest and largest key followed by the test
    // number give the unit's first and last student (equal keys: the
    // smaller test number first). A sort beats the unit index here, which
    // would fetch every row on its own.
    const QString tn = QStringLiteral("学业水平测试号");
    const QString key = QStringLiteral("substr(lower(substr(%1,1,2)||substr(%1,-4))||'      ',1,6)").arg(tn);
    return QStringLiteral("select %1 as dm, count(*) as renshu, substr(min(%2||%3),7) as firstNumber, "
                          "substr(max(%2||%3),7) as lastNumber from 学生表 not indexed where %3 is not null "
                          "group by %1 order by dm COLLATE NOCASE asc")
        .arg(TestNumber::Sql::unitCode(tn), key, tn);
}

Table registration(const QString& database) {
    Query q;
    q.setDatabasePath(database);
    q.setSql(registrationStatement());
    q.open();

    Table table;
    table.units = q.recordCount();
    table.rows.reserve(table.units);
    for (q.first(); !q.eof(); q.next()) {
        const QString dm = Text::trimmed(q.text(QStringLiteral("dm")));
        QStringList row = unitColumns(dm);
        const QString last = TestNumber::right(Text::trimmed(q.text(QStringLiteral("lastNumber"))), 4);
        const long long students = q.integer(QStringLiteral("renshu"));
        row << TestNumber::right(Text::trimmed(q.text(QStringLiteral("firstNumber"))), 4) << last
            << QString::number(students);
        long long highest = 0;
        try {
            highest = Text::toInteger(last);
        } catch (const ConversionError& e) {
            // The columns before the unused numbers stay filled, and the
            // message says which unit holds the number.
            table.rows.append(row);
            table.failure = std::make_exception_ptr(
                ConversionError(QStringLiteral("学校代码为%1的结束流水号").arg(dm) + e.message()));
            break;
        }
        row << QString::number(highest - students);
        table.rows.append(row);
    }
    return table;
}

QString makeupStatement() {
    const QString sub = QStringLiteral("学业水平测试副号");
    QString counts;
    for (const char16_t* mark : marks)
        counts += QStringLiteral(", count(case when %1 = '补' then 1 end) as %1").arg(QString::fromUtf16(mark));
    return QStringLiteral("select %1 as dm%2 from 补考表 where %3 is not null group by %1 "
                          "order by dm COLLATE NOCASE asc")
        .arg(TestNumber::Sql::unitCode(sub), counts, sub);
}

Table makeup(const QString& database) {
    Query q;
    q.setDatabasePath(database);
    q.setSql(makeupStatement());
    q.open();

    Table table;
    table.units = q.recordCount();
    table.rows.reserve(table.units);
    for (q.first(); !q.eof(); q.next()) {
        QStringList row = unitColumns(q.text(QStringLiteral("dm")));
        for (const char16_t* mark : marks)
            row << QString::number(q.integer(QString::fromUtf16(mark)));
        table.rows.append(row);
    }
    return table;
}

} // namespace Summaries
