#include "BiffWriter.h"
#include "Controls.h"
#include "DatabaseContent.h"
#include "Database.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "FaultInjection.h"
#include "Query.h"
#include "SafetyCopy.h"
#include "Schema.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitBKBM.h"
#include "UnitCJ_SJDR.h"
#include "UnitJY_CSBMB.h"
#include "UnitSJDR.h"
#include "UnitSJHF.h"
#include "UnitSJXG.h"
#include "Unitdata.h"
#include "mainform.h"

#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QRadioButton>
#include <QTreeWidget>
#include <QtTest>
#include <memory>

namespace {

QString fixture(const QString& name) { return QStringLiteral(DESK_SOURCE_DIR "/tests/fixtures/import/") + name; }

QString db() { return StationFolder::registrationDb(); }

int count(const QString& table) {
    Query q;
    q.setDatabasePath(db());
    q.setSql(QStringLiteral("select count(*) as n from ") + table);
    q.open();
    return int(q.integer(QStringLiteral("n")));
}

QString number(int i) { return QStringLiteral("09010100011%1").arg(i, 4, 10, QLatin1Char('0')); }
QString sub(int i) { return QStringLiteral("0901010001%1").arg(i, 4, 10, QLatin1Char('0')); }

} // namespace

// Every operation that changes many rows or removes rows takes a safety
// copy first, and restoring it gives back the file as it was.
class TestSafetyCopies : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void everyOperationCanBeUndone_data();
    void everyOperationCanBeUndone();
    void restoreWindowAsksFirst();
    void noCopyNoOperation();
    void aWorkbookStoppedOnAFullDiskClaimsNothing();
    void clearingRefusesAFileOpenElsewhere();
    void rowsChangedInTheCorrectionListCanBeUndone();

private:
    void fill();
    void run(const QString& operation);
    TFormSJHF* restoreWindow() { return windows_->FormSJHF; }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<EnrollStation> windows_;
    QTemporaryDir cwd_;
    QString oldCwd_;
};

void TestSafetyCopies::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    windows_ = std::make_unique<EnrollStation>();
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(cwd_.path()); // compaction works in the current folder
    fill();
}

void TestSafetyCopies::cleanup() {
    FaultInjection::clearWriteBudget();
    QDir::setCurrent(oldCwd_);
    windows_.reset();
    dialogs_.reset();
    station_.reset();
}

// One school of twelve students (some with photographs in the table, a
// name with a space, an ID number with a lowercase x, a gap in 序号), their
// sequence numbers and their grades.
void TestSafetyCopies::fill() {
    Connection c(db());
    Transaction t(c);
    for (int i = 1; i <= 12; ++i) {
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,班级,电子照片) "
                                 "values(?,?,?,?,'1',1,?)"),
                  {{QString(), number(i)},
                   {QString(), sub(i)},
                   {QString(), i % 3 == 0 ? QStringLiteral("张 %1").arg(i) : QStringLiteral("学生%1").arg(i)},
                   {QString(), i % 4 == 0 ? QStringLiteral("32010220000101123x") : QStringLiteral("320102200001011238")},
                   {QString(), i % 2 ? QVariant(QByteArray(2000, char(i))) : QVariant()}});
        c.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级) values('0101','0001',?,1)"),
                  {{QString(), QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0'))}});
        c.execute(QStringLiteral("insert into 成绩表 values(?,?,?,'320102200001011238','A','D','B','D','A','A')"),
                  {{QString(), number(i)}, {QString(), sub(i)}, {QString(), QStringLiteral("学生%1").arg(i)}});
    }
    c.execute(QStringLiteral("delete from 学生表 where 序号=5"));
    t.commit();
}

void TestSafetyCopies::run(const QString& operation) {
    dialogs_->answers.enqueue(Dialogs::Answer::Yes);
    if (operation == QStringLiteral("清空数据")) {
        windows_->FormMain->N6->trigger();
    } else if (operation == QStringLiteral("数据库压缩")) {
        windows_->FormMain->N15->trigger();
    } else if (operation.startsWith(QStringLiteral("数据导入"))) {
        TFormSJDR* w = windows_->FormSJDR;
        QString kind = QStringLiteral("excel电子表格");
        QString path = fixture(QStringLiteral("students.xls"));
        if (operation.endsWith(QLatin1String("dbf"))) {
            kind = QStringLiteral("dbf数据库");
            path = fixture(QStringLiteral("students.dbf"));
        } else if (operation.endsWith(QLatin1String("mdb"))) {
            kind = QStringLiteral("Access数据库");
            path = cwd_.filePath(QStringLiteral("他校.mdb"));
            Schema::createDatabase(path, Schema::registrationDatabaseStatements());
            Connection(path).execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) "
                                                    "values('090101000210001','09010100020001','他校生',2)"));
        }
        control<QRadioButton>(w, "RadioButton1")->setChecked(true);
        combo(w, "ComboBox1")->setCurrentText(kind);
        edit(w, "Edit1")->setText(path);
        button(w, "Button2")->click();
    } else if (operation == QStringLiteral("清空成绩") || operation == QStringLiteral("成绩导入")) {
        TFormCJ_SJDR* w = windows_->FormCJ_SJDR;
        if (operation == QStringLiteral("成绩导入")) {
            Connection(db()).execute(QStringLiteral("delete from 成绩表"));
            const QString scores = cwd_.filePath(QStringLiteral("成绩.mdb"));
            Connection::createFile(scores);
            Connection s(scores);
            s.execute(QStringLiteral("create table 学生表(a,b,c,d,e,f,g,h,i,j)"));
            s.execute(QStringLiteral("insert into 学生表 values('%1','%2','学生1','320102200001011238','D','A','A','A','A','A')")
                          .arg(number(1), sub(1)));
            combo(w, "ComboBox1")->setCurrentText(QStringLiteral("Access数据库"));
            edit(w, "Edit1")->setText(scores);
        }
        button(w, "Button2")->click();
    } else if (operation == QStringLiteral("补考生成")) {
        windows_->FormBKBM->FormShow();
        button(windows_->FormBKBM, "BitBtn1")->click();
    } else if (operation == QStringLiteral("校验更正")) {
        control<QCheckBox>(windows_->FormJY_CSBMB, "CheckBox3")->setChecked(true);
        control<QCheckBox>(windows_->FormJY_CSBMB, "CheckBox8")->setChecked(true);
        button(windows_->FormJY_CSBMB, "Button3")->click();
    } else if (operation == QStringLiteral("数据修改") || operation == QStringLiteral("数据删除")) {
        TFormSJXG* w = windows_->FormSJXG;
        edit(w, "Edit1")->setText(QStringLiteral("0101"));
        edit(w, "Edit2")->setText(QStringLiteral("0001"));
        button(w, "Button1")->click();
        w->GridCellClick(1);
        if (operation == QStringLiteral("数据修改")) {
            control<QCheckBox>(w, "CheckBox2")->setChecked(true);
            button(w, "Button2")->click();
            edit(w, "Edit4")->setText(QStringLiteral("改名"));
            button(w, "Button3")->click();
        } else {
            button(w, "Button5")->click();
        }
    } else {
        QFAIL(qPrintable(operation));
    }
    dialogs_->answers.clear();
}

void TestSafetyCopies::everyOperationCanBeUndone_data() {
    QTest::addColumn<QString>("operation");
    for (const char* op : {"清空数据", "数据导入 xls", "数据导入 dbf", "数据导入 mdb", "成绩导入", "清空成绩", "补考生成",
                           "校验更正", "数据修改", "数据删除", "数据库压缩"})
        QTest::newRow(op) << QString::fromUtf8(op);
}

void TestSafetyCopies::everyOperationCanBeUndone() {
    QFETCH(QString, operation);
    if (operation == QStringLiteral("成绩导入"))
        Connection(db()).execute(QStringLiteral("delete from 成绩表")); // the import needs an empty table
    const QByteArray before = databaseContent(db());
    QVERIFY(!before.isEmpty());
    run(operation);
    QVERIFY2(dialogs_->texts(QStringLiteral("error")).isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    if (operation != QStringLiteral("数据库压缩"))
        QVERIFY(databaseContent(db()) != before);

    // The copy taken before it is the newest, named after it.
    TFormSJHF* w = restoreWindow();
    w->FormShow();
    auto* list = control<QTreeWidget>(w, "ListView1");
    QCOMPARE(list->topLevelItemCount(), 1);
    QCOMPARE(list->topLevelItem(0)->text(1), operation.section(QLatin1Char(' '), 0, 0));
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("11"));
    QCOMPARE(list->currentItem(), list->topLevelItem(0));

    // A list a window shows follows the restored file.
    TFormSJXG* correction = windows_->FormSJXG;
    edit(correction, "Edit1")->setText(QStringLiteral("0101"));
    edit(correction, "Edit2")->setText(QStringLiteral("0001"));
    button(correction, "Button1")->click();

    dialogs_->clear();
    dialogs_->answers.enqueue(Dialogs::Answer::Yes);
    button(w, "Button1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("ask")).size(), 1);
    const QStringList messages = dialogs_->texts(QStringLiteral("message"));
    QCOMPARE(messages.size(), 1);
    QVERIFY2(messages[0].startsWith(QStringLiteral("数据恢复成功！")), qPrintable(dialogs_->texts().join('\n')));
    QCOMPARE(databaseContent(db()), before);
    QCOMPARE(windows_->Data->QR1.recordCount(), 11);
    // The state before the restore is a copy too, listed first.
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("恢复数据前"));
}

void TestSafetyCopies::restoreWindowAsksFirst() {
    TFormSJHF* w = restoreWindow();
    w->FormShow();
    button(w, "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("请先选择要恢复的数据副本！")});

    run(QStringLiteral("清空数据"));
    const QByteArray cleared = databaseContent(db());
    run(QStringLiteral("数据导入 xls"));
    const QByteArray imported = databaseContent(db());
    w->FormShow();
    auto* list = control<QTreeWidget>(w, "ListView1");
    QCOMPARE(list->topLevelItem(0)->text(2), QStringLiteral("0")); // the copy before the import, newest first

    // Anything but Yes leaves the data as they are.
    dialogs_->clear();
    dialogs_->answers.enqueue(Dialogs::Answer::No);
    button(w, "Button1")->click();
    QVERIFY(dialogs_->texts(QStringLiteral("ask"))[0].contains(QStringLiteral("“数据导入”之前的状态")));
    QCOMPARE(databaseContent(db()), imported);

    // Back to before the import, and the restore itself can be undone.
    dialogs_->answers.enqueue(Dialogs::Answer::Yes);
    button(w, "Button1")->click();
    QCOMPARE(databaseContent(db()), cleared);
    list->setCurrentItem(list->topLevelItem(0));
    dialogs_->answers.enqueue(Dialogs::Answer::Yes);
    button(w, "Button1")->click();
    QCOMPARE(databaseContent(db()), imported);
}

void TestSafetyCopies::noCopyNoOperation() {
    const QByteArray before = databaseContent(db());
    FaultInjection::FaultyFiles files;
    files.faults.diskSpace = 8192;
    for (const char* op : {"清空数据", "数据导入 xls", "数据删除"}) {
        dialogs_->clear();
        run(QString::fromUtf8(op));
        const QStringList errors = dialogs_->texts(QStringLiteral("error"));
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains(QStringLiteral("磁盘已满")), qPrintable(errors[0]));
        QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
        QCOMPARE(databaseContent(db()), before);
    }
    QCOMPARE(QDir(StationFolder::dataFolder() + QStringLiteral("备份")).entryList(QDir::Files), QStringList());
}

void TestSafetyCopies::aWorkbookStoppedOnAFullDiskClaimsNothing() {
    // Many good rows (held by the engine until they are kept) and a bad one.
    QVector<QVector<QVariant>> rows;
    for (int i = 1; i <= 2000; ++i)
        rows.append({QStringLiteral("09010200011%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("学生"),
                     QStringLiteral("江苏省南京市"), QStringLiteral("320102200001011238"),
                     QStringLiteral("南京市玄武区某某路1号"), QStringLiteral("13800000000"), QStringLiteral("560"),
                     QStringLiteral("3")});
    rows.append({QStringLiteral("090102000119999"), QStringLiteral("坏行"), QString(), QString(), QString(), QString(),
                 QString(), QStringLiteral("三班")});
    const QString path = cwd_.filePath(QStringLiteral("大表.xls"));
    BiffWriter::writeWorkbook(path, QStringLiteral("Sheet1"),
                              {QStringLiteral("学业水平测试号"), QStringLiteral("姓名"), QStringLiteral("籍贯"),
                               QStringLiteral("身份证号"), QStringLiteral("家庭住址"), QStringLiteral("联系电话"),
                               QStringLiteral("中考成绩"), QStringLiteral("班级")},
                              rows);
    const int before = count(QStringLiteral("学生表"));
    FaultInjection::WriteBudget full(65536, QStringLiteral("/data/CSBMK.mdb"));
    TFormSJDR* w = windows_->FormSJDR;
    control<QRadioButton>(w, "RadioButton1")->setChecked(true);
    combo(w, "ComboBox1")->setCurrentText(QStringLiteral("excel电子表格"));
    edit(w, "Edit1")->setText(path);
    button(w, "Button2")->click();
    FaultInjection::clearWriteBudget();

    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("第2002行")) && errors[0].contains(QStringLiteral("三班")),
             qPrintable(errors[0]));
    QVERIFY2(!errors[0].contains(QStringLiteral("此前的行已经导入")), qPrintable(errors[0]));
    QVERIFY2(errors[0].contains(QStringLiteral("本次没有导入任何数据")) && errors[0].contains(QStringLiteral("磁盘已满")),
             qPrintable(errors[0]));
    QCOMPARE(count(QStringLiteral("学生表")), before);
}

void TestSafetyCopies::clearingRefusesAFileOpenElsewhere() {
    QProcess other;
    other.start(QStringLiteral(DESK_HELPER), {QStringLiteral("open"), db()});
    QVERIFY(other.waitForStarted(10000) && other.waitForReadyRead(10000));
    const QByteArray before = databaseContent(db());
    run(QStringLiteral("清空数据"));
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("deskhelper（进程号 %1）").arg(other.processId())), qPrintable(errors[0]));
    QCOMPARE(databaseContent(db()), before);
    other.closeWriteChannel();
    QVERIFY(other.waitForFinished(10000));
}

// The correction window's list edits and deletes rows itself (its
// navigator): those take their copy too, and without one nothing changes.
void TestSafetyCopies::rowsChangedInTheCorrectionListCanBeUndone() {
    TFormSJXG* w = windows_->FormSJXG;
    edit(w, "Edit1")->setText(QStringLiteral("0101"));
    edit(w, "Edit2")->setText(QStringLiteral("0001"));
    button(w, "Button1")->click();
    auto* navigator = control<DbNavigator>(w, "DBNavigator1");
    DataSource* list = control<DbGrid>(w, "Grid")->dataSource();
    list->setCurrentRow(2);
    const QByteArray before = databaseContent(db());
    {
        FaultInjection::FaultyFiles files;
        files.faults.diskSpace = 8192;
        dialogs_->confirmations.enqueue(true);
        navigator->button(DbNavigator::Delete)->click();
    }
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("磁盘已满")), qPrintable(errors[0]));
    QCOMPARE(databaseContent(db()), before);

    dialogs_->clear();
    dialogs_->confirmations.enqueue(true);
    navigator->button(DbNavigator::Delete)->click();
    QCOMPARE(count(QStringLiteral("学生表")), 10);
    navigator->button(DbNavigator::Edit)->click();
    int name = 0;
    while (name < list->columnCount() && list->headerData(name, Qt::Horizontal, Qt::DisplayRole) != QStringLiteral("姓名"))
        ++name;
    QVERIFY(list->setData(list->index(0, name), QStringLiteral("改名"), Qt::EditRole));
    navigator->button(DbNavigator::Post)->click();
    QVERIFY2(dialogs_->texts(QStringLiteral("error")).isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    const QList<SafetyCopy::Copy> copies = SafetyCopy::list(SafetyCopy::storeOf(db()));
    QCOMPARE(copies.size(), 2);
    QCOMPARE(copies[0].operation, QStringLiteral("数据修改"));
    QCOMPARE(copies[1].operation, QStringLiteral("数据删除"));
    QCOMPARE(copies[1].students, 11);
}

QTEST_MAIN(TestSafetyCopies)
#include "test_safetycopies.moc"
