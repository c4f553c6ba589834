#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "Database.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "ReadBack.h"
#include "StationFolder.h"
#include "UnitSJDC.h"
#include "FaultInjection.h"
#include "Unitsjdcbg.h"

#include <QComboBox>
#include <cmath>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QLabel>
#include <QPointer>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

using FileProtection::Form;

namespace {

// What the check report showed during one export.
struct Report {
    bool shown = false;
    QStringList counts; // lzsj, lbhg, lbdy
    QStringList failing, inconsistent;
    Form creditDbForm = Form::Missing;
};

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList subsOf(const DbGrid* grid) {
    const QAbstractItemModel* m = grid->model();
    QStringList subs;
    for (int r = 0; r < m->rowCount(); ++r)
        subs << m->data(m->index(r, 1)).toString(); // 学业水平测试副号
    return subs;
}

// The boundary students of school 0101/0001, and one of another school.
const QList<CreditStudent> boundaryStudents{
    {"09010100010001", "合格", "1", 116, 28, 144},     {"09010100010002", "不合格", "2", 115, 28, 143},
    {"09010100010003", "总分不符", "3", 120, 30, 144}, {"09010100010004", "两项都有", "4", 100, 20, 144},
    {"09010100010005", "未录入", "5", {}, {}, {}},     {"09010100010006", "缺必修", "6", {}, 20, 150},
    {"09010100020001", "别校", "7", 10, 10, 10},
};

} // namespace

class TestCreditExport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showingResetsTheWindow();
    void requiredCodes_data();
    void requiredCodes();
    void defaultNameAndCancel_data();
    void defaultNameAndCancel();
    void selectionPerLevel_data();
    void selectionPerLevel();
    void existingTargetIsRefused();
    void failurePartWayLeavesNothing();
    void reportCountsAndLists();
    void emptyExport();
    void excelExports();
    void xlsxListsEqualTheXlsLists();
    void failedWorkbookKeepsTheOldOne();
    void leftoversOfInterruptedExportsAreRemoved();
    void fullDiskNamesTheExchangeFile();

private:
    // Runs one export as the user would; the report is closed once seen.
    Report runExport(int level, const QString& county, const QString& school, const QString& target,
                     const std::function<void()>& whileReportShows = {});
    QStringList leftovers() const { return QDir(out_.path()).entryList(QDir::Files | QDir::Hidden); }

    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
    QTemporaryDir out_;
    QTemporaryDir cwd_;
    QString oldCwd_;
};

void TestCreditExport::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
    ProgramValues::reset();
    for (const QString& f : leftovers())
        QFile::remove(out_.filePath(f));
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(cwd_.path());
}

void TestCreditExport::cleanup() {
    QDir::setCurrent(oldCwd_);
    station_.reset();
    dialogs_.reset();
    folder_.reset();
}

Report TestCreditExport::runExport(int level, const QString& county, const QString& school,
                                   const QString& target, const std::function<void()>& whileReportShows) {
    TFormSJDC* form = station_->FormSJDC;
    ProgramValues::ExportLevel = level;
    form->FormShow();
    edit(form, level == 1 ? "Edit3" : "Edit1")->setText(county); // a city code at level 1
    edit(form, "Edit2")->setText(school);
    if (!target.isNull())
        dialogs_->files << target;
    Report report;
    Tsjdcbgfrm* window = station_->sjdcbgfrm;
    const QPointer<QTimer> watch = whenShown(window, [&] {
        report.shown = true;
        for (const char* name : {"lzsj", "lbhg", "lbdy"})
            report.counts << control<QLabel>(window, name)->text();
        report.failing = subsOf(control<DbGrid>(window, "DBGrid1"));
        report.inconsistent = subsOf(control<DbGrid>(window, "DBGrid2"));
        report.creditDbForm = FileProtection::formOf(StationFolder::creditDb());
        if (whileReportShows)
            whileReportShows();
        button(window, "BitBtn1")->click();
    });
    button(form, "Button1")->click();
    delete watch;
    // However it ended, the button is ready again and both files are protected.
    QTest::qVerify(button(form, "Button1")->isEnabled(), "Button1 enabled", "", __FILE__, __LINE__);
    QTest::qCompare(button(form, "Button1")->text(), QStringLiteral("数据导出"), "caption", "", __FILE__,
                    __LINE__);
    QTest::qVerify(FileProtection::formOf(StationFolder::creditDb()) != Form::Plain,
                   "credit database protected", "", __FILE__, __LINE__);
    return report;
}

void TestCreditExport::showingResetsTheWindow() {
    TFormSJDC* form = station_->FormSJDC;
    for (int level : {1, 2, 3}) {
        for (const char* name : {"Edit1", "Edit2", "Edit3"})
            edit(form, name)->setText(QStringLiteral("12"));
        button(form, "Button1")->setEnabled(false);
        ProgramValues::ExportLevel = level;
        form->show();
        QVERIFY(QTest::qWaitForWindowExposed(form));
        QCOMPARE(edit(form, "Edit3")->isEnabled(), level == 1);
        QCOMPARE(edit(form, "Edit1")->isEnabled(), level >= 2);
        QCOMPARE(edit(form, "Edit2")->isEnabled(), level == 3);
        QCOMPARE(form->focusWidget(), edit(form, level == 1 ? "Edit3" : "Edit1"));
        for (const char* name : {"Edit1", "Edit2", "Edit3"})
            QVERIFY(edit(form, name)->text().isEmpty());
        QVERIFY(button(form, "Button1")->isEnabled());
        form->hide();
    }
}

void TestCreditExport::requiredCodes_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("school");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QByteArray>("focus");
    QTest::newRow("city blank") << 1 << " \t"
                                << ""
                                << "市区代码不可为空！" << QByteArray("Edit3");
    QTest::newRow("county empty") << 2 << ""
                                  << ""
                                  << "县区代码不可为空！" << QByteArray("Edit1");
    QTest::newRow("school missing") << 3 << "0101"
                                    << ""
                                    << "县区代码或学校代码不可为空！" << QByteArray("Edit2");
    QTest::newRow("county missing") << 3 << ""
                                    << "0002"
                                    << "县区代码或学校代码不可为空！" << QByteArray("Edit2");
}

void TestCreditExport::requiredCodes() {
    QFETCH(int, level);
    QFETCH(QString, county);
    QFETCH(QString, school);
    QFETCH(QString, message);
    QFETCH(QByteArray, focus);
    runExport(level, county, school, QString());
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{message});
    QCOMPARE(dialogs_->shown.size(), 1); // no save dialog
    QCOMPARE(station_->FormSJDC->focusWidget(), edit(station_->FormSJDC, focus.constData()));
}

void TestCreditExport::defaultNameAndCancel_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("school");
    QTest::addColumn<QString>("name");
    QTest::newRow("city") << 1 << "01"
                          << ""
                          << "01学分数据.mdb";
    QTest::newRow("county, trimmed") << 2 << " 12 "
                                     << ""
                                     << "12学分数据.mdb";
    QTest::newRow("school") << 3 << "0101"
                            << "0002"
                            << "01010002学分数据.mdb";
}

void TestCreditExport::defaultNameAndCancel() {
    QFETCH(int, level);
    QFETCH(QString, county);
    QFETCH(QString, school);
    QFETCH(QString, name);
    addStudents(StationFolder::creditDb(), boundaryStudents);
    const Report report = runExport(level, county, school, QString()); // the save dialog is cancelled
    QCOMPARE(dialogs_->shown.size(), 1);
    QCOMPARE(dialogs_->shown.at(0).kind, QStringLiteral("save"));
    QCOMPARE(dialogs_->shown.at(0).caption, QStringLiteral("Microsoft Office Access数据库 (*.mdb)|*.mdb"));
    QCOMPARE(dialogs_->shown.at(0).extra, QStringLiteral("mdb|") + name);
    // Cancelled: nothing written anywhere, nothing shown.
    QVERIFY(!report.shown);
    QVERIFY(QDir(cwd_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    QVERIFY(ProgramValues::ExportWhere.isEmpty());
}

void TestCreditExport::selectionPerLevel_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("school");
    QTest::addColumn<QStringList>("expected");
    QTest::addColumn<QString>("where");
    // Stored order: C, A, E, B, G, D.
    QTest::newRow("school") << 3 << "0101"
                            << "0002" << QStringList{"09010100020002", "09010100020001"}
                            << " from 学生表 where substr(学业水平测试副号,3,8) COLLATE NOCASE='01010002'";
    QTest::newRow("county") << 2 << "0101"
                            << "" << QStringList{"09010100020002", "09010100010001", "09010100020001"}
                            << " from 学生表 where substr(学业水平测试副号,3,4) COLLATE NOCASE='0101'";
    QTest::newRow("city: every county") << 1 << "01"
                                        << ""
                                        << QStringList{"09010100020002", "09010100010001", "09010100020001",
                                                       "09010200020001", "09010200010001"}
                                        << " from 学生表 where substr(学业水平测试副号,3,2) COLLATE NOCASE='01'";
    // Codes compare without regard to ASCII case, as typed on either side.
    QTest::newRow("school, other case") << 3 << "AB01"
                                        << "0002" << QStringList{"09ab0100020001"}
                                        << " from 学生表 where substr(学业水平测试副号,3,8) COLLATE NOCASE='AB010002'";
    QTest::newRow("city, other case") << 1 << "aB"
                                      << "" << QStringList{"09ab0100020001"}
                                      << " from 学生表 where substr(学业水平测试副号,3,2) COLLATE NOCASE='aB'";
    QTest::newRow("quote in a code") << 2 << "01'1"
                                     << "" << QStringList{}
                                     << " from 学生表 where substr(学业水平测试副号,3,4) COLLATE NOCASE='01''1'";
}

void TestCreditExport::selectionPerLevel() {
    QFETCH(int, level);
    QFETCH(QString, county);
    QFETCH(QString, school);
    QFETCH(QStringList, expected);
    QFETCH(QString, where);
    const QString db = StationFolder::creditDb();
    addStudents(db, {{"09010100020002", "C'Neil", " 3 ", {}, {}, {}},
                     {"09010100010001", " 李 四 ", "1", 120, {}, 100},
                     {"09020100010001", "E", "5", 0, 0, 0},
                     {"09010100020001", "B", "2", 120, 30, 150},
                     {"09010200020001", "G", "7", 120, 30, 150},
                     {"09010200010001", "D", "4", 120, 30, 150},
                     {"09ab0100020001", "H", "8", 120, 30, 150}});
    const QString target = out_.filePath(QStringLiteral("交换.mdb"));
    const Report report = runExport(level, county, school, target);
    QVERIFY(dialogs_->texts(QStringLiteral("error")).isEmpty());
    QVERIFY(report.shown);
    QCOMPARE(report.counts.at(0), QString::number(expected.size()));
    QCOMPARE(report.creditDbForm, Form::Plain); // lifted while the report reads it
    QCOMPARE(ProgramValues::ExportWhere, where);
    QCOMPARE(ProgramValues::CreditDbPath, db);

    // The exchange file: protected, its own layout, numbered from 1 in the
    // stored order, texts as they stand, null credits null.
    QCOMPARE(FileProtection::formOf(target), Form::Protected);
    QCOMPARE(leftovers(), QStringList{QStringLiteral("交换.mdb")});
    const auto rows = selectRows(target, QStringLiteral("select * from 学生表 order by 序号"));
    QStringList subs;
    for (int i = 0; i < rows.size(); ++i) {
        QCOMPARE(rows[i].size(), 7);
        QCOMPARE(rows[i][0].toInt(), i + 1);
        subs << rows[i][1].toString();
    }
    QCOMPARE(subs, expected);
    if (QTest::currentDataTag() == QLatin1String("county")) {
        QCOMPARE(rows[0][2].toString(), QStringLiteral("C'Neil"));
        QCOMPARE(rows[0][3].toString(), QStringLiteral(" 3 "));
        QVERIFY(rows[0][4].isNull() && rows[0][5].isNull() && rows[0][6].isNull());
        QCOMPARE(rows[1][2].toString(), QStringLiteral(" 李 四 "));
        QCOMPARE(rows[1][4], QVariant(120LL));
        QVERIFY(rows[1][5].isNull());
        QCOMPARE(rows[1][6], QVariant(100LL)); // a total that is not the sum, unchanged
    }
}

void TestCreditExport::existingTargetIsRefused() {
    addStudents(StationFolder::creditDb(), boundaryStudents);
    const QString target = out_.filePath(QStringLiteral("0101学分数据.mdb"));
    QFile f(target);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("an earlier submission");
    f.close();
    QVERIFY(!runExport(2, "0101", "", target).shown);
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(target) && errors[0].contains(QStringLiteral("已存在")),
             qPrintable(errors[0]));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("an earlier submission"));
    QCOMPARE(leftovers(), QStringList{QStringLiteral("0101学分数据.mdb")});
}

void TestCreditExport::failurePartWayLeavesNothing() {
    // A credit database whose 姓名 takes longer names than the exchange file:
    // the copy stops at the third student and leaves no file at all.
    const QString db = StationFolder::creditDb();
    QFile::remove(db);
    Connection::createFile(db);
    Connection(db).execute(
        QStringLiteral("create table 学生表(学业水平测试副号 text, 姓名 text, 身份证号 text, "
                       "必修学分 integer, 选修学分 integer, 总学分 integer)"));
    FileProtection::protect(db);
    addStudents(db, {{"09010100010001", "甲", "1", 120, 30, 150},
                     {"09010100010002", "乙", "2", 120, 30, 150},
                     {"09010100010004", "一个特别特别长的名字啊", "4", 120, 30, 150},
                     {"09010100010005", "戊", "5", 120, 30, 150}});
    QVERIFY(!runExport(2, "0101", "", out_.filePath(QStringLiteral("0101学分数据.mdb"))).shown);
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("姓名")), qPrintable(errors[0]));
    QVERIFY2(leftovers().isEmpty(), qPrintable(leftovers().join(QLatin1Char(' '))));

    // A folder that does not exist: the error, nothing written.
    QVERIFY(!runExport(2, "0101", "", out_.filePath(QStringLiteral("无此文件夹/0101学分数据.mdb"))).shown);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 2);
}

void TestCreditExport::reportCountsAndLists() {
    addStudents(StationFolder::creditDb(), boundaryStudents);
    bool red = true;
    const Report report = runExport(3, "0101", "0001", out_.filePath(QStringLiteral("a.mdb")), [&] {
        for (const char* name : {"lzsj", "lbhg", "lbdy"})
            red = red && control<QLabel>(station_->sjdcbgfrm, name)->palette().color(QPalette::WindowText) ==
                             Qt::red;
    });
    // Every selected student counts; 116/28/144 passes; a null credit fails
    // no rule by itself; one student can be in both lists.
    QCOMPARE(report.counts, (QStringList{"6", "3", "2"}));
    QCOMPARE(report.failing, (QStringList{"09010100010002", "09010100010004", "09010100010006"}));
    QCOMPARE(report.inconsistent, (QStringList{"09010100010003", "09010100010004"}));
    QVERIFY(red);
}

void TestCreditExport::emptyExport() {
    addStudents(StationFolder::creditDb(), boundaryStudents);
    const QString target = out_.filePath(QStringLiteral("0999学分数据.mdb"));
    QTemporaryDir excel;
    const Report report = runExport(2, "0999", "", target, [&] {
        dialogs_->folders << excel.path();
        button(station_->sjdcbgfrm, "BitBtn2")->click();
    });
    QCOMPARE(report.counts, (QStringList{"0", "0", "0"}));
    QVERIFY(report.failing.isEmpty() && report.inconsistent.isEmpty());
    QCOMPARE(countRows(target, QStringLiteral("select * from 学生表")), 0);
    // The empty list still makes a workbook: the column names only.
    READ_WORKBOOK(book, excel.filePath(QStringLiteral("学分不合格数据.xls")));
    QCOMPARE(book.value(QStringLiteral("rows")).toArray().size(), 1);
}

void TestCreditExport::excelExports() {
    addStudents(StationFolder::creditDb(), boundaryStudents);
    QTemporaryDir excel;
    const QString failingFile = excel.filePath(QStringLiteral("学分不合格数据.xls"));
    const QString sumFile = excel.filePath(QStringLiteral("必修学分与选修学分之和不等于总学分数据.xls"));
    QFile old(failingFile);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older list"); // replaced
    old.close();
    runExport(3, "0101", "0001", out_.filePath(QStringLiteral("a.mdb")), [&] {
        dialogs_->clear();
        // A folder given with its separator gets no second one; a cancelled
        // or blank choice stops quietly; an unwritable folder fails.
        dialogs_->folders << excel.path() << excel.path() + QLatin1Char('/') << QString()
                          << QStringLiteral(" ") << excel.filePath(QStringLiteral("无此文件夹"));
        button(station_->sjdcbgfrm, "BitBtn2")->click();
        for (int i = 0; i < 4; ++i)
            button(station_->sjdcbgfrm, "BitBtn3")->click();
    });
    QStringList shown;
    for (const auto& s : dialogs_->shown)
        shown << s.kind + QLatin1Char(':') + s.caption + QLatin1Char(':') + s.text;
    const QString folderShown =
        QStringLiteral("folder:.::请选择导出数据存放文件夹::.:.::请选择导出数据存放文件夹::.");
    QCOMPARE(shown, (QStringList{folderShown, "box:提示:导出数据成功！\n数据存放在：" + failingFile,
                                 folderShown, "box:提示:导出数据成功！\n数据存放在：" + sumFile, folderShown,
                                 folderShown, folderShown, "box:提示:导出数据失败！\n" + shown.last().section('\n', 1)}));
    // The reason follows on a line of its own.
    QVERIFY2(shown.last().section('\n', 1).contains(QStringLiteral("无此文件夹")), qPrintable(shown.last()));

    const QJsonArray header{"学业水平测试号", "学业水平测试副号", "姓名",  "身份证号",
                            "必修学分",       "选修学分",         "总学分"};
    READ_WORKBOOK(failing, failingFile);
    QCOMPARE(failing.value(QStringLiteral("sheets")).toArray(), QJsonArray{QStringLiteral("导出结果")});
    const QJsonArray rows = failing.value(QStringLiteral("rows")).toArray();
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows[0].toArray(), header);
    QCOMPARE(rows[1].toArray(), (QJsonArray{QJsonValue(), "09010100010002", "不合格", "2", 115, 28, 143}));
    QCOMPARE(rows[3].toArray(),
             (QJsonArray{QJsonValue(), "09010100010006", "缺必修", "6", QJsonValue(), 20, 150}));
    READ_WORKBOOK(sums, sumFile);
    const QJsonArray sumRows = sums.value(QStringLiteral("rows")).toArray();
    QCOMPARE(sumRows.size(), 3);
    QCOMPARE(sumRows[0].toArray(), header);
    QCOMPARE(sumRows[1].toArray(),
             (QJsonArray{QJsonValue(), "09010100010003", "总分不符", "3", 120, 30, 144}));
}

// The same two lists as .xlsx (chosen beside the buttons; .xls is the
// default): read back independently, sheet, cells and column widths equal
// those of the .xls lists.
void TestCreditExport::xlsxListsEqualTheXlsLists() {
    addStudents(StationFolder::creditDb(), boundaryStudents);
    QTemporaryDir excel;
    runExport(3, "0101", "0001", out_.filePath(QStringLiteral("a.mdb")), [&] {
        QComboBox* format = station_->sjdcbgfrm->findChild<QComboBox*>(QStringLiteral("ExportFormat"));
        QVERIFY(format);
        QCOMPARE(format->currentIndex(), 0);
        for (int index : {0, 1}) {
            format->setCurrentIndex(index);
            dialogs_->folders << excel.path() << excel.path();
            button(station_->sjdcbgfrm, "BitBtn2")->click();
            button(station_->sjdcbgfrm, "BitBtn3")->click();
        }
    });
    for (const QString& name : {QStringLiteral("学分不合格数据"), QStringLiteral("必修学分与选修学分之和不等于总学分数据")}) {
        READ_WORKBOOK(xls, excel.filePath(name + QStringLiteral(".xls")));
        READ_WORKBOOK(xlsx, excel.filePath(name + QStringLiteral(".xlsx")));
        QCOMPARE(xlsx.value(QStringLiteral("sheets")), xls.value(QStringLiteral("sheets")));
        QCOMPARE(xlsx.value(QStringLiteral("rows")), xls.value(QStringLiteral("rows")));
        // An .xlsx file keeps the width with the cell padding (15 characters
        // are stored as 15.71); both show the same number of characters.
        QJsonArray xlsxCharacters;
        for (const QJsonValue& width : xlsx.value(QStringLiteral("cols")).toArray())
            xlsxCharacters << std::floor(width.toDouble());
        QCOMPARE(xlsxCharacters, xls.value(QStringLiteral("cols")).toArray());
        QVERIFY(xls.value(QStringLiteral("rows")).toArray().size() > 1);
    }
    QCOMPARE(dialogs_->texts(QStringLiteral("box")).size(), 4);
    QVERIFY(dialogs_->texts(QStringLiteral("box")).last().endsWith(QStringLiteral(".xlsx")));
}

void TestCreditExport::failedWorkbookKeepsTheOldOne() {
    // A list the workbook cannot hold (a text longer than a cell takes): the
    // earlier workbook stays as it was, and the reason is told.
    const QString db = out_.filePath(QStringLiteral("长文本.mdb"));
    Connection::createFile(db);
    Connection(db).execute(QStringLiteral("create table 学生表(学业水平测试副号 text, 姓名 text, 必修学分 integer, "
                                          "选修学分 integer, 总学分 integer)"));
    Connection(db).execute(QStringLiteral("insert into 学生表 values('09010100010001', :n, 100, 20, 120)"),
                           {{QStringLiteral(":n"), QString(40000, QChar(u'长'))}});
    ProgramValues::CreditDbPath = db;
    ProgramValues::ExportWhere = QStringLiteral(" from 学生表 where 1");
    QTemporaryDir excel;
    const QString file = excel.filePath(QStringLiteral("学分不合格数据.xls"));
    QFile old(file);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("an older list");
    old.close();
    dialogs_->folders << excel.path();
    station_->sjdcbgfrm->BitBtn2Click();
    const QStringList shown = dialogs_->texts(QStringLiteral("box"));
    QCOMPARE(shown.size(), 1);
    QVERIFY2(shown[0].startsWith(QStringLiteral("导出数据失败！\n")) && shown[0].contains(QStringLiteral("32767")),
             qPrintable(shown[0]));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("an older list"));
    QCOMPARE(QDir(excel.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QFileInfo(file).fileName()});
}

void TestCreditExport::leftoversOfInterruptedExportsAreRemoved() {
    addStudents(StationFolder::creditDb(), boundaryStudents);
    const QString target = out_.filePath(QStringLiteral("01010001学分数据.mdb"));
    const auto database = [](const QString& path, bool protect) {
        Connection::createFile(path);
        if (protect)
            FileProtection::protect(path);
    };
    const auto text = [](const QString& path, const QByteArray& content) {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    };
    // Ours, from exports that ended without cleaning up: an earlier
    // version's name, a process that is gone (with its journal), an empty one.
    database(target + QStringLiteral(".part"), true);
    database(target + QStringLiteral(".2147483646.part"), false);
    text(target + QStringLiteral(".2147483646.part-journal"), QByteArray(512, '\x01'));
    text(target + QStringLiteral(".2147483645.part"), QByteArray());
    // Not ours: another target, a running process, a file of another kind,
    // a different name.
    const QStringList kept{QStringLiteral("0101学分数据.mdb.part"), QStringLiteral("01010001学分数据.mdb.1.part"),
                           QStringLiteral("01010001学分数据.mdb.2147483644.part"),
                           QStringLiteral("01010001学分数据.mdb.notes.part")};
    database(out_.filePath(kept[0]), true);
    database(out_.filePath(kept[1]), true);
    text(out_.filePath(kept[2]), "a download, not a database");
    text(out_.filePath(kept[3]), "notes");

    QVERIFY(runExport(3, "0101", "0001", target).shown);
    QStringList expected = kept;
    expected << QFileInfo(target).fileName();
    expected.sort();
    QStringList left = leftovers();
    left.sort();
    QCOMPARE(left, expected);
    QCOMPARE(countRows(target, QStringLiteral("select * from 学生表")), 6);
}

// The disk fills up while the exchange file is made, then while the students
// are copied: the error names the file the user chose (not the temporary one,
// nor the station's credit database, which the export only reads), and no
// file is left.
void TestCreditExport::fullDiskNamesTheExchangeFile() {
    QList<CreditStudent> many;
    for (int i = 0; i < 300; ++i)
        many << CreditStudent{QStringLiteral("0901010001%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("𠮷䶮"),
                              QStringLiteral("32010220090315123X"), 116, 28, 144};
    addStudents(StationFolder::creditDb(), many);
    const QByteArray creditDb = contentOf(StationFolder::creditDb());
    for (const int budget : {0, 20000}) {
        dialogs_->clear();
        const QString target = out_.filePath(QStringLiteral("0101学分数据.mdb"));
        {
            FaultInjection::WriteBudget full(budget, QStringLiteral("学分数据.mdb"));
            QVERIFY(!runExport(2, "0101", "", target).shown);
        }
        const QStringList errors = dialogs_->texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0] == QStringLiteral("读写数据库文件“%1”时出错（磁盘错误或磁盘已满）。").arg(target),
                 qPrintable(errors[0]));
        QVERIFY2(leftovers().isEmpty(), qPrintable(leftovers().join(QLatin1Char(' '))));
        QCOMPARE(contentOf(StationFolder::creditDb()), creditDb);
    }
}

QTEST_MAIN(TestCreditExport)
#include "test_creditexport.moc"
