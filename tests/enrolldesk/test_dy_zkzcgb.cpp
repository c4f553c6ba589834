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
#include "TempStation.h"
#include "UnitDY_ZKZCGB.h"
#include "mainform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPrinterInfo>
#include <QRadioButton>
#include <QTimer>
#include <memory>

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

} // namespace

class TestDY_ZKZCGB : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { Fonts::install(); }
    void init();
    void cleanup();

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
