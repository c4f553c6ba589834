#pragma once

#include "DeskDialog.h"
#include "Query.h"

namespace Ui {
class TFormDRSJ;
}

// Copies the students of a credit exchange file into the credit database.
// The source is a file written by a credit station's export (protected or
// not) or a genuine Access file with the same 学生表.
class TFormDRSJ : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormDRSJ(QWidget* parent = nullptr);
    ~TFormDRSJ() override;

    void FormShow() override;
    void Button2Click(); // 数据库位置
    void Button1Click(); // 开始导入数据

    Query ADOQuery1; // reads the source (an exchange file of ours)

private:
    void import(const QString& source);

    Ui::TFormDRSJ* ui;
};
