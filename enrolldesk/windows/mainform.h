#pragma once

#include "Query.h"

#include <QMainWindow>

class EnrollStation;
class QAction;
class QDialog;
class QMenu;

// The main window of the registration station: its menu opens every other
// window modally; two maintenance commands empty and compact the databases.
class TFormMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TFormMain(EnrollStation& station);

    // Shows the window maximized; it also fills the screen where no window
    // manager acts on the request (a bare X server).
    void openMaximized();

    // Menu entries and items, named as designed.
    QMenu *N13, *N23, *N1, *N4, *N16, *N8;
    QAction *N15, *N14, *N6, *N24, *N25, *N2, *N3, *N9, *N11, *N18, *N17, *N10, *N7, *N5, *N19, *N12;

    void N15Click(); // 数据库压缩
    void N14Click(); // 读卡器配置
    void N6Click();  // 清空数据库
    void N24Click(); // 应届成绩数据导入
    void N25Click(); // 应届报名数据导入
    void N2Click();  // 应届报名数据采集
    void N3Click();  // 应届报名数据校验
    void N9Click();  // 应届报名数据修改
    void N18Click(); // 学业补测数据采集
    void N10Click(); // 应届简况表生成
    void N7Click();  // 补测简况表生成 (no action)
    void N5Click();  // 照片采集
    void N19Click(); // 打印校对信息表
    void N12Click(); // 报名数据导出

    // With [MENU] ShowAll=1 in setup.ini every hidden entry shows, and two
    // more items open the windows that have no entry otherwise; without it
    // these two items do not exist (nullptr).
    QAction* NCJ_BMK = nullptr; // 创建报名库
    QAction* NBKJKB = nullptr;  // 补考报名简况表
    void NCJ_BMKClick();
    void NBKJKBClick();

    QAction* NSJHF = nullptr; // 数据恢复: the safety copies
    void NSJHFClick();

    Query ADOQuery1; // the clear command's statements

private:
    QAction* addItem(QMenu* menu, const QString& name, const QString& caption, void (TFormMain::*handler)());
    void open(QDialog* window, int top, int left);
    void showAllEntries();

    EnrollStation& station_;
};
