#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "IdCardReader.h"
#include "NativePlace.h"
#include "Profile.h"
#include "Query.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitPZ_DKQ.h"
#include "UnitSJLR.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTimer>
#include <QtTest>
#include <cstring>
#include <deque>
#include <memory>

namespace {

// A reader that answers from a script and records every call.
class ScriptedReader : public IdCardReader {
public:
    std::deque<int> finds; // answers of SDT_StartFindIDCard; NoCard when used up
    int select = Success;
    int read = Success;
    QByteArray card; // the text block SDT_ReadBaseMsg returns
    QStringList calls;

    int SDT_StartFindIDCard(int port, unsigned char*, int ifOpen) override {
        calls << QStringLiteral("find %1 %2").arg(port).arg(ifOpen);
        if (finds.empty())
            return NoCard;
        const int answer = finds.front();
        finds.pop_front();
        return answer;
    }
    int SDT_SelectIDCard(int port, unsigned char*, int ifOpen) override {
        calls << QStringLiteral("select %1 %2").arg(port).arg(ifOpen);
        return select;
    }
    int SDT_ReadBaseMsg(int port, unsigned char* text, unsigned int* textLength, unsigned char*,
                        unsigned int* photoLength, int ifOpen) override {
        calls << QStringLiteral("read %1 %2").arg(port).arg(ifOpen);
        if (read != Success)
            return read;
        std::memcpy(text, card.constData(), size_t(qMin(card.size(), qsizetype(TextBufferSize))));
        *textLength = unsigned(card.size());
        *photoLength = 0;
        return Success;
    }
};

QByteArray cardBlock(const QString& name, const QString& gender, const QString& address, const QString& id) {
    // Characters 1-15 name, 16 gender, 17-26 unused, 27-61 address, 62-79 ID.
    QString text = name.leftJustified(15, QLatin1Char(' ')) + gender.leftJustified(1, QLatin1Char(' ')) +
                   QString(10, QLatin1Char(' ')) + address.leftJustified(35, QLatin1Char(' ')) +
                   id.leftJustified(18, QLatin1Char(' '));
    text = text.leftJustified(128, QLatin1Char(' '));
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

} // namespace

class TestCardReading : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void readOnceFillsTheWindowAndSaves();
    void genderFromTheCard_data();
    void genderFromTheCard();
    void readerAnswers_data();
    void readerAnswers();
    void unknownPlaceIsSavedEmpty();
    void missingNativePlaceDatabaseStopsBeforeTheSave();
    void saveChecksStillApply();
    void automaticSwitch();
    void automaticStep();
    void timeoutReaderInAutomaticMode();
    void ticksWaitForAnOpenBox();
    void portFromSetup_data();
    void portFromSetup();
    void nativePlaceLookup();
    void settingsWindow();
    void refusedLibraryIsToldByTheReadAndTheSettings();

private:
    void prepareEntry(const QString& sequence = QStringLiteral("0001"));
    Query students();

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormSJLR> w_;
    ScriptedReader* reader_ = nullptr;
    QList<int> pauses_;
};

void TestCardReading::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    w_ = std::make_unique<TFormSJLR>();
    w_->Timer1->stop(); // ticks are driven by the tests
    auto reader = std::make_unique<ScriptedReader>();
    reader_ = reader.get();
    w_->setReader(std::move(reader));
    pauses_.clear();
    w_->setPause([this](int ms) { pauses_ << ms; });
}

void TestCardReading::cleanup() {
    w_.reset();
    dialogs_.reset();
    station_.reset();
}

void TestCardReading::prepareEntry(const QString& sequence) {
    // Class 1 has numbers reserved, so a save proposes the next quietly.
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("delete from 顺序号"));
    for (const char* n : {"0001", "0002", "0003"})
        c.execute(QStringLiteral("insert into 顺序号 values('0101','0002','%1',1)").arg(QLatin1String(n)));
    edit(w_.get(), "Edit1")->setText(QStringLiteral("09"));
    edit(w_.get(), "Edit2")->setText(QStringLiteral("0101"));
    edit(w_.get(), "Edit3")->setText(QStringLiteral("0002"));
    edit(w_.get(), "Edit4")->setText(sequence);
}

Query TestCardReading::students() {
    Query q;
    q.setDatabasePath(StationFolder::registrationDb());
    q.setSql(QStringLiteral("select * from 学生表 order by 序号"));
    q.open();
    return q;
}

void TestCardReading::readOnceFillsTheWindowAndSaves() {
    prepareEntry();
    w_->show();
    QVERIFY(QTest::qWaitForWindowExposed(w_.get()));
    reader_->finds = {IdCardReader::CardFound};
    reader_->card = cardBlock(QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("江苏省南京市玄武区某某路1号"),
                              QStringLiteral("32010220000101123X"));
    edit(w_.get(), "Edit5")->setFocus();
    button(w_.get(), "Button8")->click();

    QVERIFY(dialogs_->shown.isEmpty());
    Query q = students();
    QCOMPARE(q.recordCount(), 1);
    QCOMPARE(q.text(QStringLiteral("姓名")), QStringLiteral("张三")); // stored trimmed
    QCOMPARE(q.text(QStringLiteral("性别")), QStringLiteral("1"));
    QCOMPARE(q.text(QStringLiteral("学业水平测试号")), QStringLiteral("090101000210001"));
    QCOMPARE(q.text(QStringLiteral("身份证号")), QStringLiteral("32010220000101123X"));
    QCOMPARE(q.text(QStringLiteral("家庭住址")), QStringLiteral("江苏省南京市玄武区某某路1号"));
    QCOMPARE(q.text(QStringLiteral("籍贯")), QStringLiteral("江苏省南京市玄武区"));
    // The ID boxes moved the focus on to the native-place box.
    QCOMPARE(w_->focusWidget(), edit(w_.get(), "Edit24"));
    // Port first, 1 last.
    QCOMPARE(reader_->calls, (QStringList{"find 1001 1", "select 1001 1", "read 1001 1"}));
}

void TestCardReading::genderFromTheCard_data() {
    QTest::addColumn<QString>("code");
    QTest::addColumn<QString>("digit");
    QTest::newRow("1") << "1" << "1";
    QTest::newRow("2") << "2" << "2";
    QTest::newRow("blank") << " " << "2";
}

void TestCardReading::genderFromTheCard() {
    QFETCH(QString, code);
    prepareEntry();
    reader_->finds = {IdCardReader::CardFound};
    reader_->card = cardBlock(QStringLiteral("李四"), code, QStringLiteral("某地"), QStringLiteral("110101200001011234"));
    w_->Button8Click();
    QTEST(students().text(QStringLiteral("性别")), "digit");
    QCOMPARE(students().text(QStringLiteral("籍贯")), QStringLiteral("北京市东城区"));
}

void TestCardReading::readerAnswers_data() {
    QTest::addColumn<int>("find");
    QTest::addColumn<int>("select");
    QTest::addColumn<int>("read");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("pauses");
    QTest::newRow("no card") << 0x80 << 0x90 << 0x90 << "找卡失败！" << 1;
    QTest::newRow("timeout") << 2 << 0x90 << 0x90 << "通讯超时,请检查设备！" << 0;
    QTest::newRow("other answer") << 0x01 << 0x90 << 0x90 << "" << 0;
    QTest::newRow("select fails") << 0x9F << 0x41 << 0x90 << "读卡失败，请再次放卡重试" << 0;
    QTest::newRow("read fails") << 0x9F << 0x90 << 0x41 << "读卡失败，请再次放卡重试" << 0;
}

void TestCardReading::readerAnswers() {
    QFETCH(int, find);
    QFETCH(int, select);
    QFETCH(int, read);
    QFETCH(QString, message);
    QFETCH(int, pauses);
    prepareEntry();
    reader_->finds = {find};
    reader_->select = select;
    reader_->read = read;
    reader_->card = cardBlock(QStringLiteral("张三"), QStringLiteral("1"), QString(), QStringLiteral("320102"));
    w_->Button8Click();
    QCOMPARE(dialogs_->texts(), message.isEmpty() ? QStringList() : QStringList{message});
    QCOMPARE(pauses_, pauses ? QList<int>{300} : QList<int>());
    QCOMPARE(students().recordCount(), 0);
    QVERIFY(edit(w_.get(), "Edit5")->text().isEmpty()); // nothing filled
}

void TestCardReading::unknownPlaceIsSavedEmpty() {
    prepareEntry();
    reader_->finds = {IdCardReader::CardFound};
    reader_->card = cardBlock(QStringLiteral("王五"), QStringLiteral("2"), QString(), QStringLiteral("999999200001011234"));
    w_->Button8Click();
    QVERIFY(dialogs_->shown.isEmpty());
    QCOMPARE(students().text(QStringLiteral("籍贯")), QString());
    QCOMPARE(students().text(QStringLiteral("姓名")), QStringLiteral("王五"));
}

void TestCardReading::missingNativePlaceDatabaseStopsBeforeTheSave() {
    QFile::remove(StationFolder::nativePlaceDb());
    prepareEntry();
    reader_->finds = {IdCardReader::CardFound};
    reader_->card = cardBlock(QStringLiteral("王五"), QStringLiteral("2"), QStringLiteral("某地"),
                              QStringLiteral("320102200001011234"));
    w_->show();
    button(w_.get(), "Button8")->click();
    const QStringList errors = dialogs_->texts(QStringLiteral("error"));
    QCOMPARE(errors.size(), 1);
    QVERIFY(errors[0].contains(QStringLiteral("dmb.mdb")));
    QCOMPARE(students().recordCount(), 0);
    // The card's fields stay in the window.
    QCOMPARE(edit(w_.get(), "Edit5")->text(), QStringLiteral("王五"));
    QCOMPARE(edit(w_.get(), "Edit6")->text(), QStringLiteral("3"));
    QCOMPARE(combo(w_.get(), "ComboBox1")->currentText(), QStringLiteral("女"));
}

void TestCardReading::saveChecksStillApply() {
    prepareEntry();
    edit(w_.get(), "Edit1")->clear();
    reader_->finds = {IdCardReader::CardFound};
    reader_->card = cardBlock(QStringLiteral("张三"), QStringLiteral("1"), QString(), QStringLiteral("320102200001011234"));
    w_->Button8Click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("请填写入学年份！")});
    QCOMPARE(edit(w_.get(), "Edit5")->text(), QStringLiteral("张三"));
    QCOMPARE(students().recordCount(), 0);
}

void TestCardReading::automaticSwitch() {
    QPushButton* once = button(w_.get(), "Button8");
    QPushButton* automatic = button(w_.get(), "Button9");
    auto* status = control<QLabel>(w_.get(), "Label13");
    automatic->click();
    QVERIFY(w_->autoReading());
    QVERIFY(!once->isEnabled());
    QCOMPARE(automatic->text(), QStringLiteral("停止自动读二代身份证"));
    QCOMPARE(status->text(), QStringLiteral("自动读卡中，等待刷卡......"));
    automatic->click();
    QVERIFY(!w_->autoReading());
    QVERIFY(once->isEnabled());
    QCOMPARE(automatic->text(), QStringLiteral("自动读二代身份证"));
    QCOMPARE(status->text(), QString());

    // Reopening the window switches reading off but keeps the captions: the
    // first press then switches it on again, the second off.
    automatic->click();
    w_->show();
    QVERIFY(!w_->autoReading());
    QCOMPARE(automatic->text(), QStringLiteral("停止自动读二代身份证"));
    QVERIFY(!once->isEnabled());
    automatic->click();
    QVERIFY(w_->autoReading());
    automatic->click();
    QVERIFY(!w_->autoReading());
}

void TestCardReading::automaticStep() {
    auto* status = control<QLabel>(w_.get(), "Label13");
    reader_->card = cardBlock(QStringLiteral("张三"), QStringLiteral("1"), QString(), QStringLiteral("320102200001011234"));

    // Switched off: the reader is polled, nothing else happens.
    reader_->finds = {IdCardReader::CardFound};
    w_->Timer1Timer();
    QCOMPARE(reader_->calls, QStringList{"find 0 1"});
    QCOMPARE(students().recordCount(), 0);

    // Switched on with an empty sequence number: never reads.
    w_->Button9Click();
    prepareEntry(QString());
    reader_->calls.clear();
    reader_->finds = {IdCardReader::CardFound, IdCardReader::CardFound};
    w_->Timer1Timer();
    QCOMPARE(reader_->calls.size(), 1);
    QCOMPARE(students().recordCount(), 0);

    // A card vanishing between the two looks: wait.
    prepareEntry();
    reader_->finds = {IdCardReader::CardFound, IdCardReader::NoCard};
    w_->Timer1Timer();
    QCOMPARE(status->text(), QStringLiteral("自动读卡中，等待读卡......"));
    QCOMPARE(pauses_, QList<int>{300});

    // A card: read once and saved.
    reader_->finds = {IdCardReader::CardFound, IdCardReader::CardFound, IdCardReader::CardFound};
    w_->Timer1Timer();
    QCOMPARE(students().recordCount(), 1);
    QCOMPARE(status->text(), QStringLiteral("自动读卡中，等待读卡......"));
    // No card: nothing.
    w_->Timer1Timer();
    QCOMPARE(students().recordCount(), 1);
}

void TestCardReading::timeoutReaderInAutomaticMode() {
    prepareEntry();
    w_->Button9Click();
    for (int tick = 0; tick < 3; ++tick) {
        reader_->finds = {IdCardReader::Timeout, IdCardReader::Timeout, IdCardReader::Timeout};
        w_->Timer1Timer();
    }
    QCOMPARE(dialogs_->texts(),
             QStringList(3, QStringLiteral("通讯超时,请检查设备！")));
}

void TestCardReading::ticksWaitForAnOpenBox() {
    // While the box of one tick is open, the ticks that arrive do nothing.
    struct NestedTicks : FakeDialogs {
        TFormSJLR* window = nullptr;
        int nested = 0;
        void message(const QString& text) override {
            FakeDialogs::message(text);
            if (nested++ < 3)
                window->Timer1Timer(); // a tick while the box waits for the user
        }
    };
    dialogs_.reset();
    NestedTicks dialogs;
    dialogs.window = w_.get();
    prepareEntry();
    w_->Button9Click();
    reader_->finds = {IdCardReader::Timeout, IdCardReader::Timeout, IdCardReader::Timeout,
                      IdCardReader::Timeout, IdCardReader::Timeout, IdCardReader::Timeout};
    w_->Timer1Timer();
    QCOMPARE(dialogs.texts().size(), 1);
    QCOMPARE(reader_->calls.size(), 3);
    // Once the box is closed, the next tick runs again.
    w_->Timer1Timer();
    QCOMPARE(dialogs.texts().size(), 2);
}

void TestCardReading::portFromSetup_data() {
    QTest::addColumn<QString>("ini");
    QTest::addColumn<int>("port");
    QTest::newRow("no file: USB") << "" << 1001;
    QTest::newRow("USB") << "[READER]\r\nPORT=USB\r\n" << 1001;
    QTest::newRow("COM3") << "[READER]\r\nPORT=COM\r\n[COM]\r\nport=COM3\r\n" << 3;
    QTest::newRow("COM without port: COM1") << "[READER]\r\nPORT=COM\r\n" << 1;
    QTest::newRow("COM8") << "[READER]\r\nPORT=COM\r\n[COM]\r\nport=COM8\r\n" << 8;
    QTest::newRow("COM9 unchanged") << "[READER]\r\nPORT=COM\r\n[COM]\r\nport=COM9\r\n" << 0;
    QTest::newRow("com3 unchanged (case matters)") << "[READER]\r\nPORT=COM\r\n[COM]\r\nport=com3\r\n" << 0;
    QTest::newRow("usb unchanged (case matters)") << "[READER]\r\nPORT=usb\r\n" << 0;
}

void TestCardReading::portFromSetup() {
    QFETCH(QString, ini);
    QFETCH(int, port);
    if (!ini.isEmpty()) {
        QFile f(StationFolder::setupIni());
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(ini.toUtf8());
    }
    QCOMPARE(w_->readerPort(), 0); // zero until the window is shown
    w_->FormShow();
    QCOMPARE(w_->readerPort(), port);
    reader_->finds = {IdCardReader::NoCard};
    w_->Timer1Timer();
    QCOMPARE(reader_->calls, QStringList{QStringLiteral("find %1 1").arg(port)});
}

void TestCardReading::nativePlaceLookup() {
    Query q;
    const QString db = StationFolder::nativePlaceDb();
    QCOMPARE(nativePlaceOf(q, db, QStringLiteral("320102")), QStringLiteral("江苏省南京市玄武区"));
    QCOMPARE(nativePlaceOf(q, db, QStringLiteral("000000")), QString());
    QCOMPARE(nativePlaceOf(q, db, QStringLiteral("32'; drop table 籍贯对照表; --")), QString());
    {
        Connection c(db);
        c.execute(QStringLiteral("insert into 籍贯对照表 values('990001',' 甲省 ','  乙县 ')"));
        c.execute(QStringLiteral("insert into 籍贯对照表 values('990001','丙省','丁县')"));
    }
    QCOMPARE(nativePlaceOf(q, db, QStringLiteral("990001")), QStringLiteral("甲省乙县")); // the first of several
}

void TestCardReading::settingsWindow() {
    TFormPZ_DKQ settings;
    QCOMPARE(settings.windowTitle(), QStringLiteral("读卡器端口设置"));
    QCOMPARE(settings.size(), QSize(368, 272));
    auto* usb = control<QCheckBox>(&settings, "CheckBox1");
    QComboBox* port = combo(&settings, "ComboBox1");
    QComboBox* baud = combo(&settings, "ComboBox2");
    QCOMPARE(port->currentText(), QStringLiteral("COM1"));
    QCOMPARE(baud->currentText(), QStringLiteral("9600"));
    settings.show();
    QVERIFY(!control<QLabel>(&settings, "Label3")->isVisible()); // no library named: nothing to say
    QVERIFY(usb->isChecked());
    QVERIFY(!port->isEnabled());
    QVERIFY(!baud->isEnabled());
    QVERIFY(!control<QLabel>(&settings, "Label1")->isEnabled());
    usb->click();
    QVERIFY(port->isEnabled());
    QVERIFY(control<QLabel>(&settings, "Label2")->isEnabled());
    port->setCurrentText(QStringLiteral("COM4"));
    baud->setCurrentText(QStringLiteral("38400"));
    button(&settings, "Button1")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("设置完成！")});
    QVERIFY(!settings.isVisible());
    Profile setup(StationFolder::setupIni());
    QCOMPARE(setup.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QString()), QStringLiteral("COM"));
    QCOMPARE(setup.readString(QStringLiteral("COM"), QStringLiteral("port"), QString()), QStringLiteral("COM4"));
    QCOMPARE(setup.readString(QStringLiteral("COM"), QStringLiteral("baund"), QString()), QStringLiteral("38400"));
    w_->FormShow();
    QCOMPARE(w_->readerPort(), 4);

    // Reopened: USB again, whatever was saved; saving writes USB with the
    // (disabled) port and baud rate shown.
    settings.show();
    QVERIFY(usb->isChecked());
    button(&settings, "Button1")->click();
    QCOMPARE(setup.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QString()), QStringLiteral("USB"));
    QCOMPARE(setup.readString(QStringLiteral("COM"), QStringLiteral("port"), QString()), QStringLiteral("COM4"));
    // 退出 writes nothing.
    settings.show();
    usb->click();
    button(&settings, "Button2")->click();
    QCOMPARE(setup.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QString()), QStringLiteral("USB"));
    QCOMPARE(dialogs_->texts().size(), 2);
}

void TestCardReading::refusedLibraryIsToldByTheReadAndTheSettings() {
    // A library any user may replace is never loaded.
    QVERIFY(QDir(station_->path()).mkpath(QStringLiteral("reader")));
    const QString library = station_->file(QStringLiteral("reader/libcard.so"));
    QFile file(library);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QFile::setPermissions(library, QFileDevice::Permissions(0x6666)));
    Profile(StationFolder::setupIni())
        .writeString(QStringLiteral("READER"), QStringLiteral("LIBRARY"), QStringLiteral("reader/libcard.so"));
    QString warning;
    w_->setReader(IdCardReader::open(StationFolder::setupIni(), StationFolder::cardFolder(), &warning));
    QVERIFY2(warning.contains(library) && warning.contains(QStringLiteral("允许所有用户写入")), qPrintable(warning));

    prepareEntry();
    button(w_.get(), "Button8")->click();
    QCOMPARE(dialogs_->texts(), QStringList{warning});
    button(w_.get(), "Button9")->click(); // automatic reading would wait for nothing
    QCOMPARE(dialogs_->texts(), (QStringList{warning, warning}));
    QCOMPARE(button(w_.get(), "Button9")->text(), QStringLiteral("自动读二代身份证"));
    QVERIFY(button(w_.get(), "Button8")->isEnabled());
    QCOMPARE(students().recordCount(), 0);

    TFormPZ_DKQ settings;
    settings.show();
    auto* reason = control<QLabel>(&settings, "Label3");
    QVERIFY(reason->isVisible());
    QCOMPARE(reason->text(), warning);
}

QTEST_MAIN(TestCardReading)
#include "test_cardreading.moc"
