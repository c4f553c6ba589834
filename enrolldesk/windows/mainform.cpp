#include "mainform.h"
#include "Compaction.h"
#include "Database.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "Profile.h"
#include "SafetyCopy.h"
#include "Station.h"
#include "StationFolder.h"
#include "StationLock.h"
#include "TableChanges.h"
#include "UnitBKBM.h"
#include "UnitBKJKB.h"
#include "UnitCJ_BMK.h"
#include "UnitCJ_SJDR.h"
#include "UnitDY_ZKZCGB.h"
#include "UnitJY_CSBMB.h"
#include "UnitPZ_DKQ.h"
#include "UnitSC_JKB.h"
#include "UnitSJDC.h"
#include "UnitSJDR.h"
#include "UnitSJHF.h"
#include "UnitSJLR.h"
#include "UnitSJXG.h"
#include "UnitZPCJ.h"
#include "Windows.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenuBar>
#include <QScreen>

TFormMain::TFormMain(EnrollStation& station) : station_(station) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Veldran省普通高中学业水平测试报名系统"));
    resize(870, 640);
    auto* panel = new QWidget(this);
    panel->setObjectName(QStringLiteral("Panel1"));
    setCentralWidget(panel);

    auto entry = [this](const QString& name, const QString& caption) {
        QMenu* menu = menuBar()->addMenu(caption);
        menu->setObjectName(name);
        return menu;
    };
    auto separator = [](QMenu* menu, const QString& name) {
        QAction* action = menu->addSeparator();
        action->setObjectName(name);
        return action;
    };

    N13 = entry(QStringLiteral("N13"), QStringLiteral("系统设置"));
    N15 = addItem(N13, QStringLiteral("N15"), QStringLiteral("数据库压缩"), &TFormMain::N15Click);
    N14 = addItem(N13, QStringLiteral("N14"), QStringLiteral("读卡器配置"), &TFormMain::N14Click);
    N6 = addItem(N13, QStringLiteral("N6"), QStringLiteral("清空数据库"), &TFormMain::N6Click);
    N6->setCheckable(true); // toggles its check mark at each click
    NSJHF = addItem(N13, QStringLiteral("NSJHF"), QStringLiteral("数据恢复"), &TFormMain::NSJHFClick);

    N23 = entry(QStringLiteral("N23"), QStringLiteral("数据导入"));
    N24 = addItem(N23, QStringLiteral("N24"), QStringLiteral("应届成绩数据导入"), &TFormMain::N24Click);
    N24->setVisible(false);
    N25 = addItem(N23, QStringLiteral("N25"), QStringLiteral("应届报名数据导入"), &TFormMain::N25Click);

    N1 = entry(QStringLiteral("N1"), QStringLiteral("报名管理"));
    N2 = addItem(N1, QStringLiteral("N2"), QStringLiteral("应届报名数据采集"), &TFormMain::N2Click);
    N3 = addItem(N1, QStringLiteral("N3"), QStringLiteral("应届报名数据校验"), &TFormMain::N3Click);
    N9 = addItem(N1, QStringLiteral("N9"), QStringLiteral("应届报名数据修改"), &TFormMain::N9Click);
    N11 = separator(N1, QStringLiteral("N11"));
    N18 = addItem(N1, QStringLiteral("N18"), QStringLiteral("学业补测数据采集"), &TFormMain::N18Click);
    N18->setVisible(false);
    N17 = separator(N1, QStringLiteral("N17"));
    N17->setVisible(false);
    N10 = addItem(N1, QStringLiteral("N10"), QStringLiteral("应届简况表生成"), &TFormMain::N10Click);
    N7 = addItem(N1, QStringLiteral("N7"), QStringLiteral("补测简况表生成"), &TFormMain::N7Click);
    N7->setVisible(false);

    N4 = entry(QStringLiteral("N4"), QStringLiteral("电子摄像"));
    N5 = addItem(N4, QStringLiteral("N5"), QStringLiteral("照片采集"), &TFormMain::N5Click);

    N16 = entry(QStringLiteral("N16"), QStringLiteral("报表打印"));
    N16->menuAction()->setVisible(false);
    N19 = addItem(N16, QStringLiteral("N19"), QStringLiteral("打印校对信息表"), &TFormMain::N19Click);

    N8 = entry(QStringLiteral("N8"), QStringLiteral("数据报送"));
    N12 = addItem(N8, QStringLiteral("N12"), QStringLiteral("报名数据导出"), &TFormMain::N12Click);

    if (Profile(StationFolder::setupIni()).readInteger(QStringLiteral("MENU"), QStringLiteral("ShowAll"), 0) == 1)
        showAllEntries();
}

// For provincial staff: the hidden entries, and the windows without one.
void TFormMain::showAllEntries() {
    for (QAction* hidden : {N24, N18, N17, N7, N16->menuAction()})
        hidden->setVisible(true);
    NCJ_BMK = addItem(N13, QStringLiteral("NCJ_BMK"), QStringLiteral("创建报名库"), &TFormMain::NCJ_BMKClick);
    NBKJKB = addItem(N1, QStringLiteral("NBKJKB"), QStringLiteral("补考报名简况表"), &TFormMain::NBKJKBClick);
}

void TFormMain::openMaximized() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        setGeometry(screen->availableGeometry());
    showMaximized();
}

QAction* TFormMain::addItem(QMenu* menu, const QString& name, const QString& caption, void (TFormMain::*handler)()) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    connectHandler(action, &QAction::triggered, this, handler);
    return action;
}

void TFormMain::open(QDialog* window, int top, int left) {
    if (window)
        Windows::showModalAt(window, top, left);
}

// 补测简况表生成 has nothing to open.
void TFormMain::N7Click() {}

void TFormMain::N2Click() { open(station_.FormSJLR, 80, 100); }
void TFormMain::N3Click() { open(station_.FormJY_CSBMB, 80, 50); }
void TFormMain::N9Click() { open(station_.FormSJXG, 80, 100); }
void TFormMain::N5Click() { open(station_.FormZPCJ, 80, 50); }
void TFormMain::N14Click() { open(station_.FormPZ_DKQ, 80, 100); }
void TFormMain::N19Click() { open(station_.FormDY_ZKZCGB, 50, 100); }
void TFormMain::N18Click() { open(station_.FormBKBM, 80, 100); }
void TFormMain::N10Click() { open(station_.FormSC_JKB, 80, 100); }
void TFormMain::NCJ_BMKClick() { open(station_.FormCJ_BMK, 80, 100); }
void TFormMain::NBKJKBClick() { open(station_.FormBKJKB, 80, 100); }
void TFormMain::N25Click() { open(station_.FormSJDR, 80, 100); }
void TFormMain::N24Click() { open(station_.FormCJ_SJDR, 80, 100); }
void TFormMain::N12Click() { open(station_.FormSJDC, 80, 100); }
void TFormMain::NSJHFClick() { open(station_.FormSJHF, 80, 100); }

void TFormMain::N6Click() {
    const QString database = StationFolder::registrationDb();
    if (Dialogs::current().askYesNoCancel(QStringLiteral("确实要清空数据库内容吗？"), QStringLiteral("确认信息")) !=
        Dialogs::Answer::Yes)
        return;
    StationLock::refuseIfOpenElsewhere(database, QStringLiteral("清空数据库"));
    SafetyCopy::before(database, SafetyCopy::Before::clearing);
    {
        // Both tables or neither: a full disk after the first must not leave
        // the sequence numbers of students that are gone.
        Connection connection(database);
        Transaction transaction(connection);
        connection.execute(QStringLiteral("delete from 学生表"));
        connection.execute(QStringLiteral("delete from 顺序号"));
        transaction.commit();
    }
    // The lists the windows keep (the shared list of the correction and
    // photo windows among them) no longer show the students cleared.
    TableChanges::announce(database, QStringLiteral("学生表"));
    TableChanges::announce(database, QStringLiteral("顺序号"));
    Dialogs::current().message(QStringLiteral("清空报名信息及顺序号设置数据库内容成功！"));
}

void TFormMain::N15Click() {
    const QString database = StationFolder::registrationDb();
    StationLock::refuseIfOpenElsewhere(database, QStringLiteral("数据库压缩"));
    try {
        if (QFileInfo(database).isFile())
            SafetyCopy::before(database, SafetyCopy::Before::compaction);
    } catch (const SafetyCopy::DamagedFile&) {
        // Compaction never writes a damaged file; it keeps it aside itself.
    }
    const Compaction::Summary summary = Compaction::compactFolder(
        StationFolder::dataFolder(), QDir::currentPath(), [](const Compaction::FileResult& file) {
            if (!file.restoredFrom.isEmpty()) {
                QString text = QStringLiteral("数据库文件'%1'已损坏或丢失，已用上次压缩留下的完好副本'%2'恢复。")
                                   .arg(file.name, QDir::toNativeSeparators(file.restoredFrom));
                if (!file.damagedKept.isEmpty())
                    text += QStringLiteral("损坏的文件另存为'%1'。").arg(QDir::toNativeSeparators(file.damagedKept));
                Dialogs::current().messageBox(text, QStringLiteral("错误提示！"), Dialogs::Icon::Warning);
            }
            if (file.outcome == Compaction::Outcome::NotReplaced)
                Dialogs::current().messageBox(
                    QStringLiteral("数据库文件'%1'无法删除，请仔细检查此文件属性").arg(file.name),
                    QStringLiteral("错误提示！"), Dialogs::Icon::None);
            Windows::processPendingMessages();
        });
    // Success only when every file was compacted; an empty folder says nothing.
    if (summary.allCompacted())
        Dialogs::current().message(QStringLiteral("成功压缩数据库!"));
}
