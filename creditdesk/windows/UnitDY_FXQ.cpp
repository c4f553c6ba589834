#include "UnitDY_FXQ.h"
#include "ErrorBoundary.h"
#include "TestNumber.h"
#include "Text.h"
#include "ui_UnitDY_FXQ.h"

TFormDY_FXQ::TFormDY_FXQ(QWidget* parent) : CreditListWindow(parent), ui(new Ui::TFormDY_FXQ) {
    setupUi(ui);
    setFixedSize(size());
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormDY_FXQ::Button1Click);
}

TFormDY_FXQ::~TFormDY_FXQ() {
    delete ui;
}

void TFormDY_FXQ::Button1Click() {
    printList(TestNumber::Sql::countyCode(QStringLiteral("学业水平测试副号")), Text::trimmed(ui->Edit1->text()), ui->Label2, ui->Button1);
}
