#include "Controls.h"
#include "Database.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitBKBM.h"

#include <QtTest>

namespace {

const QString FilledCaption = QStringLiteral("补考库中已存在报名数据，重新生成请点击！");
const QString EmptyCaption = QStringLiteral("补考库中不存在报名数据，需要生成请点击！");

// One row of 成绩表: sub-number, name, ID number, six grades.
void addScore(Connection& c, const QString& sub, const QString& name, const QString& id, const QStringList& grades) {
    Params params{{QString(), sub}, {QString(), name}, {QString(), id}};
    for (const QString& g : grades)
        params.emplace_back(QString(), g);
    c.execute(QStringLiteral("insert into 成绩表(学业水平测试副号,姓名,身份证号,语文等第,数学等第,外语等第,科学等第,"
                             "人文等第,技术等第) values(?,?,?,?,?,?,?,?,?)"),
              params);
}

// 补考表 in insertion order: sub-number, name, ID number, six marks.
QStringList makeupRows() {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select 学业水平测试副号||'|'||姓名||'|'||身份证号||'|'||语文补考||'|'||数学补考||'|'||"
                            "外语补考||'|'||科学补考||'|'||人文补考||'|'||技术补考 as r from 补考表 order by 序号"));
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next())
        rows << q.text(QStringLiteral("r"));
    return rows;
}

} // namespace

class TestBKBM : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void generatesOneRowPerFailingStudent();
    void clickingAgainReplacesTheRows();
    void failureKeepsEarlierRowsAndUpdatesTheCaption();
    void listsOneSchool();

private:
    QString caption(TFormBKBM& w) { return button(&w, "BitBtn1")->text(); }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<Connection> db_;
};

void TestBKBM::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    db_ = std::make_unique<Connection>(StationFolder::registrationDb());
}

void TestBKBM::cleanup() {
    db_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestBKBM::generatesOneRowPerFailingStudent() {
    // Values go over as stored (blanks, quotes); only an uppercase "D" fails.
    addScore(*db_, "09010100020001", "张三 ", "32010220090315123X", {"D", "A", "B", "D", "C", "B"});
    addScore(*db_, "09010100020002", "李四", "320104200907210026", {"A", "B", "C", "B", "A", "C"});
    addScore(*db_, "09010100020003", "王五", "320111200902280019", {"d", "d", "C", "D ", "A", "B"});
    addScore(*db_, "09010100030001", "O'Neil", "110101200911110028", {"D", "D", "D", "D", "D", "D"});
    db_->execute(QStringLiteral("insert into 成绩表(学业水平测试副号,姓名,技术等第) values('09010100030002','赵六','D')"));

    TFormBKBM w;
    w.show();
    QCOMPARE(caption(w), EmptyCaption);
    QCOMPARE(button(&w, "BitBtn1")->palette().color(QPalette::ButtonText), QColor(Qt::blue));
    button(&w, "BitBtn1")->click();
    QVERIFY(dialogs_->shown.isEmpty()); // no message when generating ends
    QCOMPARE(makeupRows(), (QStringList{
                               "09010100020001|张三 |32010220090315123X|补|||补||",
                               "09010100030001|O'Neil|110101200911110028|补|补|补|补|补|补",
                               "09010100030002|赵六|||||||补",
                           }));
    QCOMPARE(caption(w), FilledCaption);
    QCOMPARE(button(&w, "BitBtn1")->palette().color(QPalette::ButtonText), QColor(Qt::red));
}

void TestBKBM::clickingAgainReplacesTheRows() {
    db_->execute(QStringLiteral("insert into 补考表(学业水平测试副号,姓名) values('09019999990001','旧')"));
    addScore(*db_, "09010100020001", "张三", "1", {"A", "D", "A", "A", "A", "A"});
    TFormBKBM w;
    w.show();
    QCOMPARE(caption(w), FilledCaption);
    w.BitBtn1Click(); // the old row goes
    const QStringList once{"09010100020001|张三|1||补||||"};
    QCOMPARE(makeupRows(), once);
    w.BitBtn1Click(); // and nothing is appended twice
    QCOMPARE(makeupRows(), once);

    // An empty score table empties the make-up table; the caption says so,
    // and the next click generates without doubling.
    db_->execute(QStringLiteral("delete from 成绩表"));
    w.BitBtn1Click();
    QVERIFY(makeupRows().isEmpty());
    QCOMPARE(caption(w), EmptyCaption);
    addScore(*db_, "09010100020001", "张三", "1", {"A", "D", "A", "A", "A", "A"});
    w.BitBtn1Click();
    w.BitBtn1Click();
    QCOMPARE(makeupRows(), once);
}

void TestBKBM::failureKeepsEarlierRowsAndUpdatesTheCaption() {
    db_->execute(QStringLiteral("create trigger refuse before insert on 补考表 when new.姓名 = '坏' "
                                "begin select raise(abort, 'refused'); end"));
    addScore(*db_, "09010100020001", "张三", "1", {"D", "A", "A", "A", "A", "A"});
    addScore(*db_, "09010100020002", "坏", "2", {"D", "A", "A", "A", "A", "A"});
    addScore(*db_, "09010100020003", "王五", "3", {"D", "A", "A", "A", "A", "A"});
    TFormBKBM w;
    w.show();
    button(&w, "BitBtn1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(makeupRows(), QStringList{"09010100020001|张三|1|补|||||"});
    // The table holds a row now: the next click replaces, it does not append.
    QCOMPARE(caption(w), FilledCaption);
    db_->execute(QStringLiteral("drop trigger refuse"));
    w.BitBtn1Click();
    QCOMPARE(makeupRows().size(), 3);
}

void TestBKBM::listsOneSchool() {
    for (const char* sub : {"09010100020001", "09010100020002", "09010100030001", "100101000a0005", "0901"})
        db_->execute(QStringLiteral("insert into 补考表(学业水平测试副号) values(?)"), {{QString(), QString::fromLatin1(sub)}});
    TFormBKBM w;
    w.show();
    edit(&w, "Edit1")->setText(QStringLiteral("  "));
    button(&w, "Button2")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"学校代码为空，请填写！"});
    QVERIFY(!w.ADOQuery1.isOpen());

    edit(&w, "Edit1")->setText(QStringLiteral(" 01010002 "));
    button(&w, "Button2")->click();
    QCOMPARE(control<DbGrid>(&w, "DBGrid1")->model()->rowCount(), 2);
    // Codes compare without regard to case; a quote cannot break the statement.
    edit(&w, "Edit1")->setText(QStringLiteral("0101000A"));
    w.Button2Click();
    QCOMPARE(w.ADOQuery1.text(QStringLiteral("学业水平测试副号")), QStringLiteral("100101000a0005"));
    edit(&w, "Edit1")->setText(QStringLiteral("0101'0002"));
    w.Button2Click();
    QCOMPARE(w.ADOQuery1.recordCount(), 0);
    QCOMPARE(dialogs_->texts().size(), 1);
}

QTEST_MAIN(TestBKBM)
#include "test_bkbm.moc"
