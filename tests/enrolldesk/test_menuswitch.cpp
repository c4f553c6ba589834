#include "FakeDialogs.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitBKBM.h"
#include "UnitBKJKB.h"
#include "UnitCJ_BMK.h"
#include "UnitSC_JKB.h"
#include "mainform.h"

#include <QApplication>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QTimer>
#include <QtTest>

namespace {

// The window a menu item shows modally (nullptr when none), closed again.
QWidget* opened(QAction* item) {
    QPointer<QWidget> shown;
    QTimer::singleShot(0, [&shown] {
        if ((shown = QApplication::activeModalWidget()))
            shown->close();
    });
    item->trigger();
    return shown;
}

QList<QAction*> hiddenItems(TFormMain* m) { return {m->N24, m->N18, m->N17, m->N7, m->N16->menuAction()}; }

} // namespace

class TestMenuSwitch : public QObject {
    Q_OBJECT
private slots:
    void hiddenUnlessSwitchedOn_data();
    void hiddenUnlessSwitchedOn();
};

void TestMenuSwitch::hiddenUnlessSwitchedOn_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<bool>("all");
    QTest::newRow("no setup.ini") << QString() << false;
    QTest::newRow("0") << QStringLiteral("[MENU]\r\nShowAll=0\r\n") << false;
    QTest::newRow("other section") << QStringLiteral("[READER]\r\nShowAll=1\r\n") << false;
    QTest::newRow("1") << QStringLiteral("[READER]\r\nPORT=COM\r\n[menu]\r\nshowall = 1\r\n") << true;
}

void TestMenuSwitch::hiddenUnlessSwitchedOn() {
    QFETCH(QString, setup);
    QFETCH(bool, all);
    TempStation station;
    FakeDialogs dialogs;
    if (!setup.isNull()) {
        QFile ini(StationFolder::setupIni());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(setup.toUtf8());
    }
    EnrollStation windows;
    TFormMain* main = windows.FormMain;
    for (QAction* item : hiddenItems(main))
        QVERIFY2(item->isVisible() == all, qPrintable(item->objectName()));
    // Shown or not, these two open their windows.
    QCOMPARE(opened(main->N18), static_cast<QWidget*>(windows.FormBKBM));
    QCOMPARE(opened(main->N10), static_cast<QWidget*>(windows.FormSC_JKB));
    if (!all) {
        QVERIFY(!main->NCJ_BMK && !main->NBKJKB);
        QVERIFY(!main->findChild<QAction*>(QStringLiteral("NCJ_BMK")));
        return;
    }
    QCOMPARE(main->NCJ_BMK->text(), QStringLiteral("创建报名库"));
    QCOMPARE(main->NBKJKB->text(), QStringLiteral("补考报名简况表"));
    QVERIFY(main->NCJ_BMK->isVisible() && main->NBKJKB->isVisible());
    QCOMPARE(opened(main->NCJ_BMK), static_cast<QWidget*>(windows.FormCJ_BMK));
    QCOMPARE(opened(main->NBKJKB), static_cast<QWidget*>(windows.FormBKJKB));
    QVERIFY(dialogs.shown.isEmpty());
}

QTEST_MAIN(TestMenuSwitch)
#include "test_menuswitch.moc"
