#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitCJ_BMK.h"
#include "UnitSJLR.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QtTest>
#include <memory>

// Keys and box limits in the registration windows, as their users know them.
class TestWindowManners : public QObject {
    Q_OBJECT
private slots:
    void init() {
        station_ = std::make_unique<TempStation>();
        dialogs_.clear();
    }
    void cleanup() { station_.reset(); }
    void escapeLeavesTheEntryWindowOpen();
    void boxLimitsTypingOnly();
    void numberAfter9999IsShownWholeAndTheSaveRefused();
    void enterInTheCreateWindowPressesNothing();
    void levelBoxAddsNoTypedItem();

private:
    std::unique_ptr<TempStation> station_;
    FakeDialogs dialogs_; // installed for the whole run
};

void TestWindowManners::escapeLeavesTheEntryWindowOpen() {
    TFormSJLR w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    edit(&w, "Edit39")->setText(QStringLiteral("01"));
    QTest::keyClick(edit(&w, "Edit39"), Qt::Key_Escape);
    QVERIFY(w.isVisible());
    QCOMPARE(edit(&w, "Edit39")->text(), QStringLiteral("01"));
}

void TestWindowManners::boxLimitsTypingOnly() {
    TFormSJLR w;
    QLineEdit* box = edit(&w, "Edit4"); // at most 4
    QTest::keyClicks(box, QStringLiteral("123456"));
    QCOMPARE(box->text(), QStringLiteral("1234"));
    box->setText(QStringLiteral("123456"));
    QCOMPARE(box->text(), QStringLiteral("123456"));
    QTest::keyClick(box, Qt::Key_Backspace); // shortening is always allowed
    QTest::keyClick(box, Qt::Key_7);
    QCOMPARE(box->text(), QStringLiteral("12345"));
    QSignalSpy enter(box, &QLineEdit::returnPressed); // the long text still counts as input
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(enter.count(), 1);
    box->setText(QStringLiteral("12"));
    QGuiApplication::clipboard()->setText(QStringLiteral("345"));
    box->paste();
    QCOMPARE(box->text(), QStringLiteral("12"));
}

void TestWindowManners::numberAfter9999IsShownWholeAndTheSaveRefused() {
    TFormSJLR w;
    Connection c(StationFolder::registrationDb());
    for (const QString& number : {QStringLiteral("090101000219999"), QStringLiteral("090101000211000")})
        c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) values(:n,:s,'某某',1)"),
                  {{":n", number}, {":s", number.left(10) + number.right(4)}});
    edit(&w, "Edit1")->setText(QStringLiteral("09"));
    edit(&w, "Edit2")->setText(QStringLiteral("0101"));
    edit(&w, "Edit3")->setText(QStringLiteral("0002"));
    button(&w, "Button4")->click();
    QCOMPARE(edit(&w, "Edit4")->text(), QStringLiteral("10000"));
    edit(&w, "Edit5")->setText(QStringLiteral("张三"));
    button(&w, "Button1")->click();
    // The test number would be 16 characters: the database refuses it.
    QCOMPARE(dialogs_.texts(QStringLiteral("error")).size(), 1);
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select count(*) as n from 学生表"));
    q.open();
    QCOMPARE(q.integer(QStringLiteral("n")), 2);
}

void TestWindowManners::enterInTheCreateWindowPressesNothing() {
    TFormCJ_BMK w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    edit(&w, "Edit1")->setText(QStringLiteral("0101"));
    QTest::keyClick(edit(&w, "Edit1"), Qt::Key_Return);
    QVERIFY(!QFile::exists(StationFolder::dataFolder() + QStringLiteral("0101学业水平测试报名库.mdb")));
    QVERIFY(dialogs_.shown.isEmpty());
}

void TestWindowManners::levelBoxAddsNoTypedItem() {
    TFormCJ_BMK w;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QComboBox* level = combo(&w, "ComboBox1");
    level->lineEdit()->setText(QStringLiteral("省级库"));
    QTest::keyClick(level->lineEdit(), Qt::Key_Return);
    QCOMPARE(level->count(), 2);
    QVERIFY(dialogs_.shown.isEmpty());
    QCOMPARE(QDir(StationFolder::dataFolder()).entryList(QDir::Files).size(), 2); // CSBMK.mdb, dmb.mdb
}

QTEST_MAIN(TestWindowManners)
#include "test_windowmanners.moc"
