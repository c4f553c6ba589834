#pragma once

#include "DeskDialog.h"
#include "Query.h"

class CreditStation;

namespace Ui {
class TFormSJDC;
}

// Writes the students of a city, a county or a school, with their credits,
// into a new credit exchange file, then shows the check report.
class TFormSJDC : public DeskDialog {
    Q_OBJECT
public:
    TFormSJDC(CreditStation& station, QWidget* parent = nullptr);
    ~TFormSJDC() override;

    void FormShow() override;
    void Button1Click(); // 数据导出

    // The layout of the credit exchange file.
    static QString exchangeTableStatement();

    Query ADOQuery2; // reads the credit database

private:
    // Writes the students selected by " select * " + `where` into a new
    // exchange file at `target`; sets ExportWhere and CreditDbPath.
    void writeExchangeFile(const QString& target, const QString& database, const QString& where);

    CreditStation& station_;
    Ui::TFormSJDC* ui;
};
