#include "RegistrationImport.h"
#include "AccessFile.h"
#include "DbaseFile.h"
#include "FileOps.h"
#include "Query.h"
#include "SafetyCopy.h"
#include "SheetReader.h"
#include "Statement.h"
#include "TestNumber.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cmath>
#include <utility>

namespace RegistrationImport {

namespace {

const QString studentTable = QStringLiteral("学生表");
const QString testNumberColumn = QStringLiteral("学业水平测试号");
const QString subNumberColumn = QStringLiteral("学业水平测试副号");

QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

QString notATableMessage(const QString& path, const QString& table) {
    return QStringLiteral("数据库文件“%1”中的“%2”不是数据表（它是一个查询），无法导入。").arg(shown(path), table);
}

void tell(const std::function<void(const QString&)>& message, const QString& line) {
    if (message)
        message(line);
}

// One insert into 学生表 for a fixed list of columns, compiled once and run
// per row with bound values.
class StudentWriter {
public:
    StudentWriter(Connection& connection, const QStringList& columns) : connection_(connection) {
        QStringList names;
        for (int i = 0; i < columns.size(); ++i) {
            names << QStringLiteral(":v%1").arg(i);
            params_.emplace_back(names.last(), QVariant());
        }
        sql_ = QStringLiteral("insert into 学生表(%1)values(%2)").arg(columns.join(QLatin1Char(',')),
                                                                    names.join(QLatin1Char(',')));
    }

    void insert(const QVector<QVariant>& values) {
        for (size_t i = 0; i < params_.size(); ++i)
            params_[i].second = values[int(i)];
        connection_.execute(sql_, params_);
    }

private:
    Connection& connection_;
    QString sql_;
    Params params_;
};

bool testNumberExists(Connection& connection, const QString& number) {
    static const QString sql = QStringLiteral("select 1 from 学生表 where 学业水平测试号=:c1 limit 1");
    const Params params{{QStringLiteral(":c1"), number}};
    Statement statement(connection, sql, params);
    return statement.step();
}

// The declared type (TEXT, INTEGER, BLOB) of each column of the working 学生表.
QHash<QString, QString> columnTypes(Connection& connection) {
    Query query(connection);
    query.setSql(QStringLiteral("select name, type from pragma_table_info('学生表')"));
    query.open();
    QHash<QString, QString> types;
    for (; !query.eof(); query.next())
        types.insert(query.text(QStringLiteral("name")), query.text(QStringLiteral("type")).toUpper());
    return types;
}

// A value from another file as a column of the given type takes it: a
// number written into a text column reads as the original engine wrote it
// (512, not 512.0). Everything else is left to the database, which refuses
// what the column cannot hold.
QVariant forColumn(const QVariant& value, const QString& type) {
    if (type == QLatin1String("TEXT") && !value.isNull() &&
        (value.typeId() == QMetaType::Double || value.typeId() == QMetaType::Float))
        return Query::textOf(value);
    return value;
}

int columnIndex(const QStringList& columns, const QString& name) {
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Appends `rows` (each already in the order of `targets`) in one
// transaction: all of them, or none when one is refused.
void appendAll(Connection& connection, const QStringList& targets, const QVector<QVector<QVariant>>& rows,
               const Listener& listener) {
    const QHash<QString, QString> types = columnTypes(connection);
    QVector<QString> typeOf;
    for (const QString& target : targets)
        typeOf << types.value(target);
    const int testNumberAt = columnIndex(targets, testNumberColumn);

    Transaction transaction(connection);
    StudentWriter writer(connection, targets);
    QVector<QVariant> values(targets.size());
    if (listener.started)
        listener.started(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        if (listener.row)
            listener.row(r + 1);
        for (int c = 0; c < targets.size(); ++c)
            values[c] = forColumn(rows[r][c], typeOf[c]);
        try {
            writer.insert(values);
        } catch (const DbError& e) {
            const QString number = testNumberAt >= 0 ? Query::textOf(values[testNumberAt]) : QString();
            throw DbError(QStringLiteral("第%1条记录（学业水平测试号“%2”）无法导入，本次没有导入任何数据：%3")
                              .arg(r + 1)
                              .arg(number, e.message()),
                          e.engineText(), e.path());
        }
        if (listener.between)
            listener.between();
    }
    transaction.commit();
}


struct SourceTable {
    QStringList columns;
    QVector<QVector<QVariant>> rows;
};

// The 学生表 of an Access file in ascending sub-number order (equal
// sub-numbers in stored order).
SourceTable readStudentTable(const QString& path) {
    // Only a regular file is read: a pipe named .mdb would hold the station
    // forever waiting for a writer.
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(shown(path)), QString(), path);
    if (!info.isFile())
        throw DbError(QStringLiteral("“%1”不是数据库文件。").arg(shown(path)), QString(), path);
    SourceTable table;
    if (AccessFile::isAccessFile(path)) {
        const QStringList names = AccessFile::tableNames(path);
        const int at = columnIndex(names, studentTable);
        if (at < 0)
            throw DbError(QStringLiteral("数据库文件“%1”中没有表“%2”，无法导入。").arg(shown(path), studentTable),
                          QString(), path);
        AccessFile::Table read = AccessFile::readTable(path, names[at]);
        const int sub = columnIndex(read.columns, subNumberColumn);
        if (sub < 0)
            throw DbError(QStringLiteral("数据库文件“%1”的表“%2”中没有字段“%3”，无法导入。")
                              .arg(shown(path), studentTable, subNumberColumn),
                          QString(), path);
        std::stable_sort(read.rows.begin(), read.rows.end(),
                         [sub](const QVector<QVariant>& a, const QVector<QVariant>& b) {
                             return Query::sourceKeyLess(a[sub], b[sub]);
                         });
        table.columns = read.columns;
        table.rows = std::move(read.rows);
        return table;
    }
    // A file of ours: the file sorts by its own column's type and collation.
    {
        Connection source(path);
        if (!isBaseTable(source, studentTable))
            throw DbError(notATableMessage(path, studentTable), QString(), path);
    }
    Query query;
    query.setDatabasePath(path);
    query.setSql(QStringLiteral("select * from 学生表 order by 学业水平测试副号 asc, rowid asc"));
    query.open();
    table.columns = query.fieldNames();
    table.rows.reserve(query.recordCount());
    for (int i = 0; i < query.recordCount(); ++i)
        table.rows << query.row(i);
    return table;
}

QString columnName(int column) {
    QString name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.prepend(QChar(u'A' + (c - 1) % 26));
    return name;
}

QString genderOf(const QString& testNumber) {
    const QString digit = TestNumber::mid(testNumber, 11, 1);
    return digit == QLatin1String("1") || digit == QLatin1String("2") ? digit : QString();
}

bool shownInScientificForm(const QString& text) {
    static const QRegularExpression exponent(QStringLiteral("^[+-]?[0-9]+(\\.[0-9]+)?[Ee][+-][0-9]+$"));
    return exponent.match(text).hasMatch();
}

QString classNumber(const QString& text) {
    // A class cell shown with decimals ("3.0", format 0.0) is the whole number.
    static const QRegularExpression wholeWithZeros(QStringLiteral("^([+-]?[0-9]+)\\.0+$"));
    const QRegularExpressionMatch m = wholeWithZeros.match(text);
    return m.hasMatch() ? m.captured(1) : text;
}

} // namespace

QString existsLine(int row) {
    return QStringLiteral("第%1行学业水平测试号已经存在，不能导入，请仔细核对！").arg(row);
}
QString testNumberEmptyLine(int row) {
    return QStringLiteral("第%1行学业水平测试号为空，不能导入，请仔细核对！").arg(row);
}
QString nameEmptyLine(int row) { return QStringLiteral("第%1行姓名为空，不能导入，请仔细核对！").arg(row); }
QString testNumberTooLongLine(int row) {
    return QStringLiteral("第%1行学业水平测试号长度超过15位，不能导入，请仔细核对！").arg(row);
}
QString classEmptyLine(int row) {
    return QStringLiteral("第%1行班级为空不能导入，由于该数据要用于明年的综合素质评价要上报班级，请仔细核对！").arg(row);
}
QString idCutLine(int row) { return QStringLiteral("第%1行身份证号超过18位，取前18位，请仔细核对！").arg(row); }
QString uncomputedLine(int row, int column) {
    return QStringLiteral("第%1行%2列（单元格%2%1）是公式，工作簿中没有保存它的计算结果，不能导入，"
                          "请先用电子表格程序打开该工作簿并保存，再重新导入！")
        .arg(QString::number(row), columnName(column));
}
QString numberShownShortLine(int row, int column, const QString& shown) {
    return QStringLiteral("第%1行%2列（单元格%2%1）是数字，电子表格把它显示为“%3”，不是完整的号码，不能导入，"
                          "请把该列设为文本格式并重新输入后再导入！")
        .arg(QString::number(row), columnName(column), shown);
}
QString idAsNumberLine(int row) {
    return QStringLiteral("第%1行身份证号是以数字形式保存的，超过15位的数字在电子表格中只保留前15位，不能导入，"
                          "请把身份证号一列设为文本格式并重新输入后再导入！")
        .arg(row);
}


void importWorkbook(const QString& path, const QString& database, const Listener& listener) {
    const Sheet book = SheetReader::open(path);
    // Excel's last used cell of an empty sheet is A1: one row, the heading.
    const int rowCount = qMax(1, book.rowCount());
    if (listener.started)
        listener.started(rowCount);

    SafetyCopy::before(database, SafetyCopy::Before::import);
    Connection connection(database);
    Transaction transaction(connection);
    StudentWriter writer(connection, {testNumberColumn, subNumberColumn, QStringLiteral("姓名"),
                                      QStringLiteral("身份证号"), QStringLiteral("籍贯"), QStringLiteral("家庭住址"),
                                      QStringLiteral("联系电话"), QStringLiteral("中考成绩"), QStringLiteral("班级"),
                                      QStringLiteral("性别")});
    int row = 2;
    try {
        for (; row <= rowCount; ++row) {
            if (listener.row)
                listener.row(row);
            // Values the sheet cannot give truly refuse the row on their own:
            // a formula without its result, an ID number kept as a number of
            // more than 15 digits (the spreadsheet lost its last digits).
            bool unreadable = false;
            for (int i = 0; i < 8; ++i) {
                if (book.kind(row - 1, i) == Sheet::Kind::Uncomputed) {
                    tell(listener.message, uncomputedLine(row, i));
                    unreadable = true;
                }
            }
            if (book.kind(row - 1, 3) == Sheet::Kind::Number && std::fabs(book.number(row - 1, 3)) >= 1e15) {
                tell(listener.message, idAsNumberLine(row));
                unreadable = true;
            }
            // A test number or ID number typed as a number and shown in
            // scientific form ("9.1001E+13"), or saved so as text by the
            // spreadsheet (CSV, web tables): the text is no number at all.
            for (const int i : {0, 3}) {
                const bool toldAlready = i == 3 && book.kind(row - 1, i) == Sheet::Kind::Number &&
                                         std::fabs(book.number(row - 1, i)) >= 1e15;
                const QString shownText = Text::trimmed(book.text(row - 1, i));
                if (!toldAlready && shownInScientificForm(shownText)) {
                    tell(listener.message, numberShownShortLine(row, i, shownText));
                    unreadable = true;
                }
            }
            if (unreadable) {
                if (listener.between)
                    listener.between();
                continue;
            }
            QString c[8];
            for (int i = 0; i < 8; ++i)
                c[i] = Text::trimmed(book.text(row - 1, i));
            const QString& number = c[0];
            const QString& name = c[1];
            const QString& phone = c[5];
            const QString& classNo = c[7];

            const bool exists = testNumberExists(connection, number);
            const bool numberTooLong = Gb18030::byteLength(number) > 15;
            if (!number.isEmpty() && !name.isEmpty() && !numberTooLong && !classNo.isEmpty() &&
                Gb18030::byteLength(phone) <= 28 && !exists) {
                QString id = c[3];
                if (Gb18030::byteLength(id) >= 19) {
                    tell(listener.message, idCutLine(row));
                    id = Gb18030::cut(id, 18);
                }
                const QString gender = genderOf(number);
                writer.insert({number, TestNumber::subNumber(number), name, id, c[2], c[4], phone, c[6],
                               sqlInteger(classNumber(classNo), QStringLiteral("班级")),
                               gender.isEmpty() ? QVariant() : QVariant(gender)});
            } else {
                // A row refused only for its phone number goes without a line.
                if (exists)
                    tell(listener.message, existsLine(row));
                if (number.isEmpty())
                    tell(listener.message, testNumberEmptyLine(row));
                if (name.isEmpty())
                    tell(listener.message, nameEmptyLine(row));
                if (numberTooLong)
                    tell(listener.message, testNumberTooLongLine(row));
                if (classNo.isEmpty())
                    tell(listener.message, classEmptyLine(row));
            }
            if (listener.between)
                listener.between();
        }
    } catch (const DbError& e) {
        // The rows before this one stay imported, when the disk takes them.
        QString why;
        if (transaction.keepDone(&why))
            throw DbError(QStringLiteral("第%1行无法导入，导入在此停止，此前的行已经导入：%2").arg(row).arg(e.message()),
                          e.engineText(), e.path());
        throw DbError(QStringLiteral("第%1行无法导入，导入在此停止：%2\n此前的行也没有导入，本次没有导入任何数据：%3")
                          .arg(row)
                          .arg(e.message(), why),
                      e.engineText(), e.path());
    } catch (...) {
        transaction.rethrowKeepingDone(QStringLiteral("此前导入的行"));
    }
    transaction.commit();
}

QStringList workingColumns(Connection& database) {
    Query query(database);
    query.setSql(QStringLiteral("select * from 学生表 where 0"));
    query.open();
    return query.fieldNames();
}

ColumnMapping mapByPosition(const QStringList& sourceColumns, const QStringList& working, const QString& path) {
    if (sourceColumns.size() > working.size())
        throw DbError(QStringLiteral("数据库文件“%1”的表“学生表”有 %2 个字段，多于报名库“学生表”的 %3 个字段，无法导入。")
                          .arg(shown(path))
                          .arg(sourceColumns.size())
                          .arg(working.size()),
                      QString(), path);
    ColumnMapping mapping;
    for (int i = 1; i < working.size(); ++i) {
        mapping.targets << working[i];
        mapping.sources << (i < sourceColumns.size() ? i : -1);
    }
    return mapping;
}

void appendDbase(const QString& path, const QString& database, const Listener& listener) {
    const DbaseFile::Table table = DbaseFile::read(path);
    // Source fields in the order of the targets after the sub-number.
    const QStringList fields{QStringLiteral("水平测试号"), QStringLiteral("姓名"),     QStringLiteral("身份证号"),
                             QStringLiteral("籍贯"),       QStringLiteral("家庭住址"), QStringLiteral("联系电话"),
                             QStringLiteral("中考成绩"),   QStringLiteral("班级")};
    QVector<int> at;
    for (const QString& field : fields) {
        at << columnIndex(table.columns, field);
        if (at.last() < 0)
            throw DbError(QStringLiteral("dBase文件“%1”中没有字段“%2”，无法导入。").arg(shown(path), field), QString(),
                          path);
    }
    QVector<QVector<QVariant>> rows;
    rows.reserve(table.rows.size());
    for (const QVector<QVariant>& source : table.rows) {
        const QVariant& number = source[at[0]];
        QVector<QVariant> row{number, number.isNull() ? QVariant() : QVariant(TestNumber::subNumber(Query::textOf(number)))};
        for (int i = 1; i < at.size(); ++i)
            row << source[at[i]];
        const QString gender = genderOf(Query::textOf(number));
        row << (gender.isEmpty() ? QVariant() : QVariant(gender));
        rows << row;
    }
    SafetyCopy::before(database, SafetyCopy::Before::import);
    Connection connection(database);
    appendAll(connection,
              {testNumberColumn, subNumberColumn, QStringLiteral("姓名"), QStringLiteral("身份证号"), QStringLiteral("籍贯"),
               QStringLiteral("家庭住址"), QStringLiteral("联系电话"), QStringLiteral("中考成绩"), QStringLiteral("班级"),
               QStringLiteral("性别")},
              rows, listener);
}

void appendAccess(const QString& path, const QString& database, const Listener& listener) {
    // The station's own data file chosen by mistake would add every student
    // a second time.
    const QString chosen = QFileInfo(path).canonicalFilePath();
    if (!chosen.isEmpty() && chosen == QFileInfo(database).canonicalFilePath())
        throw DeskError(QStringLiteral("文件“%1”就是本站的报名数据文件，不能导入到它自己中（每个学生都会重复一次）。"
                                       "请选择其他报名点的报名数据文件。")
                            .arg(QDir::toNativeSeparators(path)));
    const SourceTable source = readStudentTable(path);
    Connection connection(database);
    const ColumnMapping mapping = mapByPosition(source.columns, workingColumns(connection), path);
    QVector<QVector<QVariant>> rows;
    rows.reserve(source.rows.size());
    for (const QVector<QVariant>& from : source.rows) {
        QVector<QVariant> row;
        row.reserve(mapping.sources.size());
        for (int s : mapping.sources)
            row << (s >= 0 ? from[s] : QVariant());
        rows << row;
    }
    SafetyCopy::before(database, SafetyCopy::Before::import);
    appendAll(connection, mapping.targets, rows, listener);
}

} // namespace RegistrationImport
