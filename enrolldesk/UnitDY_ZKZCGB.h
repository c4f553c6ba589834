#pragma once

#include "DeskDialog.h"
#include "Query.h"
#include "StubSheet.h"

#include <QImage>

class DataSource;
class PrintJob;

namespace Ui {
class TFormDY_ZKZCGB;
}

// Prints the exam-room stub sheets of all students or of one class: a cell
// per student with the photograph, seat number, ID card number, name and
// sub-number, 24 cells to a page. The print goes to the default printer, or
// to a PDF file when none is installed.
class TFormDY_ZKZCGB : public DeskDialog {
    Q_OBJECT
public:
    explicit TFormDY_ZKZCGB(QWidget* parent = nullptr);
    ~TFormDY_ZKZCGB() override;

    void Button1Click();      // 浏览信息
    void Button4Click();      // 打印校对信息表
    void RadioButton1Click(); // 班级打印

    // The list of the checked choice; throws DbError for a class that is not
    // a whole number.
    QString listSql() const;

    // Where the print goes when no printer is installed.
    static QString fallbackPdf();

    // The area name and code of the header, from setup.ini ([PRINT] AreaName,
    // AreaCode); empty when absent.
    static StubSheet::Area area();

    Query ADOQueryKCBPB; // the student list

private:
    void loadList();
    // The photograph of the current list row: 电子照片 when it holds one,
    // else the student's file in the photo store; null when there is none.
    QImage photoOfCurrent() const;
    void paint(PrintJob& job, const QVector<StubSheet::Element>& elements, const QImage& photo);
    void setBusy(bool busy);

    Ui::TFormDY_ZKZCGB* ui;
    DataSource* DataSource1 = nullptr;
    bool printing_ = false;
};
