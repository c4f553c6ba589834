#include "UnitSJDC.h"
#include "CreditStation.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "Schema.h"
#include "StagedFile.h"
#include "StationFolder.h"
#include "TestNumber.h"
#include "Text.h"
#include "Unitsjdcbg.h"
#include "Windows.h"
#include "ui_UnitSJDC.h"

#include <QFileInfo>
#include <QScopeGuard>
#include <QSqlQuery>

namespace {

const QString exportCaption = QStringLiteral("数据导出");
const QString busyCaption = QStringLiteral("数据正在导出中，请稍候......");

// The text columns of the exchange file with their widths.
struct Width {
    const char16_t* column;
    int limit;
};
const Width exchangeWidths[] = {{u"学业水平测试副号", 14}, {u"姓名", 10}, {u"身份证号", 19}};

// After a copy refused for a value too long for the exchange file: the
// student and the value at fault, found in the credit database.
QString tooLongForExchange(Connection& credit, const QString& where) {
    for (const Width& width : exchangeWidths) {
        const QString column = QString::fromUtf16(width.column);
        QSqlQuery query(credit.database());
        const QString sql = QStringLiteral("select 学业水平测试副号, 姓名, %1 ").arg(column) + where +
                            QStringLiteral(" and length(%1) > %2 order by rowid limit 1").arg(column).arg(width.limit);
        if (query.exec(sql) && query.next())
            return QStringLiteral("学业水平测试副号为“%1”的学生“%2”的%3“%4”过长，交换文件中最多只能有 %5 "
                                  "个字符，数据没有导出。")
                .arg(query.value(0).toString(), query.value(1).toString(), column, query.value(2).toString())
                .arg(width.limit);
    }
    return QString();
}

} // namespace

TFormSJDC::TFormSJDC(CreditStation& station, QWidget* parent)
    : DeskDialog(parent), station_(station), ui(new Ui::TFormSJDC) {
    setupUi(ui);
    setFixedSize(265, 186);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJDC::Button1Click);
}

TFormSJDC::~TFormSJDC() {
    delete ui;
}

QString TFormSJDC::exchangeTableStatement() {
    return Schema::translateCreateTable(
        QStringLiteral("CREATE TABLE 学生表") +
        QStringLiteral(
            " (序号 Counter PRIMARY KEY, 学业水平测试副号 VarChar(14), 姓名 VarChar(10), 身份证号 VarChar "
            "(19),必修学分 SmallInt NULL,选修学分 SmallInt NULL,总学分 SmallInt NULL)"));
}

void TFormSJDC::FormShow() {
    const int level = ProgramValues::ExportLevel;
    ui->Edit3->setEnabled(level == 1);
    ui->Edit1->setEnabled(level == 2 || level == 3);
    ui->Edit2->setEnabled(level == 3);
    if (level == 1)
        ui->Edit3->setFocus();
    else if (level == 2 || level == 3)
        ui->Edit1->setFocus();
    ui->Button1->setEnabled(true);
    ui->Button1->setText(exportCaption);
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Edit3->clear();
}

void TFormSJDC::Button1Click() {
    ui->Button1->setEnabled(false);
    ui->Button1->setText(busyCaption);
    ui->Button1->repaint();
    // However the export ends, the button is ready for the next one.
    const auto ready = qScopeGuard([this] {
        ui->Button1->setEnabled(true);
        ui->Button1->setText(exportCaption);
    });

    const QString city = Text::trimmed(ui->Edit3->text());
    const QString county = Text::trimmed(ui->Edit1->text());
    const QString school = Text::trimmed(ui->Edit2->text());
    switch (ProgramValues::ExportLevel) {
    case 1:
        if (city.isEmpty()) {
            Dialogs::current().message(QStringLiteral("市区代码不可为空！"));
            ui->Edit3->setFocus();
            return;
        }
        break;
    case 2:
        if (county.isEmpty()) {
            Dialogs::current().message(QStringLiteral("县区代码不可为空！"));
            ui->Edit1->setFocus();
            return;
        }
        break;
    case 3:
        if (school.isEmpty() || county.isEmpty()) {
            Dialogs::current().message(QStringLiteral("县区代码或学校代码不可为空！"));
            ui->Edit2->setFocus();
            return;
        }
        break;
    default:
        break;
    }

    const QString database = StationFolder::creditDb();
    const QString defaultName =
        (county.isEmpty() && school.isEmpty() ? city : county + school) + QStringLiteral("学分数据.mdb");
    const QString target = Dialogs::current().saveFile(
        QStringLiteral("Microsoft Office Access数据库 (*.mdb)|*.mdb"), QStringLiteral("mdb"), defaultName);
    if (target.isEmpty())
        return; // cancelled: nothing is written

    // The selection follows the filled boxes, whatever the level.
    const QString sub = QStringLiteral("学业水平测试副号");
    QString where;
    if (!school.isEmpty())
        where = QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::unitCode(sub)) +
                sqlQuote(county + school);
    else if (!county.isEmpty())
        where =
            QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::countyCode(sub)) + sqlQuote(county);
    else
        where = QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::cityCode(sub)) + sqlQuote(city);

    // The credit database stays open to the check report until it is closed.
    FileProtection::Lift lifted(database);
    writeExchangeFile(target, database, where);
    Windows::showModalCentred(station_.sjdcbgfrm);
    lifted.restore();
}

void TFormSJDC::writeExchangeFile(const QString& target, const QString& database, const QString& where) {
    // Written under a temporary name and moved to the target once complete,
    // so an export that fails never leaves a partial file under that name.
    StagedFile staged(target);
    const QString temporary = staged.path();
    Connection(temporary).execute(exchangeTableStatement());
    Windows::processPendingMessages();

    // One statement copies the selected students in their stored order; the
    // new file numbers them from 1 as they arrive.
    ADOQuery2.close();
    {
        Connection credit(database);
        credit.execute(QStringLiteral("ATTACH DATABASE :file AS 交换文件"),
                       {{QStringLiteral(":file"), QFileInfo(temporary).absoluteFilePath()}});
        const QString columns = QStringLiteral("学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分");
        try {
            Transaction transaction(credit);
            credit.execute(QStringLiteral("insert into 交换文件.学生表(%1) select %1").arg(columns) + where +
                           QStringLiteral(" order by rowid"));
            transaction.commit();
        } catch (const DbError& e) {
            const QString culprit = tooLongForExchange(credit, where);
            if (!culprit.isEmpty())
                throw DbError(culprit, e.engineText(), temporary);
            throw;
        }
        credit.execute(QStringLiteral("DETACH DATABASE 交换文件"));
    }
    ProgramValues::ExportWhere = where;
    ProgramValues::CreditDbPath = database;
    Windows::processPendingMessages();

    // The exchange file is handed on in the protected form.
    FileProtection::protect(temporary);
    staged.commit();
}
