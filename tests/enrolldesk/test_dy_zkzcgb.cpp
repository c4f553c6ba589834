#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "FaultInjection.h"
#include "Fonts.h"
#include "Jpeg.h"
#include "Profile.h"
#include "ReadBack.h"
#include "Station.h"
#include "StationFolder.h"
#include "StubSheet.h"
#include "TempStation.h"
#include "UnitDY_ZKZCGB.h"
#include "UnitMPrint.h"
#include "mainform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QTimer>
#include <memory>

using StubSheet::Element;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A finished PDF's page count, -1 when the file is not a finished PDF.
int pdfPages(const QByteArray& bytes) {
    if (!bytes.startsWith("%PDF") || !bytes.trimmed().endsWith("%%EOF"))
        return -1;
    static const QRegularExpression page(QStringLiteral("/Type\\s*/Page[^s]"));
    return int(QString::fromLatin1(bytes).count(page));
}

int pdfCount(const QByteArray& bytes, const char* what) { return int(bytes.count(what)); }

QByteArray jpegOf(QColor colour) {
    QImage image(90, 120, QImage::Format_RGB32);
    image.fill(colour);
    return Jpeg::encode(image);
}

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

class TestDY_ZKZCGB : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Fonts::install(); }
    void init();
    void cleanup();

    void millimetresToPixels_data();
    void millimetresToPixels();
    void textsCorrectTheVerticalOffsetOnly();
    void firstCell();
    void offsetsMoveEveryElement_data();
    void offsetsMoveEveryElement();
    void cellsAndPages();
    void roomsAndSeats_data();
    void roomsAndSeats();

    void listAllOrOneClass();
    void areaFromSetup();
    void emptyClassPrintsABlankDocument();
    void nonNumericOffsetStartsNoDocument();
    void unreadablePhotosPrintANotice();
    void classOfThirtyPrintsTwoPages();
    void noPrinterWritesTheStationsPdf();
    void fullDiskKeepsTheEarlierFile();
    void printedTextIsSearchableAndOnThePaper();
    void menuOpensTheWindow();

private:
    void student(const QString& sub, const QString& name, int cls, const QByteArray& photo = {});
    void chooseClass(const QString& cls);

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormDY_ZKZCGB> w_;
    QString pdf_;
};

void TestDY_ZKZCGB::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    w_ = std::make_unique<TFormDY_ZKZCGB>();
    pdf_ = station_->file(QStringLiteral("out/存根.pdf"));
    qputenv("DESK_PRINT_PDF", pdf_.toUtf8());
}

void TestDY_ZKZCGB::cleanup() {
    qunsetenv("DESK_PRINT_PDF");
    w_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestDY_ZKZCGB::student(const QString& sub, const QString& name, int cls, const QByteArray& photo) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号,班级,考场序号,电子照片) "
                             "values(:s,:n,:i,:k,:r,:p)"),
              {{QStringLiteral(":s"), sub},
               {QStringLiteral(":n"), name},
               {QStringLiteral(":i"), QStringLiteral("3201021990010112%1").arg(sub.right(2))},
               {QStringLiteral(":k"), cls},
               {QStringLiteral(":r"), QStringLiteral("0%1").arg(cls)},
               {QStringLiteral(":p"), photo.isEmpty() ? QVariant() : QVariant(photo)}});
}

void TestDY_ZKZCGB::chooseClass(const QString& cls) {
    control<QRadioButton>(w_.get(), "RadioButton1")->click();
    combo(w_.get(), "ComboBox4")->setCurrentText(cls);
}

// --- geometry

void TestDY_ZKZCGB::millimetresToPixels_data() {
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

void TestDY_ZKZCGB::millimetresToPixels() {
    QFETCH(double, mm);
    QFETCH(int, dpi);
    QFETCH(int, pixels);
    QCOMPARE(MPrint::millimetresToPixels(mm, dpi), pixels);
}

void TestDY_ZKZCGB::textsCorrectTheVerticalOffsetOnly() {
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

void TestDY_ZKZCGB::firstCell() {
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

void TestDY_ZKZCGB::offsetsMoveEveryElement_data() {
    QTest::addColumn<int>("record");
    QTest::newRow("first cell") << 1;
    QTest::newRow("sixth cell") << 6;
}

void TestDY_ZKZCGB::offsetsMoveEveryElement() {
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

void TestDY_ZKZCGB::cellsAndPages() {
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

void TestDY_ZKZCGB::roomsAndSeats_data() {
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

void TestDY_ZKZCGB::roomsAndSeats() {
    QFETCH(QStringList, rooms);
    QFETCH(QStringList, expected);
    QStringList got;
    for (const StubSheet::Slot& s : StubSheet::arrange(rooms))
        got << QStringLiteral("%1/%2@%3.%4").arg(s.room).arg(s.seat).arg(s.page).arg(s.cell);
    QCOMPARE(got, expected);
    QCOMPARE(StubSheet::seatText(5), QStringLiteral("05"));
    QCOMPARE(StubSheet::seatText(30), QStringLiteral("30"));
}

// --- the window

void TestDY_ZKZCGB::listAllOrOneClass() {
    student(QStringLiteral("09010100020002"), QStringLiteral("李四"), 2);
    student(QStringLiteral("09010100020001"), QStringLiteral("张三"), 1);
    student(QStringLiteral("09010100020003"), QStringLiteral("王五"), 2);
    QVERIFY(!combo(w_.get(), "ComboBox4")->isEnabled());
    button(w_.get(), "Button1")->click();
    QCOMPARE(control<QLabel>(w_.get(), "Label3")->text(), QStringLiteral("学生总数：3"));
    QCOMPARE(w_->ADOQueryKCBPB.text(QStringLiteral("姓名")), QStringLiteral("张三")); // class 1 first

    chooseClass(QStringLiteral(" 2"));
    QVERIFY(combo(w_.get(), "ComboBox4")->isEnabled());
    button(w_.get(), "Button1")->click();
    QCOMPARE(control<QLabel>(w_.get(), "Label3")->text(), QStringLiteral("学生总数：2"));
    QCOMPARE(w_->ADOQueryKCBPB.text(QStringLiteral("姓名")), QStringLiteral("李四"));

    // Typed text that is not a class cannot change the statement.
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral("1 or 1=1"));
    button(w_.get(), "Button1")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(control<QLabel>(w_.get(), "Label3")->text(), QStringLiteral("学生总数：2"));
}

void TestDY_ZKZCGB::areaFromSetup() {
    QCOMPARE(TFormDY_ZKZCGB::area().areaName, QString());
    QCOMPARE(StubSheet::title(TFormDY_ZKZCGB::area()), QStringLiteral("Veldran省普通高中2009年6月学业水平测试考场存根表"));
    Profile setup(StationFolder::setupIni());
    setup.writeString(QStringLiteral("print"), QStringLiteral("areaname"), QStringLiteral("鼓楼区"));
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("AreaCode"), QStringLiteral("0106"));
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("Session"), QStringLiteral("2025年6月"));
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("Province"), QStringLiteral(" "));
    StubSheet::Heading heading = TFormDY_ZKZCGB::area();
    QCOMPARE(StubSheet::header(heading, QStringLiteral("12")),
             QStringLiteral("考区名称：鼓楼区，考区代码：0106，考场序号：12"));
    // An empty province keeps the delivered one.
    QCOMPARE(StubSheet::title(heading), QStringLiteral("Veldran省普通高中2025年6月学业水平测试考场存根表"));
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("Province"), QStringLiteral("广西壮族自治区"));
    QCOMPARE(StubSheet::title(TFormDY_ZKZCGB::area()),
             QStringLiteral("广西壮族自治区普通高中2025年6月学业水平测试考场存根表"));
}

void TestDY_ZKZCGB::emptyClassPrintsABlankDocument() {
    student(QStringLiteral("09010100020001"), QStringLiteral("张三"), 1);
    chooseClass(QStringLiteral("7"));
    button(w_.get(), "Button4")->click();
    QVERIFY(dialogs_->shown.isEmpty());
    const QByteArray pdf = fileBytes(pdf_);
    QCOMPARE(pdfPages(pdf), 1);
    QCOMPARE(pdfCount(pdf, "/FontFile"), 0); // no text drawn
    QCOMPARE(pdfCount(pdf, "/Subtype /Image"), 0);
}

void TestDY_ZKZCGB::nonNumericOffsetStartsNoDocument() {
    student(QStringLiteral("09010100020001"), QStringLiteral("张三"), 1);
    QFile earlier(pdf_);
    QVERIFY(QDir().mkpath(QFileInfo(pdf_).path()) && earlier.open(QIODevice::WriteOnly) && earlier.write("earlier"));
    earlier.close();
    edit(w_.get(), "EditY")->setText(QStringLiteral("a5"));
    button(w_.get(), "Button4")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QVERIFY(dialogs_->texts(QStringLiteral("error"))[0].contains(QStringLiteral("a5")));
    // Checked before the document began: nothing printed, nothing replaced.
    QCOMPARE(fileBytes(pdf_), QByteArray("earlier"));
    QCOMPARE(QDir(QFileInfo(pdf_).path()).entryList(QDir::Files), QStringList{QFileInfo(pdf_).fileName()});
    // The window is ready for the next print.
    QVERIFY(button(w_.get(), "Button4")->isEnabled());
    edit(w_.get(), "EditY")->setText(QStringLiteral("-3"));
    button(w_.get(), "Button4")->click();
    QCOMPARE(dialogs_->shown.size(), 1);
    QVERIFY(pdfCount(fileBytes(pdf_), "/FontFile") > 0);
}

void TestDY_ZKZCGB::unreadablePhotosPrintANotice() {
    student(QStringLiteral("09010100020001"), QStringLiteral("张三"), 1, jpegOf(Qt::red));
    student(QStringLiteral("09010100020002"), QStringLiteral("李四"), 1, QByteArray("not a picture"));
    student(QStringLiteral("09010100020003"), QStringLiteral("王五"), 1);
    student(QStringLiteral("09010100020004"), QStringLiteral("赵六"), 1, jpegOf(Qt::blue));
    // The store's photo of 王五 is damaged too.
    QFile store(station_->file(QStringLiteral("photo/09010100020003.jpg")));
    QVERIFY(store.open(QIODevice::WriteOnly) && store.write(jpegOf(Qt::green).left(200)));
    store.close();
    button(w_.get(), "Button4")->click();

    QVERIFY(dialogs_->texts(QStringLiteral("error")).isEmpty());
    QCOMPARE(dialogs_->texts(QStringLiteral("box")),
             QStringList{QStringLiteral("下列2名学生的照片无法读取，存根表上印的是“照片无法读取”：\n"
                                        "09010100020002 李四\n09010100020003 王五")});
    QCOMPARE(control<QLabel>(w_.get(), "Label3")->text(), QStringLiteral("人数：4/4"));
    const QByteArray pdf = fileBytes(pdf_);
    QCOMPARE(pdfPages(pdf), 1);
    QCOMPARE(pdfCount(pdf, "/Subtype /Image"), 2);
    QCOMPARE(pdfText(pdf_).count(QStringLiteral("照片无法读取")), 2);
}

void TestDY_ZKZCGB::classOfThirtyPrintsTwoPages() {
    // Class 3: ten photographs in 电子照片, ten in the photo store, ten none.
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue, Qt::yellow, Qt::cyan};
    for (int i = 1; i <= 30; ++i) {
        const QString sub = QStringLiteral("090101000200%1").arg(i, 2, 10, QLatin1Char('0'));
        const QByteArray jpeg = jpegOf(colours[i % 5]);
        if (i % 3 == 1)
            student(sub, QStringLiteral("学生%1").arg(i), 3, jpeg);
        else
            student(sub, QStringLiteral("学生%1").arg(i), 3);
        if (i % 3 == 2) {
            QFile file(station_->file(QStringLiteral("photo/%1.jpg").arg(sub)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(jpeg);
        }
    }
    student(QStringLiteral("09010100029901"), QStringLiteral("别班"), 4, jpegOf(Qt::black));
    chooseClass(QStringLiteral("3"));
    button(w_.get(), "Button4")->click();
    QVERIFY2(dialogs_->shown.isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    QCOMPARE(control<QLabel>(w_.get(), "Label3")->text(), QStringLiteral("人数：30/30"));
    QVERIFY(!control<QLabel>(w_.get(), "Image1")->pixmap().isNull());
    QCOMPARE(w_->ADOQueryKCBPB.recNo(), 30);
    const QByteArray pdf = fileBytes(pdf_);
    QCOMPARE(pdfPages(pdf), 2);
    QCOMPARE(pdfCount(pdf, "/Subtype /Image"), 20);
    // The three fonts are in the document.
    QVERIFY(pdf.contains("NotoSerifCJK"));
    QVERIFY(pdf.contains("NotoSansCJK"));
    QVERIFY(pdf.contains("UKai"));
}

void TestDY_ZKZCGB::noPrinterWritesTheStationsPdf() {
    if (!QPrinterInfo::defaultPrinter().isNull())
        QSKIP("a printer is installed here");
    qunsetenv("DESK_PRINT_PDF");
    student(QStringLiteral("09010100020001"), QStringLiteral("张三"), 1);
    // Every print is a file of its own, also two in the same second.
    button(w_.get(), "Button4")->click();
    button(w_.get(), "Button4")->click();
    const QString folder = station_->file(QStringLiteral("打印"));
    const QStringList files = QDir(folder).entryList(QDir::Files);
    QCOMPARE(files.size(), 2);
    const QStringList said = dialogs_->texts(QStringLiteral("message"));
    QCOMPARE(said.size(), 2);
    for (const QString& name : files) {
        QVERIFY2(QRegularExpression(QStringLiteral("^打印准考证存根表-\\d{8}-\\d{6}(-2)?\\.pdf$")).match(name).hasMatch(),
                 qPrintable(name));
        const QString file = folder + QLatin1Char('/') + name;
        QCOMPARE(pdfPages(fileBytes(file)), 1);
        QVERIFY(said.contains(QStringLiteral("没有安装打印机，存根表已存为文件：%1").arg(QDir::toNativeSeparators(file))));
    }
}

void TestDY_ZKZCGB::fullDiskKeepsTheEarlierFile() {
    student(QStringLiteral("09010100020001"), QStringLiteral("张三"), 1, jpegOf(Qt::red));
    QVERIFY(QDir().mkpath(QFileInfo(pdf_).path()));
    QFile earlier(pdf_);
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier"));
    earlier.close();
    {
        FaultInjection::FaultyFiles faulty;
        faulty.faults.diskSpace = 5000;
        button(w_.get(), "Button4")->click();
    }
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors[0].contains(QStringLiteral("磁盘已满")) && errors[0].contains(QDir::toNativeSeparators(pdf_)) &&
                 !errors[0].contains(QStringLiteral(".part")),
             qPrintable(errors[0]));
    QVERIFY(dialogs_->texts(QStringLiteral("message")).isEmpty());
    QCOMPARE(fileBytes(pdf_), QByteArray("earlier"));
    QCOMPARE(QDir(QFileInfo(pdf_).path()).entryList(QDir::Files), QStringList{QFileInfo(pdf_).fileName()});
}

void TestDY_ZKZCGB::printedTextIsSearchableAndOnThePaper() {
    // Names whose characters share their glyphs with radicals (高 ⾼, 黄 ⻩,
    // 马 ⻢), rare characters (䶮 has an empty glyph in the 隶书 font, 𠮷 is
    // beyond the BMP), and a long area name pushing the header off the page.
    student(QStringLiteral("09010100020001"), QStringLiteral("高黄马"), 1);
    student(QStringLiteral("09010100020002"), QStringLiteral("赵䶮"), 1);
    Profile setup(StationFolder::setupIni());
    setup.writeString(QStringLiteral("PRINT"), QStringLiteral("AreaName"),
                      QStringLiteral("高新技术产业开发区教育发展中心考试管理服务站第一分站"));
    button(w_.get(), "Button4")->click();
    QVERIFY2(dialogs_->shown.isEmpty(), qPrintable(dialogs_->texts().join('\n')));
    const QString text = pdfText(pdf_);
    for (const QString& expected : {QStringLiteral("高黄马"), QStringLiteral("赵䶮"), QStringLiteral("电子照片"),
                                    QStringLiteral("身份证号"), QStringLiteral("座位序号"), StubSheet::title()})
        QVERIFY2(text.contains(expected), qPrintable(expected + QStringLiteral(" not in:\n") + text));
    const QList<PdfWord> words = pdfWords(pdf_);
    QVERIFY(!words.isEmpty());
    for (const PdfWord& w : words)
        QVERIFY2(w.xMax <= w.pageWidth, qPrintable(QStringLiteral("%1 ends at %2").arg(w.text).arg(w.xMax)));
}

void TestDY_ZKZCGB::menuOpensTheWindow() {
    w_.reset();
    EnrollStation windows;
    QVERIFY(windows.FormDY_ZKZCGB);
    QCOMPARE(windows.FormDY_ZKZCGB->parent(), windows.FormMain);
    QPoint shownAt;
    QTimer::singleShot(0, windows.FormDY_ZKZCGB, [&] {
        shownAt = windows.FormDY_ZKZCGB->pos();
        windows.FormDY_ZKZCGB->reject();
    });
    windows.FormMain->N19->trigger();
    QCOMPARE(shownAt, QPoint(100, 50));
    QCOMPARE(windows.FormDY_ZKZCGB->windowTitle(), QStringLiteral("打印准考证存根表"));
}

QTEST_MAIN(TestDY_ZKZCGB)
#include "test_dy_zkzcgb.moc"
