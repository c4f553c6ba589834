#include "Database.h"
#include "DeliveredData.h"
#include "Query.h"
#include "TempStation.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

class TestDeliveredData : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void registrationTables();
    void nativePlaces();
    void layingOutAgainKeepsExistingData();
    void olderNativePlaceFileGainsMissingCodes();
    void csvLines();

private:
    QTemporaryDir dir_;
    QString station_;
};

void TestDeliveredData::initTestCase() {
    station_ = dir_.filePath(QStringLiteral("station"));
    DeliveredData::layOutRegistrationStation(station_, divisionsCsv());
}

void TestDeliveredData::registrationTables() {
    Query q;
    q.setDatabasePath(station_ + QStringLiteral("/data/CSBMK.mdb"));
    const QStringList expected[] = {
        {"序号", "学业水平测试号", "学业水平测试副号", "姓名", "身份证号", "性别", "籍贯", "家庭住址", "联系电话", "中考成绩",
         "电子照片", "班级", "备注", "考场序号"},
        {"县区代码", "学校代码", "顺序号", "班级"},
        {"学业水平测试号", "学业水平测试副号", "姓名", "身份证号", "语文等第", "数学等第", "外语等第", "科学等第",
         "人文等第", "技术等第"},
        {"序号", "学业水平测试副号", "姓名", "身份证号", "语文补考", "数学补考", "外语补考", "科学补考", "人文补考",
         "技术补考", "原测试副号", "班级", "学业水平测试号"},
    };
    const QStringList tables{QStringLiteral("学生表"), QStringLiteral("顺序号"), QStringLiteral("成绩表"),
                             QStringLiteral("补考表")};
    for (int i = 0; i < tables.size(); ++i) {
        q.setSql(QStringLiteral("select * from ") + tables[i]);
        q.open();
        QCOMPARE(q.fieldNames(), expected[i]);
        QCOMPARE(q.recordCount(), 0);
    }
    QVERIFY(QDir(station_ + QStringLiteral("/photo")).exists());
    QVERIFY(QDir(station_ + QStringLiteral("/card")).exists());
}

void TestDeliveredData::nativePlaces() {
    Query q;
    q.setDatabasePath(station_ + QStringLiteral("/data/dmb.mdb"));
    q.setSql(QStringLiteral("select * from 籍贯对照表"));
    q.open();
    // Today's county codes and the older ones merged or renumbered since.
    QVERIFY2(q.recordCount() > 3700 && q.recordCount() < 4300, qPrintable(QString::number(q.recordCount())));
    static const QRegularExpression sixDigits(QStringLiteral("^\\d{6}$"));
    for (; !q.eof(); q.next()) {
        QVERIFY(sixDigits.match(q.text(QStringLiteral("County_QuID"))).hasMatch());
        // Native place = province + district, which must fit 籍贯 (12 characters).
        const QString place = q.text(QStringLiteral("proName")) + q.text(QStringLiteral("DistrictDesc"));
        QVERIFY2(place.size() <= 12, qPrintable(place));
    }
    QVERIFY(q.locate(QStringLiteral("County_QuID"), QStringLiteral("320102")));
    QCOMPARE(q.text(QStringLiteral("proName")) + q.text(QStringLiteral("DistrictDesc")), QStringLiteral("江苏省南京市玄武区"));
    QVERIFY(q.locate(QStringLiteral("County_QuID"), QStringLiteral("110101")));
    QCOMPARE(q.text(QStringLiteral("proName")) + q.text(QStringLiteral("DistrictDesc")), QStringLiteral("北京市东城区"));

    // One row per code: the lookup takes the first row, so a second one for
    // the same code would be dead weight or, worse, hide a name.
    q.setSql(QStringLiteral("select County_QuID from 籍贯对照表 group by County_QuID having count(*) > 1"));
    q.open();
    QVERIFY2(q.eof(), qPrintable(q.text(QStringLiteral("County_QuID"))));
}

void TestDeliveredData::layingOutAgainKeepsExistingData() {
    const QString db = station_ + QStringLiteral("/data/CSBMK.mdb");
    {
        Connection c(db);
        c.execute(QStringLiteral("insert into 学生表(姓名) values('已登记')"));
    }
    DeliveredData::layOutRegistrationStation(station_, divisionsCsv());
    Query q;
    q.setDatabasePath(db);
    q.setSql(QStringLiteral("select * from 学生表"));
    q.open();
    QCOMPARE(q.recordCount(), 1);
    QVERIFY(!QFileInfo::exists(db + QStringLiteral(".part")));
}

// A station whose dmb.mdb came from an older list (without the abolished
// codes) gets them on the next lay-out; rows it already has stay as they are.
void TestDeliveredData::olderNativePlaceFileGainsMissingCodes() {
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("data/dmb.mdb"));
    DeliveredData::layOutRegistrationStation(dir.path(), divisionsCsv());
    const auto rowCount = [&] {
        Query q;
        q.setDatabasePath(db);
        q.setSql(QStringLiteral("select * from 籍贯对照表"));
        q.open();
        return q.recordCount();
    };
    const int delivered = rowCount();
    {
        Connection c(db);
        QCOMPARE(c.execute(QStringLiteral("delete from 籍贯对照表 where County_QuID in ('110103','320103')")), 2);
        c.execute(QStringLiteral("update 籍贯对照表 set DistrictDesc='南京玄武' where County_QuID='320102'"));
    }
    DeliveredData::layOutRegistrationStation(dir.path(), divisionsCsv());
    QCOMPARE(rowCount(), delivered);
    Query q;
    q.setDatabasePath(db);
    q.setSql(QStringLiteral("select * from 籍贯对照表 where County_QuID in ('110103','320103','320102') "
                            "order by County_QuID"));
    q.open();
    QStringList places;
    for (; !q.eof(); q.next())
        places << q.text(QStringLiteral("proName")) + q.text(QStringLiteral("DistrictDesc"));
    QCOMPARE(places, (QStringList{"北京市崇文区", "江苏省南京玄武", "江苏省南京市白下区"}));
    QCOMPARE(DeliveredData::addMissingNativePlaces(db, divisionsCsv()), 0);
}

void TestDeliveredData::csvLines() {
    using DeliveredData::splitCsvLine;
    QCOMPARE(splitCsvLine(QStringLiteral("a,b,c")), (QStringList{"a", "b", "c"}));
    QCOMPARE(splitCsvLine(QStringLiteral("\"a,b\",\"say \"\"hi\"\"\",")), (QStringList{"a,b", "say \"hi\"", ""}));
}

QTEST_GUILESS_MAIN(TestDeliveredData)
#include "test_delivereddata.moc"
