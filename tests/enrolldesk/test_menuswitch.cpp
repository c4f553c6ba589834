#include "FakeDialogs.h"
#include "Profile.h"
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
#include <QMenuBar>
#include <QPointer>
#include <QTimer>
#include <QtTest>

namespace {

// The window a menu item shows modally (nullptr when none), closed again
// right away.
QWidget* opened(QAction* item) {
    QPointer<QWidget> shown;
    QTimer::singleShot(0, [&shown] {
        shown = QApplication::activeModalWidget();
        if (shown)
            shown->close();
    });
    item->trigger();
    QApplication::processEvents();
    return shown;
}

// Captions of the visible items and entries of the menu bar, "-" for a
// visible separator.
QStringList visibleMenu(TFormMain* main) {
    QStringList out;
    for (QAction* entry : main->menuBar()->actions()) {
        if (!entry->isVisible())
            continue;
        out << entry->text() + QStringLiteral(":");
        for (QAction* item : entry->menu()->actions())
            if (item->isVisible())
                out << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    return out;
}

} // namespace

class TestMenuSwitch : public QObject {
    Q_OBJECT
private slots:
    void hiddenUnlessSwitchedOn_data();
    void hiddenUnlessSwitchedOn();
    void showAllShowsEveryEntry();
    void itemsOpenTheirWindows();
};

void TestMenuSwitch::hiddenUnlessSwitchedOn_data() {
    QTest::addColumn<QString>("setting");
    QTest::newRow("no setup.ini") << QString();
    QTest::newRow("no key") << QStringLiteral("[MENU]\r\nOther=1\r\n");
    QTest::newRow("0") << QStringLiteral("[MENU]\r\nShowAll=0\r\n");
    QTest::newRow("not a number") << QStringLiteral("[MENU]\r\nShowAll=yes\r\n");
    QTest::newRow("other section") << QStringLiteral("[READER]\r\nShowAll=1\r\n");
}

void TestMenuSwitch::hiddenUnlessSwitchedOn() {
    QFETCH(QString, setting);
    TempStation station;
    FakeDialogs dialogs;
    if (!setting.isNull()) {
        QFile ini(StationFolder::setupIni());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(setting.toUtf8());
    }
    EnrollStation windows;
    TFormMain* main = windows.FormMain;
    for (QAction* hidden : {main->N24, main->N18, main->N17, main->N7, main->N16->menuAction()})
        QVERIFY2(!hidden->isVisible(), qPrintable(hidden->objectName()));
    QVERIFY(!main->NCJ_BMK && !main->NBKJKB);
    QVERIFY(!main->findChild<QAction*>(QStringLiteral("NCJ_BMK")));
    QVERIFY(!main->findChild<QAction*>(QStringLiteral("NBKJKB")));
    QVERIFY(!visibleMenu(main).contains(QStringLiteral("学业补测数据采集")));
}

void TestMenuSwitch::showAllShowsEveryEntry() {
    TempStation station;
    FakeDialogs dialogs;
    Profile(StationFolder::setupIni()).writeString(QStringLiteral("menu"), QStringLiteral("showall"), QStringLiteral("1"));
    EnrollStation windows;
    TFormMain* main = windows.FormMain;
    QCOMPARE(visibleMenu(main), (QStringList{
                                    "系统设置:", "数据库压缩", "读卡器配置", "清空数据库", "创建报名库",
                                    "数据导入:", "应届成绩数据导入", "应届报名数据导入",
                                    "报名管理:", "应届报名数据采集", "应届报名数据校验", "应届报名数据修改", "-",
                                    "学业补测数据采集", "-", "应届简况表生成", "补测简况表生成", "补考报名简况表",
                                    "电子摄像:", "照片采集",
                                    "报表打印:", "打印校对信息表",
                                    "数据报送:", "报名数据导出",
                                }));
    QCOMPARE(main->NCJ_BMK->objectName(), QStringLiteral("NCJ_BMK"));
    QCOMPARE(main->NBKJKB->objectName(), QStringLiteral("NBKJKB"));
}

void TestMenuSwitch::itemsOpenTheirWindows() {
    TempStation station;
    FakeDialogs dialogs;
    Profile(StationFolder::setupIni()).writeInteger(QStringLiteral("MENU"), QStringLiteral("ShowAll"), 1);
    EnrollStation windows;
    TFormMain* main = windows.FormMain;
    QCOMPARE(opened(main->N18), static_cast<QWidget*>(windows.FormBKBM));
    QCOMPARE(opened(main->N10), static_cast<QWidget*>(windows.FormSC_JKB));
    QCOMPARE(opened(main->NCJ_BMK), static_cast<QWidget*>(windows.FormCJ_BMK));
    QCOMPARE(opened(main->NBKJKB), static_cast<QWidget*>(windows.FormBKJKB));
    QCOMPARE(windows.FormBKBM->pos(), QPoint(100, 80));
    QVERIFY(dialogs.shown.isEmpty());
}

QTEST_MAIN(TestMenuSwitch)
#include "test_menuswitch.moc"
