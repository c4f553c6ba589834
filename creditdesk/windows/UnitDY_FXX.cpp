#include "UnitDY_FXX.h"
#include "ErrorBoundary.h"
#include "TestNumber.h"
#include "Text.h"
#include "ui_UnitDY_FXX.h"

TFormDY_FXX::TFormDY_FXX(QWidget* parent) : CreditListWindow(parent), ui(new Ui::TFormDY_FXX) {
    setupUi(ui);
    setFixedSize(size());
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormDY_FXX::Button1Click);
}

TFormDY_FXX::~TFormDY_FXX() {
    delete ui;
}

void TFormDY_FXX::Button1Click() {
    printList(TestNumber::Sql::unitCode(QStringLiteral("学业水平测试副号")), Text::trimmed(ui->Edit1->text()) + Text::trimmed(ui->Edit2->text()), ui->Label2, ui->Button1);
}
