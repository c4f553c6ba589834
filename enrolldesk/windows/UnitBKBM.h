#pragma once

#include "DeskDialog.h"
#include "Query.h"

namespace Ui {
class TFormBKBM;
}
class DataSource;

// Make-up registration: fills 补考表 with the students who failed a subject
// according to 成绩表, and lists one school's make-up rows for editing.
class TFormBKBM : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormBKBM(QWidget* parent = nullptr);
    ~TFormBKBM() override;

    void FormShow() override;
    void BitBtn1Click(); // generate, or empty and generate again
    void Button2Click(); // 显示报名数据

    Query ADOQuery1; // the school's make-up rows (DBGrid1)
    DataSource* DataSource1;

private:
    // The caption of BitBtn1 by whether 补考表 holds rows.
    void showTableState();

    Ui::TFormBKBM* ui;
};
