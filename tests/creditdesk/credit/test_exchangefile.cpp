#include "Database.h"
#include "ExchangeFile.h"
#include "Query.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

// A credit database as an older station made it: no limits on its texts.
QString olderCreditDb(const QTemporaryDir& dir, const QList<QStringList>& students) {
    const QString path = dir.filePath(QStringLiteral("XFRDCJK.mdb"));
    Connection::createFile(path);
    Connection c(path);
    c.execute(QStringLiteral("create table 学生表 (学业水平测试副号 text, 姓名 text, 身份证号 text, "
                             "必修学分 integer, 选修学分 integer, 总学分 integer)"));
    for (const QStringList& s : students)
        c.execute(QStringLiteral("insert into 学生表 values(:a,:b,:c,1,2,3)"),
                  {{QStringLiteral(":a"), s[0]}, {QStringLiteral(":b"), s[1]}, {QStringLiteral(":c"), s[2]}});
    return path;
}

QString newExchangeFile(const QTemporaryDir& dir, const QString& name = QStringLiteral("交换.mdb")) {
    const QString path = dir.filePath(name);
    Connection::createFile(path);
    Connection(path).execute(ExchangeFile::tableStatement());
    return path;
}

QStringList subNumbers(const QString& path) {
    Query q;
    q.setDatabasePath(path);
    q.setSql(QStringLiteral("select 序号, 学业水平测试副号 from 学生表 order by 序号"));
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next())
        rows << q.text(QStringLiteral("序号")) + QLatin1Char(':') + q.text(QStringLiteral("学业水平测试副号"));
    return rows;
}

} // namespace

// The credit exchange file without the export window.
class TestExchangeFile : public QObject {
    Q_OBJECT
private slots:
    void selectionByTheFilledCodes();
    void valueTooLongNamesTheStudentAndCopiesNothing();
};

void TestExchangeFile::selectionByTheFilledCodes() {
    QTemporaryDir dir;
    const QString db = olderCreditDb(dir, {{"24010100020001", "乙", "2"},
                                           {"24010100010001", "甲", "1"},
                                           {"24010200010001", "丙", "3"},
                                           {"24020100010001", "丁", "4"},
                                           {"2401'100000001", "戊", "5"}});
    const QString file = newExchangeFile(dir);
    // A school, in stored order, numbered from 1 in the new file.
    ExchangeFile::copyStudents(db, file, ExchangeFile::selection("01", "0101", "0002"));
    QCOMPARE(subNumbers(file), QStringList{"1:24010100020001"});
    // Without a school code the county's selects, without that the city's;
    // a quote in a code is a character of the code.
    const QString county = newExchangeFile(dir, QStringLiteral("县.mdb"));
    ExchangeFile::copyStudents(db, county, ExchangeFile::selection("02", "0101", QString()));
    QCOMPARE(subNumbers(county), (QStringList{"1:24010100020001", "2:24010100010001"}));
    const QString city = newExchangeFile(dir, QStringLiteral("市.mdb"));
    ExchangeFile::copyStudents(db, city, ExchangeFile::selection("01", QString(), QString()));
    QCOMPARE(subNumbers(city), (QStringList{"1:24010100020001", "2:24010100010001", "3:24010200010001",
                                             "4:2401'100000001"}));
    const QString quoted = newExchangeFile(dir, QStringLiteral("引号.mdb"));
    ExchangeFile::copyStudents(db, quoted, ExchangeFile::selection(QString(), "01'1", "0000"));
    QCOMPARE(subNumbers(quoted), QStringList{"1:2401'100000001"});
}

void TestExchangeFile::valueTooLongNamesTheStudentAndCopiesNothing() {
    QTemporaryDir dir;
    const QString db = olderCreditDb(dir, {{"24010100010001", "甲", "1"},
                                           {"24010100010002", "欧阳甲乙丙丁戊己庚辛", "2"}, // 10: fits
                                           {"24010100010003", "欧阳甲乙丙丁戊己庚辛壬", "3"}});
    const QString file = newExchangeFile(dir);
    try {
        ExchangeFile::copyStudents(db, file, ExchangeFile::selection("01", "0101", "0001"));
        QFAIL("a name too long for the exchange file was copied");
    } catch (const DbError& e) {
        QCOMPARE(e.message(), QStringLiteral("学业水平测试副号为“24010100010003”的学生“欧阳甲乙丙丁戊己庚辛壬”的姓名"
                                             "“欧阳甲乙丙丁戊己庚辛壬”过长，交换文件中最多只能有 10 个字符，数据没有导出。"));
    }
    QVERIFY(subNumbers(file).isEmpty());
}

QTEST_GUILESS_MAIN(TestExchangeFile)
#include "test_exchangefile.moc"
