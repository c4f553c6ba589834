#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "TestNumber.h"
#include "DbGrid.h"
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

// Lets a test look at the windows while a message is shown.
class WatchingDialogs : public FakeDialogs {
public:
    std::function<void()> onMessage;
    void message(const QString& text) override {
        FakeDialogs::message(text);
        if (onMessage)
            onMessage();
    }
};

// The 姓名 column of a grid as it shows it.
QStringList namesShown(const DataSource& source) {
    int column = -1;
    for (int c = 0; c < source.columnCount(); ++c)
        if (source.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == QStringLiteral("姓名"))
            column = c;
    QStringList names;
    for (int r = 0; r < source.rowCount(); ++r)
        names << source.index(r, column).data().toString();
    return names;
}

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
    void twoStudentsUnderOneNumber();
    void listShowsWhatWasSaved();

private:
    void student(const QString& testNumber, const QString& name, const QString& id);
    void list();
    QString row(const QString& testNumber);
    QString rowByKey(int key);
    int listRowOf(const QString& name);
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

// Every column of the row with that 序号, empty when there is none.
QString TestSJXG::rowByKey(int key) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 学生表 where 序号=:k"));
    q.setParam(QStringLiteral(":k"), key);
    q.open();
    if (q.isEmpty())
        return QString();
    QStringList values;
    for (const QVariant& v : q.row(0))
        values << Query::textOf(v);
    return values.join(QLatin1Char('/'));
}

int TestSJXG::listRowOf(const QString& name) {
    const Query& q = data_->QR1;
    for (int r = 0; r < q.recordCount(); ++r)
        if (Query::textOf(q.value(r, q.fieldIndex(QStringLiteral("姓名")))) == name)
            return r;
    return -1;
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
                               << "update 学生表 set 姓名='张小三' where 序号=2"
                               << "090101000210001" << "09010100020001/张小三/11010519491231002X/江苏省南京市";
    // The sub-number and photo name stay as they were.
    QTest::newRow("test number and ID number")
        << QStringList{"CheckBox3", "CheckBox1"}
        << "update 学生表 set 学业水平测试号='090101000210009',身份证号='110105194912310056' where 序号=2"
        << "090101000210009" << "09010100020001/张三/110105194912310056/江苏省南京市";
    QTest::newRow("all four, a quote in the place")
        << QStringList{"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4"}
        << "update 学生表 set 学业水平测试号='090101000210009',姓名='张小三',身份证号='110105194912310056',"
           "籍贯='O''Neil' where 序号=2"
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
    QCOMPARE(w_->ADOQuery1.sql(), QStringLiteral("delete from 学生表 where 序号=1"));
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

// The fault the duplicate check finds: two students under one test number.
// A change and a delete reach the student chosen in the list, and only him.
void TestSJXG::twoStudentsUnderOneNumber() {
    student(QStringLiteral("090101000210001"), QStringLiteral("赵六"), QStringLiteral("320102200001011246")); // 序号 5
    list();
    QCOMPARE(data_->QR1.recordCount(), 4);
    const QString zhangBefore = rowByKey(2);
    w_->GridCellClick(listRowOf(QStringLiteral("赵六")));
    box("CheckBox2")->setChecked(true);
    button(w_.get(), "Button2")->click();
    field("Edit4")->setText(QStringLiteral("赵小六"));
    button(w_.get(), "Button3")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("更改成功！")});
    QCOMPARE(rowByKey(2), zhangBefore);
    const QString zhaoAfter = rowByKey(5);
    QVERIFY2(zhaoAfter.contains(QStringLiteral("/赵小六/")), qPrintable(zhaoAfter));

    // The fields show the student the save goes to, also when another row
    // was chosen after 修改.
    w_->GridCellClick(listRowOf(QStringLiteral("张三")));
    button(w_.get(), "Button2")->click();
    w_->GridCellClick(listRowOf(QStringLiteral("赵小六")));
    field("Edit4")->setText(QStringLiteral("赵六"));
    button(w_.get(), "Button3")->click();
    QCOMPARE(rowByKey(2), zhangBefore);
    QCOMPARE(rowByKey(5), QString(zhaoAfter).replace(QStringLiteral("赵小六"), QStringLiteral("赵六")));

    dialogs_->clear();
    w_->GridCellClick(listRowOf(QStringLiteral("张三")));
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("删除一条信息成功！")});
    QCOMPARE(rowByKey(2), QString());
    QVERIFY(!rowByKey(5).isEmpty());
    QCOMPARE(count(), 4);
}

// When the success is said, the list already shows the new value, and it
// stays on the student saved, whom the fields show.
void TestSJXG::listShowsWhatWasSaved() {
    dialogs_.reset();
    auto* watching = new WatchingDialogs;
    dialogs_.reset(watching);
    auto* grid = control<DbGrid>(w_.get(), "Grid");
    list();
    w_->GridCellClick(2);
    box("CheckBox2")->setChecked(true);
    button(w_.get(), "Button2")->click();
    field("Edit4")->setText(QStringLiteral("王小五"));
    QStringList seen;
    watching->onMessage = [&] { seen = namesShown(*grid->dataSource()); };
    button(w_.get(), "Button3")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("更改成功！")});
    QCOMPARE(seen, (QStringList{"张三", "李四", "王小五"}));
    QCOMPARE(grid->dataSource()->currentRow(), 2);
    QCOMPARE(grid->currentIndex().row(), 2);
}

QTEST_MAIN(TestSJXG)
#include "test_sjxg.moc"
