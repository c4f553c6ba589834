#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "Summaries.h"
#include "TempStation.h"
#include "TestNumber.h"
#include "Text.h"
#include "UnitBKJKB.h"
#include "UnitSC_JKB.h"

#include <QRandomGenerator>
#include <QTableWidget>
#include <QtTest>

namespace {

void addStudents(Connection& c, const QStringList& testNumbers) {
    Transaction t(c);
    for (const QString& n : testNumbers)
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,姓名,班级) values(?,'学生',1)"), {{QString(), n}});
    t.commit();
}

// The grid's rows, each as its cells joined by "|".
QStringList gridRows(const QObject* window) {
    auto* grid = control<QTableWidget>(window, "SGrid1");
    QStringList rows;
    for (int r = 0; r < grid->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < grid->columnCount(); ++c)
            cells << (grid->item(r, c) ? grid->item(r, c)->text() : QString());
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
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

class TestSummaries : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void figuresPerUnit();
    void groupedEqualsUnitByUnit();
    void numberThatIsNotANumberStopsTheRows();
    void makeupCandidatesPerSubject();

private:
    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<Connection> db_;
};

void TestSummaries::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    db_ = std::make_unique<Connection>(StationFolder::registrationDb());
}

void TestSummaries::cleanup() {
    db_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestSummaries::figuresPerUnit() {
    QStringList numbers;
    // 0101/0002: 0001 to 0050 without 0007 and 0020, both genders, entered
    // out of order.
    for (int s = 50; s >= 1; --s)
        if (s != 7 && s != 20)
            numbers << QStringLiteral("0901010002%1%2").arg(s % 2 ? 1 : 2).arg(Text::sequenceText(s));
    // 0101/0003: 0101 to 0130 without a gap.
    for (int s = 101; s <= 130; ++s)
        numbers << QStringLiteral("09010100031%1").arg(Text::sequenceText(s));
    // 0100/0009: a boy with 0001 and a girl with 0002 share one sequence.
    numbers << QStringLiteral("090100000920002") << QStringLiteral("090100000910001");
    addStudents(*db_, numbers);
    db_->execute(QStringLiteral("insert into 学生表(姓名) values('无号')")); // belongs to no unit

    TFormSC_JKB w;
    w.show();
    button(&w, "Button1")->click();
    QVERIFY(dialogs_->shown.isEmpty());
    const QStringList expected{
        "0100|0009|0001|0002|2|0",
        "0101|0002|0001|0050|48|2",
        "0101|0003|0101|0130|30|100",
    };
    QCOMPARE(gridRows(&w), expected);
    // Showing the window again keeps the rows of the last build; an empty
    // table leaves the heading alone.
    w.hide();
    w.show();
    QCOMPARE(gridRows(&w), expected);
    db_->execute(QStringLiteral("delete from 学生表"));
    w.Button1Click();
    QVERIFY(gridRows(&w).isEmpty());
}

void TestSummaries::groupedEqualsUnitByUnit() {
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
    addStudents(*db_, numbers);

    const QStringList byUnit = summaryUnitByUnit(StationFolder::registrationDb());
    QCOMPARE(byUnit.size(), 9); // codes differing in case only are one unit
    const Summaries::Table grouped = Summaries::registration(StationFolder::registrationDb());
    QVERIFY(!grouped.failure);
    QCOMPARE(grouped.units, int(byUnit.size()));
    // Codes that differ in case only are one unit; which spelling names it
    // is the engine's choice in either way.
    QCOMPARE(joined(grouped.rows).join('\n').toUpper(), byUnit.join('\n').toUpper());
}

void TestSummaries::numberThatIsNotANumberStopsTheRows() {
    addStudents(*db_, {QStringLiteral("090101000110001"), QStringLiteral("090101000210001"),
                       QStringLiteral("090101000310001")});
    TFormSC_JKB w;
    w.show();
    w.Button1Click();
    QCOMPARE(gridRows(&w).size(), 3);

    // The second unit's highest number is no number: the first unit's row
    // stays, the second keeps the columns before the unused numbers, the
    // others are left empty, not showing the earlier build; the message
    // names the unit.
    addStudents(*db_, {QStringLiteral("09010100021ABCD")});
    button(&w, "Button1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")),
             QStringList{QStringLiteral("学校代码为01010002的结束流水号") + Text::notAnIntegerMessage("ABCD")});
    QCOMPARE(gridRows(&w), (QStringList{"0101|0001|0001|0001|1|0", "0101|0002|0001|ABCD|2|", "|||||"}));
}

void TestSummaries::makeupCandidatesPerSubject() {
    // Sub-number and marks 语文 … 技术 ("x" for 补); a row without a
    // sub-number belongs to no unit.
    const QStringList rows{"09010100020001 x..x..", "09010100020002 xx....", "09010100020003 .....x",
                           "08010100020004 x.....", "09010200010001 xxxxxx", "0901010003000l ......", "- xxxxxx"};
    for (const QString& r : rows) {
        const QString sub = r.section(' ', 0, 0), marks = r.section(' ', 1);
        Params params{{QString(), sub == "-" ? QVariant() : QVariant(sub)}};
        for (QChar m : marks)
            params.emplace_back(QString(), m == 'x' ? QStringLiteral("补") : QString());
        db_->execute(QStringLiteral("insert into 补考表(学业水平测试副号,语文补考,数学补考,外语补考,科学补考,人文补考,"
                                    "技术补考) values(?,?,?,?,?,?,?)"),
                     params);
    }
    TFormBKJKB w;
    w.show();
    button(&w, "Button1")->click();
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(gridRows(&w), (QStringList{"0101|0002|3|1|0|1|0|1", "0101|0003|0|0|0|0|0|0", "0102|0001|1|1|1|1|1|1"}));
}

QTEST_MAIN(TestSummaries)
#include "test_summaries.moc"
