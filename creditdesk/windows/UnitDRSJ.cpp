#include "Query.h"
#include "UnitDRSJ.h"
#include "AccessFile.h"
#include "CreditRows.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "SafetyCopy.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitDRSJ.h"

#include <QDir>
#include <QScopeGuard>
#include <algorithm>
#include <utility>

namespace {

const QString startCaption = QStringLiteral("开始导入数据");
const QString busyCaption = QStringLiteral("数据正在导入中，请稍候......");
const QString studentTable = QStringLiteral("学生表");

// The columns an import reads, in the order the statement uses them.
const QStringList importedColumns{QStringLiteral("学业水平测试副号"), QStringLiteral("姓名"),
                                  QStringLiteral("身份证号"),         QStringLiteral("必修学分"),
                                  QStringLiteral("选修学分"),         QStringLiteral("总学分")};

struct SourceTable {
    QStringList columns;
    QVector<QVector<QVariant>> rows; // in stored order
};

int columnIndex(const SourceTable& table, const QString& column, const QString& path) {
    for (int i = 0; i < table.columns.size(); ++i) {
        if (table.columns[i].compare(column, Qt::CaseInsensitive) == 0)
            return i;
    }
    // A registration file (an export of the registration station, the
    // station's own database) has no credits: say what it is.
    const bool credit = column.endsWith(QStringLiteral("学分"));
    const bool registration = std::any_of(table.columns.begin(), table.columns.end(), [](const QString& c) {
        return c.compare(QStringLiteral("学业水平测试号"), Qt::CaseInsensitive) == 0;
    });
    if (credit && registration)
        throw DbError(QStringLiteral("文件“%1”是报名数据，不是学分数据交换文件：它的学生表中没有学分字段“%2”。"
                                     "请选择学分数据导出得到的文件。")
                          .arg(QDir::toNativeSeparators(path), column),
                      QString(), path);
    throw DbError(QStringLiteral("文件“%1”不是学分数据交换文件：它的学生表中没有字段“%2”。")
                      .arg(QDir::toNativeSeparators(path), column),
                  QString(), path);
}

// A genuine Access file: its 学生表 through the Jet reader.
SourceTable readAccessSource(const QString& path) {
    const QStringList tables = AccessFile::tableNames(path);
    const auto it = std::find_if(tables.begin(), tables.end(), [](const QString& t) {
        return t.compare(studentTable, Qt::CaseInsensitive) == 0;
    });
    if (it == tables.end())
        throw DbError(QStringLiteral("数据库文件“%1”中没有表“%2”，它不是学分数据交换文件。")
                          .arg(QDir::toNativeSeparators(path), studentTable),
                      QString(), path);
    AccessFile::Table table = AccessFile::readTable(path, *it);
    return {table.columns, table.rows};
}

} // namespace

TFormDRSJ::TFormDRSJ(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormDRSJ) {
    setupUi(ui);
    setFixedSize(370, 157);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormDRSJ::Button2Click);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormDRSJ::Button1Click);
}

TFormDRSJ::~TFormDRSJ() {
    delete ui;
}

void TFormDRSJ::FormShow() {
    ui->Button1->setEnabled(true);
    ui->Button1->setText(startCaption);
}

void TFormDRSJ::Button2Click() {
    const QString path =
        Dialogs::current().openFile(QStringLiteral("Microsoft Office Access 数据库(*.mdb)|*.mdb"), QString());
    if (!path.isEmpty())
        ui->Edit4->setText(QDir::toNativeSeparators(path));
}

void TFormDRSJ::Button1Click() {
    ui->Button1->setEnabled(false);
    ui->Button1->setText(busyCaption);
    ui->Button1->repaint(); // the only sign of progress: no messages are processed meanwhile
    // Whatever happens, the button is ready for the next import.
    const auto ready = qScopeGuard([this] {
        ui->Button1->setEnabled(true);
        ui->Button1->setText(startCaption);
    });
    const QString source = Text::trimmed(ui->Edit4->text());
    if (ui->RadioButton2->isChecked())
        import(source);
    Dialogs::current().message(QStringLiteral("导入数据库成功！"));
}

void TFormDRSJ::import(const QString& source) {
    // The whole source is read first. A file of ours is read from a private
    // copy, so the user's file is never written (it may sit on a read-only
    // medium, and a crash cannot leave it unprotected).
    SourceTable table;
    const QString subName = importedColumns[0];
    if (FileProtection::formOf(source) == FileProtection::Form::Other && AccessFile::isAccessFile(source)) {
        table = readAccessSource(source);
        // Jet sorted by the column's own type; so does this.
        const int subColumn = columnIndex(table, subName, source);
        std::stable_sort(table.rows.begin(), table.rows.end(),
                         [subColumn](const QVector<QVariant>& a, const QVector<QVariant>& b) {
                             return Query::sourceKeyLess(a[subColumn], b[subColumn]);
                         });
    } else {
        const FileProtection::PrivateCopy copy(source);
        {
            Connection file(copy.path());
            if (!isBaseTable(file, studentTable))
                throw DbError(QStringLiteral("数据库文件“%1”中的“%2”不是数据表（它是一个查询），无法导入。")
                                  .arg(QDir::toNativeSeparators(source), studentTable),
                              QString(), source);
        }
        ADOQuery1.close();
        ADOQuery1.setDatabasePath(copy.path());
        // The source sorts by its own column type and collation (a numeric
        // sub-number column gives 9, 10, 100); equal sub-numbers keep their
        // stored order.
        ADOQuery1.setSql(QStringLiteral("select * from 学生表 where 0"));
        ADOQuery1.open();
        table.columns = ADOQuery1.fieldNames();
        columnIndex(table, subName, source);
        ADOQuery1.close();
        ADOQuery1.setSql(QStringLiteral("select * from 学生表 order by 学业水平测试副号 asc, rowid asc"));
        try {
            ADOQuery1.open();
        } catch (const DbError&) {
            // A table without row numbers (made WITHOUT ROWID): the sub-number alone.
            ADOQuery1.close();
            ADOQuery1.setSql(QStringLiteral("select * from 学生表 order by 学业水平测试副号 asc"));
            ADOQuery1.open();
        }
        table.rows.reserve(ADOQuery1.recordCount());
        for (int i = 0; i < ADOQuery1.recordCount(); ++i)
            table.rows.append(ADOQuery1.row(i));
        ADOQuery1.close(); // the copy goes with this block
    }

    columnIndex(table, subName, source);
    if (table.rows.isEmpty())
        return;
    int columns[6];
    for (int c = 0; c < 6; ++c)
        columns[c] = columnIndex(table, importedColumns[c], source);

    const QString database = StationFolder::creditDb();
    SafetyCopy::before(database, SafetyCopy::Before::creditImport);
    FileProtection::Lift lifted(database);
    {
        Connection connection(database);
        Transaction transaction(connection);
        CreditInserter inserter(connection);
        for (const QVector<QVariant>& row : std::as_const(table.rows)) {
            try {
                insertStudent(inserter, row, columns);
            } catch (...) {
                // The students before the refused one stay imported.
                transaction.rethrowKeepingDone(QStringLiteral("此前导入的学生"));
            }
        }
        transaction.commit();
    }
    lifted.restore();
}

void TFormDRSJ::insertStudent(CreditInserter& inserter, const QVector<QVariant>& row, const int* columns) {
    const QString sub = Query::textOf(row[columns[0]]);
    const QString name = Query::textOf(row[columns[1]]);
    // Names the student the import stopped at.
    const auto stoppedAt = [&](const QString& reason) {
        return QStringLiteral("导入在学业水平测试副号为“%1”的学生“%2”处停止：%3").arg(sub, name, reason);
    };
    QVariant credits[3];
    for (int c = 0; c < 3; ++c) {
        const QVariant& stored = row[columns[3 + c]];
        const CreditRows::ImportedCredit credit = CreditRows::importedCredit(stored);
        if (credit.problem == CreditRows::ImportedCredit::NotANumber)
            throw DbError(stoppedAt(QStringLiteral("%1“%2”不是数字。").arg(importedColumns[3 + c],
                                                                         Query::textOf(stored))));
        if (credit.problem == CreditRows::ImportedCredit::OutOfRange)
            throw DbError(stoppedAt(QStringLiteral("%1“%2”超出了允许的范围（-32768 至 32767）。")
                                        .arg(importedColumns[3 + c], Query::textOf(stored))));
        credits[c] = credit.value;
    }
    try {
        inserter.insert(sub, name, Query::textOf(row[columns[2]]), credits[0], credits[1], credits[2]);
    } catch (const DbError& e) {
        throw DbError(stoppedAt(e.message()), e.engineText(), e.path());
    }
}
