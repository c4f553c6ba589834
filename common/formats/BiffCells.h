#pragma once

#include "BiffRecords.h"
#include "DeskError.h"
#include "Query.h"

#include <QHash>
#include <QString>
#include <QVariant>
#include <QVector>
#include <algorithm>
#include <cmath>

// The cells of the sheet BiffWriter writes and the shared strings they use.
namespace BiffWriting {

// The workbook's shared strings: every distinct text once, in order of first use.
class SharedStrings {
public:
    // The index of `text`, added at its first use.
    quint32 indexOf(const QString& text);
    // SST with its CONTINUE records, then EXTSST.
    void write(Bytes& stream) const;

private:
    QHash<QString, quint32> index_;
    QVector<QString> strings_;
    quint32 total_ = 0;
};

// The worksheet substream, written while the shared strings are collected:
// BOF, WSBOOL and DIMENSIONS (filled in by finish()), the cells in row order,
// then WINDOW2 and EOF.
class Worksheet {
public:
    Worksheet(const QString& path, SharedStrings& strings, qsizetype expectedCells, const QVector<int>& widths)
        : path_(path), strings_(strings) {
        bytes.reserve(96 + widths.size() * 16 + expectedCells * 18);
        bof(bytes, 0x0010);
        bytes.header(WsBool, 2);
        bytes.u16(0x04C1); // a worksheet with automatic page breaks and outline symbols
        for (qsizetype c = 0; c < widths.size() && c < kMaxColumns; ++c) {
            if (widths[c] <= 0)
                continue;
            bytes.header(ColInfo, 12);
            bytes.u16(unsigned(c)); // first and last column
            bytes.u16(unsigned(c));
            bytes.u16(unsigned(widths[c]));
            bytes.u16(kCellXf);
            bytes.u16(0x0002); // width set on purpose, visible
            bytes.u16(0);
        }
        dimensionsAt_ = bytes.size() + 4;
        bytes.header(Dimensions, 14);
        bytes.zeros(14);
    }

    Bytes bytes;

    void add(int row, int column, const QVariant& value) {
        if (!value.isValid() || value.isNull())
            return;
        if (value.typeId() == QMetaType::QString)
            text(row, column, *static_cast<const QString*>(value.constData()));
        else if (Query::isNumber(value))
            number(row, column, value.toDouble());
        else
            text(row, column, value.toString());
    }

    void text(int row, int column, const QString& text) {
        if (text.isEmpty())
            return; // an empty text leaves the cell empty, as in Excel
        if (text.size() > kMaxCellText)
            throw DeskError(
                notWritten(path_, QStringLiteral("第 %1 行第 %2 列的文字有 %3 个字符，超过了 Excel "
                                                 "单元格最多 %4 个字符的限制。")
                                      .arg(row + 1)
                                      .arg(column + 1)
                                      .arg(text.size())
                                      .arg(kMaxCellText)));
        char* out = cell(LabelSst, 10, row, column);
        Bytes::put32(out, strings_.indexOf(text));
    }

    void number(int row, int column, double value) {
        if (!std::isfinite(value)) {
            // Excel has no infinite or undefined numbers; it shows them as #NUM!.
            char* out = cell(BoolErr, 8, row, column);
            out[0] = char(kErrorNum);
            out[1] = 1; // an error, not a Boolean
            return;
        }
        char* out = cell(Number, 14, row, column);
        quint64 bits;
        std::memcpy(&bits, &value, sizeof bits);
        qToLittleEndian(bits, out);
    }

    // Fills in DIMENSIONS (the used rows and columns, each end exclusive) and ends the substream.
    void finish() {
        if (firstRow_ >= 0) {
            bytes.patch32(dimensionsAt_, quint32(firstRow_));
            bytes.patch32(dimensionsAt_ + 4, quint32(lastRow_ + 1));
            bytes.patch16(dimensionsAt_ + 8, unsigned(firstColumn_));
            bytes.patch16(dimensionsAt_ + 10, unsigned(lastColumn_ + 1));
        }
        bytes.header(Window2, 18);
        bytes.u16(0x06B6); // grid lines, headings, zeros, automatic grid colour, outline symbols, selected
        bytes.u16(0);      // top row
        bytes.u16(0);      // left column
        bytes.u32(64);     // grid line colour: automatic
        bytes.u16(0);      // zoom of page break preview: default
        bytes.u16(0);      // zoom: default
        bytes.u32(0);
        bytes.header(Eof, 0);
    }

private:
    // Header, row, column and XF of a cell record; returns where its value goes.
    char* cell(quint16 type, int size, int row, int column) {
        used(row, column);
        char* out = bytes.grow(4 + size);
        out = Bytes::put16(out, type);
        out = Bytes::put16(out, unsigned(size));
        out = Bytes::put16(out, unsigned(row));
        out = Bytes::put16(out, unsigned(column));
        return Bytes::put16(out, kCellXf);
    }

    void used(int row, int column) {
        if (firstRow_ < 0) {
            firstRow_ = lastRow_ = row;
            firstColumn_ = lastColumn_ = column;
            return;
        }
        // Cells come row by row.
        lastRow_ = row;
        firstColumn_ = std::min(firstColumn_, column);
        lastColumn_ = std::max(lastColumn_, column);
    }

    const QString& path_;
    SharedStrings& strings_;
    qsizetype dimensionsAt_ = 0;
    int firstRow_ = -1, lastRow_ = -1, firstColumn_ = -1, lastColumn_ = -1;
};

} // namespace BiffWriting
