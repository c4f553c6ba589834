#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "FakeDialogs.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "UnitMain.h"
#include "UnitXFSJLR.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>
#include <memory>

class TestXFSJLR : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuItemOpensTheWindow();
    void insertThenFindThenChange();
    void insertWithoutCredits();
    void changeMatchingNoRow();
    void changeUpdatesEveryRowOfTheTestNumber();
    void creditsThatAreNotIntegers_data();
    void creditsThatAreNotIntegers();

private:
    QLineEdit* box(int n) { return control<QLineEdit>(form(), QByteArray("Edit") + QByteArray::number(n)); }
    QPushButton* button(int n) {
        return control<QPushButton>(form(), QByteArray("Button") + QByteArray::number(n));
    }
    TFormXFSJLR* form() { return station_->FormXFSJLR; }
    void typeStudent(const QString& number, const QString& name, const QString& id, const QString& required,
                     const QString& elective);
    QVector<QVector<QVariant>> rows() {
        return selectRows(StationFolder::creditDb(),
                          QStringLiteral("select 学业水平测试号,学业水平测试副号,姓名,身份证号,必修学分,选修学分,"
                                         "总学分 from 学生表 order by rowid"));
    }
    // Which of Edit1..Edit5 and Button1, Button2 are enabled, as "11000 10".
    QString state();

    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
};

void TestXFSJLR::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
    form()->FormShow();
}

void TestXFSJLR::cleanup() {
    station_.reset();
    dialogs_.reset();
    folder_.reset();
}

QString TestXFSJLR::state() {
    QString s;
    for (int i = 1; i <= 5; ++i)
        s += box(i)->isEnabled() ? '1' : '0';
    s += ' ';
    s += button(1)->isEnabled() ? '1' : '0';
    s += button(2)->isEnabled() ? '1' : '0';
    return s;
}

void TestXFSJLR::typeStudent(const QString& number, const QString& name, const QString& id,
                             const QString& required, const QString& elective) {
    button(3)->click(); // 插入
    QCOMPARE(state(), QStringLiteral("11111 10"));
    box(1)->setText(number);
    box(2)->setText(name);
    box(3)->setText(id);
    box(4)->setText(required);
    box(5)->setText(elective);
}

void TestXFSJLR::menuItemOpensTheWindow() {
    auto* item = control<QAction>(station_->MainForm, "N22");
    QCOMPARE(item->text(), QStringLiteral("单个录入"));
    box(1)->setText(QStringLiteral("left over"));
    QString shownState;
    whenShown(form(), [&] {
        shownState = state() + box(1)->text();
        form()->reject();
    });
    item->trigger();
    QCOMPARE(shownState, QStringLiteral("10000 10"));
    QCOMPARE(form()->windowTitle(), QStringLiteral("学分数据录入"));
}

void TestXFSJLR::insertThenFindThenChange() {
    form()->show();
    QVERIFY(QTest::qWaitForWindowActive(form()));
    typeStudent(QStringLiteral(" 090101000120003 "), QStringLiteral("O'Hara"), QStringLiteral("37010119900101001X"),
                QStringLiteral("100"), QStringLiteral(" 8 "));
    button(4)->click(); // 保存
    QCOMPARE(dialogs_->texts(), QStringList{"数据插入成功！"});
    // The name and ID stay, still open for typing; the test number and
    // credits are emptied.
    QCOMPARE(state(), QStringLiteral("11100 10"));
    QCOMPARE(box(2)->text(), QStringLiteral("O'Hara"));
    QCOMPARE(box(1)->text() + box(4)->text() + box(5)->text(), QString());
    QCOMPARE(rows(), (QVector<QVector<QVariant>>{{"090101000120003", "09010100010003", "O'Hara",
                                                  "37010119900101001X", 100, 8, 108}}));

    box(1)->setText(QStringLiteral("090101000120003 "));
    QTest::mouseClick(button(1), Qt::LeftButton); // 定位
    QCOMPARE(state(), QStringLiteral("01111 01"));
    QCOMPARE((QStringList{box(1)->text(), box(2)->text(), box(3)->text(), box(4)->text(), box(5)->text()}),
             (QStringList{"090101000120003", "O'Hara", "37010119900101001X", "100", "8"}));

    // The required credit has the focus, selected: what is typed replaces it.
    QCOMPARE(QApplication::focusWidget(), box(4));
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("90"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("12"));
    QCOMPARE(box(4)->text() + "|" + box(5)->text(), QStringLiteral("90|12"));
    dialogs_->clear();
    button(2)->click(); // 确定修改
    QCOMPARE(dialogs_->texts(), QStringList{"数据修改成功！"});
    QCOMPARE(state(), QStringLiteral("11100 10")); // name and ID as 插入 left them
    QCOMPARE(box(2)->text(), QString());
    // The total is the sum of the new credits, not of the old ones.
    QCOMPARE(rows().at(0).mid(4), (QVector<QVariant>{90, 12, 102}));
}

void TestXFSJLR::insertWithoutCredits() {
    typeStudent(QStringLiteral("1234567890ABCDE"), QStringLiteral("张三"), QString(), QString(), QString());
    button(4)->click();
    const auto stored = rows();
    QCOMPARE(stored.size(), 1);
    QCOMPARE(stored[0][1].toString(), QStringLiteral("1234567890BCDE"));
    for (int c = 4; c < 7; ++c)
        QVERIFY(stored[0][c].isNull());
    QCOMPARE(FileProtection::formOf(StationFolder::creditDb()), FileProtection::Form::Protected);
}

void TestXFSJLR::changeMatchingNoRow() {
    addStudents(StationFolder::creditDb(), {{"09010100010001", "李四", "1", 50, 5, 55}});
    // Imported rows carry no test number: a lookup finds nothing.
    box(1)->setText(QStringLiteral("090101000110001"));
    button(1)->click();
    QCOMPARE(box(1)->text() + box(2)->text() + box(4)->text(), QString());
    QCOMPARE(state(), QStringLiteral("00011 01"));
    // The typed number is gone from its box: the user is told why.
    const QStringList told = dialogs_->texts();
    QCOMPARE(told.size(), 1);
    QVERIFY2(told[0].startsWith(QStringLiteral("没有找到学业水平测试号为“090101000110001”的学生")) &&
                 told[0].contains(QStringLiteral("导入的学生没有学业水平测试号")),
             qPrintable(told[0]));
    dialogs_->clear();
    box(4)->setText(QStringLiteral("1"));
    box(5)->setText(QStringLiteral("2"));
    button(2)->click();
    QCOMPARE(dialogs_->texts(), QStringList{"没有找到学业水平测试号为“”的记录，数据未修改！"});
    QCOMPARE(rows().at(0).mid(4), (QVector<QVariant>{50, 5, 55}));
    QCOMPARE(state(), QStringLiteral("10000 10"));
}

void TestXFSJLR::changeUpdatesEveryRowOfTheTestNumber() {
    for (int i = 0; i < 2; ++i) {
        typeStudent(QStringLiteral("090101000120003"), QStringLiteral("王五"), QString(), QStringLiteral("1"),
                    QStringLiteral("1"));
        button(4)->click();
    }
    box(1)->setText(QStringLiteral("090101000120003"));
    button(1)->click();
    box(4)->setText(QStringLiteral("7"));
    button(2)->click();
    const auto stored = rows();
    QCOMPARE(stored.size(), 2);
    for (const auto& row : stored)
        QCOMPARE(row.mid(4), (QVector<QVariant>{7, 1, 8}));
}

void TestXFSJLR::creditsThatAreNotIntegers_data() {
    QTest::addColumn<bool>("change");
    QTest::addColumn<QString>("required");
    QTest::addColumn<QString>("elective");
    QTest::addColumn<QString>("message");
    QTest::newRow("change, letters") << true << "9a" << "1" << "“9a”不是有效的整数。";
    QTest::newRow("change, empty") << true << "3" << "" << "“”不是有效的整数。";
    QTest::newRow("insert, one empty") << false << "" << "4" << "“”不是有效的整数。";
    QTest::newRow("insert, letters") << false << "4" << "x" << "“x”不是有效的整数。";
}

void TestXFSJLR::creditsThatAreNotIntegers() {
    QFETCH(bool, change);
    QFETCH(QString, required);
    QFETCH(QString, elective);
    QFETCH(QString, message);
    typeStudent(QStringLiteral("090101000120003"), QStringLiteral("赵六"), QString(), QStringLiteral("1"),
                QStringLiteral("2"));
    if (change) {
        button(4)->click();
        box(1)->setText(QStringLiteral("090101000120003"));
        button(1)->click();
    } else {
        button(3)->click();
        box(1)->setText(QStringLiteral("090101000120004"));
    }
    dialogs_->clear();
    box(4)->setText(required);
    box(5)->setText(elective);
    button(change ? 2 : 4)->click();
    QCOMPARE(dialogs_->texts(), QStringList{message});
    // Nothing written, the boxes keep what was typed.
    QCOMPARE(rows().size(), change ? 1 : 0);
    if (change)
        QCOMPARE(rows().at(0).mid(4), (QVector<QVariant>{1, 2, 3}));
    QCOMPARE(box(4)->text() + "|" + box(5)->text(), required + "|" + elective);
}

QTEST_MAIN(TestXFSJLR)
#include "test_xfsjlr.moc"
