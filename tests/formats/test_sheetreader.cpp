// The workbook reading layer: what each kind of file shows, and damaged
// files of every kind. The fixtures come from tests/tools/makesheets.mjs
// (SheetJS) and makesheets.py (openpyxl, xlwt).
#include "DeskError.h"
#include "NumberFormat.h"
#include "SheetReader.h"
#include "Text.h"
#include "StoredZip.h"

#include <QFile>
#include <QStringEncoder>
#include <QtTest>

namespace {

const QString kFixtures = QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/workbooks/");

QStringList rowText(const Sheet& sheet, int row, int columns) {
    QStringList out;
    for (int c = 0; c < columns; ++c)
        out << (sheet.kind(row, c) == Sheet::Kind::Uncomputed ? QStringLiteral("?") : sheet.text(row, c));
    return out;
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestSheetReader : public QObject {
    Q_OBJECT
private slots:
    // .xlsx from two independent writers: shared and inline strings, rich
    // text without its phonetic guide, number formats, dates, booleans,
    // errors, formulas with and without results, IDs as text and as number,
    // characters beyond the BMP; hidden rows read like any other.
    void xlsxCells() {
        const Sheet js = SheetReader::open(kFixtures + QStringLiteral("cells-sheetjs.xlsx"));
        QCOMPARE(js.sheetName(), QStringLiteral("考生"));
        QCOMPARE(js.rowCount(), 3);
        QCOMPARE(rowText(js, 1, 10), QStringList({"𠮷䶮", "32010220000101126X", "42", "0.3", "07", "00123",
                                                  "2009-07-06", "TRUE", "#DIV/0!", "2"}));
        QCOMPARE(rowText(js, 2, 10), QStringList({"赵䶮", "3.20102E+17", "3", "2.5", "12", "x", "2023年1月1日",
                                                  "FALSE", "#N/A", "?"}));
        QCOMPARE(js.kind(2, 1), Sheet::Kind::Number);
        QCOMPARE(js.number(2, 1), 320102200001011264.0);

        const Sheet py = SheetReader::open(kFixtures + QStringLiteral("cells-openpyxl.xlsx"));
        QCOMPARE(py.rowCount(), 4);
        QCOMPARE(rowText(py, 1, 10), QStringList({"𠮷䶮", "32010220000101126X", "42", "0.3", "07", "00123",
                                                  "2009-07-06", "TRUE", "?", "张三 "}));
        QCOMPARE(rowText(py, 2, 10), QStringList({"赵䶮", "3.20102E+17", "3", "2.5", "12", "x", "2023年1月1日",
                                                  "FALSE", "?", ""}));
        // At most 15 significant digits, as the spreadsheet shows them.
        QCOMPARE(rowText(py, 3, 7), QStringList({"", "320102200001011000", "1,234,567", "5.0%", "3", "",
                                                 "2009/7/6 12:00"}));
        QCOMPARE(SheetReader::open(kFixtures + QStringLiteral("dates1904.xlsx")).text(1, 0), QStringLiteral("2009/7/6"));
    }

    // .ods shows the text the saving program stored; a number keeps its value.
    void odsCells() {
        const Sheet sheet = SheetReader::open(kFixtures + QStringLiteral("cells-sheetjs.ods"));
        QCOMPARE(sheet.sheetName(), QStringLiteral("考生"));
        QCOMPARE(sheet.rowCount(), 3);
        QCOMPARE(rowText(sheet, 1, 8), QStringList({"𠮷䶮", "32010220000101126X", "42", "0.25", "7", "00123",
                                                    "40000", "TRUE"}));
        QCOMPARE(sheet.kind(2, 1), Sheet::Kind::Number);
        QVERIFY(sheet.number(2, 1) > 1e17);

        // Formulas of a known type saved without their result are no damage.
        const auto formula = [](const char* type) {
            return "<table:table-cell table:formula=\"of:=1+2\" office:value-type=\"" + QByteArray(type) + "\"/>";
        };
        const Sheet uncomputed = SheetReader::read(
            StoredZip::make({{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                             {"content.xml",
                              "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                              "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\"><office:body>"
                              "<office:spreadsheet><table:table table:name=\"S\"><table:table-row>" +
                                  formula("float") + formula("currency") + formula("boolean") + formula("date") +
                                  "</table:table-row></table:table></office:spreadsheet></office:body>"
                                  "</office:document-content>"}}),
            QStringLiteral("公式.ods"));
        for (int column = 0; column < 4; ++column)
            QCOMPARE(uncomputed.kind(0, column), Sheet::Kind::Uncomputed);
    }

    // Empty sheets and sheets of headings only, in every packaged format.
    void emptyAndHeadingsOnly() {
        for (const char* name : {"empty.xlsx", "empty.ods"})
            QCOMPARE(SheetReader::open(kFixtures + QLatin1String(name)).rowCount(), 0);
        for (const char* name : {"headings.xlsx", "headings.ods"}) {
            const Sheet sheet = SheetReader::open(kFixtures + QLatin1String(name));
            QCOMPARE(sheet.rowCount(), 1);
            QCOMPARE(sheet.text(0, 7), QStringLiteral("班级"));
        }
    }

    // CSV: the separator the first line uses, quoted fields with separators,
    // doubled quotes and line breaks, every encoding a school's files come in.
    void csvText() {
        const QString text = QStringLiteral("号\t名,字\t备注\r\n1\t\"甲\t乙\"\t\"说\"\"话\"\"\n第二行\"\r\n\t\t𠮷\n");
        QStringEncoder gb("GB18030");
        const QByteArray gbBytes = gb.encode(text);
        QStringEncoder utf16(QStringEncoder::Utf16LE, QStringEncoder::Flag::WriteBom);
        const QList<QByteArray> encodings{text.toUtf8(), "\xEF\xBB\xBF" + text.toUtf8(), gbBytes,
                                          QByteArray(utf16.encode(text))};
        for (const QByteArray& bytes : encodings) {
            const Sheet sheet = SheetReader::read(bytes, QStringLiteral("t.csv"));
            QCOMPARE(sheet.rowCount(), 3);
            QCOMPARE(rowText(sheet, 0, 3), QStringList({"号", "名,字", "备注"}));
            QCOMPARE(rowText(sheet, 1, 3), QStringList({"1", "甲\t乙", "说\"话\"\n第二行"}));
            QCOMPARE(rowText(sheet, 2, 3), QStringList({"", "", "𠮷"}));
        }
        QCOMPARE(SheetReader::read("a,b\n", QStringLiteral("t.csv")).text(0, 1), QStringLiteral("b"));
    }

    // HTML tables: the first table, spans taking their room, white space as
    // a browser shows it, a declared encoding.
    void htmlTables() {
        const QByteArray page =
            "<html><head><meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"></head><body>"
            "<table><thead><tr><th colspan=\"2\">\xD0\xD5 \xC3\xFB</th><th>\xB0\xE0</th></tr></thead>"
            "<tbody><tr><td rowspan=\"2\">A</td><td>&nbsp;</td><td> 3\n</td></tr>"
            "<tr><td>B<br>C</td><td><table><tr><td>inner</td></tr></table></td></tr></tbody></table>"
            "<table><tr><td>second</td></tr></table></body></html>";
        const Sheet sheet = SheetReader::read(page, QStringLiteral("web.xls"));
        QCOMPARE(sheet.rowCount(), 3);
        QCOMPARE(rowText(sheet, 0, 3), QStringList({"姓 名", "", "班"}));
        QCOMPARE(rowText(sheet, 1, 3), QStringList({"A", "", "3"}));
        QCOMPARE(rowText(sheet, 2, 3), QStringList({"", "BC", "inner"}));

        // A page declared GB2312 or GBK holding characters beyond it (喆, 䶮),
        // or declared UTF-8 but saved in GB18030, keeps them and every row
        // after them.
        for (const char* charset : {"gb2312", "GBK", "utf-8"}) {
            const QByteArray names = "<html><head><meta charset=\"" + QByteArray(charset) + "\"></head><table>" +
                                     Gb18030::encode(QStringLiteral("<tr><td>赵喆</td></tr><tr><td>王䶮</td></tr>"
                                                                    "<tr><td>末行</td></tr></table></html>"));
            const Sheet declared = SheetReader::read(names, QStringLiteral("web.xls"));
            QCOMPARE(declared.rowCount(), 3);
            QCOMPARE(declared.text(0, 0) + declared.text(1, 0) + declared.text(2, 0), QStringLiteral("赵喆王䶮末行"));
        }
        // A page saved as UTF-16 (web systems' "Unicode" export).
        const QString page16 = QStringLiteral("<html><head><meta charset=\"utf-16\"></head><table>\r\n"
                                              "<tr><td>赵喆</td><td>王䶮</td></tr></table></html>");
        const QByteArray little = QByteArray("\xFF\xFE") +
                                  QByteArray(reinterpret_cast<const char*>(page16.utf16()), page16.size() * 2);
        const Sheet wide = SheetReader::read(little, QStringLiteral("web.xls"));
        QCOMPARE(rowText(wide, 0, 2), QStringList({"赵喆", "王䶮"}));
    }

    // Damaged files of every kind give a Chinese message naming the file or
    // still give a sheet; never a crash. Every cut of each file is tried, and
    // bytes overwritten across it.
    void damagedFiles_data() {
        QTest::addColumn<QString>("file");
        for (const char* name : {"cells-openpyxl.xlsx", "cells-sheetjs.xlsx", "cells-sheetjs.ods", "rows-xlwt.xls",
                                 "classlist-web.xls", "classlist-gb18030.csv"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void damagedFiles() {
        QFETCH(QString, file);
        const QByteArray whole = bytesOf(kFixtures + file);
        QVERIFY(whole.size() > 100);
        const QString name = QStringLiteral("坏/") + file;
        int refused = 0;
        const auto attempt = [&](const QByteArray& bytes) {
            try {
                SheetReader::read(bytes, name);
            } catch (const DeskError& e) {
                QVERIFY2(e.message().contains(name), qPrintable(e.message()));
                ++refused;
            }
        };
        const qsizetype step = std::max<qsizetype>(1, whole.size() / 400);
        for (qsizetype cut = 0; cut < whole.size(); cut += step)
            attempt(whole.left(cut));
        for (qsizetype at = 0; at < whole.size(); at += step) {
            QByteArray bad = whole;
            bad[at] = char(bad[at] ^ 0x5A);
            attempt(bad);
        }
        // Packages and compound files cut anywhere are refused as damaged.
        if (!file.endsWith(QLatin1String(".csv")) && file != QLatin1String("classlist-web.xls"))
            QVERIFY(refused > 0);
    }

    // A part the package lists but whose entry is damaged makes the file
    // damaged: read as missing, the styles would show dates as numbers.
    void unreadablePartIsDamage() {
        QByteArray book = bytesOf(kFixtures + QStringLiteral("dates1904.xlsx"));
        const qsizetype name = book.indexOf("xl/styles.xml");
        QVERIFY(name > 30 && book.mid(name - 30, 4) == "PK\x03\x04");
        book[name - 30] = 'X'; // the entry's own header
        try {
            const Sheet sheet = SheetReader::read(book, QStringLiteral("日期.xlsx"));
            QFAIL(qPrintable(QStringLiteral("read as %1").arg(sheet.text(1, 0))));
        } catch (const DeskError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("已损坏")), qPrintable(e.message()));
        }
    }

    // Repeated rows and cells unfold as the spreadsheet shows them, but a
    // few hundred bytes that claim millions of filled cells are refused at
    // once instead of taking minutes and gigabytes.
    void repeatsUnfoldWithinReason() {
        const auto ods = [](const QByteArray& rows) {
            return StoredZip::make(
                {{"mimetype", "application/vnd.oasis.opendocument.spreadsheet"},
                 {"content.xml",
                  "<office:document-content xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\" "
                  "xmlns:table=\"urn:oasis:names:tc:opendocument:xmlns:table:1.0\" "
                  "xmlns:text=\"urn:oasis:names:tc:opendocument:xmlns:text:1.0\"><office:body><office:spreadsheet>"
                  "<table:table table:name=\"S\">" +
                      rows + "</table:table></office:spreadsheet></office:body></office:document-content>"}});
        };
        const QByteArray filled = "<table:table-cell office:value-type=\"float\" office:value=\"1\"><text:p>1</text:p>"
                                  "</table:table-cell>";
        const Sheet sheet = SheetReader::read(
            ods("<table:table-row table:number-rows-repeated=\"2\">" +
                QByteArray(filled).replace("<table:table-cell ", "<table:table-cell table:number-columns-repeated=\"3\" ") +
                "</table:table-row>"),
            QStringLiteral("重复.ods"));
        QCOMPARE(sheet.rowCount(), 2);
        QCOMPARE(rowText(sheet, 1, 4), QStringList({"1", "1", "1", ""}));

        const QByteArray bomb =
            ods("<table:table-row table:number-rows-repeated=\"1048576\">" +
                QByteArray(filled).replace("<table:table-cell ", "<table:table-cell table:number-columns-repeated=\"19\" ") +
                "</table:table-row>");
        QVERIFY(bomb.size() < 1000);
        try {
            SheetReader::read(bomb, QStringLiteral("炸弹.ods"));
            QFAIL("twenty million claimed cells were unfolded");
        } catch (const DeskError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("炸弹.ods")) && e.message().contains(QStringLiteral("已损坏")),
                     qPrintable(e.message()));
        }
    }

    // Files that are no workbook at all, and the messages the user sees.
    void notWorkbooks() {
        const auto message = [](const QByteArray& bytes) {
            try {
                SheetReader::read(bytes, QStringLiteral("名单.xls"));
            } catch (const DeskError& e) {
                return e.message();
            }
            return QString();
        };
        const QString binary = message(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
        QVERIFY2(binary.contains(QStringLiteral("不是可以导入的工作簿")) && binary.contains(QStringLiteral(".xlsx")),
                 qPrintable(binary));
        QVERIFY(message("PK\x03\x04 not a package at all").contains(QStringLiteral("名单.xls")));
        QVERIFY(message(QByteArray()).contains(QStringLiteral("是空的")));
        // A spreadsheet saved as XML (often named .xls) is no CSV text.
        for (const char* xml : {"\xEF\xBB\xBF<?xml version=\"1.0\"?>\r\n<Workbook xmlns=\"urn:schemas-microsoft-com:"
                                "office:spreadsheet\">\r\n<Worksheet><Table><Row><Cell><Data ss:Type=\"String\">"
                                "学业水平测试号</Data></Cell></Row>\r\n<Row><Cell><Data>091001000110001</Data></Cell>"
                                "</Row></Table></Worksheet></Workbook>\r\n",
                                "<office:document xmlns:office=\"urn:oasis:names:tc:opendocument:xmlns:office:1.0\">\n"
                                "<office:body>\n</office:body></office:document>\n"})
            QVERIFY2(message(xml).contains(QStringLiteral("不是可以导入的工作簿")), xml);
        QVERIFY(message(QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(600, '\0'))
                    .contains(QStringLiteral("已损坏")));
        try {
            SheetReader::open(QStringLiteral("/没有/这个.xlsx"));
            QFAIL("a missing file was read");
        } catch (const DeskError& e) {
            QVERIFY(e.message().contains(QStringLiteral("/没有/这个.xlsx")));
        }
    }

    // Explicit formats keep 15 significant digits; General and text formats
    // keep their own rules.
    void fifteenSignificantDigits() {
        QCOMPARE(NumberFormat::text(320102200001011264.0, QStringLiteral("0"), false),
                 QStringLiteral("320102200001011000"));
        QCOMPARE(NumberFormat::text(123456789012345678.0, QStringLiteral("0"), false),
                 QStringLiteral("123456789012346000"));
        QCOMPARE(NumberFormat::text(-1234567890123456.7, QStringLiteral("#,##0"), false),
                 QStringLiteral("-1,234,567,890,123,460"));
        QCOMPARE(NumberFormat::text(320102200001011264.0, QStringLiteral("General"), false),
                 QStringLiteral("3.20102E+17"));
        QCOMPARE(NumberFormat::text(123456789012345.0, QStringLiteral("0"), false),
                 QStringLiteral("123456789012345"));
    }
};

QTEST_GUILESS_MAIN(TestSheetReader)
#include "test_sheetreader.moc"
