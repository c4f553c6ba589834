#include "UnitZPCJ.h"
#include "Database.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "PhotoStore.h"
#include "StationFolder.h"
#include "TestNumber.h"
#include "Text.h"
#include "Unitdata.h"
#include "VideoWindow.h"
#include "Windows.h"
#include "ui_UnitZPCJ.h"

#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

namespace {

const QString NoList = QStringLiteral("没有选择学校学生信息！");
const QString SubNumberField = QStringLiteral("学业水平测试副号");
const QString NameField = QStringLiteral("姓名");

} // namespace

TFormZPCJ::TFormZPCJ(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormZPCJ) {
    setObjectName(QStringLiteral("FormZPCJ"));
    setupUi(ui);
    buildControls();
    applyManners();
    ErrorBoundary::run([this] { FormCreate(); });
}

TFormZPCJ::~TFormZPCJ() {
    if (shortcutsInstalled_)
        qApp->removeEventFilter(this);
    delete ui;
}

void TFormZPCJ::buildControls() {
    RadioButton1 = ui->RadioButton1;
    RadioButton2 = ui->RadioButton2;
    Edit1 = ui->Edit1;
    Edit2 = ui->Edit2;
    ComboBox4 = ui->ComboBox4;
    DBGrid1 = ui->DBGrid1;
    Panel12 = ui->Panel12;
    ChClose = ui->ChClose;
    Memo1 = ui->Memo1;
    Edit3 = ui->Edit3;
    Label7 = ui->Label7;
    cbsb = ui->cbsb;
    Panel7 = ui->Panel7;
    Panel8 = ui->Panel8;
    Image1 = ui->Image1;
    Label5 = ui->Label5;
    Label6 = ui->Label6;
    Label8 = ui->Label8;
    SaveImage = ui->SaveImage;
    priorXS = ui->priorXS;
    NextXS = ui->NextXS;
    Setup = ui->Setup;
    Check = ui->Check;
    Button2 = ui->Button2;
    Button3 = ui->Button3;
    Button4 = ui->Button4;
    Button5 = ui->Button5;
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Panel12->hide();

    // The live picture is made here: its control name is also its class's.
    VideoWin = new VideoWindow(ui->Panel3);
    VideoWin->setObjectName(QStringLiteral("VideoWindow"));
    VideoWin->setGeometry(16, 16, VideoWindow::DefaultWidth, VideoWindow::DefaultHeight);
    VideoWin->setFocusPolicy(Qt::StrongFocus);
    VideoWin->setSource(&camera_);

    connectHandler(Edit1, &QLineEdit::textChanged, this, &TFormZPCJ::Edit1Change);
    connectHandler(Edit2, &QLineEdit::returnPressed, this, &TFormZPCJ::Edit2Return);
    connectHandler(ComboBox4, &QComboBox::activated, this, &TFormZPCJ::ComboBox4Change);
    connectHandler(Edit3, &QLineEdit::returnPressed, this, &TFormZPCJ::Edit3Return);
    connectHandler(DBGrid1, &QAbstractItemView::clicked, this,
                   [](TFormZPCJ* w, const QModelIndex& index) { w->DBGrid1CellClick(index.row()); });
    connectHandler(SaveImage, &QPushButton::clicked, this, &TFormZPCJ::SaveImageClick);
    connectHandler(NextXS, &QPushButton::clicked, this, &TFormZPCJ::NextXSClick);
    connectHandler(priorXS, &QPushButton::clicked, this, &TFormZPCJ::priorXSClick);
    connectHandler(Check, &QPushButton::clicked, this, &TFormZPCJ::CheckClick);
    connectHandler(ChClose, &QPushButton::clicked, this, &TFormZPCJ::ChCloseClick);
    connectHandler(Setup, &QPushButton::clicked, this, &TFormZPCJ::SetupClick);
    connectHandler(cbsb, &QComboBox::activated, this, &TFormZPCJ::cbsbSelect);
    connect(cbsb, &QComboBox::currentIndexChanged, this, &TFormZPCJ::deviceChanged);
    connectHandler(Button2, &QPushButton::clicked, this, &TFormZPCJ::Button2Click);
    connectHandler(Button3, &QPushButton::clicked, this, &TFormZPCJ::Button3Click);
    connectHandler(Button4, &QPushButton::clicked, this, &TFormZPCJ::Button4Click);
    connectHandler(Button5, &QPushButton::clicked, this, &TFormZPCJ::Button5Click);
    connectHandler(VideoWin, &VideoWindow::mousePressed, this, &TFormZPCJ::VideoWindowMouseDown);
    connectHandler(VideoWin, &VideoWindow::mouseMoved, this, &TFormZPCJ::VideoWindowMouseMove);
    connectHandler(VideoWin, &VideoWindow::mouseReleased, this, &TFormZPCJ::VideoWindowMouseUp);
    connectHandler(&camera_, &FrameSource::formatNotice, this, &TFormZPCJ::tellCamera);
    connectHandler(&camera_, &FrameSource::errorOccurred, this,
                   [](TFormZPCJ* w, const QString& text) { w->tellCamera(QStringLiteral("视频设备出错：") + text); });
}

void TFormZPCJ::setData(TData* data) {
    data_ = data;
    DataSource1 = new DataSource(&data->QR1, QStringLiteral("学生表"), SubNumberField, this);
    DBGrid1->setDataSource(DataSource1);
    // The list is shared with the correction window, and read again when
    // students are written elsewhere: whoever moves or replaces it, the box
    // and the caption show its current row (none when it is empty), so a
    // capture never goes to a student of a list no longer shown.
    connectHandler(DataSource1, &DataSource::currentRowChanged, this, &TFormZPCJ::ShowCurrentStudent);
}

// --- creation and showing

void TFormZPCJ::FormCreate() {
    fillDevices();
    fillClasses();
    qApp->installEventFilter(this);
    shortcutsInstalled_ = true;
    AppDir = StationFolder::programFolder();
    Dragging = false;
    const PhotoSize::Size size = PhotoSize::readSetup(StationFolder::setupIni());
    PhotoWidth = size.width;
    PhotoHeight = size.height;
    Label7->setText(PhotoSize::startCaption(size));
    ResizePreview(PhotoWidth, PhotoHeight);
}

void TFormZPCJ::FormShow() {
    activateWindow();
    setFocus();
    fillDevices();
    fillClasses();
}

void TFormZPCJ::fillDevices() {
    const QSignalBlocker quiet(cbsb);
    cbsb->clear();
    cbsb->addItems(camera_.deviceNames());
    if (cbsb->count() > 0)
        cbsb->setCurrentIndex(0);
}

void TFormZPCJ::fillClasses() {
    ADOQuery1.close();
    ADOQuery1.setDatabasePath(StationFolder::registrationDb());
    ADOQuery1.setSql(QStringLiteral("select distinct 班级 from 学生表 order by 班级 asc"));
    ADOQuery1.open();
    const QSignalBlocker quiet(ComboBox4);
    ComboBox4->clear();
    for (int row = 0; row < ADOQuery1.recordCount(); ++row)
        ComboBox4->addItem(Query::textOf(ADOQuery1.value(row, 0)));
    if (ComboBox4->count() > 0)
        ComboBox4->setCurrentIndex(0);
}

void TFormZPCJ::ResizePreview(int width, int height) {
    if (Panel8->width() == width && Panel8->height() == height)
        return;
    const int dw = width - Panel8->width();
    const int dh = height - Panel8->height();
    Panel8->resize(Panel8->width() + dw, Panel8->height() + dh);
    Panel7->resize(Panel7->width() + dw, Panel7->height() + dh);
    Image1->resize(Panel8->size());
    Panel7->move(VideoWin->x() + VideoWin->width() + 30, Panel7->y());
    Label5->move((Panel8->width() - Label5->width()) / 2, (Panel8->height() - Label5->height()) / 2);
    Label5->resize(82, Label5->height());
    setFixedSize(882, 648);
}

void TFormZPCJ::setPhotoSize(int width, int height) {
    PhotoWidth = width;
    PhotoHeight = height;
}

void TFormZPCJ::setPhotoSizeCaption(const QString& text) { Label7->setText(text); }

// --- the student list

QString TFormZPCJ::listSql(bool makeUp, const QString& county, const QString& school, const QString& cls) {
    QString sql = QStringLiteral("select 班级,学业水平测试副号,姓名 from %1 where %2=%3")
                      .arg(makeUp ? QStringLiteral("补考表") : QStringLiteral("学生表"),
                           TestNumber::Sql::unitCode(SubNumberField),
                           sqlQuote(Text::trimmed(county) + Text::trimmed(school), SubNumberField));
    if (!cls.isNull())
        sql += QStringLiteral(" and 班级=") + sqlInteger(Text::trimmed(cls), QStringLiteral("班级"));
    return sql + QStringLiteral(" order by 班级,学业水平测试副号 asc");
}

Query* TFormZPCJ::list() const { return data_ ? &data_->QR1 : nullptr; }

bool TFormZPCJ::listOpen() const { return list() && list()->isOpen(); }

void TFormZPCJ::loadList(const QString& cls) {
    if (!RadioButton1->isChecked() && !RadioButton2->isChecked()) {
        Dialogs::current().message(QStringLiteral("请选择考试类型！"));
        return;
    }
    if (!list())
        return;
    Query& q = *list();
    try {
        q.close();
        q.setDatabasePath(StationFolder::registrationDb());
        q.setSql(listSql(RadioButton2->isChecked(), Edit1->text(), Edit2->text(), cls));
        q.open();
        if (DataSource1)
            DataSource1->first();
        q.first();
    } catch (...) {
        // A list that failed shows no student: a capture then cannot go to
        // a student of the list shown before.
        ShowListStudent();
        throw;
    }
    ShowListStudent();
}

void TFormZPCJ::ShowListStudent() {
    Label8->setText(QStringLiteral("学生总数：") + QString::number(listOpen() ? list()->recordCount() : 0));
    ShowCurrentSubNumber();
    ShowPhoto(PhotoPath());
    ShowStudentCaption();
}

void TFormZPCJ::ShowCurrentStudent() {
    ShowCurrentSubNumber();
    ShowStudentCaption();
    if (!keepPhoto_)
        ShowPhoto(PhotoPath());
}

void TFormZPCJ::Edit1Change() {
    if (Text::trimmed(Edit1->text()).size() >= 4)
        Edit2->setFocus();
}

void TFormZPCJ::Edit2Return() { loadList(QString()); }

void TFormZPCJ::ComboBox4Change() { loadList(ComboBox4->currentText()); }

void TFormZPCJ::NextStudent() {
    if (!list())
        return;
    if (DataSource1)
        DataSource1->next();
    else
        list()->next();
}

void TFormZPCJ::PriorStudent() {
    if (!list())
        return;
    if (DataSource1)
        DataSource1->prior();
    else
        list()->prior();
}

bool TFormZPCJ::hasCurrentStudent() const {
    const Query* q = list();
    return q && q->isOpen() && !q->isEmpty() && q->hasField(SubNumberField) && q->hasField(NameField);
}

// The box and the caption follow the list's current row; with no row (an
// empty or failed list) they are empty, so Tab asks for a sub-number.
void TFormZPCJ::ShowStudentCaption() {
    if (!hasCurrentStudent()) {
        Label6->clear();
        return;
    }
    Label6->setText(QStringLiteral("姓名：%1  学业水平测试副号：%2")
                        .arg(list()->text(NameField), list()->text(SubNumberField)));
}

void TFormZPCJ::ShowCurrentSubNumber() {
    Edit3->setText(hasCurrentStudent() ? list()->text(SubNumberField) : QString());
}

void TFormZPCJ::NextXSClick() {
    if (!listOpen()) {
        Dialogs::current().message(NoList);
        return;
    }
    NextStudent();
    ShowCurrentSubNumber();
    ShowStudentCaption();
    ShowPhoto(PhotoPath());
}

void TFormZPCJ::priorXSClick() {
    if (!listOpen()) {
        Dialogs::current().message(NoList);
        return;
    }
    PriorStudent();
    ShowCurrentSubNumber();
    ShowStudentCaption();
    ShowPhoto(PhotoPath());
}

void TFormZPCJ::DBGrid1CellClick(int row) {
    if (DataSource1)
        DataSource1->setCurrentRow(row);
    ShowStudentCaption();
    ShowCurrentSubNumber();
    ShowPhoto(PhotoPath());
}

void TFormZPCJ::Edit3Return() {
    Label6->clear();
    if (listOpen() && list()->locate(SubNumberField, Text::trimmed(Edit3->text()))) {
        if (DataSource1)
            DataSource1->setCurrentRow(list()->currentRow());
        ShowStudentCaption();
    }
    ShowPhoto(PhotoPath());
}

// --- photos

QString TFormZPCJ::PhotoPath() const { return PhotoStore::find(PhotoStore::folderOf(AppDir), Edit3->text()); }

void TFormZPCJ::ShowPhoto(const QString& path) {
    QPixmap photo;
    if (!path.isEmpty() && photo.load(path)) {
        Label5->hide();
        Image1->setPixmap(photo);
    } else {
        Image1->clear();
        Label5->show();
    }
}

void TFormZPCJ::afterCapture() {
    if (listOpen()) {
        // The photo just taken stays in view while the list moves on.
        const QScopedValueRollback<bool> keep(keepPhoto_, true);
        NextStudent();
        ShowCurrentSubNumber();
        ShowStudentCaption();
    } else {
        Dialogs::current().message(NoList);
    }
}

void TFormZPCJ::SaveImageClick() {
    TakePhoto();
    ShowPhoto(PhotoPath());
    afterCapture();
}

void TFormZPCJ::SetupClick() {
    if (settings_) {
        settings_->setPhotoWindow(this);
        Windows::showModalCentred(settings_);
    }
}

// --- the missing-photo check

void TFormZPCJ::CheckClick() {
    if (!listOpen())
        return;
    // The rows are read where they lie: the list stays on the student the
    // user was on, whom the box and the caption still show.
    const Query& q = *list();
    const int subColumn = q.fieldIndex(SubNumberField);
    const int nameColumn = q.fieldIndex(NameField);
    QVector<PhotoStore::ListedStudent> students;
    students.reserve(q.recordCount());
    for (int row = 0; row < q.recordCount(); ++row)
        students.append({Text::trimmed(Query::textOf(q.value(row, subColumn))), Query::textOf(q.value(row, nameColumn))});
    const QString unit = Text::trimmed(Edit1->text()) + Text::trimmed(Edit2->text());
    const QStringList lines =
        PhotoStore::missingPhotoReport(students, PhotoStore::folderOf(AppDir), q.databasePath(), unit);
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    Panel12->show();
    Panel12->raise();
}

void TFormZPCJ::ChCloseClick() {
    Memo1->clear();
    Panel12->hide();
}
