#pragma once

#include "DeskDialog.h"
#include "SafetyCopy.h"

#include <QList>
#include <functional>

namespace Ui {
class TFormSJHF;
}

// "数据恢复": the safety copies of the station's data file, newest first,
// and the way back to one of them. Both stations have it; the restoring
// itself is SafetyCopy::restore().
class TFormSJHF : public DeskDialog {
    Q_OBJECT
public:
    // `database` names the data file (asked at every use: the station
    // folder is settled by then); `protectedForm` says whether the station
    // keeps it in the protected form.
    TFormSJHF(std::function<QString()> database, bool protectedForm, QWidget* parent = nullptr);
    ~TFormSJHF() override;

    void FormShow() override; // lists the copies
    void Button1Click();      // 恢复数据
    void Button2Click();      // 退出

    // The copies as listed, row by row.
    const QList<SafetyCopy::Copy>& copies() const { return copies_; }

private:
    SafetyCopy::Store store() const;
    void listCopies();

    Ui::TFormSJHF* ui;
    std::function<QString()> database_;
    bool protectedForm_;
    QList<SafetyCopy::Copy> copies_;
};
