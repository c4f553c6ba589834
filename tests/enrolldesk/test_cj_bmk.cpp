#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitCJ_BMK.h"
#include "Controls.h"

#include <QFile>
#include <QtTest>

class TestCJ_BMK : public QObject {
    Q_OBJECT
private slots:
    void showResetsTheWindow();
    void levelEnablesTheSchoolCode();
    void createsACountyFile();
    void createsASchoolFile();
    void secondCreateFailsBecauseTheFileExists();
    void unknownLevelGivesNoFile();
};

void TestCJ_BMK::showResetsTheWindow() {
    TempStation station;
    TFormCJ_BMK w;
    QCOMPARE(w.windowTitle(), QStringLiteral("创建报名库"));
    QCOMPARE(w.size(), QSize(263, 203));
    combo(&w, "ComboBox1")->setCurrentText(QStringLiteral("校级库"));
    edit(&w, "Edit1")->setText(QStringLiteral("0101"));
    edit(&w, "Edit2")->setText(QStringLiteral("0002"));
    edit(&w, "Edit2")->setEnabled(true);
    w.show();
    QCOMPARE(combo(&w, "ComboBox1")->currentText(), QStringLiteral("县级库"));
    QVERIFY(edit(&w, "Edit1")->text().isEmpty());
    QVERIFY(edit(&w, "Edit2")->text().isEmpty());
    QVERIFY(edit(&w, "Edit1")->isEnabled());
    QVERIFY(!edit(&w, "Edit2")->isEnabled());
}

void TestCJ_BMK::levelEnablesTheSchoolCode() {
    TempStation station;
    TFormCJ_BMK w;
    combo(&w, "ComboBox1")->setCurrentIndex(1);
    w.ComboBox1Select();
    QVERIFY(edit(&w, "Edit1")->isEnabled());
    QVERIFY(edit(&w, "Edit2")->isEnabled());
    combo(&w, "ComboBox1")->setCurrentIndex(0);
    w.ComboBox1Select();
    QVERIFY(edit(&w, "Edit1")->isEnabled());
    QVERIFY(!edit(&w, "Edit2")->isEnabled());
}

void TestCJ_BMK::createsACountyFile() {
    TempStation station;
    FakeDialogs dialogs;
    TFormCJ_BMK w;
    edit(&w, "Edit1")->setText(QStringLiteral(" 0101 "));
    button(&w, "Button1")->click();
    QVERIFY(dialogs.shown.isEmpty()); // no message on success
    Query q;
    q.setDatabasePath(StationFolder::dataFolder() + QStringLiteral("0101学业水平测试报名库.mdb"));
    q.setSql(QStringLiteral("select * from 学生表"));
    q.open();
    QCOMPARE(q.fieldNames(), (QStringList{"序号", "学业水平测试号", "姓名", "身份证号", "籍贯", "家庭住址", "联系电话",
                                          "中考成绩"}));
    // The early layout's narrower columns and numeric score.
    Connection c(q.databasePath());
    c.execute(QStringLiteral("insert into 学生表(籍贯,中考成绩) values('江苏省南京市',85.5)"));
    QVERIFY_THROWS_EXCEPTION(DbError, c.execute(QStringLiteral("insert into 学生表(籍贯) values('江苏省南京市玄武')")));
}

void TestCJ_BMK::createsASchoolFile() {
    TempStation station;
    FakeDialogs dialogs;
    TFormCJ_BMK w;
    combo(&w, "ComboBox1")->setCurrentText(QStringLiteral("校级库"));
    edit(&w, "Edit1")->setText(QStringLiteral("0101"));
    edit(&w, "Edit2")->setText(QStringLiteral("0002"));
    w.Button1Click();
    QVERIFY(QFile::exists(StationFolder::dataFolder() + QStringLiteral("01010002学业水平测试报名库.mdb")));
}

void TestCJ_BMK::secondCreateFailsBecauseTheFileExists() {
    TempStation station;
    FakeDialogs dialogs;
    TFormCJ_BMK w;
    button(&w, "Button1")->click(); // empty codes: "学业水平测试报名库.mdb"
    QVERIFY(QFile::exists(StationFolder::dataFolder() + QStringLiteral("学业水平测试报名库.mdb")));
    QVERIFY(dialogs.shown.isEmpty());
    button(&w, "Button1")->click();
    QCOMPARE(dialogs.texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs.texts(QStringLiteral("error")).at(0).contains(QStringLiteral("已存在")));
}

void TestCJ_BMK::unknownLevelGivesNoFile() {
    TempStation station;
    FakeDialogs dialogs;
    TFormCJ_BMK w;
    combo(&w, "ComboBox1")->setCurrentText(QStringLiteral("省级库"));
    edit(&w, "Edit1")->setText(QStringLiteral("0101"));
    button(&w, "Button1")->click();
    QCOMPARE(dialogs.texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(QDir(StationFolder::dataFolder()).entryList(QDir::Files).size(), 2); // CSBMK.mdb, dmb.mdb
}

QTEST_MAIN(TestCJ_BMK)
#include "test_cj_bmk.moc"
