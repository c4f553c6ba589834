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
// sub-number, at most 24 cells to a page and every exam room on pages of its
// own (StubSheet). The print goes to the default printer, or to a new PDF
// file when none is installed. A photograph that cannot be read prints as
// "照片无法读取" and is named in a box after the print.
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

    // Where the print goes when no printer is installed: a file of its own
    // under 打印/, named after the window and the time.
    static QString fallbackPdf();

    // What the title and header name, from setup.ini ([PRINT] AreaName,
    // AreaCode, empty when absent; Province, Session, the delivered title's
    // when absent or empty).
    static StubSheet::Heading area();

    Query ADOQueryKCBPB; // the student list

private:
    void loadList();
    // The photograph of the current list row for a box of `box` pixels:
    // 电子照片 when it holds one, else the student's file in the photo store.
    StubSheet::Portrait photoOfCurrent(QSize box) const;
    void paint(PrintJob& job, const QVector<StubSheet::Element>& elements, const QImage& photo);
    void setBusy(bool busy);

    Ui::TFormDY_ZKZCGB* ui;
    DataSource* DataSource1 = nullptr;
    bool printing_ = false;
};
