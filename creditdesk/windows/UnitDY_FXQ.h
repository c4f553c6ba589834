#pragma once

#include "CreditListWindow.h"

namespace Ui {
class TFormDY_FXQ;
}

// Prints the credit list of a county: every school whose sub-numbers carry the county code.
class TFormDY_FXQ : public CreditListWindow {
    Q_OBJECT
public:
    explicit TFormDY_FXQ(QWidget* parent = nullptr);
    ~TFormDY_FXQ() override;

    void Button1Click(); // 开始打印

private:
    Ui::TFormDY_FXQ* ui;
};
