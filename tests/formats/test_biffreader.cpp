#include "BiffReader.h"
#include "DeskError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

// The fixtures come from tests/tools/makexls.mjs.
namespace {

const QString kFixtures = QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/xls/");

QStringList rowText(const BiffReader::Workbook& wb, int row, int columns) {
    QStringList out;
    for (int c = 0; c < columns; ++c)
        out << wb.text(row, c);
    return out;
}

QByteArray le16(int v) {
    return QByteArray(1, char(v & 0xFF)) + char((v >> 8) & 0xFF);
}
QByteArray le32(quint32 v) {
    return le16(int(v & 0xFFFF)) + le16(int(v >> 16));
}
QByteArray record(int id, const QByteArray& data) {
    return le16(id) + le16(int(data.size())) + data;
}

// A BIFF8 stream whose one sheet holds LABELSST cells 0..count-1 in column A,
// with the shared string table given as records (SST body, CONTINUE bodies).
QByteArray sstWorkbook(const QVector<QByteArray>& sstParts, int count) {
    const QByteArray bof = record(0x0809, le16(0x0600) + le16(0x0005) + QByteArray(12, '\0'));
    QByteArray sheetName = QByteArray(1, 1) + QByteArray(1, 0) + "S";
    QByteArray globals = bof;
    globals += record(0x00FC, le32(quint32(count)) + le32(quint32(count)) + sstParts.first());
    for (qsizetype i = 1; i < sstParts.size(); ++i)
        globals += record(0x003C, sstParts.at(i));
    const QByteArray boundSheetProbe = record(0x0085, le32(0) + le16(0) + sheetName);
    const qsizetype sheetAt = globals.size() + boundSheetProbe.size() + 4;
    globals += record(0x0085, le32(quint32(sheetAt)) + le16(0) + sheetName);
    globals += record(0x000A, {});
    QByteArray sheet = record(0x0809, le16(0x0600) + le16(0x0010) + QByteArray(12, '\0'));
    for (int r = 0; r < count; ++r)
        sheet += record(0x00FD, le16(r) + le16(0) + le16(15) + le32(quint32(r)));
    sheet += record(0x000A, {});
    return globals + sheet;
}

} // namespace

class TestBiffReader : public QObject {
    Q_OBJECT
private slots:
    // Both formats show the same texts: Chinese (BIFF5 in code page 936),
    // numbers through General/0/0.0/00/@, dates, booleans, errors, and
    // formula results of every kind. Both workbooks are small enough to sit
    // in the mini-stream of the compound file.
    void displayedTexts_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("BIFF8") << QStringLiteral("small-biff8.xls");
        QTest::newRow("BIFF5") << QStringLiteral("small-biff5.xls");
    }
    void displayedTexts() {
        QFETCH(QString, file);
        const BiffReader::Workbook wb = BiffReader::open(kFixtures + file);
        QCOMPARE(wb.sheetName(), QStringLiteral("考生"));
        // The used area is declared as 20 rows; only 3 hold cells.
        QCOMPARE(wb.rowCount(), 3);
        QCOMPARE(rowText(wb, 0, 10),
                 QStringList({"姓名", "学号", "成绩", "比例", "编号", "文本", "日期", "通过", "错误", "合计"}));
        QCOMPARE(rowText(wb, 1, 10), QStringList({"张三", "1.23457E+12", "42", "0.3", "07", "00123",
                                                  "2009-07-06", "TRUE", "#DIV/0!", "2"}));
        QCOMPARE(rowText(wb, 2, 10), QStringList({"李四", "0.123456789", "3", "2.5", "12", "x",
                                                  "2023/1/1", "FALSE", "#N/A", "TRUE"}));
        QCOMPARE(wb.text(3, 0), QString());
        QCOMPARE(wb.text(0, 10), QString());
        QCOMPARE(wb.text(-1, 0), QString());
        QCOMPARE(wb.text(70000, 300), QString());
    }

    // A workbook outside the mini-stream, its shared strings going on over
    // CONTINUE records.
    void largeWorkbook() {
        const BiffReader::Workbook wb = BiffReader::open(kFixtures + QStringLiteral("large-biff8.xls"));
        QCOMPARE(wb.sheetName(), QStringLiteral("名单"));
        QCOMPARE(wb.rowCount(), 501);
        const QString cycle = QStringLiteral("甲乙丙丁戊己庚辛壬癸");
        for (int i = 1; i <= 500; ++i) {
            QCOMPARE(wb.text(i, 0), QString::number(i));
            QCOMPARE(wb.text(i, 1), QStringLiteral("考生") + cycle.repeated(1 + i % 3) + QString::number(i));
        }
    }

    // A shared string split between records changes its width in the
    // CONTINUE record; formatting runs and phonetic data are skipped, also
    // when they go on in the next record.
    void sharedStringsAcrossRecords() {
        QByteArray first = le16(5) + QByteArray(1, 0x00) + "ab";                    // "ab..." 8-bit
        QByteArray second = QByteArray(1, 0x01) + le16(0x4E2D) + le16(0x6587) + le16('!'); // wide
        // Rich text with two runs and 6 bytes of phonetic data, split inside the runs.
        const QByteArray rich = le16(2) + QByteArray(1, 0x0C) + le16(2) + le32(6) + "xy" + le32(0);
        const QByteArray rest = le32(0) + QByteArray(6, 'p');
        const QByteArray plain = le16(1) + QByteArray(1, 0x00) + "z";
        const QByteArray stream = sstWorkbook({first, second + rich, rest + plain}, 3);
        const BiffReader::Workbook wb = BiffReader::parse(stream, QStringLiteral("t.xls"));
        QCOMPARE(wb.rowCount(), 3);
        QCOMPARE(wb.text(0, 0), QStringLiteral("ab中文!"));
        QCOMPARE(wb.text(1, 0), QStringLiteral("xy"));
        QCOMPARE(wb.text(2, 0), QStringLiteral("z"));
    }

    // Damaged files give a Chinese error naming the file, never a crash:
    // every cut of a real workbook stream, bytes overwritten, and files that
    // are no workbook at all.
    void damagedFiles() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto expectError = [](const QString& path) {
            try {
                BiffReader::open(path);
            } catch (const DeskError& e) {
                QVERIFY2(e.message().contains(path), qPrintable(e.message()));
                return;
            }
            QFAIL(qPrintable(QStringLiteral("no error for ") + path));
        };
        expectError(dir.filePath(QStringLiteral("缺少.xls")));
        const QString garbage = dir.filePath(QStringLiteral("garbage.xls"));
        {
            QFile f(garbage);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(3000, 'x'));
        }
        expectError(garbage);

        // Cutting the stream anywhere must fail cleanly or still give a
        // workbook; flipping bytes likewise.
        QFile f(kFixtures + QStringLiteral("small-biff8.xls"));
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray file = f.readAll();
        const QByteArray stream = sstWorkbook({le16(2) + QByteArray(1, 0) + "ok"}, 1);
        int failures = 0;
        for (qsizetype cut = 0; cut < stream.size(); ++cut) {
            try {
                BiffReader::parse(stream.left(cut), QStringLiteral("t.xls"));
            } catch (const DeskError& e) {
                QVERIFY(e.message().contains(QStringLiteral("t.xls")));
                ++failures;
            }
        }
        QCOMPARE(failures, int(stream.size()));
        for (qsizetype at = 0; at < stream.size(); ++at) {
            QByteArray bad = stream;
            bad[at] = char(0xFF);
            try {
                BiffReader::parse(bad, QStringLiteral("t.xls"));
            } catch (const DeskError&) {
            }
        }
        // A truncated compound file.
        const QString truncated = dir.filePath(QStringLiteral("截断.xls"));
        {
            QFile t(truncated);
            QVERIFY(t.open(QIODevice::WriteOnly));
            t.write(file.left(file.size() / 2));
        }
        expectError(truncated);
    }
};

QTEST_GUILESS_MAIN(TestBiffReader)
#include "test_biffreader.moc"
