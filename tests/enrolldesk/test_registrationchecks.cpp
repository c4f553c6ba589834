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

    void genderFinding_data();
    void genderFinding();
    void idFinding_data();
    void idFinding();
    void duplicateLineNamesBothGenders();
    void namesLoseEverySpace_data();
    void namesLoseEverySpace();
    void lengthFindings_data();
    void lengthFindings();
    void gaps_data();
    void gaps();
    void gapOfANumberThatIsNoInteger();
    void idCheckFinding_data();
    void idCheckFinding();

    void ordersAgreeWithTheEngine();
    void wholeReportOverPlantedFaults();
    void correctionsTouchOnlyTheRowFound();
    void emptyTableReportsNothing();
    void runStopsAtASequenceNumberThatIsNoInteger();
    void onlyNameAndLengthChecksYield();
    void reportFileBytes();
    void reportFileThatCannotBeWritten();

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

void TestRegistrationChecks::genderFinding_data() {
    QTest::addColumn<QString>("t");
    QTest::addColumn<QString>("line");
    QTest::newRow("male") << "090101000210001" << "";
    QTest::newRow("female") << "090101000220001" << "";
    QTest::newRow("3") << "090101000230001" << "学业水平测试号：090101000230001，性别位为：3，不正常。";
    QTest::newRow("10 bytes: no digit") << "0901010002" << "学业水平测试号：0901010002，性别位为：，不正常。";
    // Byte 11 is the first byte of a two-byte character: shown whole.
    QTest::newRow("Chinese at 11") << QStringLiteral("0901010002男0001")
                                   << QStringLiteral("学业水平测试号：0901010002男0001，性别位为：男，不正常。");
    // A character of two bytes before it moves the digit along.
    QTest::newRow("counted in bytes") << QStringLiteral("甲01010002100") << QStringLiteral("");
}

void TestRegistrationChecks::genderFinding() {
    QFETCH(QString, t);
    QFETCH(QString, line);
    QCOMPARE(RegistrationChecks::genderFinding(t), line);
}

void TestRegistrationChecks::idFinding_data() {
    QTest::addColumn<QString>("d");
    QTest::addColumn<QString>("problems"); // between the ID number and "！"; "" for no line
    QTest::addColumn<bool>("lowercaseX");
    const QString x = QStringLiteral("，第18位x已经改为X，第18位存在不规则字符");
    QTest::newRow("sound with X") << "32010220000101123X" << "" << false;
    QTest::newRow("sound 15") << "320102000101123" << "" << false;
    QTest::newRow("lowercase x") << "32010220000101123x" << x << true;
    QTest::newRow("17 bytes") << "32010220000101123" << "，位数不对" << false;
    QTest::newRow("empty") << "" << "，位数不对" << false;
    QTest::newRow("18 in 7-8") << "320102180001011232" << "，第七、八位异常" << false;
    QTest::newRow("month 2x") << "320102200021011232" << "，第十一位异常" << false;
    QTest::newRow("day 4x") << "320102200001411232" << "，第十三位异常" << false;
    QTest::newRow("letters") << "3201022000A1011A3Y"
                             << "，第11位存在不规则字符，第16位存在不规则字符，第18位存在不规则字符，第十一位异常" << false;
    QTest::newRow("15 with a letter") << "32010200010112a" << "，第15位存在不规则字符" << false;
    // Nine Chinese characters are 18 bytes: every position is irregular.
    QString all;
    for (int p = 1; p <= 18; ++p)
        all += QStringLiteral("，第%1位存在不规则字符").arg(p);
    QTest::newRow("nine Chinese characters")
        << QStringLiteral("一二三四五六七八九") << all + QStringLiteral("，第七、八位异常，第十一位异常，第十三位异常") << false;
}

void TestRegistrationChecks::idFinding() {
    QFETCH(QString, d);
    QFETCH(QString, problems);
    QFETCH(bool, lowercaseX);
    const IdFinding finding = RegistrationChecks::idFinding(QStringLiteral("090101000210001"), d);
    QCOMPARE(finding.line, problems.isEmpty() ? QString()
                                              : QStringLiteral("学业水平测试号090101000210001，身份证号") + d + problems +
                                                    QStringLiteral("！"));
    QCOMPARE(finding.lowercaseX, lowercaseX);
}

void TestRegistrationChecks::duplicateLineNamesBothGenders() {
    QCOMPARE(duplicateFinding(QStringLiteral("09010100020003")),
             QStringLiteral("学业水平测试号090101000210003和学业水平测试号090101000220003重号！"));
}

void TestRegistrationChecks::namesLoseEverySpace_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("cleaned");
    QTest::newRow("half-width") << "张 三" << "张三";
    QTest::newRow("full-width") << QStringLiteral("张　三") << "张三";
    QTest::newRow("both, several") << QStringLiteral("欧 阳　小 　明") << "欧阳小明";
    QTest::newRow("none") << "李四" << "李四";
    QTest::newRow("tab stays") << "李\t四" << "李\t四";
}

void TestRegistrationChecks::namesLoseEverySpace() {
    QFETCH(QString, name);
    QFETCH(QString, cleaned);
    QCOMPARE(withoutSpaces(name), cleaned);
    QCOMPARE(nameFinding(QStringLiteral("090101000210001"), cleaned),
             QStringLiteral("学业水平测试号【090101000210001】姓名中的空格已删除，【") + cleaned + QStringLiteral("】"));
}

void TestRegistrationChecks::lengthFindings_data() {
    QTest::addColumn<QString>("t");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("sound") << "090101000210001" << QStringList();
    QTest::newRow("14 bytes") << "09010100021001"
                              << QStringList{"学业水平测试号：09010100021001,长度为14,不符合要求。",
                                             "学业水平测试号：09010100021001,第15位存在不规则字符。"};
    QTest::newRow("letter") << "0901010002100a1" << QStringList{"学业水平测试号：0901010002100a1,第14位存在不规则字符。"};
    QTest::newRow("Chinese counts two") << QStringLiteral("09010100021000甲")
                                        << QStringList{QStringLiteral("学业水平测试号：09010100021000甲,长度为16,不符合要求。"),
                                                       QStringLiteral("学业水平测试号：09010100021000甲,第15位存在不规则字符。")};
}

void TestRegistrationChecks::lengthFindings() {
    QFETCH(QString, t);
    QFETCH(QStringList, lines);
    QCOMPARE(RegistrationChecks::lengthFindings(t), lines);
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
    QTest::newRow("none missing, one repeated")
        << QStringList{"090101000210001", "090101000220002", "090101000210002", "090101000210003"} << QStringList();
    QTest::newRow("a new unit starts at its own 1")
        << QStringList{"090101000210001", "090101000210002", "090101000310003"}
        << QStringList{gap("01010003", "0001"), gap("01010003", "0002")};
    QTest::newRow("one student") << QStringList{"090101000210002"} << QStringList{gap("01010002", "0001")};
    QTest::newRow("units in either case")
        << QStringList{"0901010a0210001", "0901010A0210003"} << QStringList{gap("01010a02", "0002")};
    QTest::newRow("nothing") << QStringList() << QStringList();
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

void TestRegistrationChecks::gapOfANumberThatIsNoInteger() {
    QStringList lines;
    GapFinder finder([&](const QString& line) { lines << line; });
    finder.add(QStringLiteral("090101000210002"));
    QVERIFY_THROWS_EXCEPTION(ConversionError, finder.add(QStringLiteral("0901010002100a3")));
    QCOMPARE(lines, QStringList{QStringLiteral("学校代码为01010002顺序号0001为空号！")});
}

void TestRegistrationChecks::idCheckFinding_data() {
    QTest::addColumn<QString>("d");
    QTest::addColumn<QString>("problems");
    QTest::newRow("sound") << "11010519491231002X" << "";
    QTest::newRow("lowercase x is the same value") << "11010519491231002x" << "";
    QTest::newRow("wrong check digit") << "110105194912310021" << "，校验码应为X";
    QTest::newRow("letter for a check digit") << "44052418800101001A" << "，校验码应为4";
    QTest::newRow("no such day") << "320102190002290009" << "，出生日期不存在";
    QTest::newRow("both") << "320102190002290001" << "，校验码应为9，出生日期不存在";
    // Forms the ID number check reports: nothing to compare here.
    QTest::newRow("17 bytes") << "32010220000101123" << "";
    QTest::newRow("15 bytes") << "320102000101123" << "";
    QTest::newRow("letter inside") << "3201022000A101123X" << "";
}

void TestRegistrationChecks::idCheckFinding() {
    QFETCH(QString, d);
    QFETCH(QString, problems);
    QCOMPARE(RegistrationChecks::idCheckFinding(QStringLiteral("090101000210001"), d),
             problems.isEmpty() ? QString()
                                : QStringLiteral("学业水平测试号090101000210001，身份证号") + d + problems + QStringLiteral("！"));
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
    // A second run finds nothing left to correct.
    report.clear();
    run.runAll({Check::NameSpaces});
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
        QCOMPARE(e.message(), Text::notAnIntegerMessage(QStringLiteral("00a3")));
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

void TestRegistrationChecks::reportFileBytes() {
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
}

void TestRegistrationChecks::reportFileThatCannotBeWritten() {
    const QString path = station_->file(QStringLiteral("没有的文件夹/日志.txt"));
    try {
        saveReport(path, {QStringLiteral("x")});
        QFAIL("no error");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("日志.txt")), qPrintable(e.message()));
    }
    QVERIFY(!QFile::exists(path));
}

QTEST_GUILESS_MAIN(TestRegistrationChecks)
#include "test_registrationchecks.moc"
