#include "UnitSJDC.h"
#include "CreditRows.h"
#include "CreditStation.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "ProgramValues.h"
#include "Schema.h"
#include "StationFolder.h"
#include "TestNumber.h"
#include "Text.h"
#include "Unitsjdcbg.h"
#include "Windows.h"
#include "ui_UnitSJDC.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>

namespace {

const QString exportCaption = QStringLiteral("数据导出");
const QString busyCaption = QStringLiteral("数据正在导出中，请稍候......");

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A new, empty file beside `target` under a name of its own. The exchange
// file is written there and only moved to the target when it is complete,
// so an export that fails never leaves a partial file under the target name.
QString reserveTemporaryFile(const QString& target) {
    const QFileInfo info(target);
    if (!info.absoluteDir().exists())
        throw DeskError(QStringLiteral("文件夹“%1”不存在，无法导出。").arg(shown(info.absolutePath())));
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name =
            info.absoluteFilePath() +
            (attempt == 0 ? QStringLiteral(".part") : QStringLiteral(".%1.part").arg(attempt));
        QFile file(name);
        if (file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return name;
        if (!QFileInfo::exists(name))
            throw DeskError(QStringLiteral("无法在文件夹“%1”中写入文件：%2")
                                .arg(shown(info.absolutePath()), file.errorString()));
    }
    throw DeskError(QStringLiteral("无法在文件夹“%1”中写入文件。").arg(shown(info.absolutePath())));
}

} // namespace

TFormSJDC::TFormSJDC(CreditStation& station, QWidget* parent)
    : QDialog(parent), station_(station), ui(new Ui::TFormSJDC) {
    ui->setupUi(this);
    setFixedSize(265, 186);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJDC::Button1Click);
}

TFormSJDC::~TFormSJDC() {
    delete ui;
}

QString TFormSJDC::exchangeTableStatement() {
    return Schema::translateCreateTable(
        QStringLiteral("CREATE TABLE 学生表") +
        QStringLiteral(
            " (序号 Counter PRIMARY KEY, 学业水平测试副号 VarChar(14), 姓名 VarChar(10), 身份证号 VarChar "
            "(19),必修学分 SmallInt NULL,选修学分 SmallInt NULL,总学分 SmallInt NULL)"));
}

void TFormSJDC::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    ErrorBoundary::run([this] { FormShow(); });
}

void TFormSJDC::FormShow() {
    const int level = ProgramValues::ExportLevel;
    ui->Edit3->setEnabled(level == 1);
    ui->Edit1->setEnabled(level == 2 || level == 3);
    ui->Edit2->setEnabled(level == 3);
    if (level == 1)
        ui->Edit3->setFocus();
    else if (level == 2 || level == 3)
        ui->Edit1->setFocus();
    ui->Button1->setEnabled(true);
    ui->Button1->setText(exportCaption);
    ui->Edit1->clear();
    ui->Edit2->clear();
    ui->Edit3->clear();
}

void TFormSJDC::Button1Click() {
    ui->Button1->setEnabled(false);
    ui->Button1->setText(busyCaption);
    ui->Button1->repaint();
    // However the export ends, the button is ready for the next one.
    const auto ready = qScopeGuard([this] {
        ui->Button1->setEnabled(true);
        ui->Button1->setText(exportCaption);
    });

    const QString city = Text::trimmed(ui->Edit3->text());
    const QString county = Text::trimmed(ui->Edit1->text());
    const QString school = Text::trimmed(ui->Edit2->text());
    switch (ProgramValues::ExportLevel) {
    case 1:
        if (city.isEmpty()) {
            Dialogs::current().message(QStringLiteral("市区代码不可为空！"));
            ui->Edit3->setFocus();
            return;
        }
        break;
    case 2:
        if (county.isEmpty()) {
            Dialogs::current().message(QStringLiteral("县区代码不可为空！"));
            ui->Edit1->setFocus();
            return;
        }
        break;
    case 3:
        if (school.isEmpty() || county.isEmpty()) {
            Dialogs::current().message(QStringLiteral("县区代码或学校代码不可为空！"));
            ui->Edit2->setFocus();
            return;
        }
        break;
    default:
        break;
    }

    const QString database = StationFolder::creditDb();
    const QString defaultName =
        (county.isEmpty() && school.isEmpty() ? city : county + school) + QStringLiteral("学分数据.mdb");
    const QString target = Dialogs::current().saveFile(
        QStringLiteral("Microsoft Office Access数据库 (*.mdb)|*.mdb"), QStringLiteral("mdb"), defaultName);
    if (target.isEmpty())
        return; // cancelled: nothing is written
    if (QFileInfo::exists(target))
        throw DeskError(QStringLiteral("文件“%1”已存在，数据没有导出。请另选文件名，或先移走已有的文件。")
                            .arg(shown(target)));

    // The selection follows the filled boxes, whatever the level.
    const QString sub = QStringLiteral("学业水平测试副号");
    QString where;
    if (!school.isEmpty())
        where = QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::unitCode(sub)) +
                sqlQuote(county + school);
    else if (!county.isEmpty())
        where =
            QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::countyCode(sub)) + sqlQuote(county);
    else
        where = QStringLiteral(" from 学生表 where %1=").arg(TestNumber::Sql::cityCode(sub)) + sqlQuote(city);

    // The credit database stays open to the check report until it is closed.
    FileProtection::Lift lifted(database);
    writeExchangeFile(target, database, where);
    Windows::showModalCentred(station_.sjdcbgfrm);
    lifted.restore();
}

void TFormSJDC::writeExchangeFile(const QString& target, const QString& database, const QString& where) {
    const QString temporary = reserveTemporaryFile(target);
    auto discard = qScopeGuard([&] {
        QFile::remove(temporary);
        QFile::remove(temporary + QStringLiteral("-journal"));
    });
    {
        Connection file(temporary);
        file.execute(exchangeTableStatement());

        ADOQuery2.close();
        ADOQuery2.setDatabasePath(database);
        ADOQuery2.setSql(QStringLiteral("select * ") + where);
        ADOQuery2.open();
        ProgramValues::ExportWhere = where;
        ProgramValues::CreditDbPath = database;

        const int subColumn = ADOQuery2.fieldIndex(QStringLiteral("学业水平测试副号"));
        const int nameColumn = ADOQuery2.fieldIndex(QStringLiteral("姓名"));
        const int idColumn = ADOQuery2.fieldIndex(QStringLiteral("身份证号"));
        const int requiredColumn = ADOQuery2.fieldIndex(QStringLiteral("必修学分"));
        const int electiveColumn = ADOQuery2.fieldIndex(QStringLiteral("选修学分"));
        const int totalColumn = ADOQuery2.fieldIndex(QStringLiteral("总学分"));

        Transaction transaction(file);
        CreditInserter inserter(file);
        QElapsedTimer sinceRepaint;
        sinceRepaint.start();
        for (int i = 0; i < ADOQuery2.recordCount(); ++i) {
            const QVector<QVariant>& row = ADOQuery2.row(i);
            inserter.insert(Query::textOf(row[subColumn]), Query::textOf(row[nameColumn]),
                            Query::textOf(row[idColumn]), CreditRows::creditValue(row[requiredColumn], true),
                            CreditRows::creditValue(row[electiveColumn], true),
                            CreditRows::creditValue(row[totalColumn], true));
            // Windows repaint while the copy runs.
            if (sinceRepaint.elapsed() >= 20) {
                Windows::processPendingMessages();
                sinceRepaint.restart();
            }
        }
        transaction.commit();
    }
    Windows::processPendingMessages();

    // The exchange file is handed on in the protected form.
    FileProtection::protect(temporary);
    if (!QFile::rename(temporary, target))
        throw DeskError(QStringLiteral("无法把导出的数据保存为文件“%1”。").arg(shown(target)));
    discard.dismiss();
}
