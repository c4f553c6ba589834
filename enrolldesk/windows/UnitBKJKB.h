#pragma once

#include "DeskDialog.h"

namespace Ui {
class TFormBKJKB;
}

// The make-up summary: per unit, the number of make-up candidates in each
// of the six subjects.
class TFormBKJKB : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormBKJKB(QWidget* parent = nullptr);
    ~TFormBKJKB() override;

    void FormShow() override; // sets up the grid; rows stay until the next build
    void Button1Click();      // 生成补考报名简况表

private:
    Ui::TFormBKJKB* ui;
};
