#pragma once

#include "UnitMPrint.h"

#include <QRect>
#include <QString>
#include <QVector>

// The exam-room stub sheet: one cell per student with the photograph, seat
// number, ID card number, name and sub-number. Cells stand four across, 36 mm
// apart, and six down, 45 mm apart, 24 to a page; the title and the
// exam-room header stand on the first cell of every page, the column
// headings beside the first cell of every row of cells.
//
// The geometry is worked out here without a printer: the window paints the
// elements in the order given.
namespace StubSheet {

constexpr int cellsAcross = 4;
constexpr int rowsDown = 6;
constexpr int cellsPerPage = cellsAcross * rowsDown;

inline const QString SongTi = QStringLiteral("宋体");
inline const QString HeiTi = QStringLiteral("黑体");
inline const QString LiShu = QStringLiteral("隶书");

// Where a student's cell lies. Record numbers count from 1 through the list.
struct Place {
    int page = 0;   // from 0
    int column = 0; // from 0, across
    int row = 0;    // from 0, down
    int x0 = 0;     // the cell's origin in millimetres on the paper, offsets included
    int y0 = 0;
    bool firstOnPage() const { return column == 0 && row == 0; }
};

// `offsetX` and `offsetY` are whole millimetres right and down.
Place place(int recordNumber, int offsetX, int offsetY);

// What a cell shows of one student.
struct Student {
    int recordNumber = 1;
    QString idNumber;
    QString name;
    QString subNumber;
    QString examRoom;     // 考场序号, for the header on the first cell of a page
    bool hasPhoto = false;
};

// The texts of the header line.
struct Area {
    QString name;
    QString code;
};

struct Element {
    enum class Kind {
        Text,    // `text` in `font` at `size` points, top-left corner at `pixels.topLeft()`
        Photo,   // the photograph stretched onto `pixels`
        Outline, // the edges of `pixels` (left, top, width, height) where no photograph is
    };
    Kind kind = Kind::Text;
    QString text;
    QString font;
    int size = 0;
    double x = 0; // millimetres on the paper
    double y = 0;
    QRect pixels; // on the painter; texts have an empty size
};

// The seat number printed: the record number in two digits (its last two).
QString seatText(int recordNumber);

// The elements of one student's cell, in painting order.
QVector<Element> cell(const Student& student, const Area& area, int offsetX, int offsetY,
                      const MPrint::PrinterUnits& units);

QString title();
QString header(const Area& area, const QString& examRoom);

} // namespace StubSheet
