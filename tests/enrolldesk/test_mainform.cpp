#include "Controls.h"
#include "Database.h"
#include "DbGrid.h"
#include "FaultInjection.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitSJXG.h"
#include "Unitdata.h"
#include "mainform.h"

#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>
#include <memory>

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestMainForm : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void windowAndMenu();
    void clearToggleCheckMark();
    void clearAskFirst_data();
    void clearAskFirst();
    void clearFailsOnAMissingDatabase();
    void clearOnAFullDiskClearsBothOrNeither();
    void compactionWithoutFilesSaysNothing();
    void compactionKeepsEveryDatabase();
    void compactionStopsAtAFileItCannotRead();
    void compactionOfAFileThatCannotBeDeleted();
    void compactionRestoresFromTheCopyACrashLeft();

private:
    int count(const QString& sql);
    void fill();

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<EnrollStation> windows_;
    std::unique_ptr<FakeDialogs> dialogs_;
    QTemporaryDir cwd_;
    QString oldCwd_;
};

void TestMainForm::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    windows_ = std::make_unique<EnrollStation>();
    QDir cwd(cwd_.path());
    for (const QString& f : cwd.entryList(QDir::Files))
        cwd.remove(f); // copies an earlier case left
    oldCwd_ = QDir::currentPath();
    QDir::setCurrent(cwd_.path()); // compaction works in the current folder
}

void TestMainForm::cleanup() {
    QDir::setCurrent(oldCwd_);
    windows_.reset();
    dialogs_.reset();
    station_.reset();
}

int TestMainForm::count(const QString& sql) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(sql);
    q.open();
    return int(q.integer(QStringLiteral("n")));
}

void TestMainForm::fill() {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试号,姓名,班级) values('090101000210001','张三',1)"));
    c.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级) values('0101','0002','0001',1)"));
    c.execute(QStringLiteral("insert into 成绩表(学业水平测试副号,姓名) values('09010100020001','张三')"));
    c.execute(QStringLiteral("insert into 补考表(学业水平测试副号,姓名) values('09010100020001','张三')"));
}

void TestMainForm::windowAndMenu() {
    TFormMain* main = windows_->FormMain;
    QCOMPARE(main->windowTitle(), QStringLiteral("Veldran省普通高中学业水平测试报名系统"));
    QCOMPARE(main->size(), QSize(870, 640));
    QVERIFY(windows_->Data->QR1.sql().isEmpty());

    struct Item {
        QString entry, caption;
        bool visible;
    };
    // What a user sees, in order ("-" is a separator).
    const QList<Item> expected{
        {"系统设置", "数据库压缩", true},       {"系统设置", "读卡器配置", true},   {"系统设置", "清空数据库", true},
        {"系统设置", "数据恢复", true},
        {"数据导入", "应届成绩数据导入", false}, {"数据导入", "应届报名数据导入", true},
        {"报名管理", "应届报名数据采集", true}, {"报名管理", "应届报名数据校验", true},
        {"报名管理", "应届报名数据修改", true}, {"报名管理", "-", true},
        {"报名管理", "学业补测数据采集", false}, {"报名管理", "-", false},
        {"报名管理", "应届简况表生成", true},   {"报名管理", "补测简况表生成", false},
        {"电子摄像", "照片采集", true},         {"报表打印", "打印校对信息表", true},
        {"数据报送", "报名数据导出", true},
    };
    QList<Item> actual;
    QStringList visibleEntries;
    for (QAction* entryAction : main->menuBar()->actions()) {
        if (entryAction->isVisible())
            visibleEntries << entryAction->text();
        for (QAction* item : entryAction->menu()->actions())
            actual.append({entryAction->text(), item->isSeparator() ? QStringLiteral("-") : item->text(),
                           item->isVisible()});
    }
    QCOMPARE(actual.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QCOMPARE(actual[i].entry, expected[i].entry);
        QCOMPARE(actual[i].caption, expected[i].caption);
        QCOMPARE(actual[i].visible, expected[i].visible);
    }
    // The printing entry is hidden as a whole.
    QCOMPARE(visibleEntries, (QStringList{"系统设置", "数据导入", "报名管理", "电子摄像", "数据报送"}));
    QCOMPARE(main->N11->objectName(), QStringLiteral("N11"));
}

void TestMainForm::clearToggleCheckMark() {
    TFormMain* main = windows_->FormMain;
    QVERIFY(!main->N6->isChecked());
    main->N6->trigger();
    QVERIFY(main->N6->isChecked());
    main->N6->trigger();
    QVERIFY(!main->N6->isChecked());
}

void TestMainForm::clearAskFirst_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("students");
    QTest::newRow("yes") << int(Dialogs::Answer::Yes) << 0;
    QTest::newRow("no") << int(Dialogs::Answer::No) << 1;
    QTest::newRow("cancel") << int(Dialogs::Answer::Cancel) << 1;
}

void TestMainForm::clearAskFirst() {
    QFETCH(int, answer);
    QFETCH(int, students);
    fill();
    // The correction window lists the school in the shared list.
    TFormSJXG* correction = windows_->FormSJXG;
    edit(correction, "Edit1")->setText(QStringLiteral("0101"));
    edit(correction, "Edit2")->setText(QStringLiteral("0002"));
    button(correction, "Button1")->click();
    QCOMPARE(windows_->Data->QR1.recordCount(), 1);
    dialogs_->answers << Dialogs::Answer(answer);
    windows_->FormMain->N6->trigger();
    // Shown again, it lists what is stored.
    correction->show();
    QCOMPARE(windows_->Data->QR1.recordCount(), students);
    QCOMPARE(control<DbGrid>(correction, "Grid")->model()->rowCount(), students);
    correction->hide();
    QCOMPARE(dialogs_->shown.at(0).kind, QStringLiteral("ask"));
    QCOMPARE(dialogs_->shown.at(0).text, QStringLiteral("确实要清空数据库内容吗？"));
    QCOMPARE(dialogs_->shown.at(0).caption, QStringLiteral("确认信息"));
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), students);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 顺序号")), students);
    // Scores and make-up registrations are never cleared.
    QCOMPARE(count(QStringLiteral("select count(*) as n from 成绩表")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 补考表")), 1);
    if (students == 0)
        QCOMPARE(dialogs_->texts(QStringLiteral("message")),
                 QStringList{QStringLiteral("清空报名信息及顺序号设置数据库内容成功！")});
    else
        QCOMPARE(dialogs_->shown.size(), 1);
}

void TestMainForm::clearFailsOnAMissingDatabase() {
    QFile::remove(StationFolder::registrationDb());
    dialogs_->answers << Dialogs::Answer::Yes;
    windows_->FormMain->N6->trigger();
    QCOMPARE(dialogs_->texts(QStringLiteral("message")).size(), 0);
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(QStringLiteral("CSBMK.mdb")));
    QVERIFY(!QFile::exists(StationFolder::registrationDb())); // no empty file made up
}

// A disk that fills up while clearing never leaves the sequence numbers of
// students that are gone: the budgets below stop it at every stage.
void TestMainForm::clearOnAFullDiskClearsBothOrNeither() {
    {
        Connection c(StationFolder::registrationDb());
        Transaction t(c);
        for (int i = 0; i < 3000; ++i)
            c.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级) values('0101','0002',?,1)"),
                      {{QString(), QString::number(i)}});
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,姓名,班级) values('090101000210001','张三',1)"));
        t.commit();
    }
    int refused = 0;
    for (const qint64 budget : {0, 8192, 32768, 65536, 131072, 1 << 20}) {
        dialogs_->clear();
        dialogs_->answers << Dialogs::Answer::Yes;
        {
            FaultInjection::WriteBudget full(budget, QStringLiteral("/data/CSBMK.mdb"));
            windows_->FormMain->N6->trigger();
        }
        const int students = count(QStringLiteral("select count(*) as n from 学生表"));
        const int numbers = count(QStringLiteral("select count(*) as n from 顺序号"));
        if (students == 0) {
            QCOMPARE(numbers, 0);
            QCOMPARE(dialogs_->texts(QStringLiteral("error")), QStringList());
            break;
        }
        QCOMPARE(numbers, 3000);
        QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList());
        QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
        ++refused;
    }
    QVERIFY(refused >= 4);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 0);
}

void TestMainForm::compactionWithoutFilesSaysNothing() {
    QDir data(StationFolder::dataFolder());
    for (const QString& f : data.entryList(QDir::Files))
        data.remove(f);
    windows_->FormMain->N15->trigger();
    QVERIFY(dialogs_->shown.isEmpty());
}

void TestMainForm::compactionKeepsEveryDatabase() {
    fill();
    {
        Connection c(StationFolder::registrationDb());
        Transaction t(c);
        for (int i = 0; i < 2000; ++i)
            c.execute(QStringLiteral("insert into 学生表(姓名,家庭住址) values('临时','%1')").arg(QString(20, QChar(u'路'))));
        c.execute(QStringLiteral("delete from 学生表 where 姓名='临时'"));
        t.commit();
    }
    const qint64 before = QFileInfo(StationFolder::registrationDb()).size();
    windows_->FormMain->N15->trigger();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("成功压缩数据库!")});
    QVERIFY(QFileInfo(StationFolder::registrationDb()).size() < before);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 补考表")), 1);
    Query places;
    places.setDatabasePath(StationFolder::nativePlaceDb());
    places.setSql(QStringLiteral("select count(*) as n from 籍贯对照表"));
    places.open();
    QVERIFY(places.integer(QStringLiteral("n")) > 2800);
    QVERIFY(QDir(cwd_.path()).entryList(QDir::Files).isEmpty()); // nothing left behind
}

void TestMainForm::compactionStopsAtAFileItCannotRead() {
    // "a.mdb" comes first and is no database: the command ends with the
    // engine's error, before the other files, without the success message.
    QFile bad(StationFolder::dataFolder() + QStringLiteral("a.mdb"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(2048, 'x'));
    bad.close();
    windows_->FormMain->N15->trigger();
    QCOMPARE(dialogs_->texts(QStringLiteral("message")).size(), 0);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(QFile::exists(StationFolder::dataFolder() + QStringLiteral("a.mdb")));
    QVERIFY(QFile::exists(StationFolder::registrationDb()));
}

void TestMainForm::compactionOfAFileThatCannotBeDeleted() {
    // The data file cannot be replaced (read-only, immutable): as root and
    // as any user, the file layer refuses it.
    fill();
    const QByteArray before = contentOf(StationFolder::registrationDb());
    FaultInjection::FaultyFiles files;
    files.faults.refuseReplacing = QStringLiteral("/CSBMK.mdb");
    windows_->FormMain->N15->trigger();

    const QStringList boxes = dialogs_->texts(QStringLiteral("box"));
    QCOMPARE(boxes, QStringList{QStringLiteral("数据库文件'CSBMK.mdb'无法删除，请仔细检查此文件属性")});
    QCOMPARE(dialogs_->shown.at(0).caption, QStringLiteral("错误提示！"));
    // The data file is as it was, the compacted copy stays in the current
    // folder, the next file was still compacted, and nothing claims success.
    QCOMPARE(contentOf(StationFolder::registrationDb()), before);
    QVERIFY(isSqliteFile(cwd_.filePath(QStringLiteral("压缩CSBMK.mdb"))));
    QVERIFY(!QFile::exists(cwd_.filePath(QStringLiteral("压缩dmb.mdb"))));
    QVERIFY(files.log.contains(QStringLiteral("rename dmb.mdb.压缩中 dmb.mdb")));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 1);
}

void TestMainForm::compactionRestoresFromTheCopyACrashLeft() {
    // A crash while an earlier run moved the copy back left the data file
    // cut short; the intact compacted copy must not be deleted.
    fill();
    const QString db = StationFolder::registrationDb();
    const QByteArray whole = contentOf(db);
    QVERIFY(QFile::copy(db, cwd_.filePath(QStringLiteral("压缩CSBMK.mdb"))));
    QFile cut(db);
    QVERIFY(cut.open(QIODevice::ReadWrite));
    QVERIFY(cut.resize(whole.size() / 2));
    cut.close();

    windows_->FormMain->N15->trigger();
    QVERIFY(dialogs_->texts(QStringLiteral("error")).isEmpty());
    const QStringList boxes = dialogs_->texts(QStringLiteral("box"));
    QCOMPARE(boxes.size(), 1);
    QVERIFY(boxes[0].startsWith(QStringLiteral("数据库文件'CSBMK.mdb'已损坏或丢失，已用上次压缩留下的完好副本")));
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{QStringLiteral("成功压缩数据库!")});
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 1);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 补考表")), 1);
    QCOMPARE(contentOf(db + QStringLiteral(".损坏")).size(), whole.size() / 2); // kept, not deleted
    QVERIFY(QDir(cwd_.path()).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestMainForm)
#include "test_mainform.moc"
