#include "DeskError.h"
#include "Profile.h"
#include "Text.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestProfile : public QObject {
    Q_OBJECT
private slots:
    void init();
    void missingFileSectionOrKeyReadsTheDefault();
    void namesCompareCaseInsensitively();
    void valuesAreTrimmedAndUnquoted();
    void writingKeepsEverythingElse();
    void writingCreatesFileAndSection();
    void readsAWindowsFile();
    void keepsTheEncodingItWasReadIn_data();
    void keepsTheEncodingItWasReadIn();
    void writeFailureIsReported();
    void lineBreaksNeverAddKeys_data();
    void lineBreaksNeverAddKeys();

private:
    QString write(const QByteArray& bytes);
    QByteArray read();
    QTemporaryDir dir_;
    QString path_;
};

void TestProfile::init() {
    path_ = dir_.filePath(QStringLiteral("setup.ini"));
    QFile::remove(path_);
}

QString TestProfile::write(const QByteArray& bytes) {
    QFile f(path_);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path_;
}

QByteArray TestProfile::read() {
    QFile f(path_);
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

void TestProfile::missingFileSectionOrKeyReadsTheDefault() {
    Profile p(path_);
    QCOMPARE(p.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QStringLiteral("USB")),
             QStringLiteral("USB"));
    write("[COM]\r\nport=COM3\r\n");
    QCOMPARE(p.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QStringLiteral("USB")),
             QStringLiteral("USB"));
    QCOMPARE(p.readString(QStringLiteral("COM"), QStringLiteral("baund"), QStringLiteral("9600")),
             QStringLiteral("9600"));
    QCOMPARE(p.readInteger(QStringLiteral("COM"), QStringLiteral("port"), 7), 7); // not a number
}

void TestProfile::namesCompareCaseInsensitively() {
    write("[Reader]\r\nPort=COM\r\n[com]\r\nPORT=COM2\r\n");
    Profile p(path_);
    QCOMPARE(p.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QString()), QStringLiteral("COM"));
    QCOMPARE(p.readString(QStringLiteral("COM"), QStringLiteral("port"), QString()), QStringLiteral("COM2"));
    // Values keep their case.
    p.writeString(QStringLiteral("reader"), QStringLiteral("port"), QStringLiteral("usb"));
    QCOMPARE(p.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QString()), QStringLiteral("usb"));
    QVERIFY(read().contains("Port=usb"));
    QVERIFY(!read().contains("[reader]"));
}

void TestProfile::valuesAreTrimmedAndUnquoted() {
    write("[picSize]\r\n  width =  120  \r\nheight=\"160\"\r\nname='a b'\r\n");
    Profile p(path_);
    QCOMPARE(p.readString(QStringLiteral("picSize"), QStringLiteral("width"), QString()), QStringLiteral("120"));
    QCOMPARE(p.readInteger(QStringLiteral("picSize"), QStringLiteral("height"), 0), 160);
    QCOMPARE(p.readString(QStringLiteral("picSize"), QStringLiteral("name"), QString()), QStringLiteral("a b"));
}

void TestProfile::writingKeepsEverythingElse() {
    write("; station settings\r\n[READER]\r\nPORT=USB\r\n\r\n[COM]\r\nport=COM1\r\nbaund=9600\r\n\r\n[picSize]\r\n"
          "width=120\r\n");
    Profile p(path_);
    p.writeString(QStringLiteral("COM"), QStringLiteral("port"), QStringLiteral("COM4"));
    p.writeString(QStringLiteral("READER"), QStringLiteral("MODE"), QStringLiteral("1"));
    QCOMPARE(QString::fromUtf8(read()),
             QStringLiteral("; station settings\r\n[READER]\r\nPORT=USB\r\nMODE=1\r\n\r\n[COM]\r\nport=COM4\r\n"
                            "baund=9600\r\n\r\n[picSize]\r\nwidth=120\r\n"));
}

void TestProfile::writingCreatesFileAndSection() {
    Profile p(path_);
    p.writeString(QStringLiteral("READER"), QStringLiteral("PORT"), QStringLiteral("COM"));
    p.writeString(QStringLiteral("COM"), QStringLiteral("port"), QStringLiteral("COM2"));
    QCOMPARE(QString::fromUtf8(read()), QStringLiteral("[READER]\r\nPORT=COM\r\n\r\n[COM]\r\nport=COM2\r\n"));
    QCOMPARE(p.readString(QStringLiteral("COM"), QStringLiteral("port"), QString()), QStringLiteral("COM2"));
}

void TestProfile::readsAWindowsFile() {
    // A file written on Windows: GBK text.
    write(Gb18030::encode(QStringLiteral("[学校]\r\n名称=第一中学\r\n")));
    Profile p(path_);
    QCOMPARE(p.readString(QStringLiteral("学校"), QStringLiteral("名称"), QString()), QStringLiteral("第一中学"));
    p.writeString(QStringLiteral("学校"), QStringLiteral("代码"), QStringLiteral("0002"));
    QCOMPARE(read(), Gb18030::encode(QStringLiteral("[学校]\r\n名称=第一中学\r\n代码=0002\r\n")));
}

void TestProfile::keepsTheEncodingItWasReadIn_data() {
    // "专业" in GB18030 (D7 A8 D2 B5) is also valid UTF-8 ("רҵ").
    const QByteArray gbSignature("\x84\x31\x95\x33");
    const QByteArray bom("\xEF\xBB\xBF");
    const QString before = QStringLiteral("[READER]\r\nPORT=USB\r\n");
    const QString after = before + QStringLiteral("TYPE=专业\r\n");
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("new file") << QByteArray() << gbSignature + Gb18030::encode(QStringLiteral("[READER]\r\nTYPE=专业\r\n"));
    QTest::newRow("ascii") << before.toLatin1() << gbSignature + Gb18030::encode(after);
    QTest::newRow("gb18030 with signature") << gbSignature + before.toLatin1() << gbSignature + Gb18030::encode(after);
    QTest::newRow("gb18030") << Gb18030::encode(QStringLiteral("; 第一中学\r\n") + before)
                             << Gb18030::encode(QStringLiteral("; 第一中学\r\n") + after);
    QTest::newRow("utf-8") << (QStringLiteral("; 第一中学\r\n") + before).toUtf8()
                           << (QStringLiteral("; 第一中学\r\n") + after).toUtf8();
    QTest::newRow("utf-8 with bom") << bom + before.toLatin1() << bom + after.toUtf8();
}

void TestProfile::keepsTheEncodingItWasReadIn() {
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, written);
    if (!file.isEmpty())
        write(file);
    Profile p(path_);
    p.writeString(QStringLiteral("READER"), QStringLiteral("TYPE"), QStringLiteral("专业"));
    QCOMPARE(read(), written);
    QCOMPARE(p.readString(QStringLiteral("reader"), QStringLiteral("TYPE"), QString()), QStringLiteral("专业"));
    QCOMPARE(p.readString(QStringLiteral("reader"), QStringLiteral("port"), QString()),
             file.isEmpty() ? QString() : QStringLiteral("USB"));
    // Written again, the file stays as it is.
    p.writeString(QStringLiteral("READER"), QStringLiteral("TYPE"), QStringLiteral("专业"));
    QCOMPARE(read(), written);
}

void TestProfile::writeFailureIsReported() {
    Profile p(dir_.filePath(QStringLiteral("missing/setup.ini")));
    QVERIFY_THROWS_EXCEPTION(DeskError, p.writeString(QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")));
}

void TestProfile::lineBreaksNeverAddKeys_data() {
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("CR LF in a value") << "PRINT" << "X" << "3\r\n[READER]\r\nLIBRARY=/tmp/evil.so";
    QTest::newRow("LF in a value") << "PRINT" << "X" << "3\nLIBRARY=/tmp/evil.so";
    QTest::newRow("CR alone") << "PRINT" << "X" << "3\rLIBRARY=x";
    QTest::newRow("NUL") << "PRINT" << "X" << QStringLiteral("3").append(QChar(0));
    QTest::newRow("key with =") << "READER" << "LIBRARY=/tmp/evil.so;X" << "1";
    QTest::newRow("section with ]") << "PRINT]\r\n[READER" << "LIBRARY" << "x";
}

void TestProfile::lineBreaksNeverAddKeys() {
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    write("[READER]\r\nPORT=USB\r\n");
    const QByteArray before = read();
    Profile p(path_);
    QVERIFY_THROWS_EXCEPTION(DeskError, p.writeString(section, key, value));
    QCOMPARE(read(), before);
    QCOMPARE(p.readString(QStringLiteral("READER"), QStringLiteral("LIBRARY"), QStringLiteral("none")),
             QStringLiteral("none"));
    // A tab is no line break.
    p.writeString(QStringLiteral("PRINT"), QStringLiteral("X"), QStringLiteral("a\tb"));
    QCOMPARE(p.readString(QStringLiteral("PRINT"), QStringLiteral("X"), QString()), QStringLiteral("a\tb"));
}

QTEST_GUILESS_MAIN(TestProfile)
#include "test_profile.moc"
