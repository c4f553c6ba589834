#include "UnitCJ_BMK.h"
#include "ErrorBoundary.h"
#include "Schema.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitCJ_BMK.h"

namespace {
const QString countyLevel = QStringLiteral("县级库");
const QString schoolLevel = QStringLiteral("校级库");
const QString fileSuffix = QStringLiteral("学业水平测试报名库.mdb");
} // namespace

TFormCJ_BMK::TFormCJ_BMK(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormCJ_BMK) {
    setupUi(ui);
    connectHandler(ui->ComboBox1, &QComboBox::activated, this, &TFormCJ_BMK::ComboBox1Select);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormCJ_BMK::Button1Click);
    FormShow(); // the window starts as it is shown
}

TFormCJ_BMK::~TFormCJ_BMK() { delete ui; }

void TFormCJ_BMK::FormShow() {
    ui->ComboBox1->setCurrentText(countyLevel);
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Edit1->setEnabled(true);
    ui->Edit2->setEnabled(false);
}

void TFormCJ_BMK::ComboBox1Select() {
    const QString level = ui->ComboBox1->currentText();
    if (level == schoolLevel) {
        ui->Edit1->setEnabled(true);
        ui->Edit2->setEnabled(true);
    } else if (level == countyLevel) {
        ui->Edit1->setEnabled(true);
        ui->Edit2->setEnabled(false);
    }
}

void TFormCJ_BMK::Button1Click() {
    const QString level = ui->ComboBox1->currentText();
    QString fileName;
    if (level == countyLevel)
        fileName = Text::trimmed(ui->Edit1->text()) + fileSuffix;
    else if (level == schoolLevel)
        fileName = Text::trimmed(ui->Edit1->text()) + Text::trimmed(ui->Edit2->text()) + fileSuffix;

    const QString path = StationFolder::dataFolder() + fileName;
    Connection::createFile(path);
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(path);
    ADOQuery1.setSql(Schema::translateCreateTable(
        QStringLiteral("CREATE TABLE 学生表") +
        QStringLiteral(" (序号 Counter PRIMARY KEY, 学业水平测试号 VarChar(15), 姓名 VarChar(10), 身份证号 VarChar (18), "
                       "籍贯 VarChar(7),家庭住址 VarChar(20),联系电话 VarChar(12),中考成绩 float)")));
    ADOQuery1.execute();
}
