#include "SheetReader.h"
#include "BiffReader.h"
#include "DeskError.h"
#include "OdsReader.h"
#include "TextSheet.h"
#include "WorkbookParts.h"
#include "XlsxReader.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <new>

namespace SheetReader {

namespace {

// Larger than any class list saved by a spreadsheet program.
constexpr qint64 kMaxFileSize = qint64(256) << 20;

bool isZip(const QByteArray& bytes) { return bytes.startsWith("PK\x03\x04"); }

// Which kind of zip package: an OpenDocument file names its kind first.
Format zipFormat(const QByteArray& bytes) {
    if (bytes.size() >= 38 && bytes.mid(30, 8) == "mimetype")
        return bytes.mid(38, 80).contains("opendocument.spreadsheet") ? Format::Ods : Format::Unknown;
    if (bytes.contains("[Content_Types].xml") || bytes.contains("xl/"))
        return Format::Xlsx;
    return bytes.contains("content.xml") ? Format::Ods : Format::Unknown;
}

// A spreadsheet saved as XML ("XML Spreadsheet 2003" or flat OpenDocument,
// often named .xls): neither a web page (its <Table> is no HTML table) nor
// CSV text. A web page written as XHTML names its <html>.
bool looksLikeSpreadsheetXml(const QByteArray& bytes) {
    QByteArray head = bytes.left(4096);
    if (head.startsWith("\xEF\xBB\xBF"))
        head.remove(0, 3);
    head = head.trimmed().toLower();
    if (head.contains("<html"))
        return false;
    return head.startsWith("<?xml") || head.contains("office:spreadsheet") || head.contains("<office:document");
}

} // namespace

QString notAWorkbookMessage(const QString& path) {
    return QStringLiteral("文件“%1”不是可以导入的工作簿。可以导入的是：Excel 工作簿（.xls、.xlsx、.xlsm），"
                          "OpenDocument 电子表格（.ods），CSV 文本文件（.csv），以及网上系统导出的网页表格（.xls）。")
        .arg(path);
}

QString damagedMessage(const QString& path) {
    return QStringLiteral("工作簿文件“%1”已损坏或不完整，无法读取。").arg(path);
}

QString encryptedMessage(const QString& path) {
    return QStringLiteral("工作簿文件“%1”设有打开密码，无法读取。请在电子表格程序中取消密码并保存后再导入。").arg(path);
}

QString chooserFilter() {
    return QStringLiteral("电子表格(*.xls;*.xlsx;*.xlsm;*.ods;*.csv)|*.xls;*.xlsx;*.xlsm;*.ods;*.csv|"
                          "所有文件(*.*)|*");
}

Format detect(const QByteArray& bytes) {
    if (bytes.startsWith("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1"))
        return Format::Xls;
    if (isZip(bytes))
        return zipFormat(bytes);
    if (looksLikeSpreadsheetXml(bytes))
        return Format::Unknown;
    if (TextSheet::looksLikeHtml(bytes))
        return Format::Html;
    if (TextSheet::looksLikeText(bytes))
        return Format::Csv;
    return Format::Unknown;
}

Sheet read(const QByteArray& bytes, const QString& path) {
    // An empty file (a download or copy that never finished) holds not even
    // a heading: it is no table with no students.
    if (bytes.isEmpty())
        throw DeskError(QStringLiteral("文件“%1”是空的（0 字节），不是可以导入的工作簿。").arg(path));
    try {
        switch (detect(bytes)) {
        case Format::Xls:
            return BiffReader::read(bytes, path);
        case Format::Xlsx:
            return XlsxReader::read(bytes);
        case Format::Ods:
            return OdsReader::read(bytes);
        case Format::Html:
            return TextSheet::readHtml(bytes);
        case Format::Csv:
            return TextSheet::readCsv(bytes);
        case Format::Unknown:
            break;
        }
    } catch (const WorkbookParts::Damaged&) {
        throw DeskError(damagedMessage(path));
    } catch (const std::bad_alloc&) {
        throw DeskError(damagedMessage(path));
    }
    throw DeskError(notAWorkbookMessage(path));
}

Sheet open(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DeskError(QStringLiteral("找不到文件“%1”。").arg(path));
    if (!info.isFile())
        throw DeskError(notAWorkbookMessage(path));
    if (info.size() > kMaxFileSize)
        throw DeskError(QStringLiteral("文件“%1”太大（超过 256 MB），不是可以导入的工作簿。").arg(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw DeskError(QStringLiteral("无法打开文件“%1”：没有读取它的权限，或它正被其他程序独占。").arg(path));
    // As much as the file holds (one byte more tells that it grew past the
    // limit meanwhile): a read asked for the whole limit would set 256 MB
    // aside for every file, however small.
    const QByteArray bytes = file.read(std::min(info.size(), kMaxFileSize) + 1);
    if (file.error() != QFileDevice::NoError)
        throw DeskError(QStringLiteral("读取文件“%1”时出错，文件所在的磁盘或网络位置可能有问题。").arg(path));
    return read(bytes, path);
}

} // namespace SheetReader
