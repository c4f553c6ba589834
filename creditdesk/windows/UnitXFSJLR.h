#pragma once

#include "DeskDialog.h"
#include "Query.h"

namespace Ui {
class TFormXFSJLR;
}

// Works on one student at a time, found by the test number: shows the name,
// ID number and credits, changes the two credits (the total follows), or
// adds a new student with its credits. Only students it added itself carry
// a test number; the import leaves that column empty.
class TFormXFSJLR : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormXFSJLR(QWidget* parent = nullptr);
    ~TFormXFSJLR() override;

    void FormShow() override;
    void Button1Click(); // 定位
    void Button2Click(); // 确定修改
    void Button3Click(); // 插入
    void Button4Click(); // 保存

    Query ADOQuery1; // reads
    Query ADOQuery2; // writes

private:
    // Empties the five boxes (all, or only the test number and the credits)
    // and returns to looking up.
    void backToLookup(bool keepNameAndId);

    Ui::TFormXFSJLR* ui;
};
