#pragma once

#include <memory>

class TFormMain;
class TFormCJ_BMK;
class TFormSJLR;
class TData;

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
    TData* Data = nullptr;             // 11

private:
    std::unique_ptr<TFormMain> main_;
};
