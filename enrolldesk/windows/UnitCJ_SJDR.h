#pragma once

#include "DeskDialog.h"
#include "Query.h"

namespace Ui {
class TFormCJ_SJDR;
}

// Loads the results of the proficiency test from a score file into 成绩表,
// from which the make-up registration picks the students who retake
// subjects. A filled table is emptied first, in a click of its own.
class TFormCJ_SJDR : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormCJ_SJDR(QWidget* parent = nullptr);
    ~TFormCJ_SJDR() override;

    void Button1Click(); // 数据库位置:
    void Button2Click(); // 开始导入
    void Button3Click(); // 退出

    Query ADOQuery1;

private:
    Ui::TFormCJ_SJDR* ui;
    QString OpenDialog1Filter; // kept from one choice to the next
};
