#include "UnitDRSJ.h"
#include "AccessFile.h"
#include "CreditRows.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "FileProtection.h"
#include "StationFolder.h"
#include "Text.h"
#include "ui_UnitDRSJ.h"

#include <QDir>
#include <QScopeGuard>
#include <algorithm>
#include <numeric>

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
    throw DbError(QStringLiteral("Field '%1' not found").arg(column), QString(), path);
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
    // The whole source is read first, with its protection lifted only for
    // the reading; a file handed in unprotected is left so.
    SourceTable table;
    if (FileProtection::formOf(source) == FileProtection::Form::Other && AccessFile::isAccessFile(source)) {
        table = readAccessSource(source);
    } else {
        FileProtection::Lift lifted(source, FileProtection::Lift::Restore::AsFound);
        ADOQuery1.close();
        ADOQuery1.setDatabasePath(source);
        ADOQuery1.setSql(QStringLiteral("select * from 学生表"));
        ADOQuery1.open();
        lifted.restore();
        table.columns = ADOQuery1.fieldNames();
        table.rows.reserve(ADOQuery1.recordCount());
        for (int i = 0; i < ADOQuery1.recordCount(); ++i)
            table.rows.append(ADOQuery1.row(i));
    }

    // Ascending sub-number order (no sub-number first); students with the
    // same sub-number keep their stored order.
    const int subColumn = columnIndex(table, importedColumns[0], source);
    if (table.rows.isEmpty())
        return;
    int columns[6];
    for (int c = 0; c < 6; ++c)
        columns[c] = columnIndex(table, importedColumns[c], source);
    QVector<int> order(table.rows.size());
    std::iota(order.begin(), order.end(), 0);
    QVector<QString> keys(table.rows.size());
    for (int i = 0; i < table.rows.size(); ++i)
        keys[i] = Query::textOf(table.rows[i][subColumn]);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const bool nullA = table.rows[a][subColumn].isNull();
        const bool nullB = table.rows[b][subColumn].isNull();
        if (nullA != nullB)
            return nullA;
        return keys[a] < keys[b];
    });

    const QString database = StationFolder::creditDb();
    FileProtection::Lift lifted(database);
    {
        Connection connection(database);
        Transaction transaction(connection);
        CreditInserter inserter(connection);
        for (int i : order) {
            const QVector<QVariant>& row = table.rows[i];
            try {
                inserter.insert(Query::textOf(row[columns[0]]), Query::textOf(row[columns[1]]),
                                Query::textOf(row[columns[2]]),
                                CreditRows::creditValue(row[columns[3]], false),
                                CreditRows::creditValue(row[columns[4]], false),
                                CreditRows::creditValue(row[columns[5]], false));
            } catch (...) {
                transaction.keepDone(); // the students before the refused one stay imported
                throw;
            }
        }
        transaction.commit();
    }
    lifted.restore();
}
