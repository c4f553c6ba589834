#include "CreditListWindow.h"
#include "CreditList.h"
#include "Dialogs.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "Text.h"
#include "TextPrinter.h"
#include "Windows.h"

#include <QDateTime>
#include <QDir>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScopeGuard>

void CreditListWindow::printList(const QString& codeExpression, const QString& code, QLabel* status,
                                 QPushButton* start) {
    const QString database = StationFolder::creditDb();
    FileProtection::Lift lifted(database);
    ADOQuery2.close();
    ADOQuery2.setDatabasePath(database);
    ADOQuery2.setSql(QStringLiteral("select * from 学生表 where ") + codeExpression +
                     QStringLiteral("=:code order by 学业水平测试副号 asc"));
    ADOQuery2.setParam(QStringLiteral(":code"), code);
    ADOQuery2.open();
    lifted.restore();

    const int total = ADOQuery2.recordCount();
    status->setText(QStringLiteral("学生总数：%1").arg(total));
    const int sub = ADOQuery2.fieldIndex(QStringLiteral("学业水平测试副号"));
    const int name = ADOQuery2.fieldIndex(QStringLiteral("姓名"));
    const int id = ADOQuery2.fieldIndex(QStringLiteral("身份证号"));
    const int required = ADOQuery2.fieldIndex(QStringLiteral("必修学分"));
    const int elective = ADOQuery2.fieldIndex(QStringLiteral("选修学分"));
    const int sum = ADOQuery2.fieldIndex(QStringLiteral("总学分"));
    auto field = [this](int row, int column) { return Text::trimmed(Query::textOf(ADOQuery2.value(row, column))); };
    auto student = [&](int row) {
        return CreditList::Student{field(row, sub),      field(row, name),     field(row, id),
                                   field(row, required), field(row, elective), field(row, sum)};
    };

    // Pending messages are processed while the list prints; the button waits.
    start->setEnabled(false);
    auto enable = qScopeGuard([start] { start->setEnabled(true); });

    const QDateTime now = QDateTime::currentDateTime();
    // Without a printer the list becomes a file of its own under 打印/.
    const QString fallback =
        PrintJob::timedPdfName(StationFolder::programFolder() + QStringLiteral("打印"), windowTitle(), now);
    // An error half-way ends the document with the lines printed so far.
    TextPrinter printer({windowTitle(), fallback});
    const QString printTime = CreditList::printTime(now, QLocale::system());

    // The name table stays lifted for the whole run: each lookup opens it.
    const QString nameTablePath = StationFolder::nameTableDb();
    FileProtection::Lift nameTable(nameTablePath);
    CreditList::NameTable names(ADOQuery1, nameTablePath);
    CreditList::write(
        total, student, names, printTime,
        [&](const QString& line) {
            printer.writeLine(line);
            if (transcript_)
                transcript_->append(line);
        },
        [&](int printed) {
            status->setText(QStringLiteral("学生总数：%1，已打印：%2").arg(total).arg(printed));
            Windows::processPendingMessages();
        });
    nameTable.restore();
    printer.end();
    start->setEnabled(true);
    enable.dismiss();

    if (printer.wentToFallback())
        Dialogs::current().message(QStringLiteral("没有安装打印机，学分一览表已保存为文件：%1")
                                       .arg(QDir::toNativeSeparators(printer.pdfFile())));
}
