#include "BiffReader.h"
#include "DeskError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstring>

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

// A BIFF8 stream of one sheet: `globals` go after the BOF of the workbook,
// `cells` after the BOF of the sheet.
QByteArray workbook(const QByteArray& globals, const QByteArray& cells) {
    const QByteArray sheetName = QByteArray(1, 1) + QByteArray(1, 0) + "S";
    QByteArray book = record(0x0809, le16(0x0600) + le16(0x0005) + QByteArray(12, '\0')) + globals;
    const qsizetype sheetAt = book.size() + record(0x0085, le32(0) + le16(0) + sheetName).size() + 4;
    book += record(0x0085, le32(quint32(sheetAt)) + le16(0) + sheetName);
    book += record(0x000A, {});
    book += record(0x0809, le16(0x0600) + le16(0x0010) + QByteArray(12, '\0')) + cells;
    return book + record(0x000A, {});
}

// One sheet of LABELSST cells 0..count-1 in column A, with the shared string
// table given as record bodies (SST, then CONTINUE).
QByteArray sstWorkbook(const QVector<QByteArray>& sstParts, int count) {
    QByteArray globals = record(0x00FC, le32(quint32(count)) + le32(quint32(count)) + sstParts.first());
    for (qsizetype i = 1; i < sstParts.size(); ++i)
        globals += record(0x003C, sstParts.at(i));
    QByteArray cells;
    for (int r = 0; r < count; ++r)
        cells += record(0x00FD, le16(r) + le16(0) + le16(15) + le32(quint32(r)));
    return workbook(globals, cells);
}

QByteArray number(int row, int xf, double value) {
    QByteArray bits(8, '\0');
    std::memcpy(bits.data(), &value, 8);
    return record(0x0203, le16(row) + le16(0) + le16(xf) + bits);
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

    // Numbers as Excel shows them: General keeps to about 11 characters,
    // explicit formats round half away from zero, dates count 1900 as a
    // leap year; RK and MULRK cells go through the same formats.
    void numberFormats() {
        const QVector<QPair<int, QString>> formats = {
            {0, {}}, {1, {}}, {164, QStringLiteral("00")}, {165, QStringLiteral("0.0")},
            {14, {}}, {22, {}}, {10, {}}, {3, {}}, {20, {}},
            {166, QStringLiteral("yyyy\"年\"m\"月\"d\"日\"")}, {49, {}},
        };
        QByteArray globals;
        for (const auto& f : formats)
            if (!f.second.isEmpty())
                globals += record(0x041E, le16(f.first) + le16(int(f.second.size())) + QByteArray(1, 1) +
                                              QByteArray(reinterpret_cast<const char*>(f.second.utf16()),
                                                         f.second.size() * 2));
        for (const auto& f : formats)
            globals += record(0x00E0, le16(0) + le16(f.first) + QByteArray(16, '\0'));
        enum { General, Zero, TwoDigits, OneDecimal, Date, DateTime, Percent, Thousands, Time, Chinese, Text };
        const QVector<std::tuple<int, double, QString>> cases = {
            {General, 12345678901.0, "12345678901"},
            {General, 123456789012.0, "1.23457E+11"},
            {General, 1.0 / 3, "0.333333333"},
            {General, 123.456789012345, "123.456789"},
            {General, -2.5, "-2.5"},
            {General, 0.00001234, "1.234E-05"},
            {General, 0.0001234, "0.0001234"},
            {General, 1e100, "1E+100"},
            {Zero, -2.5, "-3"},
            {Zero, 1234567.0, "1234567"},
            {TwoDigits, 3, "03"},
            {OneDecimal, 0.05, "0.1"},
            {OneDecimal, 2, "2.0"},
            {Date, 60, "1900/2/29"},
            {Date, 61, "1900/3/1"},
            {DateTime, 40000.5, "2009/7/6 12:00"},
            {Percent, 0.1234, "12.34%"},
            {Thousands, 1234567, "1,234,567"},
            {Time, 0.75, "18:00"},
            {Chinese, 40000, "2009年7月6日"},
            {Text, 42, "42"},
        };
        QByteArray cells;
        for (int r = 0; r < cases.size(); ++r)
            cells += number(r, std::get<0>(cases.at(r)), std::get<1>(cases.at(r)));
        const int rk = int(cases.size());
        cells += record(0x027E, le16(rk) + le16(0) + le16(General) + le32(7u << 2 | 2));     // 7
        cells += record(0x00BD, le16(rk + 1) + le16(0) + le16(OneDecimal) + le32(314u << 2 | 3) +
                                    le16(TwoDigits) + le32(5u << 2 | 2) + le16(1));         // 3.14, 5
        cells += record(0x0201, le16(rk + 5) + le16(3) + le16(0));                          // formatted blank
        const BiffReader::Workbook wb = BiffReader::parse(workbook(globals, cells), QStringLiteral("t.xls"));
        for (int r = 0; r < cases.size(); ++r)
            QCOMPARE(wb.text(r, 0), std::get<2>(cases.at(r)));
        QCOMPARE(wb.text(rk, 0), QStringLiteral("7"));
        QCOMPARE(rowText(wb, rk + 1, 2), QStringList({"3.1", "05"}));
        // A formatted blank cell counts for the last row, as for Excel.
        QCOMPARE(wb.rowCount(), rk + 6);
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
            f.write(QByteArray(3000, 'x') + QByteArray(8, '\0')); // binary: no text table either
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
