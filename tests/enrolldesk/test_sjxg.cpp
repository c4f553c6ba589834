#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "TestNumber.h"
#include "UnitSJXG.h"
#include "Unitdata.h"

#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QVBoxLayout>
#include <memory>

namespace {

// Counts the key presses that reach the object it watches.
class KeyCounter : public QObject {
public:
    int presses = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

} // namespace

class TestSJXG : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { w_.reset(), data_.reset(), dialogs_.reset(), station_.reset(); }
    void listingNeedsBothCodes_data();
    void listingNeedsBothCodes();
    void listingAndUnlocking();
    void save_data();
    void save();
    void saveWithoutAChoice();
    void saveOfANumberThatIsGone();
    void deleteByTheShownNumber();
    void arrowKeysWalkTheList();
    void arrowKeysOfOtherWindowsPass();
    void listLeftByThePhotoWindow();

private:
    void student(const QString& testNumber, const QString& name, const QString& id);
    void list();
    QString row(const QString& testNumber);
    int count();
    QLineEdit* field(const char* name) { return edit(w_.get(), name); }
    QCheckBox* box(const char* name) { return control<QCheckBox>(w_.get(), name); }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TData> data_;
    std::unique_ptr<TFormSJXG> w_;
};

void TestSJXG::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    student(QStringLiteral("090101000220002"), QStringLiteral("李四"), QStringLiteral("110105194912310021"));
    student(QStringLiteral("090101000210001"), QStringLiteral("张三"), QStringLiteral("11010519491231002X"));
    student(QStringLiteral("090101000210003"), QStringLiteral("王五"), QStringLiteral("320102200001011238"));
    student(QStringLiteral("090101000310001"), QStringLiteral("别校"), QStringLiteral("320102200001011238"));
    data_ = std::make_unique<TData>();
    w_ = std::make_unique<TFormSJXG>();
    w_->setData(data_.get());
    w_->show();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
}

void TestSJXG::student(const QString& testNumber, const QString& name, const QString& id) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,籍贯,班级) "
                             "values(:t,:s,:n,:d,'江苏省南京市',1)"),
              {{QStringLiteral(":t"), testNumber},
               {QStringLiteral(":s"), TestNumber::subNumber(testNumber)},
               {QStringLiteral(":n"), name},
               {QStringLiteral(":d"), id}});
}

void TestSJXG::list() {
    field("Edit1")->setText(QStringLiteral("0101"));
    field("Edit2")->setText(QStringLiteral("0002"));
    QTest::keyClick(field("Edit2"), Qt::Key_Return);
}

// 学业水平测试副号/姓名/身份证号/籍贯 of the rows with that test number.
QString TestSJXG::row(const QString& testNumber) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select group_concat(学业水平测试副号||'/'||姓名||'/'||身份证号||'/'||籍贯, ';') as r "
                            "from 学生表 where 学业水平测试号=:t"));
    q.setParam(QStringLiteral(":t"), testNumber);
    q.open();
    return q.text(QStringLiteral("r"));
}

int TestSJXG::count() {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select count(*) as n from 学生表"));
    q.open();
    return int(q.integer(QStringLiteral("n")));
}

void TestSJXG::listingNeedsBothCodes_data() {
    QTest::addColumn<QString>("county");
    QTest::addColumn<QString>("school");
    QTest::addColumn<QString>("message");
    QTest::newRow("no county") << " " << "0002" << "县区代码不能为空！";
    QTest::newRow("no school") << "0101" << "" << "学校代码不能为空！";
}

void TestSJXG::listingNeedsBothCodes() {
    QFETCH(QString, county);
    QFETCH(QString, school);
    QFETCH(QString, message);
    field("Edit1")->setText(county);
    field("Edit2")->setText(school);
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{message});
    QVERIFY(!data_->QR1.isOpen());
}

void TestSJXG::listingAndUnlocking() {
    list();
    QCOMPARE(control<QLabel>(w_.get(), "Label7")->text(), QStringLiteral("学生总数：3"));
    QCOMPARE((QStringList{field("Edit3")->text(), field("Edit4")->text(), field("Edit5")->text(), field("Edit6")->text()}),
             (QStringList{"090101000210001", "张三", "11010519491231002X", "江苏省南京市"}));
    QVERIFY(!field("Edit3")->isEnabled() && !button(w_.get(), "Button3")->isEnabled());

    box("CheckBox2")->setChecked(true);
    box("CheckBox4")->setChecked(true);
    button(w_.get(), "Button2")->click();
    QCOMPARE(QList<bool>({field("Edit3")->isEnabled(), field("Edit4")->isEnabled(), field("Edit5")->isEnabled(),
                          field("Edit6")->isEnabled()}),
             QList<bool>({false, true, false, true}));
    QVERIFY(button(w_.get(), "Button3")->isEnabled());
    // Clicks in the list fill the fields; the key of the save stays.
    w_->GridCellClick(2);
    QCOMPARE(field("Edit4")->text(), QStringLiteral("王五"));
    QVERIFY(field("Edit4")->isEnabled());
    QCOMPARE(w_->previousTestNumber(), QStringLiteral("090101000210001"));
}

void TestSJXG::save_data() {
    QTest::addColumn<QStringList>("boxes");
    QTest::addColumn<QString>("statement");
    QTest::addColumn<QString>("key");   // the test number the row has afterwards
    QTest::addColumn<QString>("after"); // its sub-number/name/ID/place
    QTest::newRow("name only") << QStringList{"CheckBox2"}
                               << "update 学生表 set 姓名='张小三' where 学业水平测试号='090101000210001'"
                               << "090101000210001" << "09010100020001/张小三/11010519491231002X/江苏省南京市";
    // The sub-number and photo name stay as they were.
    QTest::newRow("test number and ID number")
        << QStringList{"CheckBox3", "CheckBox1"}
        << "update 学生表 set 学业水平测试号='090101000210009',身份证号='110105194912310056' where "
           "学业水平测试号='090101000210001'"
        << "090101000210009" << "09010100020001/张三/110105194912310056/江苏省南京市";
    QTest::newRow("all four, a quote in the place")
        << QStringList{"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4"}
        << "update 学生表 set 学业水平测试号='090101000210009',姓名='张小三',身份证号='110105194912310056',"
           "籍贯='O''Neil' where 学业水平测试号='090101000210001'"
        << "090101000210009" << "09010100020001/张小三/110105194912310056/O'Neil";
}

void TestSJXG::save() {
    QFETCH(QStringList, boxes);
    QFETCH(QString, statement);
    QFETCH(QString, key);
    QFETCH(QString, after);
    list();
    for (const QString& name : boxes)
        box(name.toLatin1().constData())->setChecked(true);
    button(w_.get(), "Button2")->click();
    // Every field gets a new text; only the chosen ones are written.
    field("Edit3")->setText(QStringLiteral("090101000210009 "));
    field("Edit4")->setText(QStringLiteral(" 张小三"));
    field("Edit5")->setText(QStringLiteral("110105194912310056"));
    field("Edit6")->setText(boxes.size() == 4 ? QStringLiteral("O'Neil") : QStringLiteral("上海市"));
    button(w_.get(), "Button3")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("更改成功！")});
    QCOMPARE(w_->ADOQuery1.sql(), statement);
    QCOMPARE(row(key), after);
    QCOMPARE(count(), 4);
    QVERIFY(!field("Edit3")->isEnabled() && !field("Edit5")->isEnabled() && !button(w_.get(), "Button3")->isEnabled());
    QVERIFY(w_->previousTestNumber().isEmpty());
    // The list is read again; the fields keep what was typed.
    QCOMPARE(data_->QR1.recordCount(), 3);
    QCOMPARE(field("Edit5")->text(), QStringLiteral("110105194912310056"));
}

void TestSJXG::saveWithoutAChoice() {
    list();
    box("CheckBox2")->setChecked(true);
    button(w_.get(), "Button2")->click();
    box("CheckBox2")->setChecked(false);
    field("Edit4")->setText(QStringLiteral("张小三"));
    button(w_.get(), "Button3")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("请选择修改内容！")});
    QCOMPARE(row(QStringLiteral("090101000210001")), QStringLiteral("09010100020001/张三/11010519491231002X/江苏省南京市"));
    QVERIFY(field("Edit4")->isEnabled());
    QVERIFY(button(w_.get(), "Button3")->isEnabled());
}

void TestSJXG::saveOfANumberThatIsGone() {
    list();
    box("CheckBox2")->setChecked(true);
    button(w_.get(), "Button2")->click();
    {
        Connection c(StationFolder::registrationDb());
        c.execute(QStringLiteral("delete from 学生表 where 学业水平测试号='090101000210001'"));
    }
    field("Edit4")->setText(QStringLiteral("张小三"));
    button(w_.get(), "Button3")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("没有找到学业水平测试号为090101000210001的记录！")});
    QCOMPARE(count(), 3);
    // Nothing was written: the change can still be saved or redone.
    QVERIFY(field("Edit4")->isEnabled());
    QVERIFY(button(w_.get(), "Button3")->isEnabled());
}

void TestSJXG::deleteByTheShownNumber() {
    list();
    w_->GridCellClick(1);
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("删除一条信息成功！")});
    QCOMPARE(w_->ADOQuery1.sql(), QStringLiteral("delete from 学生表 where 学业水平测试号='090101000220002'"));
    QCOMPARE(row(QStringLiteral("090101000220002")), QString());
    QCOMPARE(count(), 3);
    QCOMPARE(data_->QR1.recordCount(), 3); // not read again

    dialogs_->clear();
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("没有找到学业水平测试号为090101000220002的记录！")});
    dialogs_->clear();
    field("Edit3")->clear();
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("没有找到学业水平测试号为的记录！")});
    QCOMPARE(count(), 3);
}

void TestSJXG::arrowKeysWalkTheList() {
    list();
    QLineEdit* county = field("Edit1");
    county->setFocus();
    KeyCounter reached;
    county->installEventFilter(&reached);
    QTest::keyClick(county, Qt::Key_Down);
    QCOMPARE(field("Edit3")->text(), QStringLiteral("090101000220002"));
    QTest::keyClick(county, Qt::Key_Down);
    QTest::keyClick(county, Qt::Key_Down); // past the last row: stays
    QCOMPARE(field("Edit3")->text(), QStringLiteral("090101000210003"));
    QCOMPARE(data_->QR1.recNo(), 3);
    QTest::keyClick(county, Qt::Key_Up);
    QCOMPARE(field("Edit4")->text(), QStringLiteral("李四"));
    QCOMPARE(reached.presses, 0);
    // Other keys reach the control.
    county->setText(QStringLiteral("010"));
    QTest::keyClick(county, Qt::Key_1);
    QCOMPARE(reached.presses, 1);
    QCOMPARE(county->text(), QStringLiteral("0101"));

    // The grid follows, and keys in it are the window's too.
    auto* grid = control<QWidget>(w_.get(), "Grid");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Up);
    QCOMPARE(field("Edit3")->text(), QStringLiteral("090101000210001"));
    QCOMPARE(data_->QR1.recNo(), 1);
}

void TestSJXG::arrowKeysOfOtherWindowsPass() {
    list();
    QDialog other;
    auto* box = new QLineEdit(&other);
    new QVBoxLayout(&other);
    other.layout()->addWidget(box);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    box->setFocus();
    KeyCounter reached;
    box->installEventFilter(&reached);
    QTest::keyClick(box, Qt::Key_Down);
    QCOMPARE(reached.presses, 1);
    QCOMPARE(field("Edit3")->text(), QStringLiteral("090101000210001"));
}

void TestSJXG::listLeftByThePhotoWindow() {
    // The photo window lists sub-numbers and names only in the shared QR1.
    data_->QR1.close();
    data_->QR1.setDatabasePath(StationFolder::registrationDb());
    data_->QR1.setSql(QStringLiteral("select 班级,学业水平测试副号,姓名 from 学生表 order by 学业水平测试副号"));
    data_->QR1.open();
    field("Edit1")->setFocus();
    QTest::keyClick(field("Edit1"), Qt::Key_Down);
    QCOMPARE(dialogs_->shown.size(), 0);
    QCOMPARE(field("Edit4")->text(), QStringLiteral("李四"));
    QCOMPARE(field("Edit3")->text(), QString());
}

QTEST_MAIN(TestSJXG)
#include "test_sjxg.moc"
