#include "UnitPZ_DKQ.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "IdCardReader.h"
#include "Profile.h"
#include "StationFolder.h"
#include "ui_UnitPZ_DKQ.h"

TFormPZ_DKQ::TFormPZ_DKQ(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormPZ_DKQ) {
    setupUi(ui);
    ui->ComboBox1->setCurrentText(QStringLiteral("COM1"));
    ui->ComboBox2->setCurrentText(QStringLiteral("9600"));
    connectHandler(ui->CheckBox1, &QCheckBox::clicked, this, &TFormPZ_DKQ::CheckBox1Click);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormPZ_DKQ::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormPZ_DKQ::Button2Click);
}

TFormPZ_DKQ::~TFormPZ_DKQ() { delete ui; }

void TFormPZ_DKQ::enablePortChoice(bool enabled) {
    ui->Label1->setEnabled(enabled);
    ui->Label2->setEnabled(enabled);
    ui->ComboBox1->setEnabled(enabled);
    ui->ComboBox2->setEnabled(enabled);
}

// The window does not read setup.ini: it always opens on the USB setting.
void TFormPZ_DKQ::FormShow() {
    enablePortChoice(false);
    ui->CheckBox1->setChecked(true);
    // The reader library setup.ini names, when it cannot be used: the whole
    // reason on pointing at it, as much as fits on the page.
    const QString problem = IdCardReader::libraryProblem(StationFolder::setupIni());
    ui->Label3->setText(problem);
    ui->Label3->setToolTip(problem);
    ui->Label3->setVisible(!problem.isEmpty());
}

void TFormPZ_DKQ::CheckBox1Click() { enablePortChoice(!ui->CheckBox1->isChecked()); }

void TFormPZ_DKQ::Button1Click() {
    Profile setup(StationFolder::setupIni());
    setup.writeString(QStringLiteral("READER"), QStringLiteral("PORT"),
                      ui->CheckBox1->isChecked() ? QStringLiteral("USB") : QStringLiteral("COM"));
    setup.writeString(QStringLiteral("COM"), QStringLiteral("port"), ui->ComboBox1->currentText());
    setup.writeString(QStringLiteral("COM"), QStringLiteral("baund"), ui->ComboBox2->currentText());
    Dialogs::current().message(QStringLiteral("设置完成！"));
    close();
}

void TFormPZ_DKQ::Button2Click() { close(); }
