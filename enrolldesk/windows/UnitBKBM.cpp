#include "UnitBKBM.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "MakeupRegistration.h"
#include "StationFolder.h"
#include "TableChanges.h"
#include "TestNumber.h"
#include "Text.h"
#include "ui_UnitBKBM.h"

namespace {
const QString FilledCaption = QStringLiteral("补考库中已存在报名数据，重新生成请点击！");
const QString EmptyCaption = QStringLiteral("补考库中不存在报名数据，需要生成请点击！");
} // namespace

TFormBKBM::TFormBKBM(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormBKBM) {
    setupUi(ui);
    DataSource1 = new DataSource(&ADOQuery1, QStringLiteral("补考表"), QStringLiteral("序号"), this);
    ui->DBGrid1->setDataSource(DataSource1);
    ui->DBNavigator1->setDataSource(DataSource1);
    const QStringList hints{QStringLiteral("首记录"), QStringLiteral("上一条记录"), QStringLiteral("下一条记录"),
                            QStringLiteral("尾记录"), QStringLiteral("插入"),       QStringLiteral("删除"),
                            QStringLiteral("编辑"),   QStringLiteral("保存"),       QStringLiteral("取消"),
                            QStringLiteral("刷新")};
    for (int b = DbNavigator::First; b <= DbNavigator::Refresh; ++b)
        ui->DBNavigator1->button(DbNavigator::Button(b))->setToolTip(hints[b]);
    connectHandler(ui->BitBtn1, &QPushButton::clicked, this, &TFormBKBM::BitBtn1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormBKBM::Button2Click);
}

TFormBKBM::~TFormBKBM() { delete ui; }

void TFormBKBM::FormShow() { showTableState(); }

void TFormBKBM::showTableState() {
    const bool filled = MakeupRegistration::hasRows(StationFolder::registrationDb());
    ui->BitBtn1->setText(filled ? FilledCaption : EmptyCaption);
    QPalette palette = ui->BitBtn1->palette();
    palette.setColor(QPalette::ButtonText, filled ? QColor(Qt::red) : QColor(Qt::blue));
    ui->BitBtn1->setPalette(palette);
}

void TFormBKBM::BitBtn1Click() {
    // The caption at the moment of the click says what to do. It is brought
    // up to date afterwards, also after a failure, so that the next click
    // replaces the rows rather than appending them a second time.
    const QString caption = ui->BitBtn1->text();
    if (caption != EmptyCaption && caption != FilledCaption)
        return;
    const QString database = StationFolder::registrationDb();
    // The lists of make-up candidates show the rows as generated (or as
    // kept before a failure).
    const auto announce = [&] { TableChanges::announce(database, QStringLiteral("补考表")); };
    try {
        MakeupRegistration::generate(database, caption == FilledCaption);
    } catch (...) {
        try {
            announce();
            showTableState();
        } catch (...) {
            // the first error is the one the user sees
        }
        throw;
    }
    announce();
    showTableState();
}

void TFormBKBM::Button2Click() {
    const QString school = Text::trimmed(ui->Edit1->text());
    if (school.isEmpty()) {
        Dialogs::current().message(QStringLiteral("学校代码为空，请填写！"));
        return;
    }
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(StationFolder::registrationDb());
    ADOQuery1.setSql(QStringLiteral("select * from 补考表 where %1=%2")
                         .arg(TestNumber::Sql::unitCode(QStringLiteral("学业水平测试副号")), sqlQuote(school)));
    ADOQuery1.open();
}
