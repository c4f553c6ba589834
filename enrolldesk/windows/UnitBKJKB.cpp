#include "UnitBKJKB.h"
#include "ErrorBoundary.h"
#include "StationFolder.h"
#include "SummaryGrid.h"
#include "ui_UnitBKJKB.h"

TFormBKJKB::TFormBKJKB(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormBKJKB) {
    setupUi(ui);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormBKJKB::Button1Click);
    FormShow();
}

TFormBKJKB::~TFormBKJKB() { delete ui; }

void TFormBKJKB::FormShow() {
    SummaryGrid::setUp(ui->SGrid1,
                       {QStringLiteral("县区编码"), QStringLiteral("学校编码"), QStringLiteral("语文补考"),
                        QStringLiteral("数学补考"), QStringLiteral("外语补考"), QStringLiteral("科学补考"),
                        QStringLiteral("人文补考"), QStringLiteral("技术补考")},
                       QVector<int>(8, 60));
}

void TFormBKJKB::Button1Click() {
    SummaryGrid::show(ui->SGrid1, Summaries::makeup(StationFolder::registrationDb()));
}
