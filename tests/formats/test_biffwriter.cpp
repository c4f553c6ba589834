#include "BiffWriter.h"
#include "DeskError.h"
#include "FaultInjection.h"
#include "ReadBack.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <limits>

namespace {

const QString kSheet = QStringLiteral("导出结果");

using Rows = QVector<QVector<QVariant>>;

// The JSON the independent reader gives for `header` and `rows`: every row
// as wide as the widest, empty texts and nulls as null.
QJsonArray expectedRows(const QStringList& header, const Rows& rows) {
    qsizetype width = header.size();
    for (const auto& row : rows)
        width = std::max(width, row.size());
    const auto cell = [](const QVariant& v) -> QJsonValue {
        if (v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty()))
            return QJsonValue::Null;
        if (v.typeId() == QMetaType::QString)
            return v.toString();
        return v.toDouble();
    };
    QJsonArray out;
    QJsonArray first;
    for (qsizetype c = 0; c < width; ++c)
        first.append(c < header.size() ? cell(header.at(c)) : QJsonValue::Null);
    out.append(first);
    for (const auto& row : rows) {
        QJsonArray line;
        for (qsizetype c = 0; c < width; ++c)
            line.append(c < row.size() ? cell(row.at(c)) : QJsonValue::Null);
        out.append(line);
    }
    return out;
}

// Compares row by row so that a failure names the first differing row.
void compareRows(const QJsonArray& actual, const QJsonArray& expected) {
    QCOMPARE(actual.size(), expected.size());
    for (qsizetype r = 0; r < expected.size(); ++r) {
        if (actual.at(r) != expected.at(r))
            QFAIL(qPrintable(
                QStringLiteral("row %1 differs:\n  actual:   %2\n  expected: %3")
                    .arg(r)
                    .arg(QString::fromUtf8(
                             QJsonDocument(actual.at(r).toArray()).toJson(QJsonDocument::Compact)),
                         QString::fromUtf8(
                             QJsonDocument(expected.at(r).toArray()).toJson(QJsonDocument::Compact)))));
    }
}

// A text of `length` characters drawn from [first, last).
QString randomText(QRandomGenerator& random, int length, char16_t first, char16_t last) {
    QString text;
    text.reserve(length);
    for (int i = 0; i < length; ++i)
        text.append(QChar(char16_t(first + random.bounded(last - first))));
    return text;
}

// Chinese characters of the common CJK block.
QString chineseText(QRandomGenerator& random, int length) { return randomText(random, length, 0x4E00, 0x9FA5); }

QString latin1Text(QRandomGenerator& random, int length) { return randomText(random, length, 0x20, 0xFF); }

} // namespace

class TestBiffWriter : public QObject {
    Q_OBJECT
private slots:
    void creditListReadsBack();
    void headerOnlyWorkbook();
    void largeSharedStringTableSpansContinueRecords();
    void stringsMeetingARecordEnd_data();
    void stringsMeetingARecordEnd();
    void largestSheetAndCellAreAccepted();
    void limitsAreRefusedWithoutWritingAFile_data();
    void limitsAreRefusedWithoutWritingAFile();
    void failureLeavesNoFile();
    void existingTargetIsReplaced();
    void nonFiniteNumbersBecomeErrorCells();
    void sixtyFiveThousandRowsAreQuick();
    void columnsAreWideEnoughForTheirLongestText();

private:
    QTemporaryDir dir_;
    QString target() const { return dir_.filePath(QStringLiteral("学分不合格数据.xls")); }
};

void TestBiffWriter::creditListReadsBack() {
    const QStringList header = {QStringLiteral("考号"),     QStringLiteral("姓名"),
                                QStringLiteral("必修学分"), QStringLiteral("选修学分"),
                                QStringLiteral("总学分"),   QStringLiteral("备注"),
                                QStringLiteral("Note")};
    const Rows rows = {
        {QStringLiteral("320101200801"), QStringLiteral("张三"), qlonglong(115), qlonglong(28),
         qlonglong(143), QString(), QStringLiteral("café")},
        {QStringLiteral("320101200802"), QStringLiteral("欧阳\u3000娜娜"), -3, 27.5, 0.125, QVariant(),
         QStringLiteral("ASCII only")},
        // Nulls in every column kind, a rare name character outside the BMP,
        // and an empty text (which stays an empty cell).
        {QStringLiteral("320101200803"), QStringLiteral("\U00020000\U0002A6D6"),
         QVariant(QMetaType::fromType<qlonglong>()), QVariant(QMetaType::fromType<double>()), 1e15,
         QStringLiteral("")},
        {QStringLiteral("320101200801"), QStringLiteral("张三"), 120u, 30.0f, -0.5},
        {},
        {QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QStringLiteral("last")},
    };
    BiffWriter::writeWorkbook(target(), kSheet, header, rows);

    READ_WORKBOOK(book, target());
    QCOMPARE(book.value("sheets").toArray(), QJsonArray{kSheet});
    compareRows(book.value("rows").toArray(), expectedRows(header, rows));
    // Every text cell counts; repeated texts are stored once.
    const QJsonObject sst = book.value("sst").toObject();
    QCOMPARE(sst.value("count").toInt(), 7 + 3 + 3 + 2 + 2 + 1);
    QCOMPARE(sst.value("unique").toInt(), 7 + 3 + 3 + 2 + 0 + 1);
    QCOMPARE(sst.value("records").toInt(), 1);
}

void TestBiffWriter::headerOnlyWorkbook() {
    const QStringList header = {QStringLiteral("考号"), QStringLiteral("姓名"), QStringLiteral("总学分")};
    BiffWriter::writeWorkbook(target(), kSheet, header, {});
    READ_WORKBOOK(book, target());
    QCOMPARE(book.value("sheets").toArray(), QJsonArray{kSheet});
    compareRows(book.value("rows").toArray(), expectedRows(header, {}));

    // Not even a header: still a sound, empty workbook.
    BiffWriter::writeWorkbook(target(), kSheet, {}, {});
    READ_WORKBOOK(empty, target());
    QCOMPARE(empty.value("sheets").toArray(), QJsonArray{kSheet});
    QCOMPARE(empty.value("rows").toArray(), QJsonArray());
}

void TestBiffWriter::largeSharedStringTableSpansContinueRecords() {
    QRandomGenerator random(20240611);
    const QStringList header = {QStringLiteral("序号"), QStringLiteral("姓名"), QStringLiteral("说明")};
    Rows rows;
    for (int i = 0; i < 5000; ++i)
        rows.append({i, chineseText(random, 10 + random.bounded(21)),
                     i % 7 == 0 ? QVariant(QString::number(i) + latin1Text(random, 1 + random.bounded(40)))
                                : QVariant()});
    // Long texts in both forms: each must be split across CONTINUE records.
    rows.insert(1234, {-1, chineseText(random, 9000), latin1Text(random, 9000)});
    // One text of exactly one full record of characters, and repeats.
    rows.append({5001, QString(8224, QLatin1Char('x')), QStringLiteral("序号")});
    rows.append({5002, rows.at(10).at(1), rows.at(1234).at(1)});
    BiffWriter::writeWorkbook(target(), kSheet, header, rows);

    READ_WORKBOOK(book, target());
    compareRows(book.value("rows").toArray(), expectedRows(header, rows));
    const QJsonObject sst = book.value("sst").toObject();
    const int latin = (5000 + 6) / 7;
    QCOMPARE(sst.value("count").toInt(), 3 + 5000 + latin + 2 + 2 + 2);
    QCOMPARE(sst.value("unique").toInt(), 3 + 5000 + latin + 2 + 1);
    // About 190 kB of strings in records of at most 8224 bytes.
    QVERIFY2(sst.value("records").toInt() >= 20, qPrintable(QString::number(sst.value("records").toInt())));
}

void TestBiffWriter::stringsMeetingARecordEnd_data() {
    // Without a header, the SST record holds its two counts (8 bytes), then
    // the first text: 3 header bytes and one byte per Latin-1 character. A
    // first text of 8213 - n characters leaves n bytes of the record free.
    QTest::addColumn<QStringList>("texts");
    const QString chinese = QStringLiteral("中文字符");
    const QString latin = QStringLiteral("abcé");
    for (int free = 0; free <= 6; ++free) {
        const QString filler(8213 - free, QLatin1Char('f'));
        QTest::addRow("%d bytes free, then UTF-16", free) << QStringList{filler, chinese, latin};
        QTest::addRow("%d bytes free, then Latin-1", free) << QStringList{filler, latin, chinese};
    }
    // UTF-16: 4106 code units fit after the header; the 4106th is the first
    // half of a surrogate pair, which must move on with its second half.
    QTest::newRow("surrogate pair at the record end")
        << QStringList{QString(4105, QChar(u'中')) + QStringLiteral("\U00020000尾"), latin};
    QTest::newRow("surrogate pair just before the record end")
        << QStringList{QString(4104, QChar(u'中')) + QStringLiteral("\U00020000尾"), latin};
}

void TestBiffWriter::stringsMeetingARecordEnd() {
    QFETCH(QStringList, texts);
    Rows rows;
    for (const QString& text : texts)
        rows.append({text});
    BiffWriter::writeWorkbook(target(), kSheet, {}, rows);
    READ_WORKBOOK(book, target());
    compareRows(book.value("rows").toArray(), expectedRows({}, rows)); // row 1 stays empty
    QCOMPARE(book.value("sst").toObject().value("records").toInt(), 2);
}

void TestBiffWriter::largestSheetAndCellAreAccepted() {
    QStringList header;
    for (int c = 0; c < 256; ++c)
        header.append(QStringLiteral("列%1").arg(c + 1));
    const QString longest = QString(32767, QChar(u'学'));
    Rows rows = {QVector<QVariant>(256, 1.5)};
    rows[0][255] = longest;
    BiffWriter::writeWorkbook(target(), kSheet, header, rows);
    READ_WORKBOOK(wide, target());
    compareRows(wide.value("rows").toArray(), expectedRows(header, rows));

    Rows many(65535);
    for (int r = 0; r < many.size(); ++r)
        many[r] = {r};
    many.last() = {QStringLiteral("最后一行")};
    BiffWriter::writeWorkbook(target(), kSheet, {QStringLiteral("序号")}, many);
    READ_WORKBOOK(tall, target());
    const QJsonArray read = tall.value("rows").toArray();
    QCOMPARE(read.size(), 65536);
    QCOMPARE(read.at(65534), QJsonValue(QJsonArray{65533}));
    QCOMPARE(read.at(65535), QJsonValue(QJsonArray{QStringLiteral("最后一行")}));
}

void TestBiffWriter::limitsAreRefusedWithoutWritingAFile_data() {
    QTest::addColumn<QString>("sheet");
    QTest::addColumn<QStringList>("header");
    QTest::addColumn<Rows>("rows");
    QTest::addColumn<QString>("message");

    QStringList wideHeader;
    for (int c = 0; c < 257; ++c)
        wideHeader.append(QString::number(c));
    Rows tall(65536, {1});
    QTest::newRow("65536 data rows") << kSheet << QStringList{QStringLiteral("序号")} << tall
                                     << QStringLiteral("65536 行");
    QTest::newRow("257 columns in the header") << kSheet << wideHeader << Rows{} << QStringLiteral("257 列");
    QTest::newRow("257 cells in a row") << kSheet << QStringList{QStringLiteral("序号")}
                                        << Rows{{1}, QVector<QVariant>(257, 2)} << QStringLiteral("257 列");
    QTest::newRow("text of 32768 characters")
        << kSheet << QStringList{QStringLiteral("说明")} << Rows{{QString(32768, QLatin1Char('a'))}}
        << QStringLiteral("第 2 行第 1 列");
    QTest::newRow("header of 32768 characters")
        << kSheet << QStringList{QString(32768, QChar(u'学'))} << Rows{} << QStringLiteral("第 1 行第 1 列");
    QTest::newRow("empty sheet name") << QString() << QStringList() << Rows{} << QStringLiteral("工作表名称");
    QTest::newRow("sheet name of 32 characters")
        << QString(32, QChar(u'表')) << QStringList() << Rows{} << QStringLiteral("31 个字符");
    QTest::newRow("slash in the sheet name")
        << QStringLiteral("学分/数据") << QStringList() << Rows{} << QStringLiteral("“/”");
    QTest::newRow("sheet name ending in an apostrophe")
        << QStringLiteral("导出结果'") << QStringList() << Rows{} << QStringLiteral("单引号");
}

void TestBiffWriter::limitsAreRefusedWithoutWritingAFile() {
    QFETCH(QString, sheet);
    QFETCH(QStringList, header);
    QFETCH(Rows, rows);
    QFETCH(QString, message);

    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("学分不合格数据.xls"));
    try {
        BiffWriter::writeWorkbook(path, sheet, header, rows);
        QFAIL("no error");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().startsWith(QStringLiteral("无法写入工作簿“%1”").arg(path)),
                 qPrintable(e.message()));
        QVERIFY2(e.message().contains(message), qPrintable(e.message()));
    }
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList());
}

void TestBiffWriter::failureLeavesNoFile() {
    // A folder that does not exist.
    const QString missing = dir_.filePath(QStringLiteral("没有这个文件夹/学分不合格数据.xls"));
    try {
        BiffWriter::writeWorkbook(missing, kSheet, {QStringLiteral("考号")}, {{QStringLiteral("1")}});
        QFAIL("no error");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().contains(missing), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("不存在")), qPrintable(e.message()));
    }
    QVERIFY(!QFileInfo::exists(dir_.filePath(QStringLiteral("没有这个文件夹"))));

    // A target that cannot be replaced (a folder in its place): the
    // temporary file is gone afterwards and the folder untouched.
    QTemporaryDir folder;
    const QString blocked = folder.filePath(QStringLiteral("必修学分与选修学分之和不等于总学分数据.xls"));
    QVERIFY(QDir().mkdir(blocked));
    QVERIFY(QFile(blocked + QStringLiteral("/inside")).open(QIODevice::WriteOnly));
    QVERIFY_THROWS_EXCEPTION(DeskError,
                             BiffWriter::writeWorkbook(blocked, kSheet, {QStringLiteral("考号")}, {}));
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(blocked).fileName()});
    QVERIFY(QFileInfo(blocked).isDir());
    QCOMPARE(QDir(blocked).entryList(QDir::Files), QStringList{QStringLiteral("inside")});

    // A disk that fills up while the list is written: the earlier list stays
    // whole and the message says why.
    const QString earlier = folder.filePath(QStringLiteral("学分不合格数据.xls"));
    BiffWriter::writeWorkbook(earlier, kSheet, {QStringLiteral("考号")}, {{QStringLiteral("1")}});
    const QByteArray earlierBytes = [&] { QFile f(earlier); f.open(QIODevice::ReadOnly); return f.readAll(); }();
    {
        FaultInjection::FaultyFiles files;
        files.faults.diskSpace = 1000;
        try {
            BiffWriter::writeWorkbook(earlier, kSheet, {QStringLiteral("考号")}, {{QStringLiteral("2")}});
            QFAIL("a full disk was not told");
        } catch (const DeskError& e) {
            QVERIFY2(e.message().startsWith(QStringLiteral("无法写入工作簿“%1”").arg(earlier)) &&
                         e.message().contains(QStringLiteral("磁盘已满")),
                     qPrintable(e.message()));
        }
    }
    QFile kept(earlier);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), earlierBytes);
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(earlier).fileName()});
}

void TestBiffWriter::existingTargetIsReplaced() {
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("学分不合格数据.xls"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(100000, 'x'));
    }
    BiffWriter::writeWorkbook(path, kSheet, {QStringLiteral("总学分")}, {{144}});
    READ_WORKBOOK(book, path);
    compareRows(book.value("rows").toArray(),
                QJsonArray{QJsonArray{QStringLiteral("总学分")}, QJsonArray{144}});
    QCOMPARE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{QFileInfo(path).fileName()});
}

void TestBiffWriter::nonFiniteNumbersBecomeErrorCells() {
    // Numbers that Excel cannot hold show as #NUM! rather than as garbage.
    const QString path = target();
    BiffWriter::writeWorkbook(
        path, kSheet, {QStringLiteral("a"), QStringLiteral("b")},
        {{std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()}});
    READ_WORKBOOK(errors, path);
    const QJsonObject num{{QStringLiteral("error"), QStringLiteral("#NUM!")}};
    compareRows(errors.value("rows").toArray(),
                QJsonArray{QJsonArray{QStringLiteral("a"), QStringLiteral("b")}, QJsonArray{num, num}});
}

void TestBiffWriter::sixtyFiveThousandRowsAreQuick() {
    // The largest sheet of a typical export: 7 columns of texts and numbers.
    const QStringList header = {QStringLiteral("考号"),     QStringLiteral("姓名"),
                                QStringLiteral("性别"),     QStringLiteral("必修学分"),
                                QStringLiteral("选修学分"), QStringLiteral("总学分"),
                                QStringLiteral("备注")};
    Rows rows;
    rows.reserve(65535);
    for (int i = 0; i < 65535; ++i)
        rows.append({QStringLiteral("3201012008%1").arg(i, 5, 10, QLatin1Char('0')),
                     QStringLiteral("学生%1").arg(i % 5000),
                     i % 2 ? QStringLiteral("男") : QStringLiteral("女"), 100 + i % 30, 20.5 + i % 10, 144,
                     i % 10 ? QVariant() : QVariant(QStringLiteral("补考"))});
    QElapsedTimer timer;
    timer.start();
    BiffWriter::writeWorkbook(target(), kSheet, header, rows);
    const qint64 elapsed = timer.elapsed();
    qInfo("65535 x 7 written in %lld ms (%lld bytes)", elapsed, QFileInfo(target()).size());
    // Generous, for sanitizer builds; a quadratic slip would take far longer.
    QVERIFY2(elapsed < 10000, qPrintable(QString::number(elapsed)));

    READ_WORKBOOK(book, target());
    compareRows(book.value("rows").toArray(), expectedRows(header, rows));
}

void TestBiffWriter::columnsAreWideEnoughForTheirLongestText() {
    // ID numbers, long Chinese names, a column holding only a number, one
    // holding nothing: every used column fits its longest text, in
    // characters of the digit width (a Chinese character is two).
    const QStringList header = {QStringLiteral("身份证号"), QStringLiteral("姓名"), QStringLiteral("x"),
                                QString(), QStringLiteral("总学分")};
    const Rows rows = {
        {QStringLiteral("32010220000101123X"), QStringLiteral("欧阳娜娜娜娜"), qlonglong(1), QVariant(), 144.5},
        {QStringLiteral("1"), QStringLiteral("\U00020000"), QVariant(), QString(), qlonglong(-1234567890)},
    };
    BiffWriter::writeWorkbook(target(), kSheet, header, rows);
    READ_WORKBOOK(book, target());
    compareRows(book.value("rows").toArray(), expectedRows(header, rows));
    const QJsonArray cols = book.value("cols").toArray();
    QVERIFY2(cols.size() >= 5, "no column widths");
    const int longest[] = {18, 12, 1, -1, 11};
    for (int c = 0; c < 5; ++c) {
        if (longest[c] < 0) {
            QVERIFY(cols.at(c).isNull());
            continue;
        }
        const double width = cols.at(c).toDouble();
        QVERIFY2(width >= longest[c] && width >= 8 && width <= longest[c] + 8,
                 qPrintable(QStringLiteral("column %1 is %2 wide").arg(c).arg(width)));
    }
}

QTEST_GUILESS_MAIN(TestBiffWriter)
#include "test_biffwriter.moc"
