#include "UnitZPCJ.h"
#include "Database.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "StationFolder.h"
#include "Text.h"
#include "Unitdata.h"
#include "VideoWindow.h"
#include "Windows.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {

const QString NoList = QStringLiteral("没有选择学校学生信息！");
const QString SubNumberField = QStringLiteral("学业水平测试副号");
const QString NameField = QStringLiteral("姓名");

QLabel* label(QWidget* parent, const QString& text, int x, int y, int w = 120, int h = 20) {
    auto* l = new QLabel(text, parent);
    l->setGeometry(x, y, w, h);
    return l;
}

QPushButton* pushButton(QWidget* parent, const char* name, const QString& text, const QRect& geometry) {
    auto* b = new QPushButton(text, parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setGeometry(geometry);
    b->setFocusPolicy(Qt::NoFocus);
    return b;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const QRect& geometry) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(QString::fromLatin1(name));
    e->setGeometry(geometry);
    return e;
}

// "%Ns" on the local encoding: right-aligned in `width` bytes, never cut.
QString rightAligned(const QString& text, int width) {
    const int bytes = Gb18030::byteLength(text);
    return bytes >= width ? text : QString(width - bytes, QLatin1Char(' ')) + text;
}

} // namespace

TFormZPCJ::TFormZPCJ(QWidget* parent) : DeskDialog(parent) {
    setObjectName(QStringLiteral("FormZPCJ"));
    setWindowTitle(QStringLiteral("电子照片采集"));
    buildControls();
    applyManners();
    ErrorBoundary::run([this] { FormCreate(); });
}

TFormZPCJ::~TFormZPCJ() {
    if (shortcutsInstalled_)
        qApp->removeEventFilter(this);
}

void TFormZPCJ::buildControls() {
    // Left column: exam type, school, class, the list.
    RadioGroup1 = new QGroupBox(QStringLiteral("考试类型"), this);
    RadioGroup1->setObjectName(QStringLiteral("RadioGroup1"));
    RadioGroup1->setGeometry(8, 8, 244, 48);
    RadioButton1 = new QRadioButton(QStringLiteral("应届"), RadioGroup1);
    RadioButton1->setObjectName(QStringLiteral("RadioButton1"));
    RadioButton1->setGeometry(24, 20, 80, 20);
    RadioButton2 = new QRadioButton(QStringLiteral("补考"), RadioGroup1);
    RadioButton2->setObjectName(QStringLiteral("RadioButton2"));
    RadioButton2->setGeometry(136, 20, 80, 20);

    label(this, QStringLiteral("县区代码："), 8, 66);
    Edit1 = lineEdit(this, "Edit1", QRect(100, 64, 152, 22));
    setTypingLimit(Edit1, 4);
    label(this, QStringLiteral("学校代码："), 8, 94);
    Edit2 = lineEdit(this, "Edit2", QRect(100, 92, 152, 22));
    setTypingLimit(Edit2, 4);
    label(this, QStringLiteral("班　　级："), 8, 122);
    ComboBox4 = new QComboBox(this);
    ComboBox4->setObjectName(QStringLiteral("ComboBox4"));
    ComboBox4->setGeometry(100, 120, 152, 22);

    DBGrid1 = new DbGrid(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(8, 150, 244, 450);
    DBGrid1->setEditTriggers(QAbstractItemView::NoEditTriggers);

    Panel12 = new QFrame(this);
    Panel12->setObjectName(QStringLiteral("Panel12"));
    Panel12->setGeometry(DBGrid1->geometry());
    Panel12->setFrameShape(QFrame::Box);
    auto* title = new QLabel(QStringLiteral("未有相片学生"), Panel12);
    title->setGeometry(1, 1, 242, 22);
    title->setStyleSheet(QStringLiteral("background: blue; color: white;"));
    ChClose = pushButton(Panel12, "ChClose", QStringLiteral("×"), QRect(220, 2, 20, 20));
    Memo1 = new QPlainTextEdit(Panel12);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(1, 23, 242, 426);
    Memo1->setReadOnly(true);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    Panel12->hide();

    // Right column: camera, preview, current student, buttons.
    Panel3 = new QFrame(this);
    Panel3->setObjectName(QStringLiteral("Panel3"));
    Panel3->setGeometry(260, 0, 622, 648);
    VideoWin = new VideoWindow(Panel3);
    VideoWin->setObjectName(QStringLiteral("VideoWindow"));
    VideoWin->setGeometry(16, 16, VideoWindow::DefaultWidth, VideoWindow::DefaultHeight);
    VideoWin->setFocusPolicy(Qt::StrongFocus);
    VideoWin->setSource(&camera_);

    Panel7 = new QFrame(Panel3);
    Panel7->setObjectName(QStringLiteral("Panel7"));
    Panel7->setGeometry(447, 16, 102, 102);
    Panel7->setStyleSheet(QStringLiteral("#Panel7 { background: fuchsia; }"));
    Panel8 = new QFrame(Panel7);
    Panel8->setObjectName(QStringLiteral("Panel8"));
    Panel8->setGeometry(1, 1, 100, 100);
    Panel8->setStyleSheet(QStringLiteral("#Panel8 { background: white; }"));
    Image1 = new QLabel(Panel8);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setGeometry(0, 0, 100, 100);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label5 = new QLabel(QStringLiteral("空白"), Panel8);
    Label5->setObjectName(QStringLiteral("Label5"));
    Label5->setGeometry(9, 30, 82, 40);
    QFont blank = Label5->font();
    blank.setPixelSize(40);
    blank.setBold(true);
    Label5->setFont(blank);
    Label5->setStyleSheet(QStringLiteral("color: black;"));

    label(Panel3, QStringLiteral("学业水平测试副号："), 16, 372, 130);
    Edit3 = lineEdit(Panel3, "Edit3", QRect(150, 370, 200, 24));
    setTypingLimit(Edit3, 14);
    QFont bold = Edit3->font();
    bold.setBold(true);
    Edit3->setFont(bold);
    label(Panel3, QStringLiteral("当前相片尺寸："), 370, 372, 100);
    Label7 = label(Panel3, QString(), 470, 372, 140);
    Label7->setObjectName(QStringLiteral("Label7"));

    label(Panel3, QStringLiteral("视频设备选择："), 16, 404, 100);
    cbsb = new QComboBox(Panel3);
    cbsb->setObjectName(QStringLiteral("cbsb"));
    cbsb->setGeometry(120, 402, 296, 22);
    cbsb->setEditable(false);

    Label6 = label(Panel3, QString(), 16, 434, 590, 22);
    Label6->setObjectName(QStringLiteral("Label6"));
    Label6->setStyleSheet(QStringLiteral("color: red; font-weight: bold;"));
    Label8 = label(Panel3, QStringLiteral("学生总数："), 16, 462, 200, 22);
    Label8->setObjectName(QStringLiteral("Label8"));

    SaveImage = pushButton(Panel3, "SaveImage", QStringLiteral("拍摄(Tab键)"), QRect(16, 500, 120, 32));
    priorXS = pushButton(Panel3, "priorXS", QStringLiteral("上一学生（A） "), QRect(146, 500, 120, 32));
    NextXS = pushButton(Panel3, "NextXS", QStringLiteral("下一学生（D） "), QRect(276, 500, 120, 32));
    Setup = pushButton(Panel3, "Setup", QStringLiteral("设置"), QRect(16, 544, 120, 32));
    Check = pushButton(Panel3, "Check", QStringLiteral("检查拍照情况   "), QRect(146, 544, 120, 32));
    Button2 = pushButton(Panel3, "Button2", QStringLiteral("↑"), QRect(480, 500, 32, 32));
    Button3 = pushButton(Panel3, "Button3", QStringLiteral("↓"), QRect(480, 564, 32, 32));
    Button5 = pushButton(Panel3, "Button5", QStringLiteral("←"), QRect(446, 532, 32, 32));
    Button4 = pushButton(Panel3, "Button4", QStringLiteral("→"), QRect(514, 532, 32, 32));

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
    connectHandler(Button2, &QPushButton::clicked, this, &TFormZPCJ::Button2Click);
    connectHandler(Button3, &QPushButton::clicked, this, &TFormZPCJ::Button3Click);
    connectHandler(Button4, &QPushButton::clicked, this, &TFormZPCJ::Button4Click);
    connectHandler(Button5, &QPushButton::clicked, this, &TFormZPCJ::Button5Click);
    connectHandler(VideoWin, &VideoWindow::mousePressed, this, &TFormZPCJ::VideoWindowMouseDown);
    connectHandler(VideoWin, &VideoWindow::mouseMoved, this, &TFormZPCJ::VideoWindowMouseMove);
    connectHandler(VideoWin, &VideoWindow::mouseReleased, this, &TFormZPCJ::VideoWindowMouseUp);
}

void TFormZPCJ::setData(TData* data) {
    data_ = data;
    DataSource1 = new DataSource(&data->QR1, QStringLiteral("学生表"), SubNumberField, this);
    DBGrid1->setDataSource(DataSource1);
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
    QString sql = QStringLiteral("select 班级,学业水平测试副号,姓名 from %1 where substr(学业水平测试副号,3,8)=%2")
                      .arg(makeUp ? QStringLiteral("补考表") : QStringLiteral("学生表"),
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
    q.close();
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(listSql(RadioButton2->isChecked(), Edit1->text(), Edit2->text(), cls));
    q.open();
    Label8->setText(QStringLiteral("学生总数：") + QString::number(q.recordCount()));
    if (DataSource1)
        DataSource1->first();
    q.first();
    ShowCurrentSubNumber();
    ShowPhoto(PhotoPath());
    ShowStudentCaption();
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

void TFormZPCJ::ShowStudentCaption() {
    if (!listOpen() || list()->isEmpty())
        return;
    Label6->setText(QStringLiteral("姓名：%1  学业水平测试副号：%2")
                        .arg(list()->text(NameField), list()->text(SubNumberField)));
}

void TFormZPCJ::ShowCurrentSubNumber() {
    if (!listOpen() || list()->isEmpty())
        return;
    Edit3->setText(list()->text(SubNumberField));
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

QString TFormZPCJ::PhotoPath() const { return PhotoCapture::photoPath(AppDir, Edit3->text()); }

void TFormZPCJ::ShowPhoto(const QString& path) {
    QPixmap photo;
    if (QFileInfo::exists(path) && photo.load(path)) {
        Label5->hide();
        Image1->setPixmap(photo);
    } else {
        Image1->clear();
        Label5->show();
    }
}

void TFormZPCJ::afterCapture() {
    if (listOpen()) {
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

QString TFormZPCJ::reportLine(const QString& subNumber, const QString& name) {
    return rightAligned(subNumber, 20) + rightAligned(name, 8);
}

void TFormZPCJ::CheckClick() {
    if (!listOpen())
        return;
    const Query& q = *list();
    const int subColumn = q.fieldIndex(SubNumberField);
    const int nameColumn = q.fieldIndex(NameField);
    QStringList lines{reportLine(SubNumberField, NameField)};
    QSet<QString> listed;
    int missing = 0;
    for (int row = 0; row < q.recordCount(); ++row) {
        const QString sub = Text::trimmed(Query::textOf(q.value(row, subColumn)));
        listed.insert(sub);
        if (!QFileInfo::exists(AppDir + QStringLiteral("photo/") + sub + QStringLiteral(".jpg"))) {
            ++missing;
            lines << reportLine(sub, Query::textOf(q.value(row, nameColumn)));
        }
    }
    lines << QString()
          << QStringLiteral("共有学生：%1,未照相人数为：%2").arg(q.recordCount()).arg(missing);

    // Photos of the list's school that belong to no student of the list.
    const QString school = Text::trimmed(Edit1->text()) + Text::trimmed(Edit2->text());
    QStringList strays;
    const QStringList files = QDir(AppDir + QStringLiteral("photo")).entryList(QDir::Files, QDir::Name);
    for (const QString& file : files) {
        if (!file.endsWith(QStringLiteral(".jpg"), Qt::CaseInsensitive))
            continue;
        const QString sub = file.left(file.size() - 4);
        if (sub.mid(2, 8) == school && !listed.contains(sub))
            strays << file;
    }
    if (!strays.isEmpty()) {
        lines << QString() << QStringLiteral("不属于本名单学生的相片：");
        lines << strays;
    }
    Memo1->setPlainText(lines.join(QLatin1Char('\n')));
    if (DataSource1 && q.recordCount() > 0)
        DataSource1->last();
    Panel12->show();
    Panel12->raise();
}

void TFormZPCJ::ChCloseClick() {
    Memo1->clear();
    Panel12->hide();
}

// --- the camera

PhotoCapture::FrameRect TFormZPCJ::framingRect() const {
    return PhotoCapture::framingRect(frameCentre(), QSize(PhotoWidth, PhotoHeight));
}

void TFormZPCJ::cbsbSelect(int position) {
    camera_.stop();
    if (!camera_.start(position))
        return;
    const QPoint centre = PhotoCapture::initialCentre(VideoWin->size());
    FrameCenterX = centre.x();
    FrameCenterY = centre.y();
    DrawFrame();
    VideoWin->setFocus();
}

void TFormZPCJ::DrawFrame() { VideoWin->DrawFrame(framingRect().toQRect()); }

void TFormZPCJ::Button2Click() {
    --FrameCenterY;
    DrawFrame();
}

void TFormZPCJ::Button3Click() {
    ++FrameCenterY;
    DrawFrame();
}

void TFormZPCJ::Button4Click() {
    ++FrameCenterX;
    DrawFrame();
}

void TFormZPCJ::Button5Click() {
    --FrameCenterX;
    DrawFrame();
}

void TFormZPCJ::VideoWindowMouseDown() { Dragging = true; }

void TFormZPCJ::VideoWindowMouseUp() { Dragging = false; }

void TFormZPCJ::VideoWindowMouseMove(const QPoint& position) {
    if (!Dragging)
        return;
    // The pointer's own pixels, not rescaled to the frame.
    FrameCenterX = position.x();
    FrameCenterY = position.y();
    DrawFrame();
    VideoWin->setFocus();
}

void TFormZPCJ::TakePhoto() {
    const QImage frame = camera_.isActive() ? camera_.latestFrame() : QImage();
    const PhotoCapture::Outcome outcome =
        PhotoCapture::grabPhoto(frame, framingRect(), QSize(PhotoWidth, PhotoHeight), Edit3->text(), AppDir);
    if (outcome == PhotoCapture::Outcome::Saved)
        ShowPhoto(PhotoPath());
    else
        Dialogs::current().message(PhotoCapture::messageFor(outcome));
}

void TFormZPCJ::StopCamera() {
    camera_.stop();
    VideoWin->clearFrame();
}

void TFormZPCJ::closeEvent(QCloseEvent* event) {
    StopCamera();
    DeskDialog::closeEvent(event);
}

// --- the keyboard shortcuts

void TFormZPCJ::AppMessage(int key, bool& consumed) {
    consumed = key == Qt::Key_D || key == Qt::Key_A || (key == Qt::Key_Tab && !Text::trimmed(Edit3->text()).isEmpty());
    switch (key) {
    case Qt::Key_Up:
        Button2Click();
        return;
    case Qt::Key_Down:
        Button3Click();
        return;
    case Qt::Key_Left:
        Button5Click();
        return;
    case Qt::Key_Right:
        Button4Click();
        return;
    case Qt::Key_Tab:
        if (Text::trimmed(Edit3->text()).isEmpty()) {
            Dialogs::current().message(QStringLiteral("学业水平测试副号不能为空！"));
            return;
        }
        TakePhoto();
        ShowPhoto(PhotoPath());
        afterCapture();
        return;
    case Qt::Key_D:
        if (listOpen()) {
            NextStudent();
            ShowCurrentSubNumber();
            ShowPhoto(PhotoPath());
            ShowStudentCaption();
        }
        return;
    case Qt::Key_A:
        if (listOpen()) {
            PriorStudent();
            ShowCurrentSubNumber();
            ShowPhoto(PhotoPath());
            ShowStudentCaption();
        }
        return;
    default:
        return;
    }
}

bool TFormZPCJ::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched->isWidgetType() && isVisible() && isActiveWindow()) {
        // A key goes once to the focused control (then to its parents, if it
        // ignores it): the shortcuts act on that first delivery only.
        QWidget* focus = QApplication::focusWidget();
        auto* widget = static_cast<QWidget*>(watched);
        if (widget == (focus ? focus : this) && widget->window() == this) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
                return DeskDialog::eventFilter(watched, event);
            bool consumed = false;
            ErrorBoundary::run([&] { AppMessage(key->key(), consumed); });
            if (consumed)
                return true;
        }
    }
    return DeskDialog::eventFilter(watched, event);
}
