#include "IdNumber.h"

#include <QtTest>

class TestIdNumber : public QObject {
    Q_OBJECT
private slots:
    void checkCharacter_data();
    void checkCharacter();
    void birthDate_data();
    void birthDate();
};

void TestIdNumber::checkCharacter_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<QString>("expected"); // "" for none
    // Sums covering the ends of the mapping: remainder 2 gives X, 0 gives 1.
    QTest::newRow("X") << "11010519491231002X" << "X";
    QTest::newRow("digit") << "440524188001010014" << "4";
    QTest::newRow("remainder 0") << "11010119900307001" << "1";
    QTest::newRow("only the first 17 count") << "32010220000101123" << "8";
    QTest::newRow("16 characters") << "3201022000010112" << "";
    QTest::newRow("letter inside") << "3201022000a101123X" << "";
    QTest::newRow("full-width digit") << QStringLiteral("３2010220000101123X") << "";
}

void TestIdNumber::checkCharacter() {
    QFETCH(QString, number);
    QFETCH(QString, expected);
    const QChar c = IdNumber::checkCharacter(number);
    QCOMPARE(c.isNull() ? QString() : QString(c), expected);
}

void TestIdNumber::birthDate_data() {
    QTest::addColumn<QString>("number");
    QTest::addColumn<bool>("exists");
    QTest::newRow("ordinary") << "11010519491231002X" << true;
    QTest::newRow("29 February of a leap year") << "320102200002290005" << true;
    QTest::newRow("29 February of 1900") << "320102190002290009" << false;
    QTest::newRow("month 13") << "320102200113010002" << false;
    QTest::newRow("month 00") << "320102200100010002" << false;
    QTest::newRow("31 April") << "320102200104310002" << false;
    QTest::newRow("day 00") << "320102200101000002" << false;
    QTest::newRow("year 0000") << "320102000001010002" << false;
    QTest::newRow("letter in the date") << "32010220010a010002" << false;
    QTest::newRow("too short") << "3201022001010" << false;
}

void TestIdNumber::birthDate() {
    QFETCH(QString, number);
    QFETCH(bool, exists);
    QCOMPARE(IdNumber::birthDateExists(number), exists);
}

QTEST_GUILESS_MAIN(TestIdNumber)
#include "test_idnumber.moc"
