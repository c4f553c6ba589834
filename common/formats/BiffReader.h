#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

// Excel 5.0/95 (BIFF5) and 97-2003 (BIFF8) workbooks (.xls), read through
// libgsf's compound-file reader. Only the first worksheet is read, and each
// cell as the text Excel shows for it: numbers through the cell's number
// format, formulas by their last computed result, booleans and errors as
// Excel spells them.
namespace BiffReader {

class Workbook {
public:
    // Name of the first worksheet.
    const QString& sheetName() const { return sheetName_; }
    // 1-based number of the last used row (a formatted blank cell counts, as
    // it does for Excel's last cell); 0 for an empty sheet.
    int rowCount() const { return rowCount_; }
    // Displayed text of the cell at 0-based (row, column); empty when the
    // cell is empty or outside the sheet.
    QString text(int row, int column) const;

private:
    friend Workbook parse(const QByteArray& stream, const QString& path);
    QString sheetName_;
    int rowCount_ = 0;
    QHash<quint32, QString> cells_;
};

// Opens the workbook at `path`. A missing, unreadable, damaged or foreign
// file throws DeskError with a Chinese message naming the file.
Workbook open(const QString& path);

// Reads a workbook stream ("Workbook" or "Book") already taken out of its
// compound file; `path` only names the file in error messages.
Workbook parse(const QByteArray& stream, const QString& path);

} // namespace BiffReader
