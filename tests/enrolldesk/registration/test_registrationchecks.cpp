#include "Database.h"
#include "DeskError.h"
#include "Query.h"
#include "RegistrationChecks.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "TestNumber.h"
#include "Text.h"

#include <QFile>
#include <QtTest>
#include <memory>

using namespace RegistrationChecks;

class TestRegistrationChecks : public QObject {
    Q_OBJECT
private slots:
    void init() { station_ = std::make_unique<TempStation>(); }
    void cleanup() { station_.reset(); }

    void findingLines_data();
    void findingLines();
    void gaps_data();
    void gaps();
    void ordersAgreeWithTheEngine();
    void wholeReportOverPlantedFaults();
    void correctionsTouchOnlyTheRowFound();
    void emptyTableReportsNothing();
    void runStopsAtASequenceNumberThatIsNoInteger();
    void onlyNameAndLengthChecksYield();
    void reportFile();

private:
    void student(const QString& testNumber, const QString& name, const QString& id);
    QString cell(const QString& sql);

    std::unique_ptr<TempStation> station_;
};

void TestRegistrationChecks::student(const QString& testNumber, const QString& name, const QString& id) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,班级) values(:t,:s,:n,:d,1)"),
              {{QStringLiteral(":t"), testNumber},
               {QStringLiteral(":s"), TestNumber::subNumber(testNumber)},
               {QStringLiteral(":n"), name},
               {QStringLiteral(":d"), id}});
}

QString TestRegistrationChecks::cell(const QString& sql) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(sql);
    q.open();
    return Query::textOf(q.value(0, 0));
}

// --- finding lines

void TestRegistrationChecks::findingLines_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("input"); // a test number, or an ID number
    QTest::addColumn<QStringList>("lines");
    const QString t = QStringLiteral("090101000210001");
    auto id = [&](const QString& d, const QString& problems) {
        return QStringList{QStringLiteral("学业水平测试号") + t + QStringLiteral("，身份证号") + d + problems + QStringLiteral("！")};
    };
    QTest::newRow("gender 3") << "gender" << "090101000230001"
                              << QStringList{"学业水平测试号：090101000230001，性别位为：3，不正常。"};
    // Byte 11 is the first byte of a two-byte character: shown whole.
    QTest::newRow("gender Chinese") << "gender" << QStringLiteral("0901010002男0001")
                                    << QStringList{QStringLiteral("学业水平测试号：0901010002男0001，性别位为：男，不正常。")};
    QTest::newRow("gender counted in bytes") << "gender" << QStringLiteral("甲01010002100") << QStringList();
    QTest::newRow("id month and day") << "id" << "320102200021411232" << id("320102200021411232", "，第十一位异常，第十三位异常");
    QTest::newRow("id letters") << "id" << "3201022000A1011A3Y"
                                << id("3201022000A1011A3Y", "，第11位存在不规则字符，第16位存在不规则字符，第18位存在不规则字符，第十一位异常");
    QTest::newRow("id 15 with a letter") << "id" << "32010200010112a" << id("32010200010112a", "，第15位存在不规则字符");
    QTest::newRow("id 15 sound") << "id" << "320102000101123" << QStringList();
    QTest::newRow("length 14") << "length" << "09010100021001"
                               << QStringList{"学业水平测试号：09010100021001,长度为14,不符合要求。",
                                              "学业水平测试号：09010100021001,第15位存在不规则字符。"};
    QTest::newRow("length Chinese counts two")
        << "length" << QStringLiteral("09010100021000甲")
        << QStringList{QStringLiteral("学业水平测试号：09010100021000甲,长度为16,不符合要求。"),
                       QStringLiteral("学业水平测试号：09010100021000甲,第15位存在不规则字符。")};
    QTest::newRow("check digit") << "check" << "110105194912310021" << id("110105194912310021", "，校验码应为X");
    QTest::newRow("check lowercase x") << "check" << "11010519491231002x" << QStringList();
    QTest::newRow("check date") << "check" << "320102190002290001" << id("320102190002290001", "，校验码应为9，出生日期不存在");
    // Forms the ID number check reports: nothing to compare here.
    QTest::newRow("check 17 bytes") << "check" << "32010220000101123" << QStringList();
}

void TestRegistrationChecks::findingLines() {
    QFETCH(QString, kind);
    QFETCH(QString, input);
    QFETCH(QStringList, lines);
    const QString t = QStringLiteral("090101000210001");
    QStringList found;
    if (kind == QLatin1String("gender"))
        found << genderFinding(input);
    else if (kind == QLatin1String("id"))
        found << idFinding(t, input).line;
    else if (kind == QLatin1String("length"))
        found = lengthFindings(input);
    else
        found << idCheckFinding(t, input);
    found.removeAll(QString());
    QCOMPARE(found, lines);
}

void TestRegistrationChecks::gaps_data() {
    QTest::addColumn<QStringList>("numbers"); // in sub-number order
    QTest::addColumn<QStringList>("gaps");
    auto gap = [](const char* unit, const char* k) {
        return QStringLiteral("学校代码为%1顺序号%2为空号！").arg(QString::fromLatin1(unit), QString::fromLatin1(k));
    };
    QTest::newRow("3, 4, 7") << QStringList{"090101000210003", "090101000220004", "090101000210007"}
                             << QStringList{gap("01010002", "0001"), gap("01010002", "0002"), gap("01010002", "0005"),
                                            gap("01010002", "0006")};
    QTest::newRow("a repeated number, a new unit")
        << QStringList{"090101000210001", "090101000220001", "090101000210002", "090101000310003"}
        << QStringList{gap("01010003", "0001"), gap("01010003", "0002")};
    QTest::newRow("units in either case")
        << QStringList{"0901010a0210001", "0901010A0210003"} << QStringList{gap("01010a02", "0002")};
}

void TestRegistrationChecks::gaps() {
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, gaps);
    QStringList lines;
    GapFinder finder([&](const QString& line) { lines << line; });
    for (const QString& t : numbers)
        finder.add(t);
    finder.finish();
    QCOMPARE(lines, gaps);
}

// --- runs over the database

void TestRegistrationChecks::ordersAgreeWithTheEngine() {
    const QStringList numbers{"090101000210002", "0901010a0210001", "0901010A0210003", "0901010002",  "09",
                              "",                " 09010100021001", "09010100021001 ", "09010100021000甲",
                              "090101000210002", "0901010002é0001", "0901010002E0001", "090101000210001"};
    for (const QString& t : numbers)
        student(t, QStringLiteral("某"), QString());
    {
        Connection c(StationFolder::registrationDb());
        c.execute(QStringLiteral("insert into 学生表(姓名) values('无号')"));
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号) values('0901010002200a1')"));
    }
    const std::vector<Student> students = readStudents(StationFolder::registrationDb());
    QCOMPARE(int(students.size()), numbers.size() + 2);
    auto keys = [&](const std::vector<int>& order) {
        QStringList list;
        for (const int i : order)
            list << QString::number(students[std::size_t(i)].key);
        return list.join(QLatin1Char(','));
    };
    auto engine = [&](const QString& orderBy) {
        Query q;
        q.setDatabasePath(StationFolder::registrationDb());
        q.setSql(QStringLiteral("select group_concat(序号, ',') from (select 序号 from 学生表 order by %1, 序号)").arg(orderBy));
        q.open();
        return Query::textOf(q.value(0, 0));
    };
    const QString id = QStringLiteral("学业水平测试号");
    QCOMPARE(keys(canonicalOrder(students)), engine(TestNumber::Sql::canonicalOrder(id)));
    QCOMPARE(keys(subNumberOrder(students)), engine(TestNumber::Sql::subNumber(id) + QStringLiteral(" asc")));
}

void TestRegistrationChecks::wholeReportOverPlantedFaults() {
    student(QStringLiteral("090101000210003"), QStringLiteral("张 三"), QStringLiteral("32010220000101123x"));
    student(QStringLiteral("090101000220004"), QStringLiteral("李　四"), QStringLiteral("320102180001011232"));
    student(QStringLiteral("090101000210004"), QStringLiteral(" 王五 "), QStringLiteral("11010519491231002X"));
    student(QStringLiteral("0901010002"), QStringLiteral("赵六"), QStringLiteral("32010220000101123"));
    student(QStringLiteral("090101000310001"), QStringLiteral("钱七"), QStringLiteral("110105194912310021"));

    QStringList report;
    Run run(StationFolder::registrationDb(), [&](const QString& line) { report << line; });
    run.runAll({Check::IdCheckCharacter, Check::GenderDigit, Check::IdNumbers, Check::Duplicates, Check::NameSpaces,
                Check::TestNumberLength, Check::SequenceGaps});

    const QString sep(48, QLatin1Char('#'));
    const QStringList expected{
        sep,
        "开始校验学业水平测试号性别位不符合要求情况：",
        // canonical order: left 10, then right 4 ("0002" of the short number)
        "学业水平测试号：0901010002，性别位为：，不正常。",
        "校验性别位结束......",
        sep,
        "开始校验身份证号异常情况：",
        "学业水平测试号0901010002，身份证号32010220000101123，位数不对！",
        "学业水平测试号090101000210003，身份证号32010220000101123x，第18位x已经改为X，第18位存在不规则字符！",
        "学业水平测试号090101000220004，身份证号320102180001011232，第七、八位异常！",
        "校验身份证号异常情况结束......",
        sep,
        "开始校验学业水平测试号重号情况：",
        "学业水平测试号090101000210004和学业水平测试号090101000220004重号！",
        "校验学业水平测试号重号情况结束......",
        sep,
        "开始校验姓名异常情况：",
        "学业水平测试号【090101000210003】姓名中的空格已删除，【张三】",
        "学业水平测试号【090101000220004】姓名中的空格已删除，【李四】",
        "校验姓名异常情况结束......",
        sep,
        "开始校验学业水平测试号长度异常情况：",
        // sub-number order: "0901010002" + "0002" comes first
        "学业水平测试号：0901010002,长度为10,不符合要求。",
        "学业水平测试号：0901010002,第11位存在不规则字符。",
        "学业水平测试号：0901010002,第12位存在不规则字符。",
        "学业水平测试号：0901010002,第13位存在不规则字符。",
        "学业水平测试号：0901010002,第14位存在不规则字符。",
        "学业水平测试号：0901010002,第15位存在不规则字符。",
        "校验学业水平测试号长度异常情况结束......",
        sep,
        "开始校验学业水平测试号连续性情况：",
        "学校代码为01010002顺序号0001为空号！",
        "校验学业水平测试号连续性结束......",
        sep,
        "开始校验身份证号校验码与出生日期情况：",
        "学业水平测试号090101000210003，身份证号32010220000101123X，校验码应为8！",
        "学业水平测试号090101000310001，身份证号110105194912310021，校验码应为X！",
        "校验身份证号校验码与出生日期情况结束......",
        sep,
        "校验学业水平测试报名数据结束！",
    };
    QCOMPARE(report, expected);
    // Both corrections are in the database.
    QCOMPARE(cell(QStringLiteral("select 身份证号 from 学生表 where 学业水平测试号='090101000210003'")),
             QStringLiteral("32010220000101123X"));
    QCOMPARE(cell(QStringLiteral("select 姓名 from 学生表 where 学业水平测试号='090101000210003'")), QStringLiteral("张三"));
    QCOMPARE(cell(QStringLiteral("select 姓名 from 学生表 where 学业水平测试号='090101000220004'")), QStringLiteral("李四"));
    // Leading and trailing blanks alone are neither reported nor changed.
    QCOMPARE(cell(QStringLiteral("select 姓名 from 学生表 where 学业水平测试号='090101000210004'")),
             QStringLiteral(" 王五 "));
}

void TestRegistrationChecks::correctionsTouchOnlyTheRowFound() {
    // Two students under one test number: correcting one leaves the other.
    student(QStringLiteral("090101000210001"), QStringLiteral("张 三"), QStringLiteral("32010220000101123x"));
    student(QStringLiteral("090101000210001"), QStringLiteral("李四"), QStringLiteral("110105194912310025"));
    QStringList report;
    Run run(StationFolder::registrationDb(), [&](const QString& line) { report << line; });
    run.runAll({Check::IdNumbers, Check::NameSpaces, Check::Duplicates});
    QCOMPARE(cell(QStringLiteral("select group_concat(姓名||'/'||身份证号, ';') from (select * from 学生表 order by 序号)")),
             QStringLiteral("张三/32010220000101123X;李四/110105194912310025"));
    QVERIFY(report.contains(QStringLiteral("学业水平测试号090101000210001和学业水平测试号090101000220001重号！")));
    // A second run reads the rows afresh and finds nothing left to correct.
    report.clear();
    Run(StationFolder::registrationDb(), [&](const QString& line) { report << line; }).runAll({Check::NameSpaces});
    QCOMPARE(report.size(), 5);
}

void TestRegistrationChecks::emptyTableReportsNothing() {
    QStringList report;
    Run run(StationFolder::registrationDb(), [&](const QString& line) { report << line; });
    run.runAll({Check::GenderDigit, Check::IdNumbers, Check::Duplicates, Check::NameSpaces, Check::TestNumberLength,
                Check::SequenceGaps});
    QCOMPARE(report.size(), 6 * 3 + 2);
    QCOMPARE(report.at(16), QStringLiteral("开始校验学业水平测试号连续性情况："));
    QCOMPARE(report.at(17), QStringLiteral("校验学业水平测试号连续性结束......"));

    report.clear();
    run.runAll({});
    QCOMPARE(report, (QStringList{QString(48, QLatin1Char('#')), QStringLiteral("校验学业水平测试报名数据结束！")}));
}

void TestRegistrationChecks::runStopsAtASequenceNumberThatIsNoInteger() {
    student(QStringLiteral("090101000210002"), QStringLiteral("张三"), QStringLiteral("11010519491231002X"));
    student(QStringLiteral("0901010002100a3"), QStringLiteral("李四"), QStringLiteral("11010519491231002X"));
    QStringList report;
    Run run(StationFolder::registrationDb(), [&](const QString& line) { report << line; });
    try {
        run.runAll({Check::SequenceGaps, Check::IdCheckCharacter});
        QFAIL("no conversion error");
    } catch (const ConversionError& e) {
        // The message names the student whose number it is.
        QCOMPARE(e.message(), QStringLiteral("学生李四（学业水平测试号0901010002100a3）的顺序号") +
                                  Text::notAnIntegerMessage(QStringLiteral("00a3")));
    }
    QCOMPARE(report.last(), QStringLiteral("学校代码为01010002顺序号0001为空号！"));
    QVERIFY(!report.contains(QStringLiteral("开始校验身份证号校验码与出生日期情况：")));
}

void TestRegistrationChecks::onlyNameAndLengthChecksYield() {
    for (int i = 1; i <= 3; ++i)
        student(QStringLiteral("09010100021000%1").arg(i), QStringLiteral("张三"), QStringLiteral("11010519491231002X"));
    int yields = 0;
    Run run(StationFolder::registrationDb(), [](const QString&) {}, [&] { ++yields; });
    run.runAll({Check::GenderDigit, Check::IdNumbers, Check::Duplicates, Check::SequenceGaps, Check::IdCheckCharacter});
    QCOMPARE(yields, 0);
    run.runAll({Check::NameSpaces, Check::TestNumberLength});
    QCOMPARE(yields, 6);
}

void TestRegistrationChecks::reportFile() {
    const QString path = station_->file(QStringLiteral("校验日志.txt"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older, longer report that is replaced whole\r\n");
    old.close();
    saveReport(path, {QStringLiteral("####"), QStringLiteral("学业水平测试号【1】姓名中的空格已删除，【㐀】"), QString()});
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    // GB18030: two bytes for a GBK character, four for one GBK lacks.
    QCOMPARE(saved.readAll(), QByteArray("####\r\n") +
                                  QByteArray::fromHex("d1a7d2b5cbaec6bdb2e2cad4bac5a1be31a1bfd0d5c3fbd6d0b5c4bfd5b8f1d2d1c9be"
                                                      "b3fda3aca1be8139ee39a1bf") +
                                  "\r\n\r\n");

    const QString nowhere = station_->file(QStringLiteral("没有的文件夹/日志.txt"));
    try {
        saveReport(nowhere, {QStringLiteral("x")});
        QFAIL("a report into a missing folder was not refused");
    } catch (const DeskError& e) {
        // Named, and why in Chinese, not the system's words.
        QVERIFY2(e.message().contains(QDir::toNativeSeparators(nowhere)), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("不存在")), qPrintable(e.message()));
        QVERIFY2(!e.message().contains(QStringLiteral("No such")), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(nowhere));
}

QTEST_GUILESS_MAIN(TestRegistrationChecks)
#include "test_registrationchecks.moc"
