#include "DeskError.h"
#include "PrintJob.h"

#include "ReadBack.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestPrintJob : public QObject {
    Q_OBJECT
private slots:
    void init() { qunsetenv("DESK_PRINT_PDF"); }
    void configuredPdfTakesThePages();
    void jobLeftWithoutEndIsStillAWholeDocument();
    void unwritableDestinationIsAnError();
};

void TestPrintJob::configuredPdfTakesThePages() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("列表.pdf"));
    qputenv("DESK_PRINT_PDF", pdf.toUtf8());
    PrintJob job({QStringLiteral("学分一览表"), dir.filePath(QStringLiteral("unused.pdf"))});
    QCOMPARE(job.pdfFile(), pdf);
    QCOMPARE(job.dpiX(), 600);
    QCOMPARE(job.dpiY(), 600);
    QCOMPARE(job.offsetY(), 0); // a PDF page has no unprintable edge
    // A4 at 600 dpi, margins at nothing.
    QVERIFY(qAbs(job.printableSize().width() - 4961) <= 5); // 210 mm, as Qt rounds A4 to points
    job.painter().drawText(100, 100, QStringLiteral("第一页"));
    job.newPage();
    job.painter().drawText(100, 100, QStringLiteral("第二页"));
    job.end();
    job.end(); // a second end changes nothing
    QCOMPARE(pdfPages(pdf), 2);
    QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("unused.pdf"))));
}

void TestPrintJob::jobLeftWithoutEndIsStillAWholeDocument() {
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("a.pdf"));
    qputenv("DESK_PRINT_PDF", pdf.toUtf8());
    try {
        PrintJob job({QStringLiteral("a"), QString()});
        job.painter().drawText(100, 100, QStringLiteral("已画的"));
        throw DeskError(QStringLiteral("中途出错"));
    } catch (const DeskError&) {
    }
    QCOMPARE(pdfPages(pdf), 1);
    // The next print begins as usual.
    PrintJob again({QStringLiteral("b"), QString()});
    again.end();
    QCOMPARE(pdfPages(pdf), 1);
}

void TestPrintJob::unwritableDestinationIsAnError() {
    QTemporaryDir dir;
    QFile blocker(dir.filePath(QStringLiteral("file")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    qputenv("DESK_PRINT_PDF", dir.filePath(QStringLiteral("file/sub/out.pdf")).toUtf8());
    QVERIFY_THROWS_EXCEPTION(DeskError, PrintJob({QStringLiteral("x"), QString()}));
}

QTEST_MAIN(TestPrintJob)
#include "test_printjob.moc"
