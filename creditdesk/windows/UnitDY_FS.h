#pragma once

#include "CreditListWindow.h"

namespace Ui {
class TFormDY_FS;
}

// Prints the credit list of a city: every county and school whose sub-numbers carry the city code.
class TFormDY_FS : public CreditListWindow {
    Q_OBJECT
public:
    explicit TFormDY_FS(QWidget* parent = nullptr);
    ~TFormDY_FS() override;

    void Button1Click(); // 开始打印

private:
    Ui::TFormDY_FS* ui;
};
