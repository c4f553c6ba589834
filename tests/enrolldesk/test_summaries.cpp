#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "Text.h"
#include "UnitBKJKB.h"
#include "UnitSC_JKB.h"

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

} // namespace

class TestSummaries : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void figuresPerUnit();
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
