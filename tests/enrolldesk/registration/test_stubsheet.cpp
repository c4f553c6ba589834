#include "StubSheet.h"
#include "UnitMPrint.h"

#include <QtTest>

using StubSheet::Element;

namespace {

const Element* find(const QVector<Element>& elements, const QString& text) {
    for (const Element& e : elements)
        if (e.kind == Element::Kind::Text && e.text == text)
            return &e;
    return nullptr;
}

const Element* findKind(const QVector<Element>& elements, Element::Kind kind) {
    for (const Element& e : elements)
        if (e.kind == kind)
            return &e;
    return nullptr;
}

const MPrint::PrinterUnits at600{600, 600, 0};

} // namespace

// The geometry of the exam-room stub sheet, worked out without a printer.
class TestStubSheet : public QObject {
    Q_OBJECT
private slots:
    void millimetresToPixels_data();
    void millimetresToPixels();
    void textsCorrectTheVerticalOffsetOnly();
    void firstCell();
    void offsetsMoveEveryElement_data();
    void offsetsMoveEveryElement();
    void cellsAndPages();
    void roomsAndSeats_data();
    void roomsAndSeats();
};

void TestStubSheet::millimetresToPixels_data() {
    QTest::addColumn<double>("mm");
    QTest::addColumn<int>("dpi");
    QTest::addColumn<int>("pixels");
    QTest::newRow("25 mm at 600") << 25.0 << 600 << 591;  // 590.55
    QTest::newRow("25 mm at 300") << 25.0 << 300 << 295;  // 295.27
    QTest::newRow("18 mm at 600") << 18.0 << 600 << 425;  // the photo box's width
    QTest::newRow("24 mm at 600") << 24.0 << 600 << 567;  // and height
    // At 254 dpi a millimetre is ten pixels: exact halves are ties, to even.
    QTest::newRow("2.5 px") << 0.25 << 254 << 2;
    QTest::newRow("3.5 px") << 0.35 << 254 << 4;
    QTest::newRow("4.5 px") << 0.45 << 254 << 4;
    QTest::newRow("-2.5 px") << -0.25 << 254 << -2;
    QTest::newRow("-3 mm at 600") << -3.0 << 600 << -71; // -70.87
}

void TestStubSheet::millimetresToPixels() {
    QFETCH(double, mm);
    QFETCH(int, dpi);
    QFETCH(int, pixels);
    QCOMPARE(MPrint::millimetresToPixels(mm, dpi), pixels);
}

void TestStubSheet::textsCorrectTheVerticalOffsetOnly() {
    const MPrint::PrinterUnits printer{600, 300, 50};
    QCOMPARE(MPrint::textPoint(25, 25, printer), QPoint(591, 295 - 50));
    // The photo box is placed on the paper like the texts, so that it keeps
    // its distance to the texts under it on a printer with an unprintable top.
    StubSheet::Student s;
    const QVector<Element> cell = StubSheet::cell(s, {}, 0, 0, printer);
    const Element* box = findKind(cell, Element::Kind::Outline);
    QVERIFY(box);
    const Element* seat = find(cell, QStringLiteral("01"));
    QVERIFY(seat);
    QCOMPARE(box->pixels.top(), MPrint::millimetresToPixels(18, 300) - 50);
    QCOMPARE(seat->pixels.top() - (box->pixels.top() + box->pixels.height()),
             MPrint::millimetresToPixels(43, 300) - MPrint::millimetresToPixels(18, 300) -
                 MPrint::millimetresToPixels(24, 300));
}

void TestStubSheet::firstCell() {
    StubSheet::Student s;
    s.idNumber = QStringLiteral("320102199001011234");
    s.name = QStringLiteral("欧阳小明");
    s.subNumber = QStringLiteral("09010100020001");
    s.room = QStringLiteral("007");
    const QVector<Element> cell = StubSheet::cell(s, {QStringLiteral("玄武区"), QStringLiteral("0102")}, 0, 0, at600);

    // Cell origin (-3, -3) mm: the box at (22, 18) mm, 18 x 24 mm.
    const Element* box = findKind(cell, Element::Kind::Outline);
    QVERIFY(box);
    QCOMPARE(box->pixels, QRect(520, 425, 425, 567));
    QVERIFY(!findKind(cell, Element::Kind::Photo));

    struct Expected {
        QString text, font;
        int size;
        QPoint at;
    };
    const QList<Expected> expected{
        {"无照片", "宋体", 10, {591, 614}},                            // (25, 26) mm
        {"01", "黑体", 10, {661, 1016}},                               // (28, 43)
        {"320102199001011234", "宋体", 10, {520, 1110}},               // (22, 47)
        {"欧阳小明", "隶书", 10, {520, 1205}},                         // (22, 51)
        {"09010100020001", "宋体", 10, {520, 1299}},                   // (22, 55)
        {StubSheet::title(), "黑体", 12, {1346, 165}},                 // (57, 7)
        {"考区名称：玄武区，考区代码：0102，考场序号：007", "黑体", 12, {118, 283}}, // (5, 12)
        {"电子照片", "宋体", 10, {118, 591}},                          // (5, 25)
        {"座位序号", "黑体", 10, {118, 1016}},
        {"身份证号", "宋体", 10, {118, 1110}},
        {"姓名", "隶书", 10, {118, 1205}},
        {"准考证号", "宋体", 10, {118, 1299}},
    };
    for (const Expected& e : expected) {
        const Element* found = find(cell, e.text);
        QVERIFY2(found, qPrintable(e.text));
        QCOMPARE(found->font, e.font);
        QCOMPARE(found->size, e.size);
        QCOMPARE(found->pixels.topLeft(), e.at);
    }
    QCOMPARE(cell.size(), 1 + expected.size());

    s.photo = StubSheet::Photo::Printed;
    const QVector<Element> withPhoto = StubSheet::cell(s, {}, 0, 0, at600);
    QCOMPARE(findKind(withPhoto, Element::Kind::Photo)->pixels, QRect(520, 425, 425, 567));
    QVERIFY(!find(withPhoto, QStringLiteral("无照片")));
    QVERIFY(!findKind(withPhoto, Element::Kind::Outline));

    // A photograph that cannot be read: the empty box says so, within it.
    s.photo = StubSheet::Photo::Unreadable;
    const QVector<Element> unreadable = StubSheet::cell(s, {}, 0, 0, at600);
    QCOMPARE(findKind(unreadable, Element::Kind::Outline)->pixels, QRect(520, 425, 425, 567));
    const Element* notice = find(unreadable, QStringLiteral("照片无法读取"));
    QVERIFY(notice && !find(unreadable, QStringLiteral("无照片")));
    const double noticeEnd = notice->x + 6 * notice->size * 25.4 / 72; // six characters of one em
    QVERIFY(notice->x > 22 && noticeEnd < 22 + 18);
}

void TestStubSheet::offsetsMoveEveryElement_data() {
    QTest::addColumn<int>("record");
    QTest::newRow("first cell") << 1;
    QTest::newRow("sixth cell") << 6;
}

void TestStubSheet::offsetsMoveEveryElement() {
    QFETCH(int, record);
    StubSheet::Student s;
    s.cell = record - 1;
    s.name = QStringLiteral("张三");
    const QVector<Element> plain = StubSheet::cell(s, {}, 0, 0, at600);
    const QVector<Element> moved = StubSheet::cell(s, {}, 5, -3, at600);
    QCOMPARE(moved.size(), plain.size());
    for (int i = 0; i < plain.size(); ++i) {
        QCOMPARE(moved[i].kind, plain[i].kind);
        QCOMPARE(moved[i].text, plain[i].text);
        QCOMPARE(moved[i].x, plain[i].x + 5);
        QCOMPARE(moved[i].y, plain[i].y - 3);
        QCOMPARE(moved[i].pixels.left(), MPrint::millimetresToPixels(plain[i].x + 5, 600));
        QCOMPARE(moved[i].pixels.top(), MPrint::millimetresToPixels(plain[i].y - 3, 600));
        QCOMPARE(moved[i].pixels.size(), plain[i].pixels.size());
    }
}

void TestStubSheet::cellsAndPages() {
    auto texts = [](int cell) {
        StubSheet::Student s;
        s.cell = cell;
        QStringList all;
        for (const Element& e : StubSheet::cell(s, {}, 0, 0, at600))
            all << e.text;
        return all;
    };
    auto at = [](int cell) {
        const StubSheet::Place p = StubSheet::place(cell, 0, 0);
        return QList<int>{p.column, p.row, p.x0, p.y0};
    };
    // The fifth cell begins the second row, with the headings.
    QCOMPARE(at(4), (QList<int>{0, 1, -3, 42}));
    QVERIFY(texts(4).contains(QStringLiteral("准考证号")));
    QVERIFY(!texts(4).contains(StubSheet::title()));
    // The sixth stands beside it, without headings.
    QCOMPARE(at(5), (QList<int>{1, 1, 33, 42}));
    QVERIFY(!texts(5).contains(QStringLiteral("准考证号")));
    // The 24th is the last cell of a page, still on the paper.
    QCOMPARE(at(23), (QList<int>{3, 5, 105, 222}));
    QVERIFY(at(23)[3] + 58 < 290);
    // The first cell of a page has title, header and headings.
    QVERIFY(StubSheet::place(0, 0, 0).firstOnPage());
    QVERIFY(texts(0).contains(StubSheet::title()));
    QVERIFY(texts(0).contains(QStringLiteral("电子照片")));
    QVERIFY(!texts(1).contains(StubSheet::title()));
}

void TestStubSheet::roomsAndSeats_data() {
    QTest::addColumn<QStringList>("rooms");      // 考场序号 of the list, in order
    QTest::addColumn<QStringList>("expected");   // "room/seat@page.cell" per student
    auto repeat = [](const QString& room, int n) { return QStringList(QList<QString>(n, room)); };
    auto slotsOf = [](const QString& room, int firstSeat, int n, int firstPage) {
        QStringList all;
        for (int i = 0; i < n; ++i)
            all << QStringLiteral("%1/%2@%3.%4").arg(room).arg(firstSeat + i).arg(firstPage + i / 24).arg(i % 24);
        return all;
    };
    // No rooms named: rooms of 30 in list order; the 31st student begins
    // room 02 on a page of its own (not the 7th cell of the second page), and
    // student 100 sits on seat 10 of room 04 (not "00").
    QTest::newRow("rooms of 30") << repeat(QString(), 100)
                                 << slotsOf("01", 1, 30, 0) + slotsOf("02", 1, 30, 2) + slotsOf("03", 1, 30, 4) +
                                        slotsOf("04", 1, 10, 6);
    // Named rooms: each begins a page; a room met again goes on counting.
    QTest::newRow("named") << QStringList{"0517", "0517", " 0518", "0517", ""}
                           << QStringList{"0517/1@0.0", "0517/2@0.1", "0518/1@1.0", "0517/3@2.0", "01/1@3.0"};
    QTest::newRow("none") << QStringList{} << QStringList{};
}

void TestStubSheet::roomsAndSeats() {
    QFETCH(QStringList, rooms);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const StubSheet::Slot& s : StubSheet::arrange(rooms))
        got << QStringLiteral("%1/%2@%3.%4").arg(s.room).arg(s.seat).arg(s.page).arg(s.cell);
    QCOMPARE(got, expected);
    QCOMPARE(StubSheet::seatText(5), QStringLiteral("05"));
    QCOMPARE(StubSheet::seatText(30), QStringLiteral("30"));
}

QTEST_GUILESS_MAIN(TestStubSheet)
#include "test_stubsheet.moc"
