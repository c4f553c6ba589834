#include "XlsxWriter.h"
#include "BiffWriter.h"
#include "DeskError.h"
#include "FileOps.h"
#include "Query.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cmath>

namespace XlsxWriter {

namespace {

constexpr qsizetype kMaxRows = 1048576;
constexpr qsizetype kMaxColumns = 16384;
constexpr qsizetype kMaxCellCharacters = 32767;

QString notWritten(const QString& path, const QString& reason) {
    return QStringLiteral("无法写入工作簿“%1”：%2").arg(path, reason);
}

// What went wrong in the library, in Chinese.
QString problemOf(lxw_error error) {
    switch (error) {
    case LXW_ERROR_MEMORY_MALLOC_FAILED:
        return QStringLiteral("内存不足");
    case LXW_ERROR_CREATING_XLSX_FILE:
    case LXW_ERROR_CREATING_TMPFILE:
    case LXW_ERROR_READING_TMPFILE:
        return QStringLiteral("无法创建临时文件（磁盘已满或没有权限）");
    case LXW_ERROR_ZIP_FILE_OPERATION:
    case LXW_ERROR_ZIP_FILE_ADD:
    case LXW_ERROR_ZIP_CLOSE:
        return QStringLiteral("无法写入文件（磁盘已满或磁盘错误）");
    case LXW_ERROR_MAX_STRING_LENGTH_EXCEEDED:
        return QStringLiteral("单元格中的文字超过了 32767 个字符");
    case LXW_ERROR_WORKSHEET_INDEX_OUT_OF_RANGE:
        return QStringLiteral("行或列超出了工作表的范围");
    case LXW_ERROR_SHEETNAME_LENGTH_EXCEEDED:
    case LXW_ERROR_INVALID_SHEETNAME_CHARACTER:
    case LXW_ERROR_SHEETNAME_START_END_APOSTROPHE:
    case LXW_ERROR_SHEETNAME_ALREADY_USED:
        return QStringLiteral("工作表名称不符合要求");
    default:
        return QStringLiteral("生成工作簿时出错（错误 %1）").arg(int(error));
    }
}

void check(const QString& path, lxw_error error) {
    if (error != LXW_NO_ERROR)
        throw DeskError(notWritten(path, problemOf(error)));
}

void checkLimits(const QString& path, const QString& sheetName, const QStringList& header,
                 const QVector<QVector<QVariant>>& rows) {
    if (sheetName.isEmpty() || sheetName.size() > 31 ||
        sheetName.contains(QRegularExpression(QStringLiteral("[:\\\\/?*\\[\\]]"))))
        throw DeskError(notWritten(path, QStringLiteral("工作表名称“%1”不符合要求。").arg(sheetName)));
    if (rows.size() > kMaxRows - 1)
        throw DeskError(notWritten(path, QStringLiteral("共有 %1 行数据，超过了工作表最多 %2 行数据（另有一行列名）的限制。")
                                             .arg(rows.size())
                                             .arg(kMaxRows - 1)));
    qsizetype columns = header.size();
    for (const QVector<QVariant>& row : rows)
        columns = std::max(columns, row.size());
    if (columns > kMaxColumns)
        throw DeskError(notWritten(
            path, QStringLiteral("共有 %1 列，超过了工作表最多 %2 列的限制。").arg(columns).arg(kMaxColumns)));
}

void writeCell(const QString& path, lxw_worksheet* sheet, lxw_row_t row, lxw_col_t column, const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (std::isfinite(number)) {
            check(path, worksheet_write_number(sheet, row, column, number, nullptr));
            return;
        }
        check(path, worksheet_write_string(sheet, row, column, "#NUM!", nullptr));
        return;
    }
    default:
        break;
    }
    const QString text = Query::textOf(value);
    if (text.isEmpty())
        return;
    if (text.size() > kMaxCellCharacters)
        throw DeskError(notWritten(path, QStringLiteral("第 %1 行第 %2 列的文字超过了 %3 个字符。")
                                             .arg(row + 1)
                                             .arg(column + 1)
                                             .arg(kMaxCellCharacters)));
    check(path, worksheet_write_string(sheet, row, column, text.toUtf8().constData(), nullptr));
}

} // namespace

void writeWorkbook(const QString& path, const QString& sheetName, const QStringList& header,
                   const QVector<QVector<QVariant>>& rows) {
    checkLimits(path, sheetName, header, rows);
    const QFileInfo target(path);
    if (!target.absoluteDir().exists())
        throw DeskError(notWritten(path, QStringLiteral("文件夹“%1”不存在。").arg(target.absolutePath())));

    // The library writes a file by name: it is made in a private folder and
    // then copied into place in one step.
    QTemporaryDir work;
    if (!work.isValid())
        throw DeskError(notWritten(path, QStringLiteral("无法建立临时文件夹（磁盘已满或没有权限）")));
    const QByteArray made = QFile::encodeName(work.filePath(QStringLiteral("list.xlsx")));
    const QByteArray workFolder = QFile::encodeName(work.path());
    lxw_workbook_options options{};
    options.tmpdir = const_cast<char*>(workFolder.constData());
    lxw_workbook* book = workbook_new_opt(made.constData(), &options);
    if (!book)
        throw DeskError(notWritten(path, problemOf(LXW_ERROR_MEMORY_MALLOC_FAILED)));
    bool closed = false;
    try {
        lxw_worksheet* sheet = workbook_add_worksheet(book, sheetName.toUtf8().constData());
        if (!sheet)
            throw DeskError(notWritten(path, QStringLiteral("工作表名称“%1”不符合要求。").arg(sheetName)));
        const QVector<int> widths = BiffWriter::columnWidths(header, rows);
        for (qsizetype c = 0; c < widths.size(); ++c)
            if (widths[c] > 0)
                check(path, worksheet_set_column(sheet, lxw_col_t(c), lxw_col_t(c), widths[c] / 256.0, nullptr));
        for (qsizetype c = 0; c < header.size(); ++c)
            writeCell(path, sheet, 0, lxw_col_t(c), header.at(c));
        for (qsizetype r = 0; r < rows.size(); ++r)
            for (qsizetype c = 0; c < rows[r].size(); ++c)
                writeCell(path, sheet, lxw_row_t(r + 1), lxw_col_t(c), rows[r][c]);
        closed = true;
        check(path, workbook_close(book));
    } catch (...) {
        if (!closed)
            workbook_close(book); // frees it; the file made is thrown away with the folder
        throw;
    }

    QFile in(QString::fromLocal8Bit(made));
    if (!in.open(QIODevice::ReadOnly))
        throw DeskError(notWritten(path, fileProblem(in)));
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError || bytes.isEmpty())
        throw DeskError(notWritten(path, fileProblem(in)));
    try {
        writeFileReplacing(bytes, path);
    } catch (const FileError& e) {
        throw DeskError(notWritten(path, fileProblem(e.code())));
    }
}

} // namespace XlsxWriter
