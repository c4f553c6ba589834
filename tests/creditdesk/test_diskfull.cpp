#include "Controls.h"
#include "CreditStation.h"
#include "CreditTesting.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "FaultInjection.h"
#include "StationFolder.h"
#include "UnitDRSJ.h"
#include "UnitSJDC.h"

#include <QTemporaryDir>
#include <QtTest>
#include <memory>

// A credit import on a disk that fills up says so.
class TestDiskFull : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void importOnAFullDisk_data();
    void importOnAFullDisk();

private:
    std::unique_ptr<CreditStationFolder> folder_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<CreditStation> station_;
    QTemporaryDir in_;
};

void TestDiskFull::init() {
    folder_ = std::make_unique<CreditStationFolder>();
    dialogs_ = std::make_unique<FakeDialogs>();
    station_ = std::make_unique<CreditStation>();
}

void TestDiskFull::cleanup() {
    FaultInjection::clearWriteBudget();
    station_.reset();
    dialogs_.reset();
    folder_.reset();
}

void TestDiskFull::importOnAFullDisk_data() {
    QTest::addColumn<qint64>("room"); // bytes the credit database may still take
    QTest::newRow("full from the start") << qint64(0);
    QTest::newRow("full halfway") << qint64(40000);
}

void TestDiskFull::importOnAFullDisk() {
    QFETCH(qint64, room);
    const QString source = in_.filePath(QStringLiteral("交换.mdb"));
    QFile::remove(source);
    Connection::createFile(source);
    Connection(source).execute(TFormSJDC::exchangeTableStatement());
    QList<CreditStudent> students;
    for (int i = 0; i < 3000; ++i)
        students.append({QStringLiteral("0901010001%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("学生甲乙"),
                         QStringLiteral("110101200001011234"), 100, 20, 120});
    addStudents(source, students);

    FaultInjection::setWriteBudget(room, QStringLiteral("XFRDCJK"));
    TFormDRSJ* form = station_->FormDRSJ;
    form->FormShow();
    edit(form, "Edit4")->setText(source);
    button(form, "Button1")->click();
    FaultInjection::clearWriteBudget();

    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("磁盘已满")), qPrintable(errors[0]));
    // The credit database is still whole: what was kept is kept entirely.
    QCOMPARE(selectRows(StationFolder::creditDb(), QStringLiteral("PRAGMA integrity_check")).value(0).value(0),
             QVariant(QStringLiteral("ok")));
    const int kept = countRows(StationFolder::creditDb(), QStringLiteral("select * from 学生表"));
    QVERIFY(kept < 3000);
}

QTEST_MAIN(TestDiskFull)
#include "test_diskfull.moc"
