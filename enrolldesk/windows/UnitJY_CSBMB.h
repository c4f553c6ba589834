#pragma once

#include "DeskDialog.h"
#include "Query.h"

#include <QStringList>

class DataSource;

namespace Ui {
class TFormJY_CSBMB;
}

// The validation window: looks up registrations (by sub-number, county or
// school) with their photograph, and runs the checks of RegistrationChecks
// over the whole 学生表, writing the report into Memo1; the report can be
// saved as a text file.
class TFormJY_CSBMB : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormJY_CSBMB(QWidget* parent = nullptr);
    ~TFormJY_CSBMB() override;

    // Handlers
    void Button1Click();          // 开始查询信息
    void DBGrid1CellClick(int row);
    void Button3Click();          // 开始校验
    void Button4Click();          // 保存校验日志
    void CheckBox8Click();

    // The report as it stands in Memo1 (the user may have edited it).
    QStringList reportLines() const;

    Query ADOQuery1; // the lookup

private:
    void ShowRow(int row);
    void ShowPhoto(const QString& subNumber);

    Ui::TFormJY_CSBMB* ui;
    DataSource* DataSource1 = nullptr;
    bool running_ = false;
};
