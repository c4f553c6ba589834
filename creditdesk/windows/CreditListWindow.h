#pragma once

#include "DeskDialog.h"
#include "Query.h"

#include <QStringList>

class QLabel;

// What the three credit list windows (by city, county and school) share:
// "开始打印" prints the students of one selection as the credit list on the
// default printer, or into a PDF file when no printer is installed. The
// windows differ only in their selection.
class CreditListWindow : public DeskDialog {
    Q_OBJECT
public:
    using DeskDialog::DeskDialog;

    Query ADOQuery1; // the name lookups
    Query ADOQuery2; // the students

    // When set, every printed line is also appended here.
    void setTranscript(QStringList* lines) { transcript_ = lines; }

protected:
    // Prints the students of 学生表 for which `codeExpression` (an SQL
    // expression over 学业水平测试副号) equals `code`, in sub-number order.
    // `status` is the window's (hidden) progress label, `start` its button.
    void printList(const QString& codeExpression, const QString& code, QLabel* status, QPushButton* start);

private:
    QStringList* transcript_ = nullptr;
};
