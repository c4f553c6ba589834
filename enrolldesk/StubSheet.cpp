#include "StubSheet.h"

namespace StubSheet {

namespace {

constexpr int cellWidth = 36;  // millimetres between the cells of a row
constexpr int cellHeight = 45; // millimetres between the rows of cells
constexpr int pageEdge = -3;   // the first cell's origin, both ways
constexpr int textSize = 10;
constexpr int titleSize = 12;

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

Place place(int recordNumber, int offsetX, int offsetY) {
    const int index = recordNumber - 1;
    const int onPage = index % cellsPerPage;
    Place p;
    p.page = index / cellsPerPage;
    p.column = onPage % cellsAcross;
    p.row = onPage / cellsAcross;
    p.x0 = p.column * cellWidth + pageEdge + offsetX;
    p.y0 = p.row * cellHeight + pageEdge + offsetY;
    return p;
}

QString seatText(int recordNumber) { return QString::number(recordNumber).rightJustified(2, QLatin1Char('0')).right(2); }

QString title() { return QStringLiteral("Veldran省普通高中2009年6月学业水平测试考场存根表"); }

QString header(const Area& area, const QString& examRoom) {
    return QStringLiteral("考区名称：%1，考区代码：%2，考场序号：%3").arg(area.name, area.code, examRoom);
}

QVector<Element> cell(const Student& student, const Area& area, int offsetX, int offsetY,
                      const MPrint::PrinterUnits& units) {
    const Place p = place(student.recordNumber, offsetX, offsetY);
    const double x0 = p.x0;
    const double y0 = p.y0;
    QVector<Element> elements;

    // The photograph: 18 x 24 mm, placed on the paper like the texts.
    Element photo;
    photo.kind = student.hasPhoto ? Element::Kind::Photo : Element::Kind::Outline;
    photo.x = x0 + 25;
    photo.y = y0 + 21;
    photo.pixels = QRect(MPrint::boxPoint(photo.x, photo.y, units),
                         QSize(MPrint::millimetresToPixels(18, units.dpiX), MPrint::millimetresToPixels(24, units.dpiY)));
    elements << photo;
    if (!student.hasPhoto)
        elements << text(QStringLiteral("无照片"), SongTi, textSize, x0 + 28, y0 + 29, units);

    elements << text(seatText(student.recordNumber), HeiTi, textSize, x0 + 31, y0 + 46, units)
             << text(student.idNumber, SongTi, textSize, x0 + 25, y0 + 50, units)
             << text(student.name, LiShu, textSize, x0 + 25, y0 + 54, units)
             << text(student.subNumber, SongTi, textSize, x0 + 25, y0 + 58, units);

    if (p.firstOnPage()) {
        elements << text(title(), HeiTi, titleSize, x0 + 60, y0 + 10, units)
                 << text(header(area, student.examRoom), HeiTi, titleSize, x0 + 8, y0 + 15, units);
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
