#pragma once

#include "UnitMPrint.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QVector>

// The exam-room stub sheet: one cell per student with the photograph, seat
// number, ID card number, name and sub-number. Cells stand four across, 36 mm
// apart, and six down, 45 mm apart, at most 24 to a page; the title and the
// exam-room header stand on the first cell of every page, the column
// headings beside the first cell of every row of cells.
//
// Every exam room begins a page of its own, so the header names the room of
// every cell under it, and a cell's seat number is the student's place in
// the room (arrange()).
//
// The geometry is worked out here without a printer: the window paints the
// elements in the order given.
namespace StubSheet {

constexpr int cellsAcross = 4;
constexpr int rowsDown = 6;
constexpr int cellsPerPage = cellsAcross * rowsDown;
// Seats of an exam room that the list does not name.
constexpr int seatsPerRoom = 30;

inline const QString SongTi = QStringLiteral("宋体");
inline const QString HeiTi = QStringLiteral("黑体");
inline const QString LiShu = QStringLiteral("隶书");

// Where a student of the list is printed.
struct Slot {
    QString room;  // the exam room, as the header names it
    int seat = 1;  // the place in the room, from 1
    int page = 0;  // from 0
    int cell = 0;  // on the page, from 0, across then down
};

// The rooms, seats and cells of a list of students, in list order, from
// each student's 考场序号 (`examRooms`, one per student):
// - a student with a 考场序号 sits in that room; the seat is the number of
//   the room's students up to and including this one in the list;
// - students without one fill rooms of 30 in list order, named 01, 02, ...
//   after their order among those students.
// A page holds the students of one room only: a new room, or a 25th cell,
// begins the next page.
QVector<Slot> arrange(const QStringList& examRooms);

// Where a cell lies. `cell` counts from 0 on its page.
struct Place {
    int column = 0; // from 0, across
    int row = 0;    // from 0, down
    int x0 = 0;     // the cell's origin in millimetres on the paper, offsets included
    int y0 = 0;
    bool firstOnPage() const { return column == 0 && row == 0; }
};

// `offsetX` and `offsetY` are whole millimetres right and down.
Place place(int cell, int offsetX, int offsetY);

// How the photograph box is filled.
enum class Photo {
    None,       // an empty box with "无照片"
    Printed,    // the photograph
    Unreadable, // an empty box with "照片无法读取"
};

// What a cell shows of one student.
struct Student {
    int cell = 0; // on its page, from 0
    int seat = 1;
    QString room; // for the header on the first cell of a page
    QString idNumber;
    QString name;
    QString subNumber;
    Photo photo = Photo::None;
};

// What the title and the header name. The title's province and exam
// session come from setup.ini ([PRINT] Province, Session).
struct Heading {
    QString areaName;
    QString areaCode;
    QString province = defaultProvince();
    QString session = defaultSession();

    static QString defaultProvince() { return QStringLiteral("Veldran省"); }
    static QString defaultSession() { return QStringLiteral("2009年6月"); }
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

// A student's photograph as printed.
struct Portrait {
    Photo state = Photo::None;
    QImage image; // when printed
};
// The photograph in `jpeg` (a JPEG file) for a box of `box` pixels: decoded
// no larger than the box needs; Unreadable when it cannot be decoded.
Portrait portrait(const QByteArray& jpeg, QSize box);

// What the window says after a print that met unreadable photographs;
// `students` are "<sub-number> <name>", in print order.
QString unreadablePhotosMessage(const QStringList& students);

// The seat number printed: two digits at least.
QString seatText(int seat);

// The photograph box of a cell at the printer's resolution.
QSize photoBox(const MPrint::PrinterUnits& units);

// The elements of one student's cell, in painting order.
QVector<Element> cell(const Student& student, const Heading& heading, int offsetX, int offsetY,
                      const MPrint::PrinterUnits& units);

QString title(const Heading& heading = {});
QString header(const Heading& heading, const QString& room);

} // namespace StubSheet
