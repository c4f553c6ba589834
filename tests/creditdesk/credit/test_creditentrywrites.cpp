#include "CreditEntry.h"
#include "CreditFolder.h"
#include "Database.h"
#include "FaultInjection.h"
#include "FileProtection.h"
#include "StationFolder.h"

#include <QtTest>
#include <memory>

using CreditEntry::PageStudent;

namespace {

QString sub(int n) { return QStringLiteral("2401010001%1").arg(n, 4, 10, QChar('0')); }

// Sub-number, required, elective and total of every student, in sub-number order.
QStringList credits() {
    QStringList rows;
    for (const QVector<QVariant>& row :
         selectRows(StationFolder::creditDb(),
                    QStringLiteral("select 学业水平测试副号,必修学分,选修学分,总学分 from 学生表 order by 1")))
        rows << QStringLiteral("%1 %2 %3 %4")
                    .arg(row[0].toString(), row[1].toString(), row[2].toString(), row[3].toString());
    return rows;
}

} // namespace

// What batch credit entry writes, without its window: a page of typed
// credits, and the same credits for a whole school.
class TestCreditEntryWrites : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { folder_.reset(); }

    void pageStopsAtTheFirstStudentWithoutACredit();
    void refusedCreditKeepsTheStudentsBefore();
    void fullDiskSavesNothingAndSaysSo();
    void schoolCreditsForOneUnitOnly();

private:
    std::unique_ptr<CreditStationFolder> folder_;
};

void TestCreditEntryWrites::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    addStudents(StationFolder::creditDb(), {{sub(1), "甲", "1", {}, {}, {}},
                                            {sub(2), "乙", "2", {}, {}, {}},
                                            {sub(3), "丙", "3", {}, {}, {}},
                                            {QStringLiteral("24010100020001"), "丁", "4", 7, 7, 14}});
}

void TestCreditEntryWrites::pageStopsAtTheFirstStudentWithoutACredit() {
    const QString stop = CreditEntry::savePage(StationFolder::creditDb(),
                                               {{sub(1), "甲", "110", "30", "140"},
                                                {QString(), QString(), "9", "9", "18"}, // an empty place
                                                {sub(2), "乙", "100", QString(), QString()},
                                                {sub(3), "丙", "90", "20", "110"}});
    QCOMPARE(stop, QStringLiteral("学业水平测试副号为%1的学生选修学分为空不能保存，请重新录入后保存！").arg(sub(2)));
    // The student before the stop is saved, the one after it is not.
    QCOMPARE(credits(), (QStringList{sub(1) + " 110 30 140", sub(2) + "   ", sub(3) + "   ",
                                     "24010100020001 7 7 14"}));
    QCOMPARE(FileProtection::formOf(StationFolder::creditDb()), FileProtection::Form::Protected);

    QCOMPARE(CreditEntry::savePage(StationFolder::creditDb(), {{sub(3), "丙", QString(), "20", "20"}}),
             QStringLiteral("学业水平测试副号为%1的学生必修学分为空不能保存，请重新录入后保存！").arg(sub(3)));
}

void TestCreditEntryWrites::refusedCreditKeepsTheStudentsBefore() {
    for (const QString& refused : {QStringLiteral("12a"), QStringLiteral("40000")}) {
        try {
            CreditEntry::savePage(StationFolder::creditDb(), {{sub(1), "甲", "110", "30", "140"},
                                                              {sub(2), "乙", refused, "1", "1"},
                                                              {sub(3), "丙", "90", "20", "110"}});
            QFAIL("a refused credit was saved");
        } catch (const DbError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("学业水平测试副号为%1的学生乙不能保存：").arg(sub(2))),
                     qPrintable(e.message()));
            QVERIFY2(e.message().contains(refused), qPrintable(e.message()));
        }
        QCOMPARE(credits().mid(0, 3), (QStringList{sub(1) + " 110 30 140", sub(2) + "   ", sub(3) + "   "}));
        QCOMPARE(FileProtection::formOf(StationFolder::creditDb()), FileProtection::Form::Protected);
    }
}

void TestCreditEntryWrites::fullDiskSavesNothingAndSaysSo() {
    const QStringList before = credits();
    {
        FaultInjection::WriteBudget full(0, QStringLiteral("XFRDCJK"));
        try {
            CreditEntry::savePage(StationFolder::creditDb(), {{sub(1), "甲", "110", "30", "140"}});
            QFAIL("a save on a full disk reported success");
        } catch (const DeskError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("磁盘")), qPrintable(e.message()));
        }
    }
    QCOMPARE(credits(), before);
    QCOMPARE(FileProtection::formOf(StationFolder::creditDb()), FileProtection::Form::Protected);
    QCOMPARE(selectRows(StationFolder::creditDb(), QStringLiteral("PRAGMA integrity_check")).value(0).value(0),
             QVariant(QStringLiteral("ok")));
}

void TestCreditEntryWrites::schoolCreditsForOneUnitOnly() {
    const QString db = StationFolder::creditDb();
    QCOMPARE(CreditEntry::setSchoolCredits(db, QStringLiteral("01010001"), QStringLiteral("100"),
                                           QStringLiteral("25")),
             3);
    QCOMPARE(credits(), (QStringList{sub(1) + " 100 25 125", sub(2) + " 100 25 125", sub(3) + " 100 25 125",
                                     "24010100020001 7 7 14"}));
    // A code without students changes nothing; a credit that is no number
    // is refused before anything is written.
    QCOMPARE(CreditEntry::setSchoolCredits(db, QStringLiteral("01019999"), QStringLiteral("1"), QStringLiteral("1")),
             0);
    QVERIFY_THROWS_EXCEPTION(DbError, CreditEntry::setSchoolCredits(db, QStringLiteral("01010001"),
                                                                    QStringLiteral("x"), QStringLiteral("1")));
    QCOMPARE(credits().first(), sub(1) + " 100 25 125");
    QCOMPARE(FileProtection::formOf(db), FileProtection::Form::Protected);

    // The school's students, a page at a time, in sub-number order.
    Query students = CreditEntry::schoolStudents(db, QStringLiteral("01010001"), 2);
    QCOMPARE(students.recordCount(), 3);
    QCOMPARE(students.pageCount(), 2);
    QCOMPARE(students.text(QStringLiteral("学业水平测试副号")), sub(1));
    QCOMPARE(FileProtection::formOf(db), FileProtection::Form::Protected);
}

QTEST_GUILESS_MAIN(TestCreditEntryWrites)
#include "test_creditentrywrites.moc"
