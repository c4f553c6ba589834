#include "Controls.h"
#include "Database.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "MakeupRegistration.h"
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
    c.execute(QStringLiteral("insert into 成绩表(学业水平测试副号,姓名,身份证号,语文等第,数学等第,外语等第,科学等第,"
                             "人文等第,技术等第) values(?,?,?,?,?,?,?,?,?)"),
              {{QString(), sub}, {QString(), name}, {QString(), id}, {QString(), grades[0]}, {QString(), grades[1]},
               {QString(), grades[2]}, {QString(), grades[3]}, {QString(), grades[4]}, {QString(), grades[5]}});
}

// 补考表 in insertion order: sub-number, name, ID number and the six marks,
// joined by "|".
QStringList makeupRows() {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 补考表 order by 序号"));
    q.open();
    QStringList rows;
    for (; !q.eof(); q.next()) {
        QStringList cells;
        for (const char* f : {"学业水平测试副号", "姓名", "身份证号", "语文补考", "数学补考", "外语补考", "科学补考",
                              "人文补考", "技术补考"})
            cells << q.text(QString::fromUtf8(f));
        rows << cells.join(QLatin1Char('|'));
    }
    return rows;
}

QColor captionColour(TFormBKBM& w) { return button(&w, "BitBtn1")->palette().color(QPalette::ButtonText); }

} // namespace

class TestBKBM : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void markIsForAnUppercaseDOnly();
    void captionFollowsTheTable();
    void generatesOneRowPerFailingStudent();
    void secondClickReplacesInsteadOfAppending();
    void redCaptionRebuildsFromScores();
    void failureKeepsEarlierRowsAndUpdatesTheCaption();
    void listsOneSchool();

private:
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

void TestBKBM::markIsForAnUppercaseDOnly() {
    QCOMPARE(MakeupRegistration::mark(QStringLiteral("D")), QStringLiteral("补"));
    for (const char* grade : {"d", "D ", " D", "C", "A", "", "DD"})
        QVERIFY2(MakeupRegistration::mark(QString::fromLatin1(grade)).isEmpty(), grade);
}

void TestBKBM::captionFollowsTheTable() {
    TFormBKBM w;
    w.show();
    QCOMPARE(button(&w, "BitBtn1")->text(), EmptyCaption);
    QCOMPARE(captionColour(w), QColor(Qt::blue));
    w.hide();
    db_->execute(QStringLiteral("insert into 补考表(学业水平测试副号) values('09010100020001')"));
    w.show();
    QCOMPARE(button(&w, "BitBtn1")->text(), FilledCaption);
    QCOMPARE(captionColour(w), QColor(Qt::red));
}

void TestBKBM::generatesOneRowPerFailingStudent() {
    // Stored values go over as they are: blanks included, quotes intact.
    addScore(*db_, QStringLiteral("09010100020001"), QStringLiteral("张三 "), QStringLiteral("32010220090315123X"),
             {"D", "A", "B", "D", "C", "B"});
    addScore(*db_, QStringLiteral("09010100020002"), QStringLiteral("李四"), QStringLiteral("320104200907210026"),
             {"A", "B", "C", "B", "A", "C"});
    addScore(*db_, QStringLiteral("09010100020003"), QStringLiteral("王五"), QStringLiteral("320111200902280019"),
             {"d", "d", "C", "D ", "A", "B"});
    addScore(*db_, QStringLiteral("09010100030001"), QStringLiteral("O'Neil"), QStringLiteral("110101200911110028"),
             {"D", "D", "D", "D", "D", "D"});
    db_->execute(QStringLiteral("insert into 成绩表(学业水平测试副号,姓名,技术等第) values('09010100030002','赵六','D')"));

    TFormBKBM w;
    w.show();
    button(&w, "BitBtn1")->click();
    QVERIFY(dialogs_->shown.isEmpty()); // no message when generating ends
    QCOMPARE(makeupRows(), (QStringList{
                               "09010100020001|张三 |32010220090315123X|补|||补||",
                               "09010100030001|O'Neil|110101200911110028|补|补|补|补|补|补",
                               "09010100030002|赵六|||||||补",
                           }));
    QCOMPARE(button(&w, "BitBtn1")->text(), FilledCaption);
}

void TestBKBM::secondClickReplacesInsteadOfAppending() {
    addScore(*db_, QStringLiteral("09010100020001"), QStringLiteral("张三"), QStringLiteral("1"),
             {"D", "A", "A", "A", "A", "A"});
    addScore(*db_, QStringLiteral("09010100020002"), QStringLiteral("李四"), QStringLiteral("2"),
             {"A", "A", "A", "A", "A", "D"});
    TFormBKBM w;
    w.show();
    QCOMPARE(button(&w, "BitBtn1")->text(), EmptyCaption);
    w.BitBtn1Click();
    const QStringList once = makeupRows();
    QCOMPARE(once.size(), 2);
    w.BitBtn1Click();
    QCOMPARE(makeupRows(), once);
    // A new showing finds the rows too.
    w.hide();
    w.show();
    w.BitBtn1Click();
    QCOMPARE(makeupRows(), once);
}

void TestBKBM::redCaptionRebuildsFromScores() {
    db_->execute(QStringLiteral("insert into 补考表(学业水平测试副号,姓名,原测试副号) values('09019999990001','旧','x')"));
    addScore(*db_, QStringLiteral("09010100020001"), QStringLiteral("张三"), QStringLiteral("1"),
             {"A", "D", "A", "A", "A", "A"});
    TFormBKBM w;
    w.show();
    QCOMPARE(button(&w, "BitBtn1")->text(), FilledCaption);
    w.BitBtn1Click();
    QCOMPARE(makeupRows(), QStringList{"09010100020001|张三|1||补||||"});

    // An empty score table empties the make-up table, and the caption says so.
    db_->execute(QStringLiteral("delete from 成绩表"));
    w.BitBtn1Click();
    QVERIFY(makeupRows().isEmpty());
    QCOMPARE(button(&w, "BitBtn1")->text(), EmptyCaption);
}

void TestBKBM::failureKeepsEarlierRowsAndUpdatesTheCaption() {
    db_->execute(QStringLiteral("create trigger refuse before insert on 补考表 when new.姓名 = '坏' "
                                "begin select raise(abort, 'refused'); end"));
    addScore(*db_, QStringLiteral("09010100020001"), QStringLiteral("张三"), QStringLiteral("1"),
             {"D", "A", "A", "A", "A", "A"});
    addScore(*db_, QStringLiteral("09010100020002"), QStringLiteral("坏"), QStringLiteral("2"),
             {"D", "A", "A", "A", "A", "A"});
    addScore(*db_, QStringLiteral("09010100020003"), QStringLiteral("王五"), QStringLiteral("3"),
             {"D", "A", "A", "A", "A", "A"});
    TFormBKBM w;
    w.show();
    button(&w, "BitBtn1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(makeupRows(), QStringList{"09010100020001|张三|1|补|||||"});
    // The table holds a row now: the next click replaces, it does not append.
    QCOMPARE(button(&w, "BitBtn1")->text(), FilledCaption);
    db_->execute(QStringLiteral("drop trigger refuse"));
    w.BitBtn1Click();
    QCOMPARE(makeupRows().size(), 3);
}

void TestBKBM::listsOneSchool() {
    for (const char* sub : {"09010100020001", "09010100020002", "0901010003000l", "100101000a0005", "0901"})
        db_->execute(QStringLiteral("insert into 补考表(学业水平测试副号) values('%1')").arg(QString::fromLatin1(sub)));
    TFormBKBM w;
    w.show();
    auto* grid = control<DbGrid>(&w, "DBGrid1");

    edit(&w, "Edit1")->setText(QStringLiteral("  "));
    button(&w, "Button2")->click();
    QCOMPARE(dialogs_->texts(), QStringList{"学校代码为空，请填写！"});
    QVERIFY(!w.ADOQuery1.isOpen());

    edit(&w, "Edit1")->setText(QStringLiteral(" 01010002 "));
    button(&w, "Button2")->click();
    QCOMPARE(grid->model()->rowCount(), 2);
    // Codes compare without regard to case; a quote cannot break the statement.
    edit(&w, "Edit1")->setText(QStringLiteral("0101000A"));
    w.Button2Click();
    QCOMPARE(w.ADOQuery1.recordCount(), 1);
    QCOMPARE(w.ADOQuery1.text(QStringLiteral("学业水平测试副号")), QStringLiteral("100101000a0005"));
    edit(&w, "Edit1")->setText(QStringLiteral("0101'0002"));
    w.Button2Click();
    QCOMPARE(w.ADOQuery1.recordCount(), 0);
    QCOMPARE(dialogs_->texts().size(), 1);

    // The former sub-number is entered through the grid and reaches the table.
    edit(&w, "Edit1")->setText(QStringLiteral("01010002"));
    w.Button2Click();
    DataSource* source = w.DataSource1;
    int shown = -1;
    for (int c = 0; c < source->columnCount(); ++c)
        if (source->headerData(c, Qt::Horizontal, Qt::DisplayRole).toString() == QStringLiteral("原测试副号"))
            shown = c;
    QVERIFY(shown >= 0);
    QVERIFY(source->setData(source->index(0, shown), QStringLiteral("08010100020001"), Qt::EditRole));
    source->post();
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select 原测试副号 from 补考表 where 学业水平测试副号='09010100020001'"));
    q.open();
    QCOMPARE(q.text(QStringLiteral("原测试副号")), QStringLiteral("08010100020001"));
}

QTEST_MAIN(TestBKBM)
#include "test_bkbm.moc"
