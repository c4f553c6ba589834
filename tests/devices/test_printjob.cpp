#include "DeskError.h"
#include "FaultInjection.h"
#include "PrintJob.h"

#include "ReadBack.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrinterInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

class TestPrintJob : public QObject {
    Q_OBJECT
private slots:
    void init() { qunsetenv("DESK_PRINT_PDF"); }
    void configuredPdfTakesThePages();
    void jobLeftWithoutEndIsStillAWholeDocument();
    void unwritableDestinationIsAnError();
    void failedWritesKeepTheEarlierFile_data();
    void failedWritesKeepTheEarlierFile();
    void fallbackFilesNeverReplaceOthers();
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

void TestPrintJob::failedWritesKeepTheEarlierFile_data() {
    QTest::addColumn<int>("pages");
    QTest::addColumn<qint64>("room");    // bytes the disk still takes (-1: no limit)
    QTest::addColumn<bool>("failSync");
    QTest::addColumn<QString>("refuse"); // renaming onto a name ending so is refused
    QTest::addColumn<QString>("reason");
    QTest::newRow("one page, disk full") << 1 << qint64(0) << false << QString() << QStringLiteral("磁盘已满");
    QTest::newRow("pages, full halfway") << 12 << qint64(150000) << false << QString() << QStringLiteral("磁盘已满");
    QTest::newRow("sync fails") << 1 << qint64(-1) << true << QString() << QStringLiteral("磁盘读写错误");
    QTest::newRow("rename refused") << 1 << qint64(-1) << false << QStringLiteral("列表.pdf")
                                    << QStringLiteral("没有权限");
}

void TestPrintJob::failedWritesKeepTheEarlierFile() {
    QFETCH(int, pages);
    QFETCH(qint64, room);
    QFETCH(bool, failSync);
    QFETCH(QString, refuse);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("列表.pdf"));
    QFile earlier(pdf);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    qputenv("DESK_PRINT_PDF", pdf.toUtf8());

    QString error;
    {
        FaultInjection::FaultyFiles faulty;
        faulty.faults.diskSpace = room;
        faulty.faults.failSync = failSync;
        faulty.faults.refuseReplacing = refuse;
        try {
            PrintJob job({QStringLiteral("列表"), QString()});
            // Pages of pictures that do not compress.
            QImage noise(400, 400, QImage::Format_RGB32);
            for (int page = 0; page < pages; ++page) {
                if (page > 0)
                    job.newPage();
                for (int y = 0; y < noise.height(); ++y)
                    for (int x = 0; x < noise.width(); ++x)
                        noise.setPixel(x, y, QRandomGenerator::global()->generate());
                job.painter().drawImage(QRect(100, 100, 2000, 2000), noise);
            }
            job.end();
        } catch (const DeskError& e) {
            error = e.message();
        }
    }
    // Said, with the reason and the file the user knows.
    QVERIFY2(error.contains(reason) && error.contains(QDir::toNativeSeparators(pdf)) && !error.contains(".part"),
             qPrintable(error));
    // The earlier file is whole, and nothing is left beside it.
    QFile kept(pdf);
    QVERIFY(kept.open(QIODevice::ReadOnly));
    QCOMPARE(kept.readAll(), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("列表.pdf")});
}

void TestPrintJob::fallbackFilesNeverReplaceOthers() {
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("a printer is installed here");
    QTemporaryDir dir;
    const QString name = PrintJob::timedPdfName(dir.filePath(QStringLiteral("打印")), QStringLiteral("存根"),
                                                QDateTime(QDate(2025, 6, 1), QTime(14, 3, 22)));
    QCOMPARE(name, dir.filePath(QStringLiteral("打印/存根-20250601-140322.pdf")));
    QStringList written;
    for (int i = 0; i < 3; ++i) {
        PrintJob job({QStringLiteral("存根"), name});
        QVERIFY(job.wentToFallback());
        job.painter().drawText(100, 100, QString::number(i));
        job.end();
        written << QFileInfo(job.pdfFile()).fileName();
    }
    QCOMPARE(written, (QStringList{"存根-20250601-140322.pdf", "存根-20250601-140322-2.pdf",
                                   "存根-20250601-140322-3.pdf"}));
    for (const QString& file : written)
        QCOMPARE(pdfPages(dir.filePath(QStringLiteral("打印/") + file)), 1);
}

QTEST_MAIN(TestPrintJob)
#include "test_printjob.moc"
