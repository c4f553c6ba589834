#include "UnitCJ_SJDR.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "SafetyCopy.h"
#include "ScoreFile.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitCJ_SJDR.h"

#include <QDir>

namespace {
const QString accessKind = QStringLiteral("Access数据库");
} // namespace

TFormCJ_SJDR::TFormCJ_SJDR(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormCJ_SJDR) {
    setupUi(ui);
    setFixedSize(size());
    ui->ComboBox1->setCurrentIndex(-1); // empty until the user picks the kind
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormCJ_SJDR::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormCJ_SJDR::Button2Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormCJ_SJDR::Button3Click);
}

TFormCJ_SJDR::~TFormCJ_SJDR() { delete ui; }

void TFormCJ_SJDR::Button1Click() {
    if (ui->ComboBox1->currentText() == accessKind)
        OpenDialog1Filter = QStringLiteral("*.mdb|*.mdb");
    const QString path = Dialogs::current().openFile(OpenDialog1Filter, QString());
    if (!path.isEmpty())
        ui->Edit1->setText(QDir::toNativeSeparators(path));
}

void TFormCJ_SJDR::Button2Click() {
    ui->Memo1->clear();
    const QString database = StationFolder::registrationDb();
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(database);
    ADOQuery1.setSql(QStringLiteral("select * from 成绩表 limit 1"));
    ADOQuery1.open();
    if (!ADOQuery1.isEmpty()) {
        if (Dialogs::current().askYesNoCancel(QStringLiteral("成绩数据已存在，确定要清空数据库内容吗？"),
                                              QStringLiteral("确认信息")) != Dialogs::Answer::Yes)
            return;
        SafetyCopy::before(database, SafetyCopy::Before::scoreClearing);
        ADOQuery1.close();
        ADOQuery1.setSql(QStringLiteral("delete from 成绩表"));
        ADOQuery1.execute();
        Dialogs::current().message(QStringLiteral("清空数据库内容成功，请重新导入数据！"));
        return;
    }
    if (ui->ComboBox1->currentText() != accessKind)
        return;
    ADOQuery1.close();
    ScoreFile::importInto(database, Text::trimmed(ui->Edit1->text()));
    ui->Memo1->appendPlainText(QStringLiteral("数据导入完成！"));
}

void TFormCJ_SJDR::Button3Click() { close(); }
