#pragma once

#include <QString>
#include <memory>

class TFormMain;
class TFormCJ_BMK;
class TFormSJLR;
class TData;
class TFormPZ_DKQ;
class TFormZPSZ;
class TFormZPCJ;
class TFormDY_ZKZCGB;
class TFormJY_CSBMB;
class TFormSJXG;
class TFormSC_JKB;
class TFormBKBM;
class TFormBKJKB;
class TFormSJDR;
class TFormSJDC;
class TFormCJ_SJDR;
class TFormSJHF;

// The window instances of the registration station. They are created once,
// in this order, the main window first, and kept until the program ends; a
// window therefore keeps its contents between showings.
class EnrollStation {
public:
    EnrollStation();
    ~EnrollStation();
    EnrollStation(const EnrollStation&) = delete;
    EnrollStation& operator=(const EnrollStation&) = delete;

    TFormMain* FormMain = nullptr;     // 1
    TFormSJLR* FormSJLR = nullptr;     // 2
    TFormCJ_BMK* FormCJ_BMK = nullptr; // 3
    TFormZPCJ* FormZPCJ = nullptr;     // 4
    TFormZPSZ* FormZPSZ = nullptr;     // 5
    TFormSJDR* FormSJDR = nullptr;     // 6
    TFormSJDC* FormSJDC = nullptr;     // 7
    TFormJY_CSBMB* FormJY_CSBMB = nullptr; // 8
    TFormSJXG* FormSJXG = nullptr;     // 9
    TFormSC_JKB* FormSC_JKB = nullptr; // 10
    TData* Data = nullptr;             // 11
    TFormCJ_SJDR* FormCJ_SJDR = nullptr; // 12
    TFormBKBM* FormBKBM = nullptr;     // 13
    TFormBKJKB* FormBKJKB = nullptr;   // 14
    TFormPZ_DKQ* FormPZ_DKQ = nullptr; // 15
    TFormDY_ZKZCGB* FormDY_ZKZCGB = nullptr; // 16
    TFormSJHF* FormSJHF = nullptr;     // 数据恢复: the safety copies

    // Why the card reader library named in setup.ini could not be used
    // (empty when it could, or when none is named); shown once at start-up.
    QString readerWarning;

private:
    std::unique_ptr<TFormMain> main_;
};
