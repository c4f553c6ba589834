#pragma once

#include "DeskDialog.h"

namespace Ui {
class TFormPZ_DKQ;
}

// Reader port settings, kept in setup.ini. A new setting takes effect the
// next time the entry window is shown.
class TFormPZ_DKQ : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormPZ_DKQ(QWidget* parent = nullptr);
    ~TFormPZ_DKQ() override;

    void FormShow() override;
    void CheckBox1Click(); // USB端口 on or off
    void Button1Click();   // 保存
    void Button2Click();   // 退出

private:
    void enablePortChoice(bool enabled);
    Ui::TFormPZ_DKQ* ui;
};
