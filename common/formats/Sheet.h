#pragma once

#include <QHash>
#include <algorithm>
#include <QString>

// The first worksheet of a workbook as the spreadsheet shows it, whatever
// kind of file it came from: each cell's displayed text, and what lies
// behind it where an import needs to know.
class Sheet {
public:
    enum class Kind : quint8 {
        Text,       // text, a truth value, an error, or nothing
        Number,     // a number (or date) shown through its format
        Uncomputed, // a formula whose result the file does not hold
    };

    // The largest sheet any reader gives (that of .xlsx).
    static constexpr int kMaxRows = 1048576;
    static constexpr int kMaxColumns = 16384;

    const QString& sheetName() const { return sheetName_; }
    // 1-based number of the last used row (a formatted empty cell counts, as
    // for the spreadsheet's last cell); 0 for an empty sheet.
    int rowCount() const { return rowCount_; }
    // Displayed text of the cell at 0-based (row, column); empty when the
    // cell is empty, uncomputed, or outside the sheet.
    QString text(int row, int column) const;
    Kind kind(int row, int column) const;
    // The value behind a Number cell (0 for any other).
    double number(int row, int column) const;

    // --- for the readers; rows and columns must lie within the limits.
    void setSheetName(const QString& name) { sheetName_ = name; }
    void setText(int row, int column, const QString& text);
    void setNumber(int row, int column, double value, const QString& shown);
    void setUncomputed(int row, int column);
    // A cell that is there without a value (a formatted empty cell).
    void markUsed(int row) { rowCount_ = std::max(rowCount_, row + 1); }

private:
    struct Cell {
        QString text;
        double number = 0;
        Kind kind = Kind::Text;
    };
    static quint64 key(int row, int column) { return quint64(quint32(row)) << 16 | quint32(column); }

    QString sheetName_;
    int rowCount_ = 0;
    QHash<quint64, Cell> cells_;
};
