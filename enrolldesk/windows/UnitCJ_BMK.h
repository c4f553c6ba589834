#pragma once

#include "DeskDialog.h"
#include "Query.h"

#include <memory>

namespace Ui {
class TFormCJ_BMK;
}

// Creates a new, empty registration file for a county or a school in the
// data folder, with the early, shorter layout of 学生表.
class TFormCJ_BMK : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormCJ_BMK(QWidget* parent = nullptr);
    ~TFormCJ_BMK() override;

    void FormShow() override;
    void ComboBox1Select();
    void Button1Click(); // 创建

    Query ADOQuery1;

private:
    Ui::TFormCJ_BMK* ui;
};
