#pragma once

#include "DeskDialog.h"

namespace Ui {
class TFormSC_JKB;
}

// The summary table: per unit, how its test numbers are filled (first and
// last sequence number, students, unused numbers below the highest).
class TFormSC_JKB : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormSC_JKB(QWidget* parent = nullptr);
    ~TFormSC_JKB() override;

    void FormShow() override; // sets up the grid; rows stay until the next build
    void Button1Click();      // 生成简况表

private:
    Ui::TFormSC_JKB* ui;
};
