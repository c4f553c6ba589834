#pragma once

#include "DeskDialog.h"
#include "Query.h"

#include <QVariant>

class DataSource;
class TData;

namespace Ui {
class TFormSJXG;
}

// The record correction window: lists one school's registrations in the
// shared query QR1 of the data module and changes the test number, name, ID
// number or native place of one of them, or deletes it. The up and down
// arrow keys walk the list from any control of the window.
class TFormSJXG : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormSJXG(QWidget* parent = nullptr);
    ~TFormSJXG() override;

    // The data module whose QR1 holds the list (created after this window).
    void setData(TData* data);

    void FormShow() override;

    // Handlers
    void FormCreate();
    void Button1Click();    // 显示数据
    void Edit2KeyPress();   // Enter in 学校代码
    void GridCellClick(int row);
    void Button2Click();    // 修改
    void Button3Click();    // 保存
    void Button5Click();    // 删除
    void Button4Click();    // 退出

    // The test number taken when 修改 unlocked the fields (the key of 保存).
    const QString& previousTestNumber() const { return previous_; }

    Query ADOQuery1; // the update and delete statements

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Query* list() const;
    void ListSchool();
    void ShowCurrent();
    QVariant currentKey() const;
    void LockFields();
    // The arrow keys walk the list; true when `key` is one of them, which
    // then reaches no control.
    bool AppMessage(int key);

    Ui::TFormSJXG* ui;
    TData* data_ = nullptr;
    DataSource* DataSource1 = nullptr;
    QString previous_;
    QVariant shownKey_; // the 序号 of the row the fields were filled from
};
