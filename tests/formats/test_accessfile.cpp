#include "AccessFile.h"
#include "Database.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

namespace {

// A Jet 4 file written by the engine itself; see fixtures/access/ORIGIN.md.
const QString kFixture = QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/access/node-adodb.mdb");
const QString kTable = QStringLiteral("Users");
constexpr int kPage = 4096;

QByteArray fixtureBytes() {
    QFile file(kFixture);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("missing fixture %s", qPrintable(kFixture));
    return file.readAll();
}

QByteArray utf16(const QString& text) { // as Jet 4 stores it: UTF-16LE
    QByteArray bytes;
    for (const QChar c : text)
        bytes.append(char(c.unicode() & 0xff)).append(char(c.unicode() >> 8));
    return bytes;
}

QByteArray littleEndian(double value) {
    QByteArray bytes(8, '\0');
    qToLittleEndian(value, bytes.data());
    return bytes;
}

QString message(const std::function<void()>& action) {
    try {
        action();
    } catch (const DbError& e) {
        return e.message();
    }
    return QString();
}

} // namespace

class TestAccessFile : public QObject {
    Q_OBJECT
private slots:
    void recognisesTheFileHeader();
    void listsUserTablesOnly();
    void chineseNames();
    void readsTableWithChineseText();
    void errorsNameFileAndTable();
    void textDecoding();
    void nullsAndFalse();
    void longValues_data();
    void longValues();
    void dates_data();
    void dates();
    void damagedFileIsAnError_data();
    void damagedFileIsAnError();
    void corruptRowsNeverCrash();
    void objectPropertiesAreNotRead();

private:
    // Writes `bytes` to a new file, or over the file `name`.
    QString writeFile(const QByteArray& bytes, const QString& name = QString());
    // The fixture with the one occurrence of each `from` replaced by its `to`.
    QString patched(const QVector<QPair<QByteArray, QByteArray>>& edits);
    QString patched(const QByteArray& from, const QByteArray& to) { return patched({{from, to}}); }

    QTemporaryDir dir_;
    int counter_ = 0;
};

QString TestAccessFile::writeFile(const QByteArray& bytes, const QString& name) {
    const QString path = dir_.filePath(name.isEmpty() ? QStringLiteral("f%1.mdb").arg(++counter_) : name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

QString TestAccessFile::patched(const QVector<QPair<QByteArray, QByteArray>>& edits) {
    QByteArray bytes = fixtureBytes();
    for (const auto& [from, to] : edits) {
        const qsizetype at = bytes.indexOf(from);
        if (at < 0 || bytes.indexOf(from, at + 1) >= 0 || from.size() != to.size())
            qFatal("patch pattern is not unique in the fixture");
        bytes.replace(at, to.size(), to);
    }
    return writeFile(bytes);
}

void TestAccessFile::recognisesTheFileHeader() {
    QVERIFY(AccessFile::isAccessFile(kFixture));

    const QString sqlite = dir_.filePath(QStringLiteral("ours.mdb"));
    Connection::createFile(sqlite);
    QVERIFY(!AccessFile::isAccessFile(sqlite));

    QVERIFY(!AccessFile::isAccessFile(writeFile("Standard Jet DB, but only as text\n")));
    QVERIFY(!AccessFile::isAccessFile(writeFile(QByteArray())));
    QVERIFY(!AccessFile::isAccessFile(dir_.filePath(QStringLiteral("missing.mdb"))));
    QVERIFY(!AccessFile::isAccessFile(dir_.path()));
    // The header of the newer format counts as well; the rest is not looked at.
    QVERIFY(AccessFile::isAccessFile(writeFile(QByteArray("\0\1\0\0Standard ACE DB\0", 20))));
}

void TestAccessFile::listsUserTablesOnly() {
    QCOMPARE(AccessFile::tableNames(kFixture), QStringList{kTable});
}

void TestAccessFile::chineseNames() {
    // Rename Users in the catalog and UserName in the table definition; the
    // bytes after each name make it the only match.
    const QString table = QStringLiteral("学生信息表");
    const QString column = QStringLiteral("学业水平测试副号");
    const QByteArray afterTable = QByteArray::fromHex("5d51");
    const QByteArray afterColumn = QByteArray::fromHex("0e00");
    const QString path =
        patched({{utf16(kTable) + afterTable, utf16(table) + afterTable},
                 {utf16(QStringLiteral("UserName")) + afterColumn, utf16(column) + afterColumn}});
    QCOMPARE(AccessFile::tableNames(path), QStringList{table});
    const AccessFile::Table t = AccessFile::readTable(path, table);
    QCOMPARE(t.columns.at(1), column);
    QCOMPARE(t.rows.at(2).at(1), QVariant(QStringLiteral("张三")));
    QVERIFY(message([&] { AccessFile::readTable(path, kTable); }).contains(QStringLiteral("没有表")));
}

void TestAccessFile::readsTableWithChineseText() {
    const AccessFile::Table t = AccessFile::readTable(kFixture, kTable);
    QCOMPARE(t.columns,
             (QStringList{QStringLiteral("UserId"), QStringLiteral("UserName"), QStringLiteral("UserSex"),
                          QStringLiteral("UserBirthday"), QStringLiteral("UserMarried")}));
    QCOMPARE(t.rows.size(), 3);

    const QVector<QVariant> expected[] = {
        {1LL, QStringLiteral("Nuintun"), QStringLiteral("Male"), QDateTime(QDate(1989, 1, 25), QTime(0, 0)),
         true},
        {2LL, QStringLiteral("Angela"), QStringLiteral("Female"), QDateTime(QDate(1988, 12, 18), QTime(0, 0)),
         false},
        {3LL, QStringLiteral("张三"), QStringLiteral("男"), QDateTime(QDate(1986, 12, 18), QTime(0, 0)),
         true},
    };
    for (int r = 0; r < 3; ++r) {
        QCOMPARE(t.rows[r].size(), 5);
        for (int c = 0; c < 5; ++c) {
            const QVariant& got = t.rows[r][c];
            QCOMPARE(got.typeId(), expected[r][c].typeId());
            QCOMPARE(got, expected[r][c]);
        }
    }

    // The table name is matched as the engine matches it; the result is the same.
    QCOMPARE(AccessFile::readTable(kFixture, QStringLiteral("USERS")).rows, t.rows);
}

void TestAccessFile::errorsNameFileAndTable() {
    const QString file = QDir::toNativeSeparators(kFixture);
    QCOMPARE(message([] { AccessFile::readTable(kFixture, QStringLiteral("学生表")); }),
             QStringLiteral("数据库文件“%1”中没有表“学生表”。").arg(file));
    // The engine's own tables are not offered.
    QCOMPARE(message([] { AccessFile::readTable(kFixture, QStringLiteral("MSysObjects")); }),
             QStringLiteral("数据库文件“%1”中没有表“MSysObjects”。").arg(file));

    const QString missing = dir_.filePath(QStringLiteral("缺少.mdb"));
    const QString missingMessage =
        QStringLiteral("数据库文件“%1”不存在。").arg(QDir::toNativeSeparators(missing));
    QCOMPARE(message([&] { AccessFile::readTable(missing, kTable); }), missingMessage);
    QCOMPARE(message([&] { AccessFile::tableNames(missing); }), missingMessage);
    QVERIFY(!QFileInfo::exists(missing));

    const QString sqlite = dir_.filePath(QStringLiteral("ours.mdb"));
    if (!QFileInfo::exists(sqlite))
        Connection::createFile(sqlite);
    const QString text = writeFile("学生表\r\n");
    for (const QString& path : {sqlite, text}) {
        QCOMPARE(message([&] { AccessFile::readTable(path, kTable); }),
                 QStringLiteral("文件“%1”不是有效的数据库文件。").arg(QDir::toNativeSeparators(path)));
    }
    QVERIFY(message([&] {
                AccessFile::readTable(dir_.path(), kTable);
            }).contains(QStringLiteral("不是数据库文件")));
}

void TestAccessFile::textDecoding() {
    // Characters outside the BMP (rare name characters) are stored as
    // surrogate pairs: put one from CJK extension B in the place of "张三".
    const QString rare = QString::fromUcs4(U"\U00020BB7");
    const QString path = patched(utf16(QStringLiteral("张三")), utf16(rare));
    QCOMPARE(AccessFile::readTable(path, kTable).rows[2][1].toString(), rare);

    // libmdb's converter follows this variable; the texts must not.
    const QByteArray old = qgetenv("MDBICONV");
    const bool wasSet = qEnvironmentVariableIsSet("MDBICONV");
    const auto restore = qScopeGuard([&] { wasSet ? qputenv("MDBICONV", old) : qunsetenv("MDBICONV"); });
    qputenv("MDBICONV", "ISO-8859-1");
    const AccessFile::Table t = AccessFile::readTable(kFixture, kTable);
    QCOMPARE(t.rows[2][1].toString(), QStringLiteral("张三"));
    QCOMPARE(t.rows[0][1].toString(), QStringLiteral("Nuintun"));
}

void TestAccessFile::nullsAndFalse() {
    // The first row ends with its variable-column offsets and its null mask
    // (one bit per column, set when a value is present). Clear the bits of
    // UserName, UserBirthday and UserMarried.
    const QString path =
        patched(QByteArray::fromHex("1d0017000e0002001f"), QByteArray::fromHex("1d0017000e00020005"));
    const AccessFile::Table t = AccessFile::readTable(path, kTable);
    const QVector<QVariant>& row = t.rows[0];
    QCOMPARE(row[0], QVariant(1LL));
    QVERIFY(row[1].isNull());
    QCOMPARE(row[2], QVariant(QStringLiteral("Male")));
    QVERIFY(row[3].isNull());
    QCOMPARE(row[4], QVariant(false)); // a yes/no column is never null
    QCOMPARE(t.rows[1][1], QVariant(QStringLiteral("Angela")));
}

void TestAccessFile::longValues_data() {
    // The second row's UserName and UserSex fill 16 bytes; they get a long
    // value's 12-byte header (length with flags, where the data lies) and,
    // when the data is kept in the row, the data.
    const QByteArray inMemo = QByteArray::fromHex("04000080"
                                                  "0000000000000000") +
                              utf16(QStringLiteral("张三"));
    // The first row of page 27 (38 bytes) as the data of one long-value row,
    // and as the first link of a chain (a link starts with the next link).
    const QByteArray firstRow = fixtureBytes().mid(27 * kPage + 0xfda, 38);
    const QByteArray onPage = QByteArray::fromHex("26000040"
                                                  "001b0000"
                                                  "00000000"
                                                  "00000000");
    const QByteArray chained = QByteArray::fromHex("22000000"
                                                   "001b0000"
                                                   "00000000"
                                                   "00000000");

    QTest::addColumn<char>("type");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QVariant>("expected");
    QTest::newRow("memo in the row") << '\x0c' << inMemo << QVariant(QStringLiteral("张三"));
    QTest::newRow("OLE object in the row") << '\x0b' << inMemo << QVariant(utf16(QStringLiteral("张三")));
    QTest::newRow("OLE object on a page") << '\x0b' << onPage << QVariant(firstRow);
    QTest::newRow("OLE object in a chain") << '\x0b' << chained << QVariant(firstRow.mid(4));
}

void TestAccessFile::longValues() {
    QFETCH(char, type);
    QFETCH(QByteArray, stored);
    QFETCH(QVariant, expected);
    // UserName becomes a memo or OLE column; UserSex of that row is left an
    // empty text, which is not a missing one.
    const QByteArray column = QByteArray::fromHex("0a5906000001000000010004080000020100000000fc85fe01");
    QByteArray longColumn = column;
    longColumn[0] = type;
    const QString path = patched({
        {column, longColumn},
        {QByteArray::fromHex("fffe416e67656c61fffe46656d616c65"), stored},
        // The row's variable-column offsets: UserSex now starts where the row's data ends.
        {QByteArray::fromHex("1e0016000e0002000f"), QByteArray::fromHex("1e001e000e0002000f")},
    });
    const AccessFile::Table t = AccessFile::readTable(path, kTable);
    QCOMPARE(t.rows[1][1].typeId(), expected.typeId());
    QCOMPARE(t.rows[1][1], expected);
    QCOMPARE(t.rows[1][2].typeId(), QMetaType::QString);
    QCOMPARE(t.rows[1][2].toString(), QString());
    QCOMPARE(t.rows[0][2], QVariant(QStringLiteral("Male")));
}

void TestAccessFile::dates_data() {
    QTest::addColumn<double>("stored");
    QTest::addColumn<QDateTime>("expected");
    QTest::newRow("noon") << 32533.5 << QDateTime(QDate(1989, 1, 25), QTime(12, 0));
    QTest::newRow("seconds") << 32533.0 + (13 * 3600 + 14 * 60 + 15) / 86400.0
                             << QDateTime(QDate(1989, 1, 25), QTime(13, 14, 15));
    QTest::newRow("day zero") << 0.0 << QDateTime(QDate(1899, 12, 30), QTime(0, 0));
    QTest::newRow("before day zero") << -1.25 << QDateTime(QDate(1899, 12, 29), QTime(6, 0));
    QTest::newRow("rounds to next midnight")
        << 32533.9999999999 << QDateTime(QDate(1989, 1, 26), QTime(0, 0));
    QTest::newRow("last day") << 2958465.0 << QDateTime(QDate(9999, 12, 31), QTime(0, 0));
    QTest::newRow("first day") << -657434.0 << QDateTime(QDate(100, 1, 1), QTime(0, 0));
}

void TestAccessFile::dates() {
    QFETCH(double, stored);
    QFETCH(QDateTime, expected);
    // The first row's UserBirthday holds 32533.0 (1989-01-25).
    const QString path = patched(littleEndian(32533.0), littleEndian(stored));
    const QVariant got = AccessFile::readTable(path, kTable).rows[0][3];
    QCOMPARE(got.typeId(), QMetaType::QDateTime);
    QCOMPARE(got.toDateTime(), expected);
}

void TestAccessFile::damagedFileIsAnError_data() {
    const QByteArray whole = fixtureBytes();
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("half") << whole.left(whole.size() / 2);
    QTest::newRow("one byte short") << whole.left(whole.size() - 1);
    QTest::newRow("header only") << whole.left(100);
    QTest::newRow("first page") << whole.left(kPage);
    QTest::newRow("catalog cut") << whole.left(3 * kPage);
    // Whole pages, the table and its definition intact, its rows' page gone.
    QTest::newRow("rows missing") << whole.left(27 * kPage);
    QTest::newRow("unknown version") << whole.left(0x14) + '\x7f' + whole.mid(0x15);
    // The table definition's pointer to its page map names a row that is not there.
    QByteArray lostMap = whole;
    lostMap[25 * kPage + 55] = '\xff';
    QTest::newRow("page map lost") << lostMap;
}

void TestAccessFile::damagedFileIsAnError() {
    QFETCH(QByteArray, bytes);
    const QString path = writeFile(bytes);
    QCOMPARE(
        message([&] { AccessFile::readTable(path, kTable); }),
        QStringLiteral("数据库文件“%1”已损坏或格式不受支持，无法读取。").arg(QDir::toNativeSeparators(path)));
    // Listing the tables either fails the same way or lists what is there.
    try {
        AccessFile::tableNames(path);
    } catch (const DbError&) {
    }
}

void TestAccessFile::corruptRowsNeverCrash() {
    // Each byte of the rows' page header, of its row offsets and of the rows
    // themselves, set to values that point outside what they describe.
    const QByteArray whole = fixtureBytes();
    int errors = 0;
    for (int at = 27 * kPage; at < 28 * kPage; at = (at == 27 * kPage + 31 ? 27 * kPage + 0xf96 : at + 1)) {
        for (char value : {'\x00', '\xff', '\x7f'}) {
            QByteArray bytes = whole;
            bytes[at] = value;
            const QString path = writeFile(bytes, QStringLiteral("corrupt.mdb"));
            try {
                for (const auto& row : AccessFile::readTable(path, kTable).rows)
                    QCOMPARE(row.size(), 5);
            } catch (const DbError&) {
                ++errors;
            }
        }
    }
    QVERIFY(errors > 0);
}

void TestAccessFile::objectPropertiesAreNotRead() {
    // A byte of an object's properties in the catalog (page 17) set to 0.
    // Nothing here needs them, and parsing these ones never ends.
    QByteArray bytes = fixtureBytes();
    bytes[17 * kPage + 0x7b9] = '\0';
    const QString path = writeFile(bytes);
    QCOMPARE(AccessFile::tableNames(path), QStringList{kTable});
    QCOMPARE(AccessFile::readTable(path, kTable).rows.size(), 3);
}

QTEST_GUILESS_MAIN(TestAccessFile)
#include "test_accessfile.moc"
