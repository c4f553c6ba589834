#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "Database.h"
#include "DeliveredData.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "UnitDY_FS.h"
#include "UnitDY_FXQ.h"
#include "UnitDY_FXX.h"
#include "UnitMain.h"

#include "ReadBack.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPrinterInfo>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>


class TestCreditList : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuOpensTheWindows();
    void selections_data();
    void selections();
    void pagesOfThePrintedList();
    void emptySelection();
    void errorHalfWayEndsTheDocument();
    void noPrinterWritesAPdfInTheStation();
    void printedListIsSearchableAndOnThePaper();

private:
    void print(CreditListWindow* window, QStringList* lines = nullptr);
    QStringList printedSubNumbers(CreditListWindow* window);

    std::unique_ptr<QTemporaryDir> pdfDir_;
    QString pdf_;
    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
};

void TestCreditList::init() {
    pdfDir_ = std::make_unique<QTemporaryDir>();
    pdf_ = pdfDir_->filePath(QStringLiteral("list.pdf"));
    qputenv("DESK_PRINT_PDF", pdf_.toUtf8());
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
}

void TestCreditList::cleanup() {
    station_.reset();
    dialogs_.reset();
    folder_.reset();
    pdfDir_.reset();
    qunsetenv("DESK_PRINT_PDF");
}

void TestCreditList::print(CreditListWindow* window, QStringList* lines) {
    window->setTranscript(lines);
    button(window, "Button1")->click();
    window->setTranscript(nullptr);
}

QStringList TestCreditList::printedSubNumbers(CreditListWindow* window) {
    QStringList lines;
    print(window, &lines);
    QStringList subs;
    static const QRegularExpression student(QStringLiteral("^        (\\d{14}) "));
    for (const QString& line : lines) {
        const auto m = student.match(line);
        if (m.hasMatch())
            subs << m.captured(1);
    }
    return subs;
}

void TestCreditList::menuOpensTheWindows() {
    const QList<std::pair<const char*, CreditListWindow*>> items{
        {"N10", station_->FormDY_FS}, {"N11", station_->FormDY_FXQ}, {"N21", station_->FormDY_FXX}};
    QStringList captions;
    for (const auto& [item, window] : items) {
        whenShown(window, [&captions, window] {
            captions << window->windowTitle();
            window->reject();
        });
        control<QAction>(station_->MainForm, item)->trigger();
    }
    QCOMPARE(captions, (QStringList{"分市打印报表", "分县打印报表", "分校打印报表"}));
}

void TestCreditList::selections_data() {
    QTest::addColumn<int>("window");
    QTest::addColumn<QString>("edit1");
    QTest::addColumn<QString>("edit2");
    QTest::addColumn<QStringList>("printed");
    QTest::newRow("city") << 0 << " 01 " << "" << QStringList{"24010100010001", "24010100020001", "24010200010001"};
    QTest::newRow("county") << 1 << "0101" << "" << QStringList{"24010100010001", "24010100020001"};
    QTest::newRow("school") << 2 << "0101 " << " 0002" << QStringList{"24010100020001"};
    QTest::newRow("school, county only") << 2 << "0101" << "" << QStringList{};
    QTest::newRow("none") << 1 << "0103" << "" << QStringList{};
}

void TestCreditList::selections() {
    QFETCH(int, window);
    QFETCH(QString, edit1);
    QFETCH(QString, edit2);
    QFETCH(QStringList, printed);
    // Stored out of order; a code that only appears elsewhere in the number
    // (the school 0101 of county 0201) is not selected.
    addStudents(StationFolder::creditDb(), {{"24020101010001", "甲", "1", 1, 1, 2},
                                            {"24010200010001", "乙", "2", 1, 1, 2},
                                            {"24010100020001", "丙", "3", 1, 1, 2},
                                            {"24010100010001", "丁", "4", QVariant(), QVariant(), QVariant()},
                                            {"25020100010001", "戊", "5", 1, 1, 2}});
    CreditListWindow* const windows[] = {station_->FormDY_FS, station_->FormDY_FXQ, station_->FormDY_FXX};
    CreditListWindow* form = windows[window];
    edit(form, "Edit1")->setText(edit1);
    if (window == 2)
        edit(form, "Edit2")->setText(edit2);
    QCOMPARE(printedSubNumbers(form), printed);
    QCOMPARE(control<QLabel>(form, "Label2")->text(),
             printed.isEmpty() ? QStringLiteral("学生总数：0")
                               : QStringLiteral("学生总数：%1，已打印：%1").arg(printed.size()));
    QVERIFY(dialogs_->shown.isEmpty());
    QVERIFY(pdfPages(pdf_) >= 1);
    QVERIFY(button(form, "Button1")->isEnabled());
    QCOMPARE(FileProtection::formOf(StationFolder::creditDb()), FileProtection::Form::Protected);
    QCOMPARE(FileProtection::formOf(StationFolder::nameTableDb()), FileProtection::Form::Protected);
}

void TestCreditList::pagesOfThePrintedList() {
    QList<CreditStudent> students;
    for (int i = 1; i <= 51; ++i)
        students << CreditStudent{QStringLiteral("2401010001%1").arg(i, 4, 10, QChar('0')), "某某", "1", 1, 2, 3};
    students << CreditStudent{"24010100020001", "某某", "1", 1, 2, 3};
    addStudents(StationFolder::creditDb(), students);

    struct Case {
        QString county, school;
        int pages;
    };
    // The header block and 50 students fill one page; a 51st student and
    // another school each begin a new one, and no empty page follows the end.
    for (const Case& c : {Case{"0101", "0001", 2}, Case{"0101", "0002", 1}}) {
        edit(station_->FormDY_FXX, "Edit1")->setText(c.county);
        edit(station_->FormDY_FXX, "Edit2")->setText(c.school);
        print(station_->FormDY_FXX);
        QCOMPARE(pdfPages(pdf_), c.pages);
    }
    edit(station_->FormDY_FXQ, "Edit1")->setText("0101");
    print(station_->FormDY_FXQ);
    QCOMPARE(pdfPages(pdf_), 3);

    // Exactly 50: one page.
    QFile::remove(pdf_);
    {
        FileProtection::Lift lifted(StationFolder::creditDb());
        Connection(StationFolder::creditDb()).execute("delete from 学生表 where 学业水平测试副号 >= '24010100010051'");
    }
    print(station_->FormDY_FXQ);
    QCOMPARE(pdfPages(pdf_), 1);
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestCreditList::emptySelection() {
    edit(station_->FormDY_FS, "Edit1")->setText("09");
    QStringList lines;
    print(station_->FormDY_FS, &lines);
    QVERIFY(lines.isEmpty());
    QCOMPARE(pdfPages(pdf_), 1); // a job with no lines, ended
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestCreditList::errorHalfWayEndsTheDocument() {
    QList<CreditStudent> students;
    for (int unit = 1; unit <= 2; ++unit)
        for (int i = 1; i <= 3; ++i)
            students << CreditStudent{QStringLiteral("240101000%1%2").arg(unit).arg(i, 4, 10, QChar('0')), "某",
                                      "1", 1, 2, 3};
    addStudents(StationFolder::creditDb(), students);
    // The name table goes away while the first school prints: the second
    // school's name cannot be looked up.
    QTimer::singleShot(0, [] { QFile::remove(StationFolder::nameTableDb()); });
    edit(station_->FormDY_FXQ, "Edit1")->setText("0101");
    QStringList lines;
    print(station_->FormDY_FXQ, &lines);

    QCOMPARE(dialogs_->texts("error").size(), 1);
    QVERIFY2(dialogs_->texts("error").at(0).contains("XXBMB.mdb"), qPrintable(dialogs_->texts("error").at(0)));
    QCOMPARE(lines.size(), 9 + 3); // the first school only
    QCOMPARE(pdfPages(pdf_), 1);   // a finished document with what was printed
    QCOMPARE(control<QLabel>(station_->FormDY_FXQ, "Label2")->text(), QStringLiteral("学生总数：6，已打印：3"));
    QVERIFY(button(station_->FormDY_FXQ, "Button1")->isEnabled());
    QCOMPARE(FileProtection::formOf(StationFolder::creditDb()), FileProtection::Form::Protected);

    // The next print begins as usual.
    DeliveredData::layOutCreditStation(folder_->path(), unitsCsv());
    dialogs_->clear();
    lines.clear();
    print(station_->FormDY_FXQ, &lines);
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(lines.size(), 2 * (9 + 3));
    QCOMPARE(pdfPages(pdf_), 2);
}

void TestCreditList::noPrinterWritesAPdfInTheStation() {
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("a printer is installed here");
    qunsetenv("DESK_PRINT_PDF");
    addStudents(StationFolder::creditDb(), {{"24010100010001", "某", "1", 1, 2, 3}});
    edit(station_->FormDY_FXX, "Edit1")->setText("0101");
    edit(station_->FormDY_FXX, "Edit2")->setText("0001");
    print(station_->FormDY_FXX);
    print(station_->FormDY_FXX);
    const QStringList files = QDir(StationFolder::programFolder() + "打印").entryList({"*.pdf"}, QDir::Files);
    QCOMPARE(files.size(), 2); // a second print in the same second keeps the first
    const QStringList said = dialogs_->texts("message");
    QCOMPARE(said.size(), 2);
    for (const QString& file : files) {
        QVERIFY(file.startsWith("分校打印报表-"));
        const QString path = StationFolder::programFolder() + "打印/" + file;
        QCOMPARE(pdfPages(path), 1);
        QVERIFY(said.contains("没有安装打印机，学分一览表已保存为文件：" + QDir::toNativeSeparators(path)));
    }
}

void TestCreditList::printedListIsSearchableAndOnThePaper() {
    // A school of 16 characters and names whose characters the CJK fonts
    // share with radicals (高 ⾼, 黄 ⻩, 马 ⻢).
    const QString schoolName = QStringLiteral("高新技术产业开发区黄马实验高级中学");
    {
        FileProtection::Lift lifted(StationFolder::nameTableDb());
        Connection(StationFolder::nameTableDb())
            .execute(QStringLiteral("update 市县学校编码表 set 学校名称=:n where trim(市县编码)='0101' and trim(学校编码)='0001'"),
                     {{QStringLiteral(":n"), schoolName}});
    }
    addStudents(StationFolder::creditDb(), {{"24010100010001", "高黄马", "110101200001011234", 110, 30, 140},
                                            {"24010100010002", "马高", "110101200001011235", 110, 30, 140}});
    edit(station_->FormDY_FXX, "Edit1")->setText("0101");
    edit(station_->FormDY_FXX, "Edit2")->setText("0001");
    const QDate today = QDate::currentDate();
    print(station_->FormDY_FXX);
    QVERIFY(dialogs_->shown.isEmpty());

    const QString text = pdfText(pdf_);
    for (const QString& expected : {QStringLiteral("高黄马"), QStringLiteral("马高"), schoolName,
                                    QStringLiteral("学业水平测试副号")})
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
    // The print time with its date (of the day after, should the print
    // have crossed midnight).
    QVERIFY2(text.contains(QStringLiteral("打印时间：") + today.toString(QStringLiteral("yyyy-MM-dd "))) ||
                 text.contains(QStringLiteral("打印时间：") + QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd "))),
             qPrintable(text));
    // The school line, wider than the page, is drawn condensed onto it.
    const QList<PdfWord> words = pdfWords(pdf_);
    QVERIFY(!words.isEmpty());
    bool timeSeen = false;
    for (const PdfWord& w : words) {
        QVERIFY2(w.xMax <= w.pageWidth, qPrintable(QStringLiteral("%1 ends at %2").arg(w.text).arg(w.xMax)));
        timeSeen = timeSeen || w.text.contains(QStringLiteral("打印时间"));
    }
    QVERIFY(timeSeen);
}

QTEST_MAIN(TestCreditList)
#include "test_creditlist.moc"
