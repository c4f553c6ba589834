#include "UnitDRSJ.h"
#include "AccessFile.h"
#include "CreditImport.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "Query.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitDRSJ.h"

#include <QDir>
#include <QScopeGuard>

namespace {

const QString startCaption = QStringLiteral("开始导入数据");
const QString busyCaption = QStringLiteral("数据正在导入中，请稍候......");

} // namespace

TFormDRSJ::TFormDRSJ(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormDRSJ) {
    setupUi(ui);
    setFixedSize(370, 157);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormDRSJ::Button2Click);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormDRSJ::Button1Click);
}

TFormDRSJ::~TFormDRSJ() {
    delete ui;
}

void TFormDRSJ::FormShow() {
    ui->Button1->setEnabled(true);
    ui->Button1->setText(startCaption);
}

void TFormDRSJ::Button2Click() {
    const QString path =
        Dialogs::current().openFile(QStringLiteral("Microsoft Office Access 数据库(*.mdb)|*.mdb"), QString());
    if (!path.isEmpty())
        ui->Edit4->setText(QDir::toNativeSeparators(path));
}

void TFormDRSJ::Button1Click() {
    ui->Button1->setEnabled(false);
    ui->Button1->setText(busyCaption);
    ui->Button1->repaint(); // the only sign of progress: no messages are processed meanwhile
    // Whatever happens, the button is ready for the next import.
    const auto ready = qScopeGuard([this] {
        ui->Button1->setEnabled(true);
        ui->Button1->setText(startCaption);
    });
    const QString source = Text::trimmed(ui->Edit4->text());
    if (ui->RadioButton2->isChecked())
        import(source);
    Dialogs::current().message(QStringLiteral("导入数据库成功！"));
}

void TFormDRSJ::import(const QString& source) {
    // The whole source is read first. A file of ours is read from a private
    // copy, so the user's file is never written (it may sit on a read-only
    // medium, and a crash cannot leave it unprotected).
    CreditImport::SourceTable table;
    const QString subName = CreditImport::importedColumns()[0];
    if (FileProtection::formOf(source) == FileProtection::Form::Other && AccessFile::isAccessFile(source)) {
        table = CreditImport::readAccessSource(source);
        CreditImport::sortBySubNumber(table, source);
    } else {
        const FileProtection::PrivateCopy copy(source);
        {
            Connection file(copy.path());
            CreditImport::checkStudentTable(file, source);
        }
        ADOQuery1.close();
        ADOQuery1.setDatabasePath(copy.path());
        // The source sorts by its own column type and collation (a numeric
        // sub-number column gives 9, 10, 100); equal sub-numbers keep their
        // stored order.
        ADOQuery1.setSql(QStringLiteral("select * from 学生表 where 0"));
        ADOQuery1.open();
        table.columns = ADOQuery1.fieldNames();
        CreditImport::columnIndex(table, subName, source);
        ADOQuery1.close();
        ADOQuery1.setSql(QStringLiteral("select * from 学生表 order by 学业水平测试副号 asc, rowid asc"));
        try {
            ADOQuery1.open();
        } catch (const DbError&) {
            // A table without row numbers (made WITHOUT ROWID): the sub-number alone.
            ADOQuery1.close();
            ADOQuery1.setSql(QStringLiteral("select * from 学生表 order by 学业水平测试副号 asc"));
            ADOQuery1.open();
        }
        table.rows.reserve(ADOQuery1.recordCount());
        for (int i = 0; i < ADOQuery1.recordCount(); ++i)
            table.rows.append(ADOQuery1.row(i));
        ADOQuery1.close(); // the copy goes with this block
    }

    CreditImport::columnIndex(table, subName, source);
    if (table.rows.isEmpty())
        return;
    CreditImport::store(StationFolder::creditDb(), table, source);
}
