#include "UnitSJDC.h"
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

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSqlQuery>
#include <cerrno>
#include <limits>
#include <signal.h>

namespace {

const QString exportCaption = QStringLiteral("数据导出");
const QString busyCaption = QStringLiteral("数据正在导出中，请稍候......");

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// Temporary files of an export are named after their target and the
// process that writes them: "<target>.<process id>.part" (earlier versions
// wrote "<target>.part"). The exchange file is written there and only moved
// to the target when it is complete, so an export that fails never leaves a
// partial file under the target name.
QString temporaryName(const QString& target) {
    return target + QStringLiteral(".%1.part").arg(QCoreApplication::applicationPid());
}

// Whether `file` is one of our temporary files that nobody writes any more:
// written by this process or by one that has ended, and holding a database
// (or nothing yet). Files of the same name pattern written by something else
// (a download, another station's running export) are left alone.
bool isOurLeftover(const QFileInfo& file, const QString& processId) {
    if (!processId.isEmpty()) {
        bool ok = false;
        const qint64 pid = processId.toLongLong(&ok);
        if (!ok || pid <= 0 || pid > std::numeric_limits<pid_t>::max())
            return false;
        const bool alive = ::kill(pid_t(pid), 0) == 0 || errno == EPERM;
        if (alive && pid != QCoreApplication::applicationPid())
            return false;
    }
    if (file.size() == 0)
        return true;
    const FileProtection::Form form = FileProtection::formOf(file.absoluteFilePath());
    return form == FileProtection::Form::Plain || form == FileProtection::Form::Protected;
}

// Removes the temporary files that an interrupted export to `target` left
// beside it (with their journals).
void removeLeftovers(const QString& target) {
    const QFileInfo info(target);
    static const QString pattern = QStringLiteral("^%1(?:\\.(\\d+))?\\.part$");
    const QRegularExpression ours(pattern.arg(QRegularExpression::escape(info.fileName())));
    const QDir folder = info.absoluteDir();
    const QStringList candidates = folder.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString& name : candidates) {
        const QRegularExpressionMatch match = ours.match(name);
        const QFileInfo file(folder.filePath(name));
        if (!match.hasMatch() || !isOurLeftover(file, match.captured(1)))
            continue;
        QFile::remove(file.absoluteFilePath() + QStringLiteral("-journal"));
        QFile::remove(file.absoluteFilePath());
    }
}

// A new, empty file beside `target`, after the leftovers of earlier exports
// to the same target are gone.
QString reserveTemporaryFile(const QString& target) {
    const QFileInfo info(target);
    if (!info.absoluteDir().exists())
        throw DeskError(QStringLiteral("文件夹“%1”不存在，无法导出。").arg(shown(info.absolutePath())));
    removeLeftovers(info.absoluteFilePath());
    const QString name = temporaryName(info.absoluteFilePath());
    QFile file(name);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw DeskError(QStringLiteral("无法在文件夹“%1”中写入文件：%2")
                            .arg(shown(info.absolutePath()), file.errorString()));
    return name;
}

// The text columns of the exchange file with their widths.
struct Width {
    const char16_t* column;
    int limit;
};
const Width exchangeWidths[] = {{u"学业水平测试副号", 14}, {u"姓名", 10}, {u"身份证号", 19}};

// After a copy refused for a value too long for the exchange file: the
// student and the value at fault, found in the credit database.
QString tooLongForExchange(Connection& credit, const QString& where) {
    for (const Width& width : exchangeWidths) {
        const QString column = QString::fromUtf16(width.column);
        QSqlQuery query(credit.database());
        const QString sql = QStringLiteral("select 学业水平测试副号, 姓名, %1 ").arg(column) + where +
                            QStringLiteral(" and length(%1) > %2 order by rowid limit 1").arg(column).arg(width.limit);
        if (query.exec(sql) && query.next())
            return QStringLiteral("学业水平测试副号为“%1”的学生“%2”的%3“%4”过长，交换文件中最多只能有 %5 "
                                  "个字符，数据没有导出。")
                .arg(query.value(0).toString(), query.value(1).toString(), column, query.value(2).toString())
                .arg(width.limit);
    }
    return QString();
}

} // namespace

TFormSJDC::TFormSJDC(CreditStation& station, QWidget* parent)
    : DeskDialog(parent), station_(station), ui(new Ui::TFormSJDC) {
    setupUi(ui);
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
    Connection(temporary).execute(exchangeTableStatement());
    Windows::processPendingMessages();

    // One statement copies the selected students in their stored order; the
    // new file numbers them from 1 as they arrive.
    ADOQuery2.close();
    {
        Connection credit(database);
        credit.execute(QStringLiteral("ATTACH DATABASE :file AS 交换文件"),
                       {{QStringLiteral(":file"), QFileInfo(temporary).absoluteFilePath()}});
        const QString columns = QStringLiteral("学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分");
        try {
            Transaction transaction(credit);
            credit.execute(QStringLiteral("insert into 交换文件.学生表(%1) select %1").arg(columns) + where +
                           QStringLiteral(" order by rowid"));
            transaction.commit();
        } catch (const DbError& e) {
            const QString culprit = tooLongForExchange(credit, where);
            if (!culprit.isEmpty())
                throw DbError(culprit, e.engineText(), temporary);
            throw;
        }
        credit.execute(QStringLiteral("DETACH DATABASE 交换文件"));
    }
    ProgramValues::ExportWhere = where;
    ProgramValues::CreditDbPath = database;
    Windows::processPendingMessages();

    // The exchange file is handed on in the protected form.
    FileProtection::protect(temporary);
    if (!QFile::rename(temporary, target))
        throw DeskError(QStringLiteral("无法把导出的数据保存为文件“%1”。").arg(shown(target)));
    discard.dismiss();
}
