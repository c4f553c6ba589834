#include "Database.h"
#include "Query.h"
#include "TestNumber.h"

#include <QTemporaryDir>
#include <QtTest>

class TestTestNumber : public QObject {
    Q_OBJECT
private slots:
    void compose_data();
    void compose();
    void derivedParts_data();
    void derivedParts();
    void sqlExpressionsAgreeWithTheProgram();
    void sqlExpressionsIgnoreAsciiCase();
};

void TestTestNumber::compose_data() {
    QTest::addColumn<QString>("year");
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("school");
    QTest::addColumn<QString>("gender");
    QTest::addColumn<QString>("sequence");
    QTest::addColumn<QString>("testNumber");
    QTest::addColumn<QString>("subNumber");

    QTest::newRow("male") << "09" << "0101" << "0002" << "男" << "0001" << "090101000210001" << "09010100020001";
    QTest::newRow("female") << "09" << "0101" << "0002" << "女" << "0012" << "090101000220012" << "09010100020012";
    QTest::newRow("parts are trimmed") << " 09" << "0101 " << "\t0002" << "男" << " 0003 " << "090101000210003"
                                       << "09010100020003";
    // Neither 男 nor 女: no gender digit, 14 characters, sub-number equal.
    QTest::newRow("no gender digit") << "09" << "0101" << "0002" << "男 " << "0001" << "09010100020001"
                                     << "09010100020001";
    QTest::newRow("empty gender") << "09" << "0101" << "0002" << "" << "0001" << "09010100020001"
                                  << "09010100020001";
    QTest::newRow("sequence of five digits") << "09" << "0101" << "0002" << "女" << "10000" << "0901010002210000"
                                             << "09010100020000";
}

void TestTestNumber::compose() {
    QFETCH(QString, year);
    QFETCH(QString, county);
    QFETCH(QString, school);
    QFETCH(QString, gender);
    QFETCH(QString, sequence);
    QFETCH(QString, testNumber);
    QFETCH(QString, subNumber);
    const QString composed = TestNumber::compose(year, county, school, gender, sequence);
    QCOMPARE(composed, testNumber);
    QCOMPARE(TestNumber::subNumber(composed), subNumber);
}

void TestTestNumber::derivedParts_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("city");
    QTest::addColumn<QString>("sequence");
    QTest::newRow("test number") << "090101000210001" << "01010002" << "0101" << "01" << "0001";
    QTest::newRow("sub-number, same unit") << "09010100020001" << "01010002" << "0101" << "01" << "0001";
    QTest::newRow("short") << "0901" << "01" << "01" << "01" << "0901";
    QTest::newRow("too short for a unit") << "0" << "" << "" << "" << "0";
    QTest::newRow("empty") << "" << "" << "" << "" << "";
}

void TestTestNumber::derivedParts() {
    QFETCH(QString, number);
    QFETCH(QString, unit);
    QFETCH(QString, county);
    QFETCH(QString, city);
    QFETCH(QString, sequence);
    QCOMPARE(TestNumber::unitCode(number), unit);
    QCOMPARE(TestNumber::countyCode(number), county);
    QCOMPARE(TestNumber::cityCode(number), city);
    QCOMPARE(TestNumber::sequenceNumber(number), sequence);
}

// Windows select in SQL what the program computes; both must agree even on
// malformed numbers.
void TestTestNumber::sqlExpressionsAgreeWithTheProgram() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.mdb"));
    Connection::createFile(path);
    Connection c(path);
    c.execute(QStringLiteral("create table t(n text)"));
    const QStringList samples{QStringLiteral("090101000210001"), QStringLiteral("09010100020001"),
                              QStringLiteral("0901"), QStringLiteral("0"), QString(),
                              QStringLiteral("0901010002100011")};
    for (const QString& s : samples)
        c.execute(QStringLiteral("insert into t values(:n)"), {{QStringLiteral(":n"), s}});

    using namespace TestNumber;
    Query q(c);
    q.setSql(QStringLiteral("select n, %1 as sub, %2 as unit, %3 as county, %4 as city, %5 as seq from t")
                 .arg(Sql::subNumber(QStringLiteral("n")), Sql::unitCode(QStringLiteral("n")),
                      Sql::countyCode(QStringLiteral("n")), Sql::cityCode(QStringLiteral("n")),
                      Sql::sequenceNumber(QStringLiteral("n"))));
    q.open();
    QCOMPARE(q.recordCount(), samples.size());
    for (; !q.eof(); q.next()) {
        const QString n = q.text(QStringLiteral("n"));
        QCOMPARE(q.text(QStringLiteral("sub")), subNumber(n));
        QCOMPARE(q.text(QStringLiteral("unit")), unitCode(n));
        QCOMPARE(q.text(QStringLiteral("county")), countyCode(n));
        QCOMPARE(q.text(QStringLiteral("city")), cityCode(n));
        QCOMPARE(q.text(QStringLiteral("seq")), sequenceNumber(n));
    }
}

// Over a column that compares exactly, the expressions still compare codes
// without regard to ASCII case (and only ASCII letters fold).
void TestTestNumber::sqlExpressionsIgnoreAsciiCase() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.mdb"));
    Connection::createFile(path);
    Connection c(path);
    c.execute(QStringLiteral("create table t(n text collate binary)"));
    c.execute(QStringLiteral("insert into t values('09ab01cd02100x1')"));
    using namespace TestNumber;
    const QString n = QStringLiteral("n");
    Query q(c);
    q.setSql(QStringLiteral(
                 "select count(*) as k from t where %1='AB01CD02' and %2='aB01' and %3='Ab' and %4='00X1' "
                 "and %5='09AB01CD0200X1' and %1<>'ＡB01CD02'")
                 .arg(Sql::unitCode(n), Sql::countyCode(n), Sql::cityCode(n), Sql::sequenceNumber(n),
                      Sql::subNumber(n)));
    q.open();
    QCOMPARE(q.integer(QStringLiteral("k")), 1LL);
}

QTEST_GUILESS_MAIN(TestTestNumber)
#include "test_testnumber.moc"
