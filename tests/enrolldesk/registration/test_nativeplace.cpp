#include "NativePlace.h"
#include "StationFolder.h"
#include "TempStation.h"

#include <QtTest>

#include <memory>

// The delivered native-place file through the lookup the card read uses.
class TestNativePlace : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void deliveredPlaces_data();
    void deliveredPlaces();

private:
    std::unique_ptr<TempStation> station_;
};

void TestNativePlace::initTestCase() { station_ = std::make_unique<TempStation>(); }

void TestNativePlace::deliveredPlaces_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("place");
    // Districts merged into others since; people born there keep their place.
    QTest::newRow("崇文区, merged 2010") << "110103" << "北京市崇文区";
    QTest::newRow("白下区, merged 2013") << "320103" << "江苏省南京市白下区";
    QTest::newRow("密云县, now a district") << "110228" << "北京市密云县";
    // Older rows that name another prefecture in front of the county.
    QTest::newRow("海南 directly under the province") << "460002" << "海南省琼海市";
    QTest::newRow("朔州市 county listed under 晋城市") << "140624" << "山西省朔州市怀仁县";
    QTest::newRow("older 新疆 spelling") << "654101" << "新疆伊犁地区伊宁市";
    // Codes in both lists keep today's name (the older list says 苍山县, 潞西市).
    QTest::newRow("兰陵县, renamed 2014") << "371324" << "山东省临沂市兰陵县";
    QTest::newRow("芒市, renamed 2010") << "533103" << "云南省德宏州芒市";
    QTest::newRow("today's district") << "320102" << "江苏省南京市玄武区";
}

void TestNativePlace::deliveredPlaces() {
    QFETCH(QString, code);
    QFETCH(QString, place);
    Query q;
    QCOMPARE(nativePlaceOf(q, StationFolder::nativePlaceDb(), code), place);
}

QTEST_GUILESS_MAIN(TestNativePlace)
#include "test_nativeplace.moc"
