#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "FaultInjection.h"
#include "Query.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "TestNumber.h"
#include "UnitJY_CSBMB.h"
#include "DbGrid.h"
#include "UnitSJXG.h"
#include "mainform.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QImage>
#include <QLabel>
#include <QPlainTextEdit>
#include <QStringEncoder>
#include <QTimer>
#include <memory>

class TestJY_CSBMB : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { w_.reset(), dialogs_.reset(), station_.reset(); }
    void lookupNeedsACode_data();
    void lookupNeedsACode();
    void lookup();
    void nameBoxDrivesSpaceBox();
    void runWithoutChecks();
    void runFillsTheReportAndSavesIt();
    void runThatFailsKeepsItsLines();
    void menuOpensBothWindows();
    void correctionsShowInTheLists();
    void lostCorrectionsAreSaidInTheReport();
    void reportSavedOnAFullDisk();

private:
    void student(const QString& testNumber, const QString& name, const QString& id, const QString& place = {});
    QCheckBox* box(const char* name) { return control<QCheckBox>(w_.get(), name); }
    void checkAll(bool on);
    QString text(const char* name) { return edit(w_.get(), name)->text(); }
    bool blankShown() { return !control<QLabel>(w_.get(), "Label5")->isHidden(); }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormJY_CSBMB> w_;
};

void TestJY_CSBMB::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    w_ = std::make_unique<TFormJY_CSBMB>();
}

void TestJY_CSBMB::student(const QString& testNumber, const QString& name, const QString& id, const QString& place) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,籍贯,备注,班级) "
                             "values(:t,:s,:n,:d,:p,'转学',3)"),
              {{QStringLiteral(":t"), testNumber},
               {QStringLiteral(":s"), TestNumber::subNumber(testNumber)},
               {QStringLiteral(":n"), name},
               {QStringLiteral(":d"), id},
               {QStringLiteral(":p"), place}});
}

void TestJY_CSBMB::checkAll(bool on) {
    for (const char* name : {"CheckBox1", "CheckBox3", "JY_CHQK", "CheckBox8", "CheckBox7", "CheckBox4", "CheckBox9"})
        box(name)->setChecked(on);
}

void TestJY_CSBMB::lookupNeedsACode_data() {
    QTest::addColumn<QString>("school");
    QTest::addColumn<QString>("message");
    QTest::newRow("nothing") << " " << "学业水平测试副号不能为空，或者县区编码和学校编码不能为空！";
    QTest::newRow("school alone") << "0002" << "县区编码不能为空！";
}

void TestJY_CSBMB::lookupNeedsACode() {
    QFETCH(QString, school);
    QFETCH(QString, message);
    edit(w_.get(), "Edit4")->setText(school);
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{message});
    QVERIFY(!w_->ADOQuery1.isOpen());
}

void TestJY_CSBMB::lookup() {
    student(QStringLiteral("090101000210002"), QStringLiteral("张三"), QString(), QStringLiteral("江苏省南京市"));
    student(QStringLiteral("090101000220001"), QStringLiteral("李四"), QStringLiteral("110105194912310021"));
    student(QStringLiteral("090101000310001"), QStringLiteral("王五"), QString());
    student(QStringLiteral("090102000110001"), QStringLiteral("别县"), QString());
    QImage photo(168, 240, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    QVERIFY(photo.save(StationFolder::photoFolder() + QStringLiteral("09010100020001.jpg"), "JPG"));

    // A sub-number: the codes are not looked at.
    edit(w_.get(), "Edit1")->setText(QStringLiteral(" 09010100020001 "));
    edit(w_.get(), "Edit3")->setText(QStringLiteral("9999"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(w_->ADOQuery1.recordCount(), 1);
    QCOMPARE((QStringList{text("Edit24"), text("Edit6"), text("Edit25"), text("Edit5"), text("Edit42")}),
             (QStringList{"090101000220001", "李四", "110105194912310021", "3", "转学"}));
    QVERIFY(!blankShown());
    QVERIFY(!control<QLabel>(w_.get(), "Image1")->pixmap().isNull());

    // A county, in unit then sequence order; a school; a click on a row.
    edit(w_.get(), "Edit1")->clear();
    edit(w_.get(), "Edit3")->setText(QStringLiteral("0101"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(w_->ADOQuery1.recordCount(), 3);
    QCOMPARE(text("Edit6"), QStringLiteral("李四"));
    edit(w_.get(), "Edit4")->setText(QStringLiteral("0002"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(w_->ADOQuery1.recordCount(), 2);
    w_->DBGrid1CellClick(1);
    QCOMPARE(text("Edit2"), QStringLiteral("江苏省南京市"));
    QVERIFY(blankShown());
    QVERIFY(control<QLabel>(w_.get(), "Image1")->pixmap().isNull());

    // Nothing found: empty fields and "空白".
    edit(w_.get(), "Edit4")->setText(QStringLiteral("0009"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(w_->ADOQuery1.recordCount(), 0);
    QCOMPARE(text("Edit24") + text("Edit6"), QString());
    QVERIFY(blankShown());
    QCOMPARE(dialogs_->shown.size(), 0);
}

void TestJY_CSBMB::nameBoxDrivesSpaceBox() {
    box("CheckBox8")->setChecked(false);
    QVERIFY(!box("CheckBox2")->isChecked());
    box("CheckBox8")->click();
    QVERIFY(box("CheckBox2")->isChecked());
    // The extra check is off until the user asks for it.
    QVERIFY(!box("CheckBox9")->isChecked());
}

void TestJY_CSBMB::runWithoutChecks() {
    student(QStringLiteral("0901010002"), QStringLiteral("张 三"), QString());
    checkAll(false);
    control<QPlainTextEdit>(w_.get(), "Memo1")->setPlainText(QStringLiteral("an earlier report"));
    button(w_.get(), "Button3")->click();
    QCOMPARE(w_->reportLines(),
             (QStringList{QString(48, QLatin1Char('#')), QStringLiteral("校验学业水平测试报名数据结束！")}));
    button(w_.get(), "Button4")->click(); // cancelled
    QCOMPARE(dialogs_->texts(), QStringList{QString()});
}

void TestJY_CSBMB::runFillsTheReportAndSavesIt() {
    student(QStringLiteral("090101000210003"), QStringLiteral("张 三"), QStringLiteral("32010220000101123x"));
    student(QStringLiteral("090101000210004"), QStringLiteral("李四"), QStringLiteral("11010519491231002X"));
    checkAll(true);
    button(w_.get(), "Button3")->click();
    const QStringList report = w_->reportLines();
    QCOMPARE(report.size(), 7 * 3 + 2 + 5);
    QVERIFY(report.contains(QStringLiteral("学业水平测试号【090101000210003】姓名中的空格已删除，【张三】")));
    QVERIFY(report.contains(QStringLiteral("学业水平测试号090101000210003，身份证号32010220000101123X，校验码应为8！")));
    QVERIFY(button(w_.get(), "Button3")->isEnabled());

    // The report is saved as it stands in the window, edits included.
    auto* memo = control<QPlainTextEdit>(w_.get(), "Memo1");
    memo->appendPlainText(QStringLiteral("已核对"));
    const QString path = station_->file(QStringLiteral("校验.txt"));
    dialogs_->files << path;
    button(w_.get(), "Button4")->click();
    QCOMPARE(dialogs_->shown.last().caption, QStringLiteral("文本文件(*.txt)|*.txt"));
    QVERIFY(dialogs_->shown.last().extra.startsWith(QStringLiteral("txt|")));
    QFile saved(path);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QByteArray expected;
    QStringEncoder gb18030("GB18030");
    for (const QString& line : report + QStringList{QStringLiteral("已核对")}) {
        expected += QByteArray(gb18030.encode(line));
        expected += "\r\n";
    }
    QCOMPARE(saved.readAll(), expected);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 0);
}

void TestJY_CSBMB::runThatFailsKeepsItsLines() {
    student(QStringLiteral("090101000210002"), QStringLiteral("张三"), QString());
    student(QStringLiteral("0901010002100a3"), QStringLiteral("李四"), QString());
    checkAll(false);
    box("CheckBox4")->setChecked(true);
    box("CheckBox9")->setChecked(true);
    button(w_.get(), "Button3")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs_->texts(QStringLiteral("error"))[0].startsWith(
        QStringLiteral("学生李四（学业水平测试号0901010002100a3）的顺序号")));
    QCOMPARE(w_->reportLines(), (QStringList{QString(48, QLatin1Char('#')), QStringLiteral("开始校验学业水平测试号连续性情况："),
                                             QStringLiteral("学校代码为01010002顺序号0001为空号！")}));
    // The window takes the next run.
    QVERIFY(button(w_.get(), "Button3")->isEnabled());
    QVERIFY(control<QWidget>(w_.get(), "GroupBox1")->isEnabled());
    QVERIFY(!control<QPlainTextEdit>(w_.get(), "Memo1")->isReadOnly());
}

void TestJY_CSBMB::menuOpensBothWindows() {
    w_.reset();
    EnrollStation windows;
    QPoint validationAt, correctionAt;
    QString validationTitle, correctionTitle;
    auto closeActive = [](QPoint* at, QString* title) {
        QTimer::singleShot(0, [at, title] {
            QWidget* modal = QApplication::activeModalWidget();
            QVERIFY(modal);
            *at = modal->pos();
            *title = modal->windowTitle();
            modal->close();
        });
    };
    closeActive(&validationAt, &validationTitle);
    windows.FormMain->N3->trigger();
    closeActive(&correctionAt, &correctionTitle);
    windows.FormMain->N9->trigger();
    QCOMPARE(validationTitle, QStringLiteral("校验水平测试报名表"));
    QCOMPARE(validationAt, QPoint(50, 80));
    QCOMPARE(correctionTitle, QStringLiteral("数据修改"));
    QCOMPARE(correctionAt, QPoint(100, 80));
}

// The names the check corrects show corrected in the list at once, which
// stays on its row.
void TestJY_CSBMB::correctionsShowInTheLists() {
    student(QStringLiteral("090101000210001"), QStringLiteral("张 三"), QString());
    student(QStringLiteral("090101000210002"), QStringLiteral("李四"), QString());
    w_->show();
    edit(w_.get(), "Edit3")->setText(QStringLiteral("0101"));
    button(w_.get(), "Button1")->click();
    w_->DBGrid1CellClick(1);
    checkAll(false);
    box("CheckBox8")->setChecked(true);
    button(w_.get(), "Button3")->click();
    const DataSource* source = control<DbGrid>(w_.get(), "DBGrid1")->dataSource();
    QCOMPARE(w_->ADOQuery1.value(0, w_->ADOQuery1.fieldIndex(QStringLiteral("姓名"))).toString(), QStringLiteral("张三"));
    QCOMPARE(source->currentRow(), 1);
    QVERIFY(dialogs_->shown.isEmpty());
}

// The disk fills up before the corrections of a check are saved: the report,
// whose lines say what was corrected, says too that none of it was kept, as
// the message does; the corrections of an earlier check stay.
void TestJY_CSBMB::lostCorrectionsAreSaidInTheReport() {
    for (int i = 0; i < 100; ++i)
        student(QStringLiteral("0901010002%1").arg(10001 + i), QStringLiteral("张 三"), QStringLiteral("32010220090315123x"));
    checkAll(false);
    box("CheckBox3")->setChecked(true);
    box("CheckBox8")->setChecked(true);
    {
        // Room for the ID corrections, not for the names.
        FaultInjection::WriteBudget full(30000, QStringLiteral("data/CSBMK.mdb"));
        button(w_.get(), "Button3")->click();
    }
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("此前的更正没有保存")), qPrintable(errors[0]));
    const QStringList lines = w_->reportLines();
    const int names = int(lines.indexOf(QStringLiteral("开始校验姓名异常情况：")));
    QVERIFY2(names > 0 && lines.size() > names + 2, qPrintable(lines.join('\n')));
    QCOMPARE(lines.last(), QStringLiteral("本项校验所做的更正没有保存：数据库已撤销这些改动。"));
    QVERIFY(lines.mid(0, names).filter(QStringLiteral("没有保存")).isEmpty());

    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select sum(姓名 like '% %'), sum(身份证号 like '%X') from 学生表"));
    q.open();
    QCOMPARE(q.value(0, 0).toInt(), 100);
    QCOMPARE(q.value(0, 1).toInt(), 100);
}

// The disk fills up while the report is saved over an earlier one: the
// message says so, the earlier report stays whole, no partial file is left.
void TestJY_CSBMB::reportSavedOnAFullDisk() {
    student(QStringLiteral("090101000210001"), QStringLiteral("张三"), QStringLiteral("32010"));
    checkAll(true);
    button(w_.get(), "Button3")->click();
    QTemporaryDir folder;
    const QString earlier = folder.filePath(QStringLiteral("校验日志.txt"));
    QFile file(earlier);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("an earlier report");
    file.close();
    dialogs_->clear();
    {
        FaultInjection::FaultyFiles faulty;
        faulty.faults.diskSpace = 100;
        dialogs_->files << earlier;
        button(w_.get(), "Button4")->click();
    }
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors, QStringList{QStringLiteral("无法写入文件“%1”：磁盘已满。").arg(earlier)});
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("an earlier report"));
    QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("校验日志.txt")});
}

QTEST_MAIN(TestJY_CSBMB)
#include "test_jy_csbmb.moc"
