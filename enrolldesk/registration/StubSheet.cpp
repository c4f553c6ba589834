#include "StubSheet.h"

#include "DeskError.h"
#include "Jpeg.h"
#include "Text.h"

#include <QHash>

namespace StubSheet {

namespace {

constexpr int cellWidth = 36;  // millimetres between the cells of a row
constexpr int cellHeight = 45; // millimetres between the rows of cells
constexpr int pageEdge = -3;   // the first cell's origin, both ways
constexpr int textSize = 10;
constexpr int titleSize = 12;
constexpr int noticeSize = 8;  // "照片无法读取" within the 18 mm box

Element text(const QString& value, const QString& font, int size, double x, double y,
             const MPrint::PrinterUnits& units) {
    Element e;
    e.kind = Element::Kind::Text;
    e.text = value;
    e.font = font;
    e.size = size;
    e.x = x;
    e.y = y;
    e.pixels = QRect(MPrint::textPoint(x, y, units), QSize());
    return e;
}

} // namespace

QVector<Slot> arrange(const QStringList& examRooms) {
    QVector<Slot> seating;
    seating.reserve(examRooms.size());
    QHash<QString, int> seated; // students seated so far in each named room
    int unnamed = 0;            // students without a room so far
    QString previousKey;
    for (const QString& value : examRooms) {
        const QString named = Text::trimmed(value);
        Slot slot;
        QString key;
        if (!named.isEmpty()) {
            slot.room = named;
            slot.seat = ++seated[named];
            key = QLatin1Char('=') + named;
        } else {
            slot.room = QString::number(unnamed / seatsPerRoom + 1).rightJustified(2, QLatin1Char('0'));
            slot.seat = unnamed % seatsPerRoom + 1;
            ++unnamed;
            key = QLatin1Char('#') + slot.room;
        }
        if (seating.isEmpty()) {
            slot.page = 0;
            slot.cell = 0;
        } else {
            const Slot& before = seating.back();
            const bool samePage = key == previousKey && before.cell + 1 < cellsPerPage;
            slot.page = samePage ? before.page : before.page + 1;
            slot.cell = samePage ? before.cell + 1 : 0;
        }
        previousKey = key;
        seating.append(slot);
    }
    return seating;
}

Place place(int cell, int offsetX, int offsetY) {
    Place p;
    p.column = cell % cellsAcross;
    p.row = cell / cellsAcross;
    p.x0 = p.column * cellWidth + pageEdge + offsetX;
    p.y0 = p.row * cellHeight + pageEdge + offsetY;
    return p;
}

Portrait portrait(const QByteArray& jpeg, QSize box) {
    if (jpeg.isEmpty())
        return {};
    try {
        return {Photo::Printed, Jpeg::decode(jpeg, box)};
    } catch (const DeskError&) {
        return {Photo::Unreadable, QImage()};
    }
}

QString unreadablePhotosMessage(const QStringList& students) {
    constexpr int listed = 20; // the box stays on the screen
    QStringList lines = students.mid(0, listed);
    if (students.size() > listed)
        lines << QStringLiteral("……");
    return QStringLiteral("下列%1名学生的照片无法读取，存根表上印的是“照片无法读取”：\n%2")
        .arg(students.size())
        .arg(lines.join(QLatin1Char('\n')));
}

QString seatText(int seat) { return QString::number(seat).rightJustified(2, QLatin1Char('0')); }

QString title(const Heading& heading) {
    return heading.province + QStringLiteral("普通高中") + heading.session + QStringLiteral("学业水平测试考场存根表");
}

QString header(const Heading& heading, const QString& room) {
    return QStringLiteral("考区名称：%1，考区代码：%2，考场序号：%3").arg(heading.areaName, heading.areaCode, room);
}

QSize photoBox(const MPrint::PrinterUnits& units) {
    return {MPrint::millimetresToPixels(18, units.dpiX), MPrint::millimetresToPixels(24, units.dpiY)};
}

QVector<Element> cell(const Student& student, const Heading& heading, int offsetX, int offsetY,
                      const MPrint::PrinterUnits& units) {
    const Place p = place(student.cell, offsetX, offsetY);
    const double x0 = p.x0;
    const double y0 = p.y0;
    QVector<Element> elements;

    // The photograph: 18 x 24 mm, placed on the paper like the texts.
    Element photo;
    photo.kind = student.photo == Photo::Printed ? Element::Kind::Photo : Element::Kind::Outline;
    photo.x = x0 + 25;
    photo.y = y0 + 21;
    photo.pixels = QRect(MPrint::boxPoint(photo.x, photo.y, units), photoBox(units));
    elements << photo;
    if (student.photo == Photo::None)
        elements << text(QStringLiteral("无照片"), SongTi, textSize, x0 + 28, y0 + 29, units);
    else if (student.photo == Photo::Unreadable)
        elements << text(QStringLiteral("照片无法读取"), SongTi, noticeSize, x0 + 25.5, y0 + 29, units);

    elements << text(seatText(student.seat), HeiTi, textSize, x0 + 31, y0 + 46, units)
             << text(student.idNumber, SongTi, textSize, x0 + 25, y0 + 50, units)
             << text(student.name, LiShu, textSize, x0 + 25, y0 + 54, units)
             << text(student.subNumber, SongTi, textSize, x0 + 25, y0 + 58, units);

    if (p.firstOnPage()) {
        elements << text(title(heading), HeiTi, titleSize, x0 + 60, y0 + 10, units)
                 << text(header(heading, student.room), HeiTi, titleSize, x0 + 8, y0 + 15, units);
    }
    if (p.column == 0) {
        elements << text(QStringLiteral("电子照片"), SongTi, textSize, x0 + 8, y0 + 28, units)
                 << text(QStringLiteral("座位序号"), HeiTi, textSize, x0 + 8, y0 + 46, units)
                 << text(QStringLiteral("身份证号"), SongTi, textSize, x0 + 8, y0 + 50, units)
                 << text(QStringLiteral("姓名"), LiShu, textSize, x0 + 8, y0 + 54, units)
                 << text(QStringLiteral("准考证号"), SongTi, textSize, x0 + 8, y0 + 58, units);
    }
    return elements;
}

} // namespace StubSheet
