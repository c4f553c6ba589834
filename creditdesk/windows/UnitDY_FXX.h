#pragma once

#include "CreditListWindow.h"

namespace Ui {
class TFormDY_FXX;
}

// Prints the credit list of one school, by county code and school code.
class TFormDY_FXX : public CreditListWindow {
    Q_OBJECT
public:
    explicit TFormDY_FXX(QWidget* parent = nullptr);
    ~TFormDY_FXX() override;

    void Button1Click(); // 开始打印

private:
    Ui::TFormDY_FXX* ui;
};
