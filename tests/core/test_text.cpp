#include "DeskError.h"
#include "Text.h"

#include <QtTest>

class TestText : public QObject {
    Q_OBJECT
private slots:
    void byteLength_data();
    void byteLength();
    void byteAt();
    void cutNeverSplitsACharacter_data();
    void cutNeverSplitsACharacter();
    void padding();
    void unpairedSurrogatesStillEncode();
    void trimming_data();
    void trimming();
    void sequenceText_data();
    void sequenceText();
    void toInteger();
};

void TestText::byteLength_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bytes");
    QTest::newRow("empty") << QString() << 0;
    QTest::newRow("ascii") << QStringLiteral("0101X") << 5;
    QTest::newRow("chinese counts two") << QStringLiteral("张三") << 4;
    QTest::newRow("mixed") << QStringLiteral("A张") << 3;
    QTest::newRow("full-width space") << QStringLiteral("\u3000") << 2;
    QTest::newRow("rare name character outside GBK") << QStringLiteral("\U00020000") << 4;
    QTest::newRow("euro sign") << QStringLiteral("€") << 2;
}

void TestText::byteLength() {
    QFETCH(QString, text);
    QFETCH(int, bytes);
    QCOMPARE(Gb18030::byteLength(text), bytes);
    QCOMPARE(Gb18030::decode(Gb18030::encode(text)), text);
}

void TestText::byteAt() {
    // 张 is D5 C5 in GBK.
    const QString text = QStringLiteral("A张");
    QCOMPARE(int(Gb18030::byteAt(text, 0)), int('A'));
    QCOMPARE(int(Gb18030::byteAt(text, 1)), 0xD5);
    QCOMPARE(int(Gb18030::byteAt(text, 2)), 0xC5);
    QCOMPARE(int(Gb18030::byteAt(text, 3)), 0);
    QCOMPARE(int(Gb18030::byteAt(text, -1)), 0);
}

void TestText::cutNeverSplitsACharacter_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("max");
    QTest::addColumn<QString>("expected");
    QTest::newRow("fits") << QStringLiteral("张三") << 4 << QStringLiteral("张三");
    QTest::newRow("cut on boundary") << QStringLiteral("张三丰") << 4 << QStringLiteral("张三");
    QTest::newRow("would split: stops before") << QStringLiteral("张三丰") << 5 << QStringLiteral("张三");
    QTest::newRow("ascii then chinese") << QStringLiteral("AB张") << 3 << QStringLiteral("AB");
    QTest::newRow("four-byte character whole or not at all")
        << QStringLiteral("A\U00020000B") << 4 << QStringLiteral("A");
    QTest::newRow("four-byte character fits") << QStringLiteral("A\U00020000B") << 5 << QStringLiteral("A\U00020000");
    QTest::newRow("zero") << QStringLiteral("张") << 0 << QString();
}

void TestText::cutNeverSplitsACharacter() {
    QFETCH(QString, text);
    QFETCH(int, max);
    QFETCH(QString, expected);
    QCOMPARE(Gb18030::cut(text, max), expected);
}

void TestText::padding() {
    QCOMPARE(Gb18030::padRight(QStringLiteral("张三"), 6), QStringLiteral("张三  "));
    QCOMPARE(Gb18030::padLeft(QStringLiteral("张三"), 6), QStringLiteral("  张三"));
    QCOMPARE(Gb18030::byteLength(Gb18030::padRight(QStringLiteral("张三丰"), 5)), 5);
    QCOMPARE(Gb18030::padRight(QStringLiteral("张三丰"), 5), QStringLiteral("张三 "));
    QCOMPARE(Gb18030::padRight(QStringLiteral("AB"), 2), QStringLiteral("AB"));
}

void TestText::unpairedSurrogatesStillEncode() {
    QString broken = QStringLiteral("A");
    broken.append(QChar(0xD800));
    broken.append(QLatin1Char('B'));
    QCOMPARE(Gb18030::encode(broken), QByteArray("A?B"));
    QCOMPARE(Gb18030::byteLength(broken), 3);
}

void TestText::trimming_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expected");
    QTest::newRow("blanks") << QStringLiteral("  张三 ") << QStringLiteral("张三");
    QTest::newRow("control characters") << QStringLiteral("\t\r\n张三\x01") << QStringLiteral("张三");
    QTest::newRow("inner blanks stay") << QStringLiteral(" 张 三 ") << QStringLiteral("张 三");
    QTest::newRow("full-width space stays") << QStringLiteral("\u3000张三\u3000") << QStringLiteral("\u3000张三\u3000");
    QTest::newRow("only blanks") << QStringLiteral("   ") << QString();
}

void TestText::trimming() {
    QFETCH(QString, text);
    QFETCH(QString, expected);
    QCOMPARE(Text::trimmed(text), expected);
}

void TestText::sequenceText_data() {
    QTest::addColumn<qlonglong>("number");
    QTest::addColumn<QString>("expected");
    QTest::newRow("0") << 0LL << QStringLiteral("0000");
    QTest::newRow("1") << 1LL << QStringLiteral("0001");
    QTest::newRow("98") << 98LL << QStringLiteral("0098");
    QTest::newRow("100") << 100LL << QStringLiteral("0100");
    QTest::newRow("9999") << 9999LL << QStringLiteral("9999");
    QTest::newRow("10000 neither padded nor cut") << 10000LL << QStringLiteral("10000");
    QTest::newRow("123456") << 123456LL << QStringLiteral("123456");
}

void TestText::sequenceText() {
    QFETCH(qlonglong, number);
    QFETCH(QString, expected);
    QCOMPARE(Text::sequenceText(number), expected);
}

void TestText::toInteger() {
    QCOMPARE(Text::toInteger(QStringLiteral("98")), 98LL);
    QCOMPARE(Text::toInteger(QStringLiteral(" 0101 ")), 101LL);
    QCOMPARE(Text::toInteger(QStringLiteral("-3")), -3LL);
    for (const QString& bad : {QString(), QStringLiteral("12a"), QStringLiteral("1 2"), QStringLiteral("1.5"),
                               QStringLiteral("九")}) {
        try {
            Text::toInteger(bad);
            QFAIL(qPrintable(QStringLiteral("accepted: ") + bad));
        } catch (const ConversionError& e) {
            QVERIFY(e.message().contains(QStringLiteral("不是有效的整数")));
            QVERIFY(e.message().contains(bad));
        }
    }
}

QTEST_GUILESS_MAIN(TestText)
#include "test_text.moc"
