#include "UnitDY_ZKZCGB.h"
#include "Database.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "MPrintJob.h"
#include "PhotoCapture.h"
#include "PhotoStore.h"
#include "PrintJob.h"
#include "Profile.h"
#include "StationFolder.h"
#include "Text.h"
#include "Windows.h"
#include "ui_UnitDY_ZKZCGB.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QScopeGuard>

namespace {

const QString PhotoField = QStringLiteral("电子照片");
const QString SubNumberField = QStringLiteral("学业水平测试副号");

} // namespace

TFormDY_ZKZCGB::TFormDY_ZKZCGB(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormDY_ZKZCGB) {
    setObjectName(QStringLiteral("FormDY_ZKZCGB"));
    setupUi(ui);
    setFixedSize(632, 408);
    DataSource1 = new DataSource(&ADOQueryKCBPB, QStringLiteral("学生表"), QStringLiteral("序号"), this);
    ui->DBGrid1->setDataSource(DataSource1);
    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormDY_ZKZCGB::Button1Click);
    connectHandler(ui->Button4, &QPushButton::clicked, this, &TFormDY_ZKZCGB::Button4Click);
    connectHandler(ui->RadioButton1, &QRadioButton::clicked, this, &TFormDY_ZKZCGB::RadioButton1Click);
}

TFormDY_ZKZCGB::~TFormDY_ZKZCGB() { delete ui; }

void TFormDY_ZKZCGB::RadioButton1Click() {
    if (ui->RadioButton1->isChecked())
        ui->ComboBox4->setEnabled(true);
}

QString TFormDY_ZKZCGB::listSql() const {
    if (ui->RadioButton1->isChecked())
        return QStringLiteral("SELECT * FROM 学生表 where 班级=") +
               sqlInteger(Text::trimmed(ui->ComboBox4->currentText()), QStringLiteral("班级")) +
               QStringLiteral(" ORDER BY 学业水平测试副号 ASC");
    return QStringLiteral("SELECT * FROM 学生表 ORDER BY 班级,学业水平测试副号 ASC");
}

QString TFormDY_ZKZCGB::fallbackPdf() {
    return PrintJob::timedPdfName(StationFolder::programFolder() + QStringLiteral("打印"), QStringLiteral("打印准考证存根表"),
                                  QDateTime::currentDateTime());
}

StubSheet::Heading TFormDY_ZKZCGB::area() {
    const Profile setup(StationFolder::setupIni());
    const QString section = QStringLiteral("PRINT");
    StubSheet::Heading heading;
    heading.areaName = setup.readString(section, QStringLiteral("AreaName"), QString());
    heading.areaCode = setup.readString(section, QStringLiteral("AreaCode"), QString());
    const QString province = Text::trimmed(setup.readString(section, QStringLiteral("Province"), QString()));
    const QString session = Text::trimmed(setup.readString(section, QStringLiteral("Session"), QString()));
    if (!province.isEmpty())
        heading.province = province;
    if (!session.isEmpty())
        heading.session = session;
    return heading;
}

void TFormDY_ZKZCGB::loadList() {
    const QString sql = listSql();
    ADOQueryKCBPB.close();
    ADOQueryKCBPB.setDatabasePath(StationFolder::registrationDb());
    ADOQueryKCBPB.setSql(sql);
    ADOQueryKCBPB.open();
    DataSource1->first();
}

void TFormDY_ZKZCGB::Button1Click() {
    if (printing_)
        return;
    loadList();
    ui->Label3->setText(QStringLiteral("学生总数：%1").arg(ADOQueryKCBPB.recordCount()));
}

StubSheet::Portrait TFormDY_ZKZCGB::photoOfCurrent(QSize box) const {
    const Query& q = ADOQueryKCBPB;
    QByteArray jpeg;
    if (q.hasField(PhotoField))
        jpeg = q.bytes(PhotoField);
    const QString sub = q.text(SubNumberField);
    if (jpeg.isEmpty()) {
        const QString path = PhotoStore::find(StationFolder::photoFolder(), sub);
        if (Text::trimmed(sub).isEmpty() || !QFileInfo(path).isFile())
            return {};
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {StubSheet::Photo::Unreadable, QImage()};
        jpeg = file.readAll();
        if (file.error() != QFileDevice::NoError || jpeg.isEmpty())
            return {StubSheet::Photo::Unreadable, QImage()};
    }
    return StubSheet::portrait(jpeg, box);
}

void TFormDY_ZKZCGB::paint(PrintJob& job, const QVector<StubSheet::Element>& elements, const QImage& photo) {
    using Kind = StubSheet::Element::Kind;
    QPainter& painter = job.painter();
    for (const StubSheet::Element& e : elements) {
        switch (e.kind) {
        case Kind::Photo:
            painter.drawImage(e.pixels, photo);
            break;
        case Kind::Outline: {
            const int left = e.pixels.x(), top = e.pixels.y();
            const int right = left + e.pixels.width(), bottom = top + e.pixels.height();
            const QPoint edges[] = {{left, top}, {right, top}, {right, bottom}, {left, bottom}, {left, top}};
            painter.drawPolyline(edges, 5);
            break;
        }
        case Kind::Text:
            MPrint::setFontName(job, e.font);
            MPrint::PrintTextMM(job, e.text, e.size, e.x, e.y);
            break;
        }
    }
    MPrint::setFontName(job, StubSheet::SongTi);
}

void TFormDY_ZKZCGB::setBusy(bool busy) {
    printing_ = busy;
    for (QWidget* w : {static_cast<QWidget*>(ui->GroupBox1), static_cast<QWidget*>(ui->Button1),
                       static_cast<QWidget*>(ui->Button4), static_cast<QWidget*>(ui->EditX),
                       static_cast<QWidget*>(ui->EditY)})
        w->setEnabled(!busy);
}

void TFormDY_ZKZCGB::Button4Click() {
    // The loop lets window messages through; a second click must not start
    // a print inside this one or reload the list under it.
    if (printing_)
        return;
    // The offsets are checked before anything is printed: a wrong one
    // starts no document (a blank sheet on a printer).
    const int offsetX = int(Text::toInteger(ui->EditX->text()));
    const int offsetY = int(Text::toInteger(ui->EditY->text()));
    setBusy(true);
    const auto idle = qScopeGuard([this] { setBusy(false); });

    ui->Image1->clear();
    loadList();
    const StubSheet::Heading heading = area();
    Query& q = ADOQueryKCBPB;
    const int total = q.recordCount();
    const int roomColumn = q.fieldIndex(QStringLiteral("考场序号"));
    QStringList rooms;
    rooms.reserve(total);
    for (int row = 0; row < total; ++row)
        rooms << (roomColumn < 0 ? QString() : Query::textOf(q.value(row, roomColumn)));
    const QVector<StubSheet::Slot> seating = StubSheet::arrange(rooms);

    PrintJob job({windowTitle(), fallbackPdf()});
    MPrint::setFontName(job, StubSheet::SongTi);
    QStringList unreadable;
    for (int n = 1; n <= total; ++n) {
        DataSource1->setCurrentRow(n - 1); // the grid shows the student being printed
        q.setRecNo(n);
        ui->Label3->setText(QStringLiteral("人数：%1/%2").arg(n).arg(total));
        const StubSheet::Slot& slot = seating[n - 1];
        if (n > 1 && slot.page != seating[n - 2].page)
            job.newPage();

        const MPrint::PrinterUnits units = MPrint::unitsOf(job);
        const StubSheet::Portrait photo = photoOfCurrent(StubSheet::photoBox(units));
        StubSheet::Student student;
        student.cell = slot.cell;
        student.seat = slot.seat;
        student.room = slot.room;
        student.idNumber = q.text(QStringLiteral("身份证号"));
        student.name = q.text(QStringLiteral("姓名"));
        student.subNumber = q.text(SubNumberField);
        student.photo = photo.state;
        if (photo.state == StubSheet::Photo::Printed)
            ui->Image1->setPixmap(QPixmap::fromImage(photo.image));
        else if (photo.state == StubSheet::Photo::Unreadable)
            unreadable << Text::trimmed(student.subNumber) + QLatin1Char(' ') + Text::trimmed(student.name);
        paint(job, StubSheet::cell(student, heading, offsetX, offsetY, units), photo.image);
        Windows::processPendingMessages();
    }
    job.end();
    if (job.wentToFallback())
        Dialogs::current().message(
            QStringLiteral("没有安装打印机，存根表已存为文件：%1").arg(QDir::toNativeSeparators(job.pdfFile())));
    if (!unreadable.isEmpty())
        Dialogs::current().messageBox(StubSheet::unreadablePhotosMessage(unreadable), Dialogs::programCaption(),
                                      Dialogs::Icon::Warning);
}
