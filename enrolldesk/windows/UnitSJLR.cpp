#include "UnitSJLR.h"
#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "NativePlace.h"
#include "Profile.h"
#include "SequenceNumbers.h"
#include "StationFolder.h"
#include "TableChanges.h"
#include "TestNumber.h"
#include "Text.h"
#include "ui_UnitSJLR.h"

#include <QLineEdit>
#include <QThread>
#include <QTimer>

namespace {

int textLength(const QString& text) { return Gb18030::byteLength(Text::trimmed(text)); }

// The focus moves on by itself once the box holds `length` (trimmed) bytes,
// also when the program sets the text (as a card read does).
void moveWhenFilled(QLineEdit* box, int length, QWidget* next) {
    QObject::connect(box, &QLineEdit::textChanged, next, [length, next](const QString& text) {
        if (textLength(text) == length)
            next->setFocus();
    });
}

void moveOnEnter(QLineEdit* box, QWidget* next) {
    QObject::connect(box, &QLineEdit::returnPressed, next, [next] { next->setFocus(); });
}

// A change the user makes in an editable drop-down (choosing or typing), not
// one the program makes.
template <typename Receiver, typename Handler>
void onUserChange(QComboBox* box, Receiver* receiver, Handler handler) {
    connectHandler(box, &QComboBox::activated, receiver, handler);
    connectHandler(box->lineEdit(), &QLineEdit::textEdited, receiver, handler);
}

} // namespace

TFormSJLR::TFormSJLR(QWidget* parent) : DeskDialog(parent), ui(new Ui::TFormSJLR) {
    setupUi(ui);
    ui->ComboBox1->setCurrentText(QStringLiteral("男"));
    ui->ComboBox2->setCurrentText(QString());
    ui->ComboBox3->setCurrentText(QString());
    ui->ComboBox4->setCurrentText(QStringLiteral("1"));

    idBoxes_ = {ui->Edit6,  ui->Edit7,  ui->Edit8,  ui->Edit9,  ui->Edit10, ui->Edit11,
                ui->Edit12, ui->Edit13, ui->Edit14, ui->Edit15, ui->Edit16, ui->Edit17,
                ui->Edit18, ui->Edit19, ui->Edit20, ui->Edit21, ui->Edit22, ui->Edit23};
    phoneBoxes_ = {ui->Edit38, ui->Edit37, ui->Edit36, ui->Edit26, ui->Edit35, ui->Edit34,
                   ui->Edit33, ui->Edit32, ui->Edit31, ui->Edit30, ui->Edit28, ui->Edit29};

    DataSource1 = new DataSource(&ADOQuery4, QStringLiteral("学生表"), QStringLiteral("序号"), this);
    ui->DBGrid1->setDataSource(DataSource1);
    ui->DBNavigator1->setDataSource(DataSource1);
    DataSource2 = new DataSource(&ADOQuery5, QStringLiteral("顺序号"), QStringLiteral("rowid"), this);
    ui->DBGrid2->setDataSource(DataSource2);
    ui->DBNavigator2->setDataSource(DataSource2);

    connectHandler(ui->Button1, &QPushButton::clicked, this, &TFormSJLR::Button1Click);
    connectHandler(ui->Button2, &QPushButton::clicked, this, &TFormSJLR::Button2Click);
    connectHandler(ui->Button3, &QPushButton::clicked, this, &TFormSJLR::Button3Click);
    connectHandler(ui->Button4, &QPushButton::clicked, this, &TFormSJLR::Button4Click);
    connectHandler(ui->Button5, &QPushButton::clicked, this, &TFormSJLR::Button5Click);
    onUserChange(ui->ComboBox1, this, &TFormSJLR::ComboBox1Change);
    onUserChange(ui->ComboBox2, this, &TFormSJLR::ComboBox2Change);
    onUserChange(ui->ComboBox3, this, &TFormSJLR::ComboBox3Change);
    onUserChange(ui->ComboBox4, this, &TFormSJLR::ComboBox4Change);
    connectHandler(ui->Button8, &QPushButton::clicked, this, &TFormSJLR::Button8Click);
    connectHandler(ui->Button9, &QPushButton::clicked, this, &TFormSJLR::Button9Click);
    connectFocusRules();

    pause_ = [](int ms) { QThread::msleep(ms); };
    reader_ = std::make_unique<SimulatedCardReader>(StationFolder::cardFolder());
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connectHandler(Timer1, &QTimer::timeout, this, &TFormSJLR::Timer1Timer);
    Timer1->start();
}

void TFormSJLR::setReader(std::unique_ptr<IdCardReader> reader) { reader_ = std::move(reader); }

TFormSJLR::~TFormSJLR() { delete ui; }

void TFormSJLR::connectFocusRules() {
    moveWhenFilled(ui->Edit1, 2, ui->Edit2);
    moveWhenFilled(ui->Edit2, 4, ui->Edit3);
    moveOnEnter(ui->Edit4, ui->Edit5);
    moveOnEnter(ui->Edit5, ui->Edit6);
    for (int i = 0; i + 1 < idBoxes_.size(); ++i)
        moveWhenFilled(idBoxes_[i], 1, idBoxes_[i + 1]);
    moveWhenFilled(ui->Edit23, 1, ui->Edit24);
    moveOnEnter(ui->Edit24, ui->Edit25);
    moveOnEnter(ui->Edit25, phoneBoxes_.first());
    for (int i = 0; i + 1 < phoneBoxes_.size(); ++i)
        moveWhenFilled(phoneBoxes_[i], 1, phoneBoxes_[i + 1]);
    moveWhenFilled(ui->Edit29, 1, ui->Edit27);
    moveOnEnter(ui->Edit29, ui->Edit27);
    // Sequence number page
    moveWhenFilled(ui->Edit39, 4, ui->Edit40);
    moveOnEnter(ui->Edit41, ui->Edit43);
    moveOnEnter(ui->Edit43, ui->Button5);
}

void TFormSJLR::FormShow() {
    readReaderPort();
    autoRead_ = false; // only the switch; captions stay as they are
    ui->ComboBox3->setCurrentText(QStringLiteral("  "));
    ui->ComboBox4->setCurrentText(QStringLiteral("1")); // proposes nothing
}

void TFormSJLR::readReaderPort() {
    const Profile setup(StationFolder::setupIni());
    const QString port = setup.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QStringLiteral("USB"));
    if (port == QLatin1String("USB")) {
        readerPort_ = 1001;
    } else if (port == QLatin1String("COM")) {
        const QString com = setup.readString(QStringLiteral("COM"), QStringLiteral("port"), QStringLiteral("COM1"));
        for (int n = 1; n <= 8; ++n) {
            if (com == QStringLiteral("COM%1").arg(n))
                readerPort_ = n;
        }
    }
}

void TFormSJLR::fillFromCard(const CardText& card) {
    ui->Edit5->setText(card.name);
    ui->ComboBox1->setCurrentText(genderFromCode(card.genderCode));
    ui->Edit25->setText(card.address);
    // Each box that receives a character moves the focus on.
    for (int i = 0; i < idBoxes_.size(); ++i)
        idBoxes_[i]->setText(card.idNumber.mid(i, 1));
}

void TFormSJLR::Button8Click() {
    // A reader library that was refused: say why rather than "找卡失败！".
    if (const QString problem = reader_->problem(); !problem.isEmpty()) {
        Dialogs::current().message(problem);
        return;
    }
    unsigned char work[IdCardReader::WorkBufferSize] = {};
    const int found = reader_->SDT_StartFindIDCard(readerPort_, work, 1);
    if (found == IdCardReader::NoCard) {
        Dialogs::current().message(QStringLiteral("找卡失败！"));
        pause_(300);
        return;
    }
    if (found == IdCardReader::Timeout) {
        Dialogs::current().message(QStringLiteral("通讯超时,请检查设备！"));
        return;
    }
    if (found != IdCardReader::CardFound)
        return;
    if (reader_->SDT_SelectIDCard(readerPort_, work, 1) != IdCardReader::Success) {
        Dialogs::current().message(QStringLiteral("读卡失败，请再次放卡重试"));
        return;
    }
    unsigned char text[IdCardReader::TextBufferSize] = {};
    unsigned char photo[IdCardReader::PhotoBufferSize] = {};
    unsigned int textLength = 0;
    unsigned int photoLength = 0;
    if (reader_->SDT_ReadBaseMsg(readerPort_, text, &textLength, photo, &photoLength, 1) != IdCardReader::Success) {
        Dialogs::current().message(QStringLiteral("读卡失败，请再次放卡重试"));
        return;
    }
    // A reader must not claim more text than the buffer holds.
    const CardText card = decodeCardText(text, qMin<unsigned int>(textLength, IdCardReader::TextBufferSize));
    fillFromCard(card);
    ui->Edit24->setText(nativePlaceOf(ADOQuery3, StationFolder::nativePlaceDb(), card.divisionCode));
    Button1Click();
}

void TFormSJLR::Button9Click() {
    if (autoRead_ && ui->Button9->text() == QStringLiteral("停止自动读二代身份证")) {
        autoRead_ = false;
        ui->Button8->setEnabled(true);
        ui->Button9->setText(QStringLiteral("自动读二代身份证"));
        ui->Label13->clear();
    } else {
        // Waiting for cards that can never be read would look like work.
        if (const QString problem = reader_->problem(); !problem.isEmpty()) {
            Dialogs::current().message(problem);
            return;
        }
        autoRead_ = true;
        ui->Button8->setEnabled(false);
        ui->Button9->setText(QStringLiteral("停止自动读二代身份证"));
        ui->Button9->setEnabled(true);
        ui->Label13->setText(QStringLiteral("自动读卡中，等待刷卡......"));
    }
}

void TFormSJLR::Timer1Timer() {
    // A box raised by an earlier tick is still open: this tick does nothing,
    // so boxes never pile up behind one another.
    if (tickRunning_)
        return;
    tickRunning_ = true;
    struct Release {
        bool& flag;
        ~Release() { flag = false; }
    } release{tickRunning_};

    unsigned char work[IdCardReader::WorkBufferSize] = {};
    // The reader is polled on every tick, also with automatic reading off.
    if (reader_->SDT_StartFindIDCard(readerPort_, work, 1) == IdCardReader::NoCard || !autoRead_)
        return;
    if (ui->Edit4->text().isEmpty())
        return;
    if (reader_->SDT_StartFindIDCard(readerPort_, work, 1) == IdCardReader::NoCard) {
        ui->Label13->setText(QStringLiteral("自动读卡中，等待读卡......"));
        pause_(300);
        return;
    }
    ui->Label13->setText(QStringLiteral("验证卡成功！"));
    Button8Click();
    ui->Label13->setText(QStringLiteral("自动读卡中，等待读卡......"));
}

QString TFormSJLR::joinedTrimmed(const QVector<QLineEdit*>& boxes) const {
    QString joined;
    for (const QLineEdit* box : boxes)
        joined += Text::trimmed(box->text());
    return joined;
}

void TFormSJLR::Button1Click() {
    struct Required {
        QLineEdit* box;
        const char16_t* message;
    };
    const Required required[] = {
        {ui->Edit1, u"请填写入学年份！"}, {ui->Edit2, u"请填写县区代码！"},          {ui->Edit3, u"请填写学校代码！"},
        {ui->Edit4, u"请填写顺序号！"},   {ui->Edit5, u"姓名不能为空，请填写姓名！"},
    };
    for (const Required& r : required) {
        if (r.box->text().isEmpty()) {
            Dialogs::current().message(QString::fromUtf16(r.message));
            return;
        }
    }

    // A correction still being typed in the list is stored before the list
    // is read again below (a refused one stops the save here).
    DataSource1->settle();

    const QString database = StationFolder::registrationDb();
    const QString county = Text::trimmed(ui->Edit2->text());
    const QString school = Text::trimmed(ui->Edit3->text());
    const QString gender = TestNumber::genderDigit(ui->ComboBox1->currentText());
    const QString testNumber = TestNumber::compose(ui->Edit1->text(), county, school, ui->ComboBox1->currentText(),
                                                   ui->Edit4->text());

    ADOQuery1.close();
    ADOQuery1.setDatabasePath(database);
    ADOQuery1.setSql(
        QStringLiteral("insert into 学生表(学业水平测试号,学业水平测试副号,姓名,身份证号,性别,籍贯,家庭住址,联系电话,中考成绩,"
                       "班级,备注)values(") +
        sqlQuote(testNumber) + QLatin1Char(',') + sqlQuote(TestNumber::subNumber(testNumber)) + QLatin1Char(',') +
        sqlQuote(Text::trimmed(ui->Edit5->text())) + QLatin1Char(',') + sqlQuote(joinedTrimmed(idBoxes_)) +
        QLatin1Char(',') + sqlQuote(gender) + QLatin1Char(',') + sqlQuote(Text::trimmed(ui->Edit24->text())) +
        QLatin1Char(',') + sqlQuote(Text::trimmed(ui->Edit25->text())) + QLatin1Char(',') +
        sqlQuote(joinedTrimmed(phoneBoxes_)) + QLatin1Char(',') + sqlQuote(Text::trimmed(ui->Edit27->text())) +
        QLatin1Char(',') + sqlInteger(Text::trimmed(ui->ComboBox4->currentText()), QStringLiteral("班级")) +
        QLatin1Char(',') + sqlQuote(Text::trimmed(ui->Edit42->text())) + QLatin1Char(')'));
    ADOQuery1.execute();
    // The lists of other windows (the correction and photo windows') take
    // the new student in; this window's own list is read again below.
    TableChanges::announce(database, QStringLiteral("学生表"), DataSource1);

    // The next reserved number of the class.
    const QString next = SequenceNumbers::nextAfter(ADOQuery1, database, county, school,
                                                    Text::trimmed(ui->ComboBox4->currentText()),
                                                    Text::trimmed(ui->Edit4->text()));
    if (next.isEmpty())
        Dialogs::current().message(ui->ComboBox4->currentText() + QStringLiteral("班报名结束，请重新选择班级！"));
    else
        ui->Edit4->setText(next);

    ADOQuery4.close();
    ADOQuery4.setDatabasePath(database);
    ADOQuery4.setSql(QStringLiteral("select * from 学生表 order by 序号 desc"));
    ADOQuery4.open();
    DataSource1->reload();

    // Ready for the next student: the personal fields are emptied.
    clearPersonalFields();
    ui->Edit42->clear();
}

void TFormSJLR::Button2Click() { close(); }

void TFormSJLR::Button3Click() {
    ui->Edit4->clear();
    clearPersonalFields();
}

// Name, the ID boxes, native place, address, the phone boxes and score.
void TFormSJLR::clearPersonalFields() {
    ui->Edit5->clear();
    for (QLineEdit* box : idBoxes_)
        box->clear();
    ui->Edit24->clear();
    ui->Edit25->clear();
    for (QLineEdit* box : phoneBoxes_)
        box->clear();
    ui->Edit27->clear();
}

void TFormSJLR::Button4Click() {
    if (ui->Edit2->text().isEmpty()) {
        Dialogs::current().message(QStringLiteral("请填写县区代码！"));
        return;
    }
    if (ui->Edit3->text().isEmpty()) {
        Dialogs::current().message(QStringLiteral("请填写学校代码！"));
        return;
    }
    ui->Edit4->setText(SequenceNumbers::highestPlusOne(ADOQuerySXH, StationFolder::registrationDb(),
                                                       Text::trimmed(ui->Edit2->text()),
                                                       Text::trimmed(ui->Edit3->text())));
}

void TFormSJLR::ComboBox1Change() { ui->Edit4->setFocus(); }

void TFormSJLR::ComboBox3Change() { ui->Edit42->setText(ui->ComboBox3->currentText()); }

void TFormSJLR::ComboBox4Change() {
    const QString number = SequenceNumbers::firstFree(
        ADOQuery2, ADOQuerySXH, StationFolder::registrationDb(), Text::trimmed(ui->Edit2->text()),
        Text::trimmed(ui->Edit3->text()), Text::trimmed(ui->ComboBox4->currentText()));
    if (!number.isEmpty())
        ui->Edit4->setText(number);
}

void TFormSJLR::Button5Click() {
    if (ui->Edit39->text().isEmpty()) {
        Dialogs::current().message(QStringLiteral("请填写县区代码！"));
        return;
    }
    if (ui->Edit40->text().isEmpty()) {
        Dialogs::current().message(QStringLiteral("请填写学校代码！"));
        return;
    }
    DataSource2->settle(); // before the list is read again
    const long long start = Text::toInteger(Text::trimmed(ui->Edit41->text()));
    const long long end = Text::toInteger(Text::trimmed(ui->Edit43->text()));
    SequenceNumbers::reserve(StationFolder::registrationDb(), Text::trimmed(ui->Edit39->text()),
                             Text::trimmed(ui->Edit40->text()), Text::trimmed(ui->ComboBox2->currentText()), start,
                             end);
    ComboBox2Change();
}

void TFormSJLR::ComboBox2Change() {
    DataSource2->settle(); // a correction of the class shown so far is kept
    ADOQuery5.close();
    ADOQuery5.setDatabasePath(StationFolder::registrationDb());
    ADOQuery5.setSql(QStringLiteral("select rowid, * from 顺序号 where 班级=") +
                     sqlInteger(Text::trimmed(ui->ComboBox2->currentText()), QStringLiteral("班级")) +
                     QStringLiteral(" order by 顺序号 asc"));
    ADOQuery5.open();
    DataSource2->reload();
}
