#pragma once

#include "Query.h"

#include <QMainWindow>

class CreditStation;

namespace Ui {
class TMainForm;
}

// The main window of the credit station: the notice for schools, and the
// menu that opens every other window modally and clears the credit database.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(CreditStation& station);
    ~TMainForm() override;

    // Shows the window centred on the screen.
    void showCentred();

    void N2Click();  // 数据清空
    void NSJHFClick(); // 数据恢复: the safety copies
    void N18Click(); // 导入数据
    void N16Click(); // 批量录入
    void N10Click(); // 分市打印
    void N11Click(); // 分县打印
    void N21Click(); // 分校打印
    void N7Click();  // 分市导出
    void N8Click();  // 分县导出
    void N9Click();  // 分校导出
    void N15Click(); // 单个录入 (menu item N22)

    Query ADOQuery1; // the clearing statement

private:
    void showExport(int level);

    CreditStation& station_;
    Ui::TMainForm* ui;
};
