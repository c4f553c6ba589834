#include "TextPrinter.h"

#include "ReadBack.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestTextPrinter : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { qunsetenv("DESK_PRINT_PDF"); }
    void cellsStandAtTheirByteColumns();
    void pageBreaks_data();
    void pageBreaks();
    void wideLinesAreCondensedOntoThePaper();

private:
    QTemporaryDir dir_;
    QString pdf_;
};

void TestTextPrinter::init() {
    pdf_ = dir_.filePath(QStringLiteral("text.pdf"));
    QFile::remove(pdf_);
    qputenv("DESK_PRINT_PDF", pdf_.toUtf8());
}

void TestTextPrinter::cellsStandAtTheirByteColumns() {
    // ASCII one byte, Chinese and the full-width space two, a character
    // beyond the BMP (a pair of UTF-16 units) four; form feeds take no cell.
    const auto cells = TextPrinter::cells(QStringLiteral("a学\u3000𠀋b\fc"));
    QStringList got;
    for (const TextPrinter::Cell& c : cells)
        got << QStringLiteral("%1@%2/%3").arg(c.text).arg(c.column).arg(c.bytes);
    QCOMPARE(got, (QStringList{"a@0/1", "学@1/2", "\u3000@3/2", "𠀋@5/4", "b@9/1", "c@11/1"}));
    // A lone surrogate is one cell of one byte (it is printed as '?').
    QCOMPARE(TextPrinter::cells(QString(QChar(0xD800)) + QStringLiteral("x")).at(1).column, 1);
}

void TestTextPrinter::pageBreaks_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("pages");
    const QString ff(QChar(12));
    QStringList sixtyOne;
    for (int i = 1; i <= 61; ++i)
        sixtyOne << QStringLiteral("第%1行").arg(i);
    QTest::newRow("none") << QStringList{} << 1;
    QTest::newRow("form feed ends a line") << QStringList{"一" + ff, "二"} << 2;
    QTest::newRow("form feed in a line") << QStringList{"一" + ff + "二"} << 2;
    QTest::newRow("form feed at the end") << QStringList{"一", "二" + ff} << 1;
    QTest::newRow("two form feeds") << QStringList{"一" + ff + ff, "三"} << 3;
    QTest::newRow("blank lines after a form feed") << QStringList{"一" + ff, "", "  "} << 1;
    QTest::newRow("61st line") << sixtyOne << 2;
    // After a form feed its line end takes the first line: 59 more fit the
    // page (a school's page after another's holds 60 lines), the next not.
    const QStringList afterFeed = QStringList{"x" + ff} + sixtyOne.mid(0, 59);
    QTest::newRow("60 lines after a form feed") << afterFeed << 2;
    QTest::newRow("61 lines after a form feed") << afterFeed + QStringList{"y"} << 3;
}

void TestTextPrinter::pageBreaks() {
    QFETCH(QStringList, lines);
    QFETCH(int, pages);
    {
        TextPrinter printer({QStringLiteral("行"), QString()});
        QCOMPARE(printer.linesPerPage(), 60);
        for (const QString& line : lines)
            printer.writeLine(line);
        QCOMPARE(printer.pagesPrinted(), pages);
        QCOMPARE(printer.pdfFile(), pdf_);
    } // ended by the destructor
    QCOMPARE(pdfPages(pdf_), pages);
}

void TestTextPrinter::wideLinesAreCondensedOntoThePaper() {
    // At 12 pt a byte is 6 pt wide: 84 bytes (the column header) fit between
    // the margins of A4 (10 and 5 mm), 120 bytes would end 150 pt past the paper.
    const QString fits = QString(84, QLatin1Char('x'));
    const QString wide = QStringLiteral("学校名称：") + QString(100, QLatin1Char('y')) + QStringLiteral("打印时间");
    {
        TextPrinter printer({QStringLiteral("行"), QString()});
        QCOMPARE(printer.condensation(84), 1.0);
        QVERIFY(printer.condensation(120) < 0.8);
        printer.writeLine(fits);
        printer.writeLine(wide);
        printer.end();
    }
    const QList<PdfWord> words = pdfWords(pdf_);
    QCOMPARE(words.size(), 2);
    const double left = 10 / 25.4 * 72, right = 595 - 5 / 25.4 * 72;
    // The fitting line keeps its columns; the wide one ends at the margin.
    QVERIFY2(qAbs(words[0].xMax - (left + 84 * 6)) < 4, qPrintable(QString::number(words[0].xMax)));
    QVERIFY2(words[1].xMax <= right + 1 && words[1].xMax > right - 8, qPrintable(QString::number(words[1].xMax)));
    QVERIFY(qAbs(words[1].xMin - left) < 4);
    QCOMPARE(words[1].text, wide);
}

QTEST_MAIN(TestTextPrinter)
#include "test_textprinter.moc"
