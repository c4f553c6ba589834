#include "OdsReader.h"
#include "NumberFormat.h"
#include "WorkbookParts.h"

#include <QVector>

#include <cmath>

namespace OdsReader {

namespace {

using WorkbookParts::Damaged;
using WorkbookParts::Xml;

// More cells than any class list: a file that repeats rows or columns past
// this is refused rather than unfolded.
constexpr qint64 kMaxCells = 20'000'000;
// Cells a file only claims, by repeating a cell with something in it: a
// spreadsheet program writes like neighbours once with a count, which in a
// list of students saves a few cells a row, never millions. A few hundred
// bytes must not ask for gigabytes.
constexpr qint64 kMaxRepeatedCells = 1'000'000;

struct Cell {
    int column;
    Sheet::Kind kind;
    QString text;
    double number;
};

int repeatOf(const Xml& xml, const char* attribute) {
    const QString value = xml.attribute(attribute);
    if (value.isNull())
        return 1;
    bool ok = false;
    const qint64 n = value.toLongLong(&ok);
    if (!ok || n < 1)
        throw Damaged();
    return int(std::min<qint64>(n, Sheet::kMaxRows));
}

// The displayed text of a cell: its paragraphs one per line, with spaces,
// tabs and line breaks; comments (office:annotation) left out.
QString cellText(Xml& xml) {
    QString text;
    int paragraphs = 0;
    int annotation = 0;
    while (xml.next()) {
        if (xml.isStart()) {
            if (xml.is("annotation")) {
                annotation += xml.isEmpty() ? 0 : 1;
            } else if (annotation > 0) {
                continue;
            } else if (xml.is("p") || xml.is("h")) {
                if (paragraphs++ > 0)
                    text += QLatin1Char('\n');
            } else if (xml.is("s")) {
                const QString c = xml.attribute("c");
                text += QString(c.isNull() ? 1 : std::clamp(c.toInt(), 1, 1000), QLatin1Char(' '));
            } else if (xml.is("tab")) {
                text += QLatin1Char('\t');
            } else if (xml.is("line-break")) {
                text += QLatin1Char('\n');
            }
        } else if (xml.isEnd()) {
            if (xml.is("annotation"))
                --annotation;
            else if (xml.is("table-cell") || xml.is("covered-table-cell"))
                return text;
        } else if (xml.isText() && annotation == 0 && paragraphs > 0) {
            text += xml.text();
        }
    }
    throw Damaged();
}

} // namespace

Sheet read(const QByteArray& bytes) {
    const WorkbookParts::Zip zip(bytes);
    const std::optional<QByteArray> content = zip.part(QStringLiteral("content.xml"));
    if (!content)
        throw Damaged();
    Sheet sheet;
    Xml xml(*content);
    bool inTable = false, seenTable = false;
    int row = 0;
    int rowRepeat = 1;
    int column = 0;
    qint64 cells = 0;
    qint64 repeated = 0; // cells beyond those the file holds
    QVector<Cell> rowCells;
    while (xml.next()) {
        if (xml.isStart() && xml.is("table") && !seenTable) {
            inTable = seenTable = true;
            sheet.setSheetName(xml.attribute("name"));
            if (xml.isEmpty())
                break;
            continue;
        }
        if (!inTable)
            continue;
        if (xml.isEnd() && xml.is("table"))
            break;
        if (xml.isStart() && xml.is("table-row")) {
            rowRepeat = repeatOf(xml, "number-rows-repeated");
            column = 0;
            rowCells.clear();
            if (!xml.isEmpty())
                continue;
        }
        if ((xml.isEnd() || xml.isEmpty()) && xml.is("table-row")) {
            if (!rowCells.isEmpty()) {
                const int rows = std::min(rowRepeat, Sheet::kMaxRows - row);
                cells += qint64(rows) * rowCells.size();
                repeated += qint64(std::max(0, rows - 1)) * rowCells.size();
                if (cells > kMaxCells || repeated > kMaxRepeatedCells)
                    throw Damaged();
                for (int r = row; r < row + rows; ++r) {
                    for (const Cell& c : rowCells) {
                        if (c.kind == Sheet::Kind::Number)
                            sheet.setNumber(r, c.column, c.number, c.text);
                        else if (c.kind == Sheet::Kind::Uncomputed)
                            sheet.setUncomputed(r, c.column);
                        else
                            sheet.setText(r, c.column, c.text);
                    }
                }
            }
            row = std::min(row + rowRepeat, Sheet::kMaxRows);
            continue;
        }
        if (xml.isStart() && (xml.is("table-cell") || xml.is("covered-table-cell"))) {
            const int repeat = repeatOf(xml, "number-columns-repeated");
            const QString type = xml.attribute("value-type");
            const QString value = xml.attribute("value");
            const QString dateValue = xml.attribute("date-value");
            const QString booleanValue = xml.attribute("boolean-value");
            const bool formula = !xml.attribute("formula").isNull();
            const QString text = xml.isEmpty() ? QString() : cellText(xml);
            Cell cell{0, Sheet::Kind::Text, text, 0};
            bool content = !text.isEmpty();
            const bool numeric = type == QLatin1String("float") || type == QLatin1String("percentage") ||
                                 type == QLatin1String("currency");
            // A formula of a known type saved without its result (as
            // generators write them): never guessed, never called damage.
            const bool resultMissing = formula && ((numeric && value.isNull()) ||
                                                   (type == QLatin1String("boolean") && booleanValue.isNull()) ||
                                                   (type == QLatin1String("date") && dateValue.isNull()));
            if (resultMissing) {
                cell.kind = Sheet::Kind::Uncomputed;
                content = true;
            } else if (numeric) {
                bool ok = false;
                cell.number = value.toDouble(&ok);
                if (!ok || !std::isfinite(cell.number))
                    throw Damaged();
                cell.kind = Sheet::Kind::Number;
                if (cell.text.isEmpty())
                    cell.text = NumberFormat::text(cell.number, QStringLiteral("General"), false);
                content = true;
            } else if (type.isEmpty() && formula) {
                cell.kind = Sheet::Kind::Uncomputed;
                content = true;
            } else if (cell.text.isEmpty() && type == QLatin1String("boolean")) {
                cell.text = booleanValue == QLatin1String("true") ? QStringLiteral("TRUE") : QStringLiteral("FALSE");
                content = true;
            } else if (cell.text.isEmpty() && type == QLatin1String("date")) {
                cell.text = dateValue;
                content = !dateValue.isEmpty();
            }
            if (content) {
                repeated += std::max(0, std::min(repeat, Sheet::kMaxColumns - column) - 1);
                if (repeated > kMaxRepeatedCells)
                    throw Damaged();
                for (int k = 0; k < repeat && column + k < Sheet::kMaxColumns; ++k) {
                    cell.column = column + k;
                    rowCells << cell;
                }
            }
            column = std::min(column + repeat, Sheet::kMaxColumns);
        }
    }
    return sheet;
}

} // namespace OdsReader
