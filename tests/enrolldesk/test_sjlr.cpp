#include "Controls.h"
#include "Database.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitSJLR.h"

#include <QTabWidget>
#include <QtTest>
#include <memory>

// The entry window: saving a student, the sequence number rules, focus.
class TestSJLR : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void layout();
    void pagesAndShowing();
    void saveChecksRequiredBoxesInOrder_data();
    void saveChecksRequiredBoxesInOrder();
    void saveComposesTheRow_data();
    void saveComposesTheRow();
    void saveStoresTextsAsTyped();
    void saveClearsThePersonalFieldsOnly();
    void refusedInsertChangesNothing_data();
    void refusedInsertChangesNothing();
    void refillClearsAndStatusBecomesRemark();

    void reserveRanges();
    void reserveRefusesBadInput();
    void firstFreeNumberWhenTheUserChoosesAClass();
    void nextNumberAfterASave();
    void endOfTheReservedList();
    void highestNumberPlusOne();

    void focusMovesOn();
    void gridsEditTheirTables();

private:
    void setText(const char* name, const QString& text) { edit(w_.get(), name)->setText(text); }
    QString text(const char* name) { return edit(w_.get(), name)->text(); }
    void setUnit(const QString& year = QStringLiteral("09"), const QString& county = QStringLiteral("0101"),
                 const QString& school = QStringLiteral("0002"));
    void setId(const QString& id);
    void setPhone(const QString& phone);
    void chooseClass(const QString& cls); // as the user does
    void reserve(const QString& cls, int from, int to, const QString& county = QStringLiteral("0101"),
                 const QString& school = QStringLiteral("0002"));
    void addStudent(const QString& testNumber, int cls = 1);
    Query students(const QString& where = QString());
    int count(const QString& sql);

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormSJLR> w_;
};

void TestSJLR::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    w_ = std::make_unique<TFormSJLR>();
}

void TestSJLR::cleanup() {
    w_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestSJLR::setUnit(const QString& year, const QString& county, const QString& school) {
    setText("Edit1", year);
    setText("Edit2", county);
    setText("Edit3", school);
}

void TestSJLR::setId(const QString& id) {
    for (int i = 0; i < 18; ++i)
        w_->idBoxes()[i]->setText(id.mid(i, 1));
}

void TestSJLR::setPhone(const QString& phone) {
    for (int i = 0; i < 12; ++i)
        w_->phoneBoxes()[i]->setText(phone.mid(i, 1));
}

void TestSJLR::chooseClass(const QString& cls) {
    QComboBox* box = combo(w_.get(), "ComboBox4");
    box->setCurrentText(cls);
    emit box->lineEdit()->textEdited(cls);
}

void TestSJLR::reserve(const QString& cls, int from, int to, const QString& county, const QString& school) {
    Connection c(StationFolder::registrationDb());
    for (int n = from; n <= to; ++n)
        c.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级) values(:c,:s,:n,:k)"),
                  {{":c", county}, {":s", school}, {":n", QStringLiteral("%1").arg(n, 4, 10, QLatin1Char('0'))},
                   {":k", cls}});
}

void TestSJLR::addStudent(const QString& testNumber, int cls) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,班级) values(:n,:s,'某某',:k)"),
              {{":n", testNumber}, {":s", testNumber.left(10) + testNumber.right(4)}, {":k", cls}});
}

Query TestSJLR::students(const QString& where) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 学生表 ") + where + QStringLiteral(" order by 序号"));
    q.open();
    return q;
}

int TestSJLR::count(const QString& sql) {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(sql);
    q.open();
    return int(q.integer(QStringLiteral("n")));
}

// ------------------------------------------------------------------ window

void TestSJLR::layout() {
    QCOMPARE(w_->windowTitle(), QStringLiteral("学业水平测试报名"));
    QCOMPARE(w_->size(), QSize(816, 616));
    const std::pair<const char*, int> limits[] = {{"Edit1", 2},  {"Edit2", 4},  {"Edit3", 4},  {"Edit4", 4},
                                                  {"Edit6", 1},  {"Edit23", 1}, {"Edit38", 1}, {"Edit29", 1},
                                                  {"Edit39", 4}, {"Edit40", 4}, {"Edit41", 4}, {"Edit43", 4}};
    for (const auto& [name, limit] : limits)
        QCOMPARE(DeskDialog::typingLimit(edit(w_.get(), name)), limit);
    QCOMPARE(combo(w_.get(), "ComboBox1")->currentText(), QStringLiteral("男"));
    QCOMPARE(combo(w_.get(), "ComboBox1")->count(), 2);
    QCOMPARE(combo(w_.get(), "ComboBox4")->count(), 46);
    QCOMPARE(combo(w_.get(), "ComboBox4")->itemText(45), QStringLiteral("46"));
    QCOMPARE(combo(w_.get(), "ComboBox2")->currentText(), QString());
    QComboBox* status = combo(w_.get(), "ComboBox3");
    QStringList items;
    for (int i = 0; i < status->count(); ++i)
        items << status->itemText(i);
    QCOMPARE(items, (QStringList{"", "省外转入", "省内转入", "休学复学", "休学", "转出", "流失"}));
    QCOMPARE(button(w_.get(), "Button4")->text(), QStringLiteral("获取报名库最大顺序号  "));
    QCOMPARE(button(w_.get(), "Button8")->text(), QStringLiteral("读二代身份证"));
    QCOMPARE(button(w_.get(), "Button9")->text(), QStringLiteral("自动读二代身份证"));
    QCOMPARE(button(w_.get(), "Button5")->text(), QStringLiteral("设置顺序号"));
    // The phone boxes, left to right.
    QStringList phoneNames;
    for (QLineEdit* box : w_->phoneBoxes())
        phoneNames << box->objectName();
    QCOMPARE(phoneNames, (QStringList{"Edit38", "Edit37", "Edit36", "Edit26", "Edit35", "Edit34", "Edit33", "Edit32",
                                      "Edit31", "Edit30", "Edit28", "Edit29"}));
    for (int i = 1; i < 12; ++i)
        QVERIFY(w_->phoneBoxes()[i]->x() > w_->phoneBoxes()[i - 1]->x());
    for (int i = 1; i < 18; ++i)
        QVERIFY(w_->idBoxes()[i]->x() > w_->idBoxes()[i - 1]->x());
}

void TestSJLR::pagesAndShowing() {
    auto* pages = control<QTabWidget>(w_.get(), "PageControl1");
    QCOMPARE(pages->tabText(0), QStringLiteral("报名 数据录入"));
    QCOMPARE(pages->tabText(1), QStringLiteral("学业水平测试顺序号设置"));
    reserve(QStringLiteral("1"), 5, 6);
    setUnit();
    setText("Edit4", QStringLiteral("0042"));
    setText("Edit42", QStringLiteral("备注"));
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral("9"));
    combo(w_.get(), "ComboBox3")->setCurrentText(QStringLiteral("休学"));
    w_->show();
    QCOMPARE(pages->currentIndex(), 1); // the sequence number page first
    QCOMPARE(combo(w_.get(), "ComboBox3")->currentText(), QStringLiteral("  "));
    QCOMPARE(combo(w_.get(), "ComboBox4")->currentText(), QStringLiteral("1"));
    // Setting the class proposes nothing; nothing else is reset.
    QCOMPARE(text("Edit4"), QStringLiteral("0042"));
    QCOMPARE(text("Edit42"), QStringLiteral("备注"));
    QCOMPARE(text("Edit2"), QStringLiteral("0101"));
    pages->setCurrentIndex(0);
    w_->hide();
    w_->show();
    QCOMPARE(pages->currentIndex(), 0); // the page last used
    QVERIFY(dialogs_->shown.isEmpty());
}

// -------------------------------------------------------------------- save

void TestSJLR::saveChecksRequiredBoxesInOrder_data() {
    QTest::addColumn<QString>("empty");
    QTest::addColumn<QString>("message");
    QTest::newRow("year") << "Edit1" << "请填写入学年份！";
    QTest::newRow("county") << "Edit2" << "请填写县区代码！";
    QTest::newRow("school") << "Edit3" << "请填写学校代码！";
    QTest::newRow("sequence") << "Edit4" << "请填写顺序号！";
    QTest::newRow("name") << "Edit5" << "姓名不能为空，请填写姓名！";
}

void TestSJLR::saveChecksRequiredBoxesInOrder() {
    QFETCH(QString, empty);
    QFETCH(QString, message);
    setUnit();
    setText("Edit4", QStringLiteral("0001"));
    setText("Edit5", QStringLiteral("张三"));
    // Every box after the empty one is empty too: the first message wins.
    const QStringList order{"Edit1", "Edit2", "Edit3", "Edit4", "Edit5"};
    for (int i = int(order.indexOf(empty)); i < order.size(); ++i)
        edit(w_.get(), qPrintable(order[i]))->clear();
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{message});
    QCOMPARE(students().recordCount(), 0);
}

void TestSJLR::saveComposesTheRow_data() {
    QTest::addColumn<QString>("gender");
    QTest::addColumn<QString>("id");
    QTest::addColumn<QString>("phone");
    QTest::addColumn<QString>("testNumber");
    QTest::addColumn<QString>("subNumber");
    QTest::addColumn<QString>("genderDigit");
    QTest::addColumn<QString>("storedId");
    QTest::addColumn<QString>("storedPhone");
    QTest::newRow("male") << "男" << "32010220000101123X" << "025123456789" << "090101000210007" << "09010100020007"
                          << "1" << "32010220000101123X" << "025123456789";
    QTest::newRow("female") << "女" << "32010220000101123X" << "13800000000" << "090101000220007"
                            << "09010100020007" << "2" << "32010220000101123X" << "13800000000";
    // Neither 男 nor 女: a 14-character test number equal to its sub-number.
    QTest::newRow("no gender") << "男女" << "" << "" << "09010100020007" << "09010100020007" << ""
                               << "" << "";
    // Boxes left empty here and there give shorter numbers without gaps.
    QTest::newRow("partial boxes") << "男" << "3201 2 20000" << "025  1234" << "090101000210007"
                                   << "09010100020007" << "1" << "3201220000" << "0251234";
}

void TestSJLR::saveComposesTheRow() {
    QFETCH(QString, gender);
    QFETCH(QString, id);
    QFETCH(QString, phone);
    setUnit();
    combo(w_.get(), "ComboBox1")->setCurrentText(gender);
    setText("Edit4", QStringLiteral("0007"));
    setText("Edit5", QStringLiteral(" 张三 "));
    setId(id);
    setPhone(phone);
    setText("Edit24", QStringLiteral("江苏省南京市玄武区"));
    setText("Edit25", QStringLiteral("南京市玄武区某某路1号"));
    setText("Edit27", QStringLiteral("560.5"));
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral(" 5 "));
    setText("Edit42", QStringLiteral("省外转入"));
    // Another window's list of the students (the correction window's).
    Query listed = students();
    DataSource otherList(&listed, QStringLiteral("学生表"), QStringLiteral("序号"));
    button(w_.get(), "Button1")->click();
    QVERIFY(otherList.isOutdated()); // it reads the new student in when shown

    Query q = students();
    QCOMPARE(q.recordCount(), 1);
    QTEST(q.text(QStringLiteral("学业水平测试号")), "testNumber");
    QTEST(q.text(QStringLiteral("学业水平测试副号")), "subNumber");
    QTEST(q.text(QStringLiteral("性别")), "genderDigit");
    QTEST(q.text(QStringLiteral("身份证号")), "storedId");
    QTEST(q.text(QStringLiteral("联系电话")), "storedPhone");
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("张三"));
    QCOMPARE(q.text(QStringLiteral("籍贯")), QStringLiteral("江苏省南京市玄武区"));
    QCOMPARE(q.text(QStringLiteral("家庭住址")), QStringLiteral("南京市玄武区某某路1号"));
    QCOMPARE(q.text(QStringLiteral("中考成绩")), QStringLiteral("560.5"));
    QCOMPARE(q.value(QStringLiteral("班级")).toLongLong(), 5LL);
    QCOMPARE(q.text(QStringLiteral("备注")), QStringLiteral("省外转入"));
    QVERIFY(q.isNull(QStringLiteral("电子照片")));
    // Class 5 has no reserved numbers: the save ends with the message.
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral(" 5 班报名结束，请重新选择班级！")});
    // The list shows the table newest first.
    QCOMPARE(w_->ADOQuery4.recordCount(), 1);
    QCOMPARE(w_->DataSource1->rowCount(), 1);
}

void TestSJLR::saveStoresTextsAsTyped() {
    setUnit();
    setText("Edit4", QStringLiteral("0001"));
    setText("Edit5", QStringLiteral("O'Neil"));
    setText("Edit25", QStringLiteral("张'三路'); delete from 学生表; --"));
    button(w_.get(), "Button1")->click();
    setText("Edit4", QStringLiteral("0002"));
    setText("Edit5", QStringLiteral(" ")); // a blank passes the check, stored empty
    button(w_.get(), "Button1")->click();
    Query q = students();
    QCOMPARE(q.recordCount(), 2);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("O'Neil"));
    QCOMPARE(q.text(QStringLiteral("家庭住址")), QStringLiteral("张'三路'); delete from 学生表; --"));
    q.next();
    QCOMPARE(q.text(QStringLiteral("姓名")), QString());
    QVERIFY(dialogs_->texts(QStringLiteral("error")).isEmpty());
}

void TestSJLR::saveClearsThePersonalFieldsOnly() {
    reserve(QStringLiteral("1"), 1, 3);
    setUnit();
    combo(w_.get(), "ComboBox1")->setCurrentText(QStringLiteral("女"));
    combo(w_.get(), "ComboBox3")->setCurrentText(QStringLiteral("休学"));
    setText("Edit4", QStringLiteral("0001"));
    setText("Edit5", QStringLiteral("张三"));
    setId(QStringLiteral("32010220000101123X"));
    setPhone(QStringLiteral("025123456789"));
    for (const char* name : {"Edit24", "Edit25", "Edit27", "Edit42"})
        setText(name, QStringLiteral("x"));
    button(w_.get(), "Button1")->click();
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(text("Edit4"), QStringLiteral("0002")); // the next reserved number
    for (const char* name : {"Edit5", "Edit24", "Edit25", "Edit27", "Edit42"})
        QVERIFY2(text(name).isEmpty(), name);
    for (QLineEdit* box : w_->idBoxes() + w_->phoneBoxes())
        QVERIFY(box->text().isEmpty());
    QCOMPARE(text("Edit1"), QStringLiteral("09"));
    QCOMPARE(text("Edit2"), QStringLiteral("0101"));
    QCOMPARE(text("Edit3"), QStringLiteral("0002"));
    QCOMPARE(combo(w_.get(), "ComboBox1")->currentText(), QStringLiteral("女"));
    QCOMPARE(combo(w_.get(), "ComboBox4")->currentText(), QStringLiteral("1"));
    QCOMPARE(combo(w_.get(), "ComboBox3")->currentText(), QStringLiteral("休学"));
    // The newest row is on top.
    setText("Edit5", QStringLiteral("李四"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(w_->ADOQuery4.recordCount(), 2);
    QCOMPARE(w_->DataSource1->index(0, 3).data().toString(), QStringLiteral("李四"));
    QCOMPARE(w_->DataSource1->index(0, 1).data().toString(), QStringLiteral("090101000220002"));
}

void TestSJLR::refusedInsertChangesNothing_data() {
    QTest::addColumn<QString>("cls");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("sequence");
    QTest::newRow("class not a number") << "五" << "张三" << "0001";
    QTest::newRow("class empty") << "" << "张三" << "0001";
    QTest::newRow("class with a statement") << "1,'x');--" << "张三" << "0001";
    QTest::newRow("name too long") << "1" << "欧阳张三李四王五赵六钱" << "0001";
    QTest::newRow("sequence of 10000") << "1" << "张三" << "10000";
}

void TestSJLR::refusedInsertChangesNothing() {
    QFETCH(QString, cls);
    QFETCH(QString, name);
    QFETCH(QString, sequence);
    setUnit();
    setText("Edit4", sequence);
    setText("Edit5", name);
    setId(QStringLiteral("32010220000101123X"));
    setText("Edit42", QStringLiteral("备注"));
    combo(w_.get(), "ComboBox4")->setCurrentText(cls);
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(dialogs_->shown.size(), 1);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 0);
    QCOMPARE(text("Edit5"), name);
    QCOMPARE(text("Edit4"), sequence);
    QCOMPARE(text("Edit23"), QStringLiteral("X"));
    QCOMPARE(text("Edit42"), QStringLiteral("备注"));
    QVERIFY(!w_->ADOQuery4.isOpen());
}

void TestSJLR::refillClearsAndStatusBecomesRemark() {
    setUnit();
    setText("Edit4", QStringLiteral("0001"));
    setText("Edit5", QStringLiteral("张三"));
    setId(QStringLiteral("32010220000101123X"));
    setPhone(QStringLiteral("025123456789"));
    setText("Edit27", QStringLiteral("560"));
    setText("Edit42", QStringLiteral("自己写的备注"));
    QComboBox* status = combo(w_.get(), "ComboBox3");
    status->setCurrentIndex(1);
    emit status->activated(1);
    QCOMPARE(text("Edit42"), QStringLiteral("省外转入")); // replaces the typed remark
    button(w_.get(), "Button3")->click();
    for (const char* name : {"Edit4", "Edit5", "Edit24", "Edit25", "Edit27"})
        QVERIFY2(text(name).isEmpty(), name);
    for (QLineEdit* box : w_->idBoxes() + w_->phoneBoxes())
        QVERIFY(box->text().isEmpty());
    QCOMPARE(text("Edit42"), QStringLiteral("省外转入"));
    QCOMPARE(text("Edit3"), QStringLiteral("0002"));
}

// -------------------------------------------------------- sequence numbers

void TestSJLR::reserveRanges() {
    auto reserveOnPage = [this](const QString& cls, const QString& from, const QString& to) {
        QComboBox* box = combo(w_.get(), "ComboBox2");
        box->setCurrentText(cls);
        setText("Edit39", QStringLiteral("0101"));
        setText("Edit40", QStringLiteral("0002"));
        setText("Edit41", from);
        setText("Edit43", to);
        button(w_.get(), "Button5")->click();
    };
    reserveOnPage(QStringLiteral("5"), QStringLiteral("1"), QStringLiteral("3"));
    reserveOnPage(QStringLiteral("5"), QStringLiteral("3"), QStringLiteral("1")); // nothing, no message
    reserveOnPage(QStringLiteral("6"), QStringLiteral("98"), QStringLiteral("101"));
    QVERIFY(dialogs_->shown.isEmpty());

    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 顺序号 order by 班级, 顺序号"));
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next())
        rows << q.text(QStringLiteral("县区代码")) + q.text(QStringLiteral("学校代码")) + QLatin1Char('/') +
                    q.text(QStringLiteral("顺序号")) + QLatin1Char('/') + q.text(QStringLiteral("班级"));
    QCOMPARE(rows, (QStringList{"01010002/0001/5", "01010002/0002/5", "01010002/0003/5", "01010002/0098/6",
                                "01010002/0099/6", "01010002/0100/6", "01010002/0101/6"}));
    // The page lists the class just reserved.
    QCOMPARE(w_->DataSource2->rowCount(), 4);
    QCOMPARE(w_->DataSource2->columnCount(), 4);
    QCOMPARE(w_->DataSource2->index(0, 2).data().toString(), QStringLiteral("0098"));

    // Listing a class shows its rows of every county and school.
    reserve(QStringLiteral("5"), 7, 7, QStringLiteral("0909"), QStringLiteral("0001"));
    QComboBox* box = combo(w_.get(), "ComboBox2");
    box->setCurrentText(QStringLiteral("5"));
    emit box->activated(4);
    QCOMPARE(w_->DataSource2->rowCount(), 4);
}

void TestSJLR::reserveRefusesBadInput() {
    combo(w_.get(), "ComboBox2")->setCurrentText(QStringLiteral("5"));
    setText("Edit41", QStringLiteral("1"));
    setText("Edit43", QStringLiteral("3"));
    button(w_.get(), "Button5")->click();
    setText("Edit39", QStringLiteral("0101"));
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(), (QStringList{"请填写县区代码！", "请填写学校代码！"}));
    dialogs_->clear();
    setText("Edit40", QStringLiteral("0002"));
    setText("Edit43", QStringLiteral("3a"));
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs_->texts(QStringLiteral("error")).at(0).contains(QStringLiteral("3a")));
    combo(w_.get(), "ComboBox2")->setCurrentText(QStringLiteral("五"));
    setText("Edit43", QStringLiteral("3"));
    button(w_.get(), "Button5")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 2);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 顺序号")), 0);
}

void TestSJLR::firstFreeNumberWhenTheUserChoosesAClass() {
    reserve(QStringLiteral("3"), 11, 14);
    addStudent(QStringLiteral("090101000210011"), 3); // male, this class
    addStudent(QStringLiteral("080101000220012"), 7); // female, another class and year: still taken
    addStudent(QStringLiteral("090101000310013"), 3); // another school: does not count
    setUnit();
    setText("Edit4", QStringLiteral("0999"));
    chooseClass(QStringLiteral("3"));
    QCOMPARE(text("Edit4"), QStringLiteral("0013"));
    QVERIFY(dialogs_->shown.isEmpty());

    // A class without reserved numbers, or with all of them taken: Edit4 stays.
    setText("Edit4", QStringLiteral("0999"));
    chooseClass(QStringLiteral("8"));
    QCOMPARE(text("Edit4"), QStringLiteral("0999"));
    reserve(QStringLiteral("9"), 11, 12);
    chooseClass(QStringLiteral("9"));
    QCOMPARE(text("Edit4"), QStringLiteral("0999"));
    QVERIFY(dialogs_->shown.isEmpty());

    // The program setting the class proposes nothing.
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral("3"));
    QCOMPARE(text("Edit4"), QStringLiteral("0999"));

    // A class that is not a number: the error dialog, nothing proposed.
    chooseClass(QStringLiteral("三"));
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(text("Edit4"), QStringLiteral("0999"));
}

void TestSJLR::nextNumberAfterASave() {
    reserve(QStringLiteral("2"), 10, 12);
    reserve(QStringLiteral("2"), 20, 20, QStringLiteral("0101"), QStringLiteral("0003")); // another school
    setUnit();
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral("2"));
    auto save = [this](const QString& sequence) {
        setText("Edit4", sequence);
        setText("Edit5", QStringLiteral("张三"));
        button(w_.get(), "Button1")->click();
    };
    save(QStringLiteral("0010"));
    QCOMPARE(text("Edit4"), QStringLiteral("0011"));
    // The list does not test whether the next number is used.
    addStudent(QStringLiteral("090101000210012"), 2);
    save(QStringLiteral("0010"));
    QCOMPARE(text("Edit4"), QStringLiteral("0011"));
    // A number typed by hand matches by its beginning ("001" begins "0010").
    save(QStringLiteral("001"));
    QCOMPARE(text("Edit4"), QStringLiteral("0011"));
    // A number not in the list: the list stays on its first row, the second is proposed.
    save(QStringLiteral("0777"));
    QCOMPARE(text("Edit4"), QStringLiteral("0011"));
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 5);

    // A range reserved twice: each save moves on to the next number, never
    // back to the one just saved.
    reserve(QStringLiteral("3"), 1, 3);
    reserve(QStringLiteral("3"), 1, 3);
    chooseClass(QStringLiteral("3"));
    QCOMPARE(text("Edit4"), QStringLiteral("0001"));
    QStringList proposed;
    for (int i = 0; i < 2; ++i) {
        save(text("Edit4"));
        proposed << text("Edit4");
    }
    QCOMPARE(proposed, (QStringList{"0002", "0003"}));
}

void TestSJLR::endOfTheReservedList() {
    reserve(QStringLiteral("4"), 1, 2);
    setUnit();
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral("4"));
    setText("Edit4", QStringLiteral("0002"));
    setText("Edit5", QStringLiteral("张三"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("4班报名结束，请重新选择班级！")});
    QCOMPARE(text("Edit4"), QStringLiteral("0002"));
    // Saving again without changing it stores a second row with the same number.
    setText("Edit5", QStringLiteral("李四"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表 where 学业水平测试号='090101000210002'")), 2);
    QCOMPARE(dialogs_->texts().size(), 2);
}

void TestSJLR::highestNumberPlusOne() {
    button(w_.get(), "Button4")->click();
    setText("Edit2", QStringLiteral("0101"));
    button(w_.get(), "Button4")->click();
    QCOMPARE(dialogs_->texts(), (QStringList{"请填写县区代码！", "请填写学校代码！"}));
    setText("Edit3", QStringLiteral("0002"));
    button(w_.get(), "Button4")->click();
    QCOMPARE(text("Edit4"), QStringLiteral("0001")); // a unit without students
    addStudent(QStringLiteral("090101000210098"));
    addStudent(QStringLiteral("090101000220099")); // either gender counts
    addStudent(QStringLiteral("090101000310500")); // another school does not
    setText("Edit4", QString());
    button(w_.get(), "Button4")->click();
    QCOMPARE(text("Edit4"), QStringLiteral("0100"));
    addStudent(QStringLiteral("09010100021"));
    QCOMPARE(dialogs_->texts().size(), 2);
}

// ------------------------------------------------------------------- focus

void TestSJLR::focusMovesOn() {
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    control<QTabWidget>(w_.get(), "PageControl1")->setCurrentIndex(0);
    auto focusIs = [this](const char* name) { return w_->focusWidget() && w_->focusWidget()->objectName() == name; };
    auto enter = [this](const char* name) { QTest::keyClick(edit(w_.get(), name), Qt::Key_Return); };

    edit(w_.get(), "Edit1")->setFocus();
    setText("Edit1", QStringLiteral("0"));
    QVERIFY(focusIs("Edit1"));
    setText("Edit1", QStringLiteral("09"));
    QVERIFY(focusIs("Edit2"));
    setText("Edit2", QStringLiteral("0101"));
    QVERIFY(focusIs("Edit3"));
    setText("Edit3", QStringLiteral("0002")); // no rule: the user moves on by hand
    QVERIFY(focusIs("Edit3"));
    QComboBox* gender = combo(w_.get(), "ComboBox1");
    gender->setCurrentIndex(1);
    emit gender->activated(1);
    QVERIFY(focusIs("Edit4"));
    enter("Edit4");
    QVERIFY(focusIs("Edit5"));
    enter("Edit5");
    QVERIFY(focusIs("Edit6"));
    // The program fills the ID boxes (as a card read does): the focus walks on.
    setId(QStringLiteral("32010220000101123X"));
    QVERIFY(focusIs("Edit24"));
    enter("Edit24");
    QVERIFY(focusIs("Edit25"));
    enter("Edit25");
    QVERIFY(focusIs("Edit38"));
    for (int i = 0; i < 11; ++i) {
        w_->phoneBoxes()[i]->setText(QStringLiteral("1"));
        QCOMPARE(w_->focusWidget(), w_->phoneBoxes()[i + 1]);
    }
    setText("Edit29", QStringLiteral("9"));
    QVERIFY(focusIs("Edit27"));
    edit(w_.get(), "Edit29")->setFocus();
    enter("Edit29");
    QVERIFY(focusIs("Edit27"));
    // A blank is not a character.
    edit(w_.get(), "Edit6")->setFocus();
    setText("Edit6", QStringLiteral(" "));
    QVERIFY(focusIs("Edit6"));

    // The sequence number page.
    control<QTabWidget>(w_.get(), "PageControl1")->setCurrentIndex(1);
    edit(w_.get(), "Edit39")->setFocus();
    setText("Edit39", QStringLiteral("0101"));
    QVERIFY(focusIs("Edit40"));
    edit(w_.get(), "Edit41")->setFocus();
    enter("Edit41");
    QVERIFY(focusIs("Edit43"));
    enter("Edit43");
    QVERIFY(focusIs("Button5"));
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 0); // Enter never saves
}

void TestSJLR::gridsEditTheirTables() {
    dialogs_->confirmations << true;
    setUnit();
    setText("Edit4", QStringLiteral("0001"));
    setText("Edit5", QStringLiteral("张三"));
    button(w_.get(), "Button1")->click();
    DataSource* list = w_->DataSource1;
    list->setData(list->index(0, 3), QStringLiteral("张三丰"), Qt::EditRole);
    list->post();
    QCOMPARE(students().text(QStringLiteral("姓名")), QStringLiteral("张三丰"));

    reserve(QStringLiteral("5"), 1, 2);
    QComboBox* box = combo(w_.get(), "ComboBox2");
    box->setCurrentText(QStringLiteral("5"));
    emit box->activated(4);
    DataSource* reserved = w_->DataSource2;
    QCOMPARE(reserved->rowCount(), 2);
    reserved->remove();
    QCOMPARE(count(QStringLiteral("select count(*) as n from 顺序号")), 1);

    // A correction still pending in a list when the list is read again (the
    // next student saved, by hand or from a card; a range reserved; another
    // class listed) is stored, not dropped.
    list->setData(list->index(0, 3), QStringLiteral("张三峰"), Qt::EditRole);
    setText("Edit4", QStringLiteral("0002"));
    setText("Edit5", QStringLiteral("李四"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表 where 姓名 in ('张三峰','李四')")), 2);
    reserved->setData(reserved->index(0, 2), QStringLiteral("0009"), Qt::EditRole);
    setText("Edit39", QStringLiteral("0101"));
    setText("Edit40", QStringLiteral("0002"));
    setText("Edit41", QStringLiteral("3"));
    setText("Edit43", QStringLiteral("3"));
    button(w_.get(), "Button5")->click();
    reserved->setData(reserved->index(0, 2), QStringLiteral("0008"), Qt::EditRole);
    box->setCurrentText(QStringLiteral("6"));
    emit box->activated(5);
    QCOMPARE(count(QStringLiteral("select count(*) as n from 顺序号 where 顺序号 in ('0009','0008')")), 2);
    // A refused correction stops the save before anything is stored; a
    // new row left blank is dropped.
    dialogs_->clear();
    list->setData(list->index(0, 11), QStringLiteral("x"), Qt::EditRole);
    setText("Edit4", QStringLiteral("0003"));
    setText("Edit5", QStringLiteral("王五"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"字段“班级”的值“x”不是有效的数字。"});
    QCOMPARE(text("Edit5"), QStringLiteral("王五"));
    list->cancel();
    list->insert();
    button(w_.get(), "Button1")->click();
    QCOMPARE(count(QStringLiteral("select count(*) as n from 学生表")), 3);
    QCOMPARE(w_->DataSource1->rowCount(), 3);
}

QTEST_MAIN(TestSJLR)
#include "test_sjlr.moc"
