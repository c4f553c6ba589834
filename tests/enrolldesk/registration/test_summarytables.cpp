#include "Database.h"
#include "Query.h"
#include "StationFolder.h"
#include "Summaries.h"
#include "TempStation.h"
#include "TestNumber.h"
#include "Text.h"

#include <QRandomGenerator>
#include <QtTest>
#include <memory>

namespace {

void addStudents(Connection& c, const QStringList& testNumbers) {
    Transaction t(c);
    for (const QString& n : testNumbers)
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,姓名,班级) values(?,'学生',1)"), {{QString(), n}});
    t.commit();
}

QStringList joined(const QVector<QStringList>& rows) {
    QStringList out;
    for (const QStringList& r : rows)
        out << r.join(QLatin1Char('|'));
    return out;
}

// The summary worked out unit by unit: the grouping for the units and their
// counts, then each unit's students in sequence order for its first and
// last number.
QStringList summaryUnitByUnit(const QString& database) {
    const QString tn = QStringLiteral("学业水平测试号");
    Query units;
    units.setDatabasePath(database);
    units.setSql(QStringLiteral("select %1 as dm,count(*) as renshu from 学生表 group by %1 order by %1 asc")
                     .arg(TestNumber::Sql::unitCode(tn)));
    units.open();
    QStringList rows;
    for (; !units.eof(); units.next()) {
        const QString dm = Text::trimmed(units.text(QStringLiteral("dm")));
        Query students;
        students.setDatabasePath(database);
        // Sequence order, codes compared without regard to case as the
        // database compares them.
        students.setSql(QStringLiteral("select * from 学生表 where %1=:a order by substr(%2,1,10) COLLATE NOCASE asc,"
                                       "%3 asc")
                            .arg(TestNumber::Sql::unitCode(tn), tn, TestNumber::Sql::sequenceNumber(tn)));
        students.setParam(QStringLiteral(":a"), dm);
        students.open();
        const QString first = TestNumber::right(Text::trimmed(students.text(tn)), 4);
        students.last();
        const QString last = TestNumber::right(Text::trimmed(students.text(tn)), 4);
        const long long count = units.integer(QStringLiteral("renshu"));
        rows << QStringList{TestNumber::left(dm, 4), TestNumber::right(dm, 4), first, last, QString::number(count),
                            QString::number(Text::toInteger(last) - count)}
                    .join(QLatin1Char('|'));
    }
    return rows;
}

} // namespace

// The per-unit summary tables, without their windows.
class TestSummaryTables : public QObject {
    Q_OBJECT
private slots:
    void init() { station_ = std::make_unique<TempStation>(); }
    void cleanup() { station_.reset(); }
    void groupedEqualsUnitByUnit();

private:
    std::unique_ptr<TempStation> station_;
};

void TestSummaryTables::groupedEqualsUnitByUnit() {
    Connection db(StationFolder::registrationDb());
    // Two enrolment years, both genders, codes with letters in either case,
    // numbers used twice, gaps, short and irregular test numbers.
    QRandomGenerator random(20261209);
    const QStringList units{"01010001", "01010002", "0101000a", "0101000A", "02030405", "0A0B0C0D", "0a0b0c0d",
                            "99990000", "12345678", "01020001"};
    QStringList numbers;
    for (int i = 0; i < 3000; ++i) {
        const QString year = random.bounded(4) ? QStringLiteral("09") : QStringLiteral("08");
        const QString unit = units[random.bounded(int(units.size()))];
        const QString gender = random.bounded(2) ? QStringLiteral("1") : QStringLiteral("2");
        const QString sequence = Text::sequenceText(1 + random.bounded(400));
        numbers << year + unit + gender + sequence;
    }
    numbers << QStringLiteral("09010100") << QStringLiteral("090101000110") << QStringLiteral("0901010001")
            << QStringLiteral("0902030405200 ") << QStringLiteral("a0010100020999");
    addStudents(db, numbers);

    const QStringList byUnit = summaryUnitByUnit(StationFolder::registrationDb());
    QCOMPARE(byUnit.size(), 9); // codes differing in case only are one unit
    const Summaries::Table grouped = Summaries::registration(StationFolder::registrationDb());
    QVERIFY(!grouped.failure);
    QCOMPARE(grouped.units, int(byUnit.size()));
    // Codes that differ in case only are one unit; which spelling names it
    // is the engine's choice in either way.
    QCOMPARE(joined(grouped.rows).join('\n').toUpper(), byUnit.join('\n').toUpper());
}

QTEST_GUILESS_MAIN(TestSummaryTables)
#include "test_summarytables.moc"
