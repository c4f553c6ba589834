#include "Controls.h"
#include "Database.h"
#include "DbGrid.h"
#include "FakeDialogs.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitSJLR.h"

#include <QHeaderView>
#include <QtTest>
#include <memory>

// The entry window's grids when a list cannot be loaded: they show nothing
// rather than rows that are gone.
class TestSJLRGrids : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void emptiedClassEmptiesTheReservedList();
    void studentListFollowsAFailedReload();

private:
    DbGrid* grid(const char* name) { return control<DbGrid>(w_.get(), name); }
    static int rowsShown(DbGrid* grid) { return grid->verticalHeader()->count(); }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormSJLR> w_;
};

void TestSJLRGrids::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    w_ = std::make_unique<TFormSJLR>();
}

void TestSJLRGrids::cleanup() {
    w_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestSJLRGrids::emptiedClassEmptiesTheReservedList() {
    {
        Connection c(StationFolder::registrationDb());
        for (const char* n : {"0001", "0002", "0003"})
            c.execute(QStringLiteral("insert into 顺序号(县区代码,学校代码,顺序号,班级)values('0101','0002',:n,5)"),
                      {{QStringLiteral(":n"), QString::fromLatin1(n)}});
    }
    QComboBox* box = combo(w_.get(), "ComboBox2");
    box->setCurrentText(QStringLiteral("5"));
    emit box->activated(4);
    DbGrid* list = grid("DBGrid2");
    list->resize(400, 300);
    QCOMPARE(rowsShown(list), 3);
    list->grab();

    // Backspace empties the class: the statement is refused.
    box->lineEdit()->end(false);
    QTest::keyClick(box->lineEdit(), Qt::Key_Backspace);
    QCOMPARE(box->currentText(), QString());
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs_->texts(QStringLiteral("error")).at(0).contains(QStringLiteral("班级")));
    QCOMPARE(rowsShown(list), 0);
    list->grab(); // the repaint that used to read the rows that were gone
    QVERIFY(!w_->DataSource2->isActive());
}

void TestSJLRGrids::studentListFollowsAFailedReload() {
    dialogs_->confirmations << true;
    edit(w_.get(), "Edit1")->setText(QStringLiteral("09"));
    edit(w_.get(), "Edit2")->setText(QStringLiteral("0101"));
    edit(w_.get(), "Edit3")->setText(QStringLiteral("0002"));
    edit(w_.get(), "Edit4")->setText(QStringLiteral("0001"));
    edit(w_.get(), "Edit5")->setText(QStringLiteral("张三"));
    button(w_.get(), "Button1")->click();
    DbGrid* list = grid("DBGrid1");
    list->resize(400, 300);
    QCOMPARE(rowsShown(list), 1);

    // The database goes away under the list; its refresh fails.
    QVERIFY(QFile::remove(StationFolder::registrationDb()));
    dialogs_->clear();
    control<DbNavigator>(w_.get(), "DBNavigator1")->click(DbNavigator::Refresh);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(rowsShown(list), 0);
    list->grab();
}

QTEST_MAIN(TestSJLRGrids)
#include "test_sjlrgrids.moc"
