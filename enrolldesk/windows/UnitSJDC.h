#pragma once

#include "DeskDialog.h"

namespace Ui {
class TFormSJDC;
}

// Hands the registrations of a county or a school on for submission: writes
// this year's or the make-up rows into a new database file and copies the
// unit's photographs out of the photo store.
class TFormSJDC : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormSJDC(QWidget* parent = nullptr);
    ~TFormSJDC() override;

    void Button1Click(); // 数据导出
    void Button2Click(); // 相片导出

private:
    // While an export runs: both buttons disabled, the running one showing
    // that it is busy; restored however the export ends.
    class Busy;
    void showProgress(const QString& text);

    Ui::TFormSJDC* ui;
};
