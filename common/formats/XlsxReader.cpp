#include "XlsxReader.h"
#include "NumberFormat.h"
#include "WorkbookParts.h"

#include <QDateTime>
#include <QHash>
#include <QVector>

#include <cmath>

namespace XlsxReader {

namespace {

using WorkbookParts::Damaged;
using WorkbookParts::Xml;
using WorkbookParts::Zip;

const QString kOfficeDocument = QStringLiteral("/officeDocument");
const QString kWorksheet = QStringLiteral("/worksheet");
const QString kSharedStrings = QStringLiteral("/sharedStrings");
const QString kStyles = QStringLiteral("/styles");

// A part's name from a relationship target: relative to the folder of the
// part that names it, or from the package root when it starts with "/".
QString resolve(const QString& folder, const QString& target) {
    QStringList out = target.startsWith(QLatin1Char('/')) ? QStringList()
                                                          : folder.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString& piece : target.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (piece == QLatin1String("..")) {
            if (!out.isEmpty())
                out.removeLast();
        } else if (piece != QLatin1String(".")) {
            out << piece;
        }
    }
    return out.join(QLatin1Char('/'));
}

QString folderOf(const QString& part) {
    const qsizetype slash = part.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QString() : part.left(slash);
}

// The relationships of a part: id -> (type, part name).
struct Relation {
    QString type;
    QString part;
};
QHash<QString, Relation> relationsOf(const Zip& zip, const QString& part) {
    QHash<QString, Relation> out;
    const QString folder = folderOf(part);
    const QString relsName =
        (folder.isEmpty() ? QString() : folder + QLatin1Char('/')) + QStringLiteral("_rels/") +
        part.mid(folder.isEmpty() ? 0 : folder.size() + 1) + QStringLiteral(".rels");
    const std::optional<QByteArray> rels = zip.part(relsName);
    if (!rels)
        return out;
    Xml xml(*rels);
    while (xml.next()) {
        if (xml.isStart() && xml.is("Relationship") &&
            xml.attribute("TargetMode").compare(QLatin1String("External"), Qt::CaseInsensitive) != 0)
            out.insert(xml.attribute("Id"), {xml.attribute("Type"), resolve(folder, xml.attribute("Target"))});
    }
    return out;
}

QString partOfType(const QHash<QString, Relation>& relations, const QString& typeEnd, const QString& fallback) {
    for (const Relation& r : relations)
        if (r.type.endsWith(typeEnd))
            return r.part;
    return fallback;
}

bool isTrue(const QString& value) {
    return value == QLatin1String("1") || value.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0;
}

// The text of a string item (<si> or <is>): its <t> pieces, plain or in
// rich-text runs, without the phonetic guide (<rPh>).
QString stringItem(Xml& xml, const char* element) {
    QString text;
    bool inText = false;
    int phonetic = 0;
    if (xml.isEmpty())
        return text;
    while (xml.next()) {
        if (xml.isStart()) {
            if (xml.is("rPh"))
                phonetic += xml.isEmpty() ? 0 : 1;
            else if (xml.is("t") && !xml.isEmpty())
                inText = phonetic == 0;
        } else if (xml.isEnd()) {
            if (xml.is("rPh"))
                --phonetic;
            else if (xml.is("t"))
                inText = false;
            else if (xml.is(element))
                return text;
        } else if (inText && xml.isText()) {
            text += xml.text();
        }
    }
    throw Damaged();
}

QVector<QString> sharedStrings(const Zip& zip, const QString& part) {
    QVector<QString> out;
    const std::optional<QByteArray> bytes = zip.part(part);
    if (!bytes)
        return out;
    Xml xml(*bytes);
    while (xml.next())
        if (xml.isStart() && xml.is("si"))
            out << stringItem(xml, "si");
    return out;
}

// The number format code of each cell format (cellXfs), by index.
QVector<QString> cellFormats(const Zip& zip, const QString& part) {
    QVector<QString> out;
    const std::optional<QByteArray> bytes = zip.part(part);
    if (!bytes)
        return out;
    QHash<int, QString> custom;
    QVector<int> ids;
    bool inCellXfs = false;
    Xml xml(*bytes);
    while (xml.next()) {
        if (xml.isStart() && xml.is("numFmt")) {
            custom.insert(xml.attribute("numFmtId").toInt(), xml.attribute("formatCode"));
        } else if (xml.isStart() && xml.is("cellXfs")) {
            inCellXfs = !xml.isEmpty();
        } else if (xml.isEnd() && xml.is("cellXfs")) {
            inCellXfs = false;
        } else if (inCellXfs && xml.isStart() && xml.is("xf")) {
            ids << xml.attribute("numFmtId").toInt();
        }
    }
    for (int id : ids) {
        // Excel keeps its own date formats whatever a file says for 14-22.
        const auto it = custom.constFind(id);
        out << (it != custom.constEnd() && !(id >= 14 && id <= 22) ? *it : NumberFormat::builtIn(id));
    }
    return out;
}

// "B12" -> (row 11, column 1); false when it is no cell reference.
bool cellReference(const QString& reference, int& row, int& column) {
    qsizetype i = 0;
    qint64 c = 0, r = 0;
    for (; i < reference.size() && reference.at(i).isLetter() && reference.at(i).unicode() < 128; ++i) {
        c = c * 26 + (reference.at(i).toUpper().unicode() - 'A' + 1);
        if (c > Sheet::kMaxColumns)
            return false;
    }
    const qsizetype digits = i;
    for (; i < reference.size() && reference.at(i).isDigit() && reference.at(i).unicode() < 128; ++i) {
        r = r * 10 + (reference.at(i).unicode() - '0');
        if (r > Sheet::kMaxRows)
            return false;
    }
    if (digits == 0 || i == digits || i != reference.size() || c < 1 || r < 1)
        return false;
    row = int(r - 1);
    column = int(c - 1);
    return true;
}

// A date cell ("d", ISO 8601) as a serial number of the workbook's system.
double serialOf(const QString& iso, bool base1904) {
    QDateTime when = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!when.isValid())
        when = QDateTime(QDate::fromString(iso, Qt::ISODate), QTime(0, 0));
    if (!when.isValid())
        return std::nan("");
    const QDate origin = base1904 ? QDate(1904, 1, 1) : QDate(1899, 12, 30);
    double days = double(origin.daysTo(when.date()));
    if (!base1904 && days < 61)
        days -= 1; // before the leap day 1900-02-29 that never was
    return days + when.time().msecsSinceStartOfDay() / 86400000.0;
}

struct Globals {
    QVector<QString> strings;
    QVector<QString> formats;
    bool base1904 = false;
};

void readSheet(const QByteArray& bytes, const Globals& g, Sheet& sheet) {
    Xml xml(bytes);
    int row = -1, column = -1;
    // The cell being read.
    QString type, value, inlineText;
    int style = 0;
    bool hasValue = false, hasFormula = false, inValue = false;
    while (xml.next()) {
        if (xml.isStart()) {
            if (xml.is("row")) {
                const QString r = xml.attribute("r");
                row = r.isNull() ? row + 1 : r.toInt() - 1;
                if (row < 0 || row >= Sheet::kMaxRows)
                    throw Damaged();
                column = -1;
            } else if (xml.is("c")) {
                const QString r = xml.attribute("r");
                if (r.isNull()) {
                    ++column;
                } else if (!cellReference(r, row, column)) {
                    throw Damaged();
                }
                if (row < 0 || column >= Sheet::kMaxColumns)
                    throw Damaged();
                type = xml.attribute("t");
                style = xml.attribute("s").toInt();
                value.clear();
                inlineText.clear();
                hasValue = hasFormula = false;
                if (xml.isEmpty())
                    sheet.markUsed(row); // a formatted empty cell
            } else if (xml.is("v")) {
                hasValue = true;
                inValue = !xml.isEmpty();
            } else if (xml.is("f")) {
                hasFormula = true;
            } else if (xml.is("is")) {
                hasValue = true;
                inlineText = stringItem(xml, "is");
            }
        } else if (xml.isText()) {
            if (inValue)
                value += xml.text();
        } else if (xml.isEnd()) {
            if (xml.is("v")) {
                inValue = false;
            } else if (xml.is("c")) {
                // The stored value of the cell (a formula's last result).
                if (hasFormula && (!hasValue || value.isEmpty()) && type != QLatin1String("str")) {
                    sheet.setUncomputed(row, column);
                } else if (type == QLatin1String("inlineStr")) {
                    sheet.setText(row, column, inlineText);
                } else if (type == QLatin1String("s")) {
                    bool ok = false;
                    const int index = value.trimmed().toInt(&ok);
                    if (!ok || index < 0 || index >= g.strings.size())
                        throw Damaged();
                    sheet.setText(row, column, g.strings.at(index));
                } else if (type == QLatin1String("str")) {
                    if (hasFormula && !hasValue)
                        sheet.setUncomputed(row, column);
                    else
                        sheet.setText(row, column, value);
                } else if (type == QLatin1String("b")) {
                    sheet.setText(row, column, value.trimmed() == QLatin1String("1") ? QStringLiteral("TRUE")
                                                                                      : QStringLiteral("FALSE"));
                } else if (type == QLatin1String("e")) {
                    sheet.setText(row, column, value.trimmed());
                } else if (!hasValue || value.trimmed().isEmpty()) {
                    sheet.markUsed(row);
                } else {
                    bool ok = true;
                    const double number = type == QLatin1String("d") ? serialOf(value.trimmed(), g.base1904)
                                                                       : value.trimmed().toDouble(&ok);
                    if (!ok || std::isnan(number))
                        throw Damaged();
                    const QString format = style >= 0 && style < g.formats.size() ? g.formats.at(style)
                                                                                   : QStringLiteral("General");
                    sheet.setNumber(row, column, number, NumberFormat::text(number, format, g.base1904));
                }
            }
        }
    }
}

} // namespace

Sheet read(const QByteArray& bytes) {
    const Zip zip(bytes);
    const QString workbookPart =
        partOfType(relationsOf(zip, QString()), kOfficeDocument, QStringLiteral("xl/workbook.xml"));
    const std::optional<QByteArray> workbook = zip.part(workbookPart);
    if (!workbook)
        throw Damaged();
    const QHash<QString, Relation> relations = relationsOf(zip, workbookPart);

    Globals g;
    QString firstSheetId, sheetName;
    {
        Xml xml(*workbook);
        while (xml.next()) {
            if (!xml.isStart())
                continue;
            if (xml.is("workbookPr")) {
                g.base1904 = isTrue(xml.attribute("date1904"));
            } else if (xml.is("sheet") && firstSheetId.isNull()) {
                firstSheetId = xml.attribute("id");
                sheetName = xml.attribute("name");
            }
        }
    }
    if (firstSheetId.isNull() || !relations.contains(firstSheetId))
        throw Damaged();
    const QString folder = folderOf(workbookPart);
    const QString prefix = folder.isEmpty() ? QString() : folder + QLatin1Char('/');
    g.strings = sharedStrings(zip, partOfType(relations, kSharedStrings, prefix + QStringLiteral("sharedStrings.xml")));
    g.formats = cellFormats(zip, partOfType(relations, kStyles, prefix + QStringLiteral("styles.xml")));

    const std::optional<QByteArray> sheetPart = zip.part(relations.value(firstSheetId).part);
    if (!sheetPart)
        throw Damaged();
    Sheet sheet;
    sheet.setSheetName(sheetName);
    readSheet(*sheetPart, g, sheet);
    return sheet;
}

} // namespace XlsxReader
