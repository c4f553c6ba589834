#include "UnitSJDC.h"
#include "CreditStation.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "ExchangeFile.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "StagedFile.h"
#include "StationFolder.h"
#include "Text.h"
#include "Unitsjdcbg.h"
#include "Windows.h"
#include "ui_UnitSJDC.h"

#include <QScopeGuard>

namespace {

const QString exportCaption = QStringLiteral("数据导出");
const QString busyCaption = QStringLiteral("数据正在导出中，请稍候......");

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

QString TFormSJDC::exchangeTableStatement() { return ExchangeFile::tableStatement(); }

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
    const QString where = ExchangeFile::selection(city, county, school);

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
    try {
        Connection(temporary).execute(exchangeTableStatement());
        Windows::processPendingMessages();

        ADOQuery2.close();
        ExchangeFile::copyStudents(database, temporary, where);
    } catch (const DbError& e) {
        throw staged.namingTarget(e);
    }
    ProgramValues::ExportWhere = where;
    ProgramValues::CreditDbPath = database;
    Windows::processPendingMessages();

    // The exchange file is handed on in the protected form.
    FileProtection::protect(temporary);
    staged.commit();
}
