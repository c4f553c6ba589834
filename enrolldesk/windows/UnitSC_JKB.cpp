#include "UnitSC_JKB.h"
#include "ErrorBoundary.h"
#include "StationFolder.h"
#include "SummaryGrid.h"
#include "ui_UnitSC_JKB.h"

TFormSC_JKB::TFormSC_JKB(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormSC_JKB) {
    setupUi(ui);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSC_JKB::Button1Click);
    FormShow();
}

TFormSC_JKB::~TFormSC_JKB() { delete ui; }

void TFormSC_JKB::FormShow() {
    SummaryGrid::setUp(ui->SGrid1,
                       {QStringLiteral("县区编码"), QStringLiteral("学校编码"), QStringLiteral("起始流水号"),
                        QStringLiteral("结束流水号"), QStringLiteral("实际考生数"), QStringLiteral("空号数")},
                       {60, 60, 80, 80, 80, 50});
}

void TFormSC_JKB::Button1Click() {
    SummaryGrid::show(ui->SGrid1, Summaries::registration(StationFolder::registrationDb()));
}
