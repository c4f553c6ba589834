#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "Database.h"
#include "DeliveredData.h"
#include "DeskError.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "Query.h"
#include "StationFolder.h"
#include "UnitMain.h"
#include "UnitSJDC.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>
#include <memory>

using FileProtection::Form;

class TestCreditMain : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void mainWindowNoticeAndMenu();
    void exportItemsSetTheLevel_data();
    void exportItemsSetTheLevel();
    void clearing_data();
    void clearing();
    void clearingThatFails();
    void deliveredFiles();
    void stationFilesFoundPlainAreProtectedAtStartUp();

private:
    void trigger(const char* item) { control<QAction>(station_->MainForm, item)->trigger(); }

    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
};

void TestCreditMain::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
    ProgramValues::reset();
}

void TestCreditMain::cleanup() {
    station_.reset();
    dialogs_.reset();
    folder_.reset();
}

void TestCreditMain::mainWindowNoticeAndMenu() {
    TMainForm* main = station_->MainForm;
    main->showCentred();
    QVERIFY(QTest::qWaitForWindowExposed(main));
    QCOMPARE(main->windowTitle(), QStringLiteral("Veldran省普通高中学分报送系统"));
    QCOMPARE(main->centralWidget()->size(), QSize(651, 446));
    QCOMPARE(main->minimumSize(), main->maximumSize()); // fixed border
    QVERIFY(main->windowFlags() & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(main->windowFlags() & Qt::WindowMaximizeButtonHint));

    const QList<std::pair<int, QString>> panels{
        {64,
         "注意：学校在进入程序时，首先将本校的基本信息进行数据导入，然后点击数据录入-->批量录入，打开批量录"},
        {104, QStringLiteral(
                  "入界面进行学分录入皆可，另数据报送时请注意系统的提示信息，如录入有误，请及时做出修改。") +
                  QString(21, QLatin1Char(' '))},
        {144,
         "如需要添加一个学生，请学校单独上报纸质材料，学校，市教育育局主管部门盖章后上报省教育厅信息中心。"},
        {184, "学分录入使用说明在批量录入页面可以看到。"}};
    const char* names[] = {"Panel4", "Panel1", "Panel2", "Panel3"};
    for (int i = 0; i < 4; ++i) {
        auto* label = control<QLabel>(main->centralWidget(), names[i]);
        QCOMPARE(label->text(), panels[i].second);
        QCOMPARE(label->geometry(), QRect(24, panels[i].first, 609, 41));
        QCOMPARE(label->alignment(), Qt::AlignCenter);
    }

    QStringList menu; // "menu name/caption: item name/caption" in order
    for (QAction* entry : main->menuBar()->actions()) {
        for (QAction* item : entry->menu()->actions())
            menu << QStringLiteral("%1/%2: %3/%4")
                        .arg(entry->menu()->objectName(), entry->text(), item->objectName(), item->text());
    }
    QCOMPARE(menu, (QStringList{
                       "N1/系统设置: N2/数据清空", "N1/系统设置: NSJHF/数据恢复", "N17/数据导入: N18/导入数据", "N3/数据录入: N16/批量录入",
                       "N3/数据录入: N22/单个录入",
                       "N5/报表打印: N10/分市打印", "N5/报表打印: N11/分县打印", "N5/报表打印: N21/分校打印",
                       "N6/数据报送: N7/分市导出", "N6/数据报送: N8/分县导出", "N6/数据报送: N9/分校导出"}));
}

void TestCreditMain::exportItemsSetTheLevel_data() {
    QTest::addColumn<QByteArray>("item");
    QTest::addColumn<int>("level");
    QTest::newRow("分市导出") << QByteArray("N7") << 1;
    QTest::newRow("分县导出") << QByteArray("N8") << 2;
    QTest::newRow("分校导出") << QByteArray("N9") << 3;
}

void TestCreditMain::exportItemsSetTheLevel() {
    QFETCH(QByteArray, item);
    QFETCH(int, level);
    int shownAt = 0;
    whenShown(station_->FormSJDC, [&] {
        shownAt = ProgramValues::ExportLevel;
        station_->FormSJDC->reject();
    });
    trigger(item.constData());
    QCOMPARE(shownAt, level);
}

void TestCreditMain::clearing_data() {
    QTest::addColumn<int>("answer");
    QTest::addColumn<int>("left");
    QTest::newRow("yes") << int(Dialogs::Answer::Yes) << 0;
    QTest::newRow("no") << int(Dialogs::Answer::No) << 3;
    QTest::newRow("cancel") << int(Dialogs::Answer::Cancel) << 3;
}

void TestCreditMain::clearing() {
    QFETCH(int, answer);
    QFETCH(int, left);
    const QString db = StationFolder::creditDb();
    // Students of two cities: clearing takes every one of them.
    addStudents(db, {{"09010100010001", "甲", "1", 120, 30, 150},
                     {"09010200010001", "乙", "2", {}, {}, {}},
                     {"09020100010001", "丙", "3", 116, 28, 144}});
    dialogs_->answers << Dialogs::Answer(answer);
    trigger("N2");
    QCOMPARE(dialogs_->shown.at(0).kind, QStringLiteral("ask"));
    QCOMPARE(dialogs_->shown.at(0).text, QStringLiteral("确实要清空数据库内容吗？"));
    QCOMPARE(dialogs_->shown.at(0).caption, QStringLiteral("确认信息"));
    QCOMPARE(dialogs_->texts(QStringLiteral("message")),
             left ? QStringList() : QStringList{QStringLiteral("清空数据库内容成功！")});
    QCOMPARE(FileProtection::formOf(db), Form::Protected);
    QCOMPARE(countRows(db, QStringLiteral("select * from 学生表")), left);

    // Clearing an empty database is a success as well.
    dialogs_->clear();
    dialogs_->answers << Dialogs::Answer::Yes;
    trigger("N2");
    QCOMPARE(dialogs_->texts(QStringLiteral("message")), QStringList{QStringLiteral("清空数据库内容成功！")});
}

void TestCreditMain::clearingThatFails() {
    // A credit database without 学生表: the error is shown and the file is
    // back in its protected form.
    const QString db = StationFolder::creditDb();
    QFile::remove(db);
    Connection::createFile(db);
    Connection(db).execute(QStringLiteral("create table 其他(a text)"));
    FileProtection::protect(db);
    dialogs_->answers << Dialogs::Answer::Yes << Dialogs::Answer::Yes;
    trigger("N2");
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs_->texts(QStringLiteral("error"))[0].contains(QStringLiteral("学生表")));
    QCOMPARE(FileProtection::formOf(db), Form::Protected);
    // A missing database: an error, and no file made up.
    QFile::remove(db);
    trigger("N2");
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 2);
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QVERIFY(!QFile::exists(db));
}

void TestCreditMain::deliveredFiles() {
    const QString db = StationFolder::creditDb();
    QCOMPARE(FileProtection::formOf(db), Form::Protected);
    QCOMPARE(FileProtection::formOf(StationFolder::nameTableDb()), Form::Protected);
    {
        FileProtection::Lift lifted(db);
        Query q;
        q.setDatabasePath(db);
        q.setSql(QStringLiteral("select * from 学生表"));
        q.open();
        QCOMPARE(q.fieldNames(), (QStringList{"学业水平测试号", "学业水平测试副号", "姓名", "身份证号",
                                              "必修学分", "选修学分", "总学分"}));
        QCOMPARE(q.recordCount(), 0);
        // Credits are numbers: quoted digits become numbers, other texts are refused.
        Connection c(db);
        c.execute(
            QStringLiteral("insert into 学生表(学业水平测试副号,必修学分) values('09010100010001','116')"));
        QVERIFY_THROWS_EXCEPTION(DbError,
                                 c.execute(QStringLiteral("insert into 学生表(必修学分) values('十')")));
    }
    QCOMPARE(countRows(db, QStringLiteral("select * from 学生表 where 必修学分=116")), 1);

    // The name table holds the unit list: a row per city and per school.
    QCOMPARE(countRows(StationFolder::nameTableDb(), QStringLiteral("select * from 市县学校编码表")), 16);
    QCOMPARE(
        selectRows(
            StationFolder::nameTableDb(),
            QStringLiteral(
                "select 市县名称,学校名称 from 市县学校编码表 where 市县编码='0101' and 学校编码='0002'")),
        (QVector<QVector<QVariant>>{{QStringLiteral("城东区"), QStringLiteral("青岚市实验中学")}}));

    // Laying the folder out again keeps the data; a list with another header
    // makes no file.
    DeliveredData::layOutCreditStation(folder_->path(), unitsCsv());
    QCOMPARE(countRows(db, QStringLiteral("select * from 学生表")), 1);
    QFile csv(folder_->file(QStringLiteral("units.csv")));
    QVERIFY(csv.open(QIODevice::WriteOnly));
    csv.write("code,name,school,schoolName\n01,青岚市,,\n");
    csv.close();
    const QString other = folder_->file(QStringLiteral("data/other.mdb"));
    QVERIFY_THROWS_EXCEPTION(DeskError, DeliveredData::writeNameTableDb(other, csv.fileName()));
    QVERIFY(!QFile::exists(other));
}

void TestCreditMain::stationFilesFoundPlainAreProtectedAtStartUp() {
    // As a crash between lifting and restoring leaves them.
    station_.reset();
    const QString files[] = {StationFolder::creditDb(), StationFolder::nameTableDb()};
    for (const QString& path : files)
        FileProtection::lift(path);
    station_ = std::make_unique<CreditStation>();
    for (const QString& path : files)
        QCOMPARE(FileProtection::formOf(path), Form::Protected);
}

QTEST_MAIN(TestCreditMain)
#include "test_creditmain.moc"
