#include "DbGrid.h"
#include "DeliveredData.h"
#include "FakeDialogs.h"
#include "Schema.h"
#include "TableChanges.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QtTest>

// The grid and navigator over a plain table: one with a primary key and one
// without (edited by rowid).
class TestDbGrid : public QObject {
    Q_OBJECT
private slots:
    void init();
    void showsTheRowsOfTheQuery();
    void editAndPostUpdatesTheRowByKey();
    void movingToAnotherRowPostsThePendingEdit();
    void refusedPostKeepsTheEdit();
    void insertAndPost();
    void cancelDiscards();
    void deleteAsksFirst();
    void refreshKeepsTheCurrentRow();
    void tableWithoutKeyIsEditedByRowid();
    void navigatorButtonsFollowTheState();

    void failingRefreshEmptiesTheGrid();
    void twoGridsOverOneQuery();
    void gridsOverTheTableFollowWrites();
    void queryGoneBeforeItsSource();
    void automaticKeyIsReadOnly();
    void nonUniqueKeyIsAddressedByRowid();

private:
    QStringList namesInTable();
    // Rows the view knows of: what it paints from.
    static int rowsShown(const DbGrid& grid) { return grid.verticalHeader()->count(); }
    QTemporaryDir dir_;
    QString path_;
    Query query_;
    std::unique_ptr<DataSource> source_;
    std::unique_ptr<DbGrid> grid_;
    std::unique_ptr<DbNavigator> navigator_;
    std::unique_ptr<QAbstractItemModelTester> tester_;
    int counter_ = 0;
};

void TestDbGrid::init() {
    path_ = dir_.filePath(QStringLiteral("t%1.mdb").arg(++counter_));
    Schema::createDatabase(path_, Schema::registrationDatabaseStatements());
    Connection c(path_);
    for (const char* name : {"张三", "李四", "王五"})
        c.execute(QStringLiteral("insert into 学生表(姓名,班级) values('%1',1)").arg(QString::fromUtf8(name)));
    query_.setDatabasePath(path_);
    query_.setSql(QStringLiteral("select * from 学生表 order by 序号"));
    query_.open();
    tester_.reset();
    source_ = std::make_unique<DataSource>(&query_, QStringLiteral("学生表"), QStringLiteral("序号"));
    // Checks the model keeps Qt's rules through every step of every case.
    tester_ = std::make_unique<QAbstractItemModelTester>(source_.get(),
                                                         QAbstractItemModelTester::FailureReportingMode::QtTest);
    grid_ = std::make_unique<DbGrid>();
    navigator_ = std::make_unique<DbNavigator>();
    grid_->setDataSource(source_.get());
    navigator_->setDataSource(source_.get());
    source_->reload();
}

QStringList TestDbGrid::namesInTable() {
    Query q;
    q.setDatabasePath(path_);
    q.setSql(QStringLiteral("select 姓名 from 学生表 order by 序号"));
    q.open();
    QStringList names;
    for (; !q.eof(); q.next())
        names << q.text(QStringLiteral("姓名"));
    return names;
}

void TestDbGrid::showsTheRowsOfTheQuery() {
    QCOMPARE(source_->rowCount(), 3);
    QCOMPARE(source_->columnCount(), 14);
    QCOMPARE(source_->headerData(3, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("姓名"));
    QCOMPARE(source_->index(1, 3).data().toString(), QStringLiteral("李四"));
    QCOMPARE(source_->index(1, 11).data().toString(), QStringLiteral("1"));
}

void TestDbGrid::editAndPostUpdatesTheRowByKey() {
    QVERIFY(source_->setData(source_->index(1, 3), QStringLiteral("李四'改"), Qt::EditRole));
    QCOMPARE(source_->state(), DataSource::State::Edit);
    QCOMPARE(namesInTable().at(1), QStringLiteral("李四")); // not yet posted
    navigator_->click(DbNavigator::Post);
    QCOMPARE(source_->state(), DataSource::State::Browse);
    QCOMPARE(namesInTable(), (QStringList{"张三", "李四'改", "王五"}));
    // A number typed as text is stored as a number; an emptied box as null.
    source_->setData(source_->index(1, 11), QStringLiteral("7"), Qt::EditRole);
    source_->setData(source_->index(1, 3), QString(), Qt::EditRole);
    source_->post();
    Query q;
    q.setDatabasePath(path_);
    q.setSql(QStringLiteral("select typeof(班级) as t, 姓名 from 学生表 where 班级=7"));
    q.open();
    QCOMPARE(q.text(QStringLiteral("t")), QStringLiteral("integer"));
    QVERIFY(q.isNull(QStringLiteral("姓名")));
}

void TestDbGrid::movingToAnotherRowPostsThePendingEdit() {
    source_->setData(source_->index(0, 3), QStringLiteral("张三丰"), Qt::EditRole);
    grid_->setCurrentIndex(source_->index(2, 3));
    QCOMPARE(source_->currentRow(), 2);
    QCOMPARE(source_->state(), DataSource::State::Browse);
    QCOMPARE(namesInTable().at(0), QStringLiteral("张三丰"));
}

void TestDbGrid::refusedPostKeepsTheEdit() {
    FakeDialogs dialogs;
    source_->setData(source_->index(0, 3), QStringLiteral("这个名字实在是太长太长了"), Qt::EditRole);
    navigator_->click(DbNavigator::Post);
    QCOMPARE(dialogs.texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs.texts(QStringLiteral("error")).at(0).contains(QStringLiteral("姓名")));
    QCOMPARE(source_->state(), DataSource::State::Edit);
    QCOMPARE(source_->index(0, 3).data().toString(), QStringLiteral("这个名字实在是太长太长了"));
    // Nor can the user leave the row while it cannot be posted.
    grid_->setCurrentIndex(source_->index(2, 3));
    QCOMPARE(source_->currentRow(), 0);
    QCOMPARE(namesInTable().at(0), QStringLiteral("张三"));
    navigator_->click(DbNavigator::Cancel);
    QCOMPARE(source_->index(0, 3).data().toString(), QStringLiteral("张三"));
}

void TestDbGrid::insertAndPost() {
    source_->setCurrentRow(1);
    navigator_->click(DbNavigator::Insert);
    QCOMPARE(source_->state(), DataSource::State::Insert);
    QCOMPARE(source_->rowCount(), 4);
    QCOMPARE(source_->currentRow(), 1); // inserted before the current row
    source_->setData(source_->index(1, 3), QStringLiteral("新生"), Qt::EditRole);
    source_->setData(source_->index(1, 11), QStringLiteral("3"), Qt::EditRole);
    navigator_->click(DbNavigator::Post);
    QCOMPARE(source_->state(), DataSource::State::Browse);
    QCOMPARE(namesInTable(), (QStringList{"张三", "李四", "王五", "新生"}));
    // The new row shows its key as the database gave it.
    QCOMPARE(source_->index(1, 0).data().toString(), QStringLiteral("4"));
}

void TestDbGrid::cancelDiscards() {
    navigator_->click(DbNavigator::Insert);
    navigator_->click(DbNavigator::Cancel);
    QCOMPARE(source_->rowCount(), 3);
    source_->setData(source_->index(2, 3), QStringLiteral("王五五"), Qt::EditRole);
    navigator_->click(DbNavigator::Cancel);
    QCOMPARE(source_->index(2, 3).data().toString(), QStringLiteral("王五"));
    QCOMPARE(namesInTable(), (QStringList{"张三", "李四", "王五"}));
}

void TestDbGrid::deleteAsksFirst() {
    FakeDialogs dialogs;
    source_->setCurrentRow(1);
    dialogs.confirmations << false;
    navigator_->click(DbNavigator::Delete);
    QCOMPARE(namesInTable().size(), 3);
    dialogs.confirmations << true;
    navigator_->click(DbNavigator::Delete);
    QCOMPARE(namesInTable(), (QStringList{"张三", "王五"}));
    QCOMPARE(source_->rowCount(), 2);
    QCOMPARE(source_->index(source_->currentRow(), 3).data().toString(), QStringLiteral("王五"));
    QCOMPARE(dialogs.texts(QStringLiteral("confirm")).size(), 2);
}

void TestDbGrid::refreshKeepsTheCurrentRow() {
    source_->setCurrentRow(2);
    {
        Connection c(path_);
        c.execute(QStringLiteral("insert into 学生表(姓名) values('后来')"));
    }
    navigator_->click(DbNavigator::Refresh);
    QCOMPARE(source_->rowCount(), 4);
    QCOMPARE(source_->currentRow(), 2);
}

void TestDbGrid::tableWithoutKeyIsEditedByRowid() {
    {
        Connection c(path_);
        for (int i = 1; i <= 2; ++i) // the same number twice: rows alike in every column
            c.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级)values('0101','0002','0001',5)"));
    }
    Query q;
    q.setDatabasePath(path_);
    q.setSql(QStringLiteral("select rowid, * from 顺序号 where 班级=5 order by 顺序号 asc"));
    q.open();
    DataSource source(&q, QStringLiteral("顺序号"), QStringLiteral("rowid"));
    source.reload();
    QCOMPARE(source.columnCount(), 4); // rowid is not shown
    source.setCurrentRow(1);
    source.setData(source.index(1, 2), QStringLiteral("0002"), Qt::EditRole);
    source.post();
    Query check;
    check.setDatabasePath(path_);
    check.setSql(QStringLiteral("select 顺序号 from 顺序号 order by rowid"));
    check.open();
    QCOMPARE(check.text(QStringLiteral("顺序号")), QStringLiteral("0001"));
    check.next();
    QCOMPARE(check.text(QStringLiteral("顺序号")), QStringLiteral("0002"));
}

void TestDbGrid::navigatorButtonsFollowTheState() {
    auto enabled = [this](DbNavigator::Button b) { return navigator_->button(b)->isEnabled(); };
    QVERIFY(!enabled(DbNavigator::First));
    QVERIFY(enabled(DbNavigator::Next));
    QVERIFY(!enabled(DbNavigator::Post));
    navigator_->click(DbNavigator::Last);
    QCOMPARE(source_->currentRow(), 2);
    QVERIFY(!enabled(DbNavigator::Next));
    QVERIFY(enabled(DbNavigator::Prior));
    navigator_->click(DbNavigator::Prior);
    QCOMPARE(source_->currentRow(), 1);
    navigator_->click(DbNavigator::Edit);
    QVERIFY(enabled(DbNavigator::Post));
    QVERIFY(enabled(DbNavigator::Cancel));
    QVERIFY(!enabled(DbNavigator::Edit));
    navigator_->click(DbNavigator::Cancel);
    navigator_->click(DbNavigator::First);
    QCOMPARE(source_->currentRow(), 0);
    QCOMPARE(grid_->currentIndex().row(), 0);
}

void TestDbGrid::failingRefreshEmptiesTheGrid() {
    FakeDialogs dialogs;
    grid_->resize(400, 300);
    QCOMPARE(rowsShown(*grid_), 3);
    Connection(path_).execute(QStringLiteral("drop table 学生表"));
    navigator_->click(DbNavigator::Refresh);
    QCOMPARE(dialogs.texts(QStringLiteral("error")).size(), 1);
    QVERIFY(!query_.isOpen());
    QCOMPARE(rowsShown(*grid_), 0);
    QCOMPARE(source_->columnCount(), 0);
    grid_->grab(); // paints without the rows that are gone
    QVERIFY(!navigator_->button(DbNavigator::Refresh)->isEnabled());
    QVERIFY(!navigator_->button(DbNavigator::Insert)->isEnabled());
}

void TestDbGrid::twoGridsOverOneQuery() {
    DataSource other(&query_, QStringLiteral("学生表"), QStringLiteral("序号"));
    QAbstractItemModelTester tester(&other, QAbstractItemModelTester::FailureReportingMode::QtTest);
    DbGrid otherGrid;
    otherGrid.setDataSource(&other);
    otherGrid.resize(400, 300);
    QCOMPARE(rowsShown(otherGrid), 3);
    // One window loads another list into the shared query.
    query_.setSql(QStringLiteral("select * from 学生表 where 姓名='李四'"));
    query_.open();
    QCOMPARE(rowsShown(*grid_), 1);
    QCOMPARE(rowsShown(otherGrid), 1);
    QCOMPARE(other.index(0, 3).data().toString(), QStringLiteral("李四"));
    otherGrid.grab();
    // A row inserted through one grid shows in the other, which drops its edit.
    other.setData(other.index(0, 3), QStringLiteral("李四四"), Qt::EditRole);
    QCOMPARE(other.state(), DataSource::State::Edit);
    navigator_->click(DbNavigator::Insert);
    QCOMPARE(rowsShown(*grid_), 2);
    QCOMPARE(rowsShown(otherGrid), 2);
    QCOMPARE(other.state(), DataSource::State::Browse);
    navigator_->click(DbNavigator::Cancel);
    QCOMPARE(rowsShown(otherGrid), 1);
    query_.close();
    QCOMPARE(rowsShown(*grid_), 0);
    QCOMPARE(rowsShown(otherGrid), 0);
    otherGrid.grab();
}

// Grids over other queries of the same table: what is written through one
// grid or announced by a window shows in the others, at once when they are
// on screen, else when they are next shown; the current row stays.
void TestDbGrid::gridsOverTheTableFollowWrites() {
    auto list = [&](Query& q) {
        q.setDatabasePath(path_);
        q.setSql(QStringLiteral("select * from 学生表 order by 序号"));
        q.open();
    };
    Query shownQuery, hiddenQuery;
    list(shownQuery);
    list(hiddenQuery);
    DataSource shown(&shownQuery, QStringLiteral("学生表"), QStringLiteral("序号"));
    DataSource hidden(&hiddenQuery, QStringLiteral("学生表"), QStringLiteral("序号"));
    DbGrid shownGrid, hiddenGrid;
    shownGrid.setDataSource(&shown);
    hiddenGrid.setDataSource(&hidden);
    shownGrid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&shownGrid));
    shown.setCurrentRow(2);
    auto name = [](const DataSource& s, int row) { return s.index(row, 3).data().toString(); };

    source_->setCurrentRow(1);
    source_->setData(source_->index(1, 3), QStringLiteral("李小四"), Qt::EditRole);
    source_->post();
    QCOMPARE(name(shown, 1), QStringLiteral("李小四"));
    QCOMPARE(shown.currentRow(), 2);
    QCOMPARE(name(hidden, 1), QStringLiteral("李四")); // not read while hidden
    hiddenGrid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&hiddenGrid));
    QCOMPARE(name(hidden, 1), QStringLiteral("李小四"));
    QVERIFY(!source_->isOutdated()); // the writer shows what it wrote

    // A window's own statement, announced; an edit in progress is kept.
    hidden.setData(hidden.index(0, 3), QStringLiteral("张三三"), Qt::EditRole);
    {
        Connection c(path_);
        c.execute(QStringLiteral("delete from 学生表 where 姓名='王五'"));
    }
    TableChanges::announce(path_, QStringLiteral("学生表"));
    QCOMPARE(shown.rowCount(), 2);
    QCOMPARE(hidden.rowCount(), 3);
    QCOMPARE(hidden.state(), DataSource::State::Edit);
    // Another table or another file is none of theirs.
    TableChanges::announce(path_, QStringLiteral("补考表"));
    TableChanges::announce(dir_.filePath(QStringLiteral("other.mdb")), QStringLiteral("学生表"));
    QVERIFY(!shown.isOutdated());
}

void TestDbGrid::queryGoneBeforeItsSource() {
    auto query = std::make_unique<Query>(query_);
    DataSource source(query.get(), QStringLiteral("学生表"), QStringLiteral("序号"));
    DbGrid grid;
    grid.setDataSource(&source);
    QCOMPARE(rowsShown(grid), 3);
    query.reset(); // a window's query members go before its child objects
    QVERIFY(!source.isActive());
    QCOMPARE(rowsShown(grid), 0);
    grid.grab();
    source.refresh();
    source.insert();
    QCOMPARE(source.rowCount(), 0);
}

void TestDbGrid::automaticKeyIsReadOnly() {
    const QModelIndex key = source_->index(0, 0);
    QCOMPARE(source_->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), QStringLiteral("序号"));
    QVERIFY(!(source_->flags(key) & Qt::ItemIsEditable));
    QVERIFY(source_->flags(source_->index(0, 3)) & Qt::ItemIsEditable);
    QVERIFY(!source_->setData(key, QStringLiteral("9"), Qt::EditRole));
    QCOMPARE(source_->state(), DataSource::State::Browse);
    // Nothing outside the rows and columns.
    QVERIFY(!source_->headerData(3, Qt::Vertical, Qt::DisplayRole).isValid());
    QVERIFY(!source_->headerData(14, Qt::Horizontal, Qt::DisplayRole).isValid());
    QCOMPARE(source_->rowCount(source_->index(0, 0)), 0);
}

void TestDbGrid::nonUniqueKeyIsAddressedByRowid() {
    // The credit database: students are found by sub-number, which is not unique.
    const QString path = dir_.filePath(QStringLiteral("credit%1.mdb").arg(counter_));
    Schema::createDatabase(path, DeliveredData::creditDatabaseStatements());
    {
        Connection c(path);
        for (const char* name : {"张三", "李四", "王五"})
            c.execute(QStringLiteral("insert into 学生表(学业水平测试副号,姓名,必修学分) values('09010100020001',:n,100)"),
                      {{QStringLiteral(":n"), QString::fromUtf8(name)}});
    }
    Query q;
    q.setDatabasePath(path);
    q.setSql(QStringLiteral("select * from 学生表"));
    q.open();
    DataSource source(&q, QStringLiteral("学生表"), QStringLiteral("学业水平测试副号"));
    auto names = [&] {
        Query check;
        check.setDatabasePath(path);
        check.setSql(QStringLiteral("select 姓名 || ':' || 必修学分 as n from 学生表 order by rowid"));
        check.open();
        QStringList all;
        for (; !check.eof(); check.next())
            all << check.text(QStringLiteral("n"));
        return all;
    };
    source.setCurrentRow(1);
    source.setData(source.index(1, 4), QStringLiteral("120"), Qt::EditRole);
    source.post();
    QCOMPARE(names(), (QStringList{"张三:100", "李四:120", "王五:100"}));
    QCOMPARE(source.index(1, 4).data().toString(), QStringLiteral("120"));
    FakeDialogs dialogs;
    dialogs.confirmations << true;
    source.setCurrentRow(2);
    source.remove();
    QCOMPARE(names(), (QStringList{"张三:100", "李四:120"}));
    QCOMPARE(source.rowCount(), 2);
}

QTEST_MAIN(TestDbGrid)
#include "test_dbgrid.moc"
