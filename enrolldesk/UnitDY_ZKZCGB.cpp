#include "UnitDY_ZKZCGB.h"
#include "Database.h"
#include "DbGrid.h"
#include "DeskError.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "Jpeg.h"
#include "PhotoCapture.h"
#include "PhotoStore.h"
#include "PrintJob.h"
#include "Profile.h"
#include "StationFolder.h"
#include "Text.h"
#include "UnitMPrint.h"
#include "Windows.h"
#include "ui_UnitDY_ZKZCGB.h"

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
    return StationFolder::programFolder() + QStringLiteral("打印/打印准考证存根表.pdf");
}

StubSheet::Area TFormDY_ZKZCGB::area() {
    const Profile setup(StationFolder::setupIni());
    return {setup.readString(QStringLiteral("PRINT"), QStringLiteral("AreaName"), QString()),
            setup.readString(QStringLiteral("PRINT"), QStringLiteral("AreaCode"), QString())};
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

QImage TFormDY_ZKZCGB::photoOfCurrent() const {
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
            throw DeskError(QStringLiteral("照片文件无法读取：%1").arg(QDir::toNativeSeparators(path)));
        jpeg = file.readAll();
    }
    try {
        return Jpeg::decode(jpeg);
    } catch (const DeskError& e) {
        throw DeskError(QStringLiteral("%1的照片无法读取：%2").arg(sub, e.message()));
    }
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
    setBusy(true);
    const auto idle = qScopeGuard([this] { setBusy(false); });

    ui->Image1->clear();
    loadList();
    const StubSheet::Area header = area();
    const QString fallback = fallbackPdf();

    PrintJob job({windowTitle(), fallback});
    MPrint::setFontName(job, StubSheet::SongTi);
    const int total = ADOQueryKCBPB.recordCount();
    for (int n = 1; n <= total; ++n) {
        DataSource1->setCurrentRow(n - 1); // the grid shows the student being printed
        ADOQueryKCBPB.setRecNo(n);
        ui->Label3->setText(QStringLiteral("人数：%1/%2").arg(n).arg(total));
        const int offsetX = int(Text::toInteger(ui->EditX->text()));
        const int offsetY = int(Text::toInteger(ui->EditY->text()));
        if (n > 1 && StubSheet::place(n, offsetX, offsetY).firstOnPage())
            job.newPage();

        const Query& q = ADOQueryKCBPB;
        const QImage photo = photoOfCurrent();
        StubSheet::Student student;
        student.recordNumber = n;
        student.idNumber = q.text(QStringLiteral("身份证号"));
        student.name = q.text(QStringLiteral("姓名"));
        student.subNumber = q.text(SubNumberField);
        student.examRoom = q.text(QStringLiteral("考场序号"));
        student.hasPhoto = !photo.isNull();
        if (student.hasPhoto)
            ui->Image1->setPixmap(QPixmap::fromImage(photo));
        paint(job, StubSheet::cell(student, header, offsetX, offsetY, MPrint::unitsOf(job)), photo);
        Windows::processPendingMessages();
    }
    job.end();
    if (!job.pdfFile().isEmpty() && job.pdfFile() == fallback)
        Dialogs::current().message(
            QStringLiteral("没有安装打印机，存根表已存为文件：%1").arg(QDir::toNativeSeparators(job.pdfFile())));
}
