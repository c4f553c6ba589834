#pragma once

#include <memory>

class TMainForm;
class TFormSJLR;
class TFormXFSJLR;
class TFormDY_FS;
class TFormDY_FXQ;
class TFormDY_FXX;
class TFormDRSJ;
class TFormSJDC;
class Tsjdcbgfrm;
class TFormSJHF;

// The window instances of the credit station. They are created once, in
// this order, the main window first, and kept until the program ends; a
// window therefore keeps its contents between showings.
class CreditStation {
public:
    CreditStation();
    ~CreditStation();
    CreditStation(const CreditStation&) = delete;
    CreditStation& operator=(const CreditStation&) = delete;

    TMainForm* MainForm = nullptr;
    TFormSJLR* FormSJLR = nullptr;     // 批量学分数据录入
    TFormXFSJLR* FormXFSJLR = nullptr; // 学分数据录入
    TFormDY_FS* FormDY_FS = nullptr;   // 分市打印报表
    TFormDY_FXQ* FormDY_FXQ = nullptr; // 分县打印报表
    TFormDY_FXX* FormDY_FXX = nullptr; // 分校打印报表
    TFormDRSJ* FormDRSJ = nullptr;   // 导入数据
    TFormSJDC* FormSJDC = nullptr;   // 学分数据导出
    Tsjdcbgfrm* sjdcbgfrm = nullptr; // 学分数据导出报告
    TFormSJHF* FormSJHF = nullptr;   // 数据恢复: the safety copies

    // Puts the station's own files (credit database, name table) found in
    // the plain form back into the protected form. Runs at start-up.
    static void protectStationFiles();

private:
    std::unique_ptr<TMainForm> main_;
};
