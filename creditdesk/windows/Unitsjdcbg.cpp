#include "Unitsjdcbg.h"
#include "BiffWriter.h"
#include "XlsxWriter.h"
#include "DeskError.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "ProgramValues.h"
#include "Text.h"
#include "ui_Unitsjdcbg.h"

#include <QDir>
#include <QHeaderView>
#include <QScopeGuard>

namespace {

void paintRed(QLabel* label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::red);
    label->setPalette(palette);
}

// A list shown whole rows at a time, for reading only.
void makeList(DbGrid* grid, DataSource* source) {
    grid->setDataSource(source);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
}

} // namespace

Tsjdcbgfrm::Tsjdcbgfrm(QWidget* parent) : DeskDialog(parent), ui(new Ui::Tsjdcbgfrm) {
    setupUi(ui);
    setFixedSize(583, 309);
    for (QLabel* label : {ui->Label1, ui->lzsj, ui->lbhg, ui->lbdy})
        paintRed(label);
    const QString key = QStringLiteral("学业水平测试副号");
    failing_ = new DataSource(&adoqbhg, QStringLiteral("学生表"), key, this);
    inconsistent_ = new DataSource(&adoqbdy, QStringLiteral("学生表"), key, this);
    makeList(ui->DBGrid1, failing_);
    makeList(ui->DBGrid2, inconsistent_);
    connectHandler(ui->BitBtn1, &QPushButton::clicked, this, &Tsjdcbgfrm::BitBtn1Click);
    connectHandler(ui->BitBtn2, &QPushButton::clicked, this, &Tsjdcbgfrm::BitBtn2Click);
    connectHandler(ui->BitBtn3, &QPushButton::clicked, this, &Tsjdcbgfrm::BitBtn3Click);
}

Tsjdcbgfrm::~Tsjdcbgfrm() {
    delete ui;
}

QString Tsjdcbgfrm::failingRule() {
    return QStringLiteral(" and (必修学分<116 or 选修学分<28 or 总学分<144 )");
}

QString Tsjdcbgfrm::inconsistentRule() {
    return QStringLiteral(" and (必修学分+选修学分<>总学分)");
}

int Tsjdcbgfrm::getct(const QString& path, const QString& sql) {
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(path);
    ADOQuery1.setSql(QStringLiteral("select count(*) as n from (") + sql + QLatin1Char(')'));
    ADOQuery1.open();
    return int(ADOQuery1.integer(QStringLiteral("n")));
}

void Tsjdcbgfrm::txbhg(const QString& path, const QString& sql) {
    adoqbhg.close();
    adoqbhg.setDatabasePath(path);
    adoqbhg.setSql(sql);
    const auto show = qScopeGuard([this] { failing_->reload(); });
    adoqbhg.open();
    ui->lbhg->setText(QString::number(adoqbhg.recordCount()));
}

void Tsjdcbgfrm::txbdy(const QString& path, const QString& sql) {
    adoqbdy.close();
    adoqbdy.setDatabasePath(path);
    adoqbdy.setSql(sql);
    const auto show = qScopeGuard([this] { inconsistent_->reload(); });
    adoqbdy.open();
    ui->lbdy->setText(QString::number(adoqbdy.recordCount()));
}

void Tsjdcbgfrm::FormShow() {
    // What cannot be filled this time stays empty.
    ui->lzsj->clear();
    ui->lbhg->clear();
    ui->lbdy->clear();
    adoqbhg.close();
    failing_->reload();
    adoqbdy.close();
    inconsistent_->reload();

    const QString& path = ProgramValues::CreditDbPath;
    const QString selection = QStringLiteral("select * ") + ProgramValues::ExportWhere;
    ui->lzsj->setText(QString::number(getct(path, selection)));
    txbhg(path, selection + failingRule());
    txbdy(path, selection + inconsistentRule());
}

void Tsjdcbgfrm::BitBtn1Click() {
    accept();
}

void Tsjdcbgfrm::BitBtn2Click() {
    exportList(QStringLiteral("学分不合格数据.xls"), failingRule());
}

void Tsjdcbgfrm::BitBtn3Click() {
    exportList(QStringLiteral("必修学分与选修学分之和不等于总学分数据.xls"), inconsistentRule());
}

void Tsjdcbgfrm::exportList(const QString& fileName, const QString& rule) {
    QString folder =
        Text::trimmed(Dialogs::current().chooseFolder(QStringLiteral(".::请选择导出数据存放文件夹::.")));
    if (folder.isEmpty())
        return;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    const bool xlsx = ui->ExportFormat->currentIndex() == 1;
    // The .xlsx list has the same name with the newer extension.
    const QString target = folder + (xlsx ? fileName + QLatin1Char('x') : fileName);
    // The workbook is written beside the target and renamed over it once
    // complete: an older list is replaced only by a complete new one.
    QString reason;
    try {
        ADOC.close();
        ADOC.setDatabasePath(ProgramValues::CreditDbPath);
        ADOC.setSql(QStringLiteral("select * ") + ProgramValues::ExportWhere + rule);
        ADOC.open();
        QVector<QVector<QVariant>> rows;
        rows.reserve(ADOC.recordCount());
        for (int i = 0; i < ADOC.recordCount(); ++i)
            rows.append(ADOC.row(i));
        const auto write = xlsx ? XlsxWriter::writeWorkbook : BiffWriter::writeWorkbook;
        write(target, QStringLiteral("导出结果"), ADOC.fieldNames(), rows);
        ADOC.close();
        Dialogs::current().messageBox(QStringLiteral("导出数据成功！\n数据存放在：") +
                                          QDir::toNativeSeparators(target),
                                      QStringLiteral("提示"), Dialogs::Icon::Information);
        return;
    } catch (const DeskError& e) {
        reason = e.message();
    } catch (const std::exception&) {
        reason = ErrorBoundary::describeCurrentException();
    }
    ADOC.close();
    Dialogs::current().messageBox(QStringLiteral("导出数据失败！\n") + reason, QStringLiteral("提示"),
                                  Dialogs::Icon::Information);
}
