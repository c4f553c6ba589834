#include "UnitDY_FS.h"
#include "ErrorBoundary.h"
#include "TestNumber.h"
#include "Text.h"
#include "ui_UnitDY_FS.h"

TFormDY_FS::TFormDY_FS(QWidget* parent) : CreditListWindow(parent), ui(new Ui::TFormDY_FS) {
    setupUi(ui);
    setFixedSize(size());
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormDY_FS::Button1Click);
}

TFormDY_FS::~TFormDY_FS() {
    delete ui;
}

void TFormDY_FS::Button1Click() {
    printList(TestNumber::Sql::cityCode(QStringLiteral("学业水平测试副号")), Text::trimmed(ui->Edit1->text()), ui->Label2, ui->Button1);
}
