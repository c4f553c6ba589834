#include "IdCardReader.h"
#include "Profile.h"
#include "TempStation.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QRegularExpression>
#include <QtTest>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#ifndef FAKEREADER_PATH
#error "FAKEREADER_PATH must name the stand-in reader library"
#endif

namespace {

QByteArray utf16le(const QString& text) {
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

CardText decode(const QByteArray& bytes) {
    return decodeCardText(reinterpret_cast<const unsigned char*>(bytes.constData()), unsigned(bytes.size()));
}

// A text block laid out by hand: name 1-15, gender 16, 17-26 unused,
// address 27-61; the ID number follows from character 62.
QString layout(const QString& name, const QString& gender, const QString& address) {
    return name.leftJustified(15) + gender + QString(10, QLatin1Char(' ')) + address.leftJustified(35);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

// One SDT_ReadBaseMsg call with buffers of the documented sizes.
struct ReadResult {
    int code = 0;
    QByteArray text;
    QByteArray photo;
};

ReadResult readCard(IdCardReader& reader, int port = 1001) {
    std::vector<unsigned char> text(IdCardReader::TextBufferSize), photo(IdCardReader::PhotoBufferSize);
    unsigned int textLength = 99, photoLength = 99;
    ReadResult r;
    r.code = reader.SDT_ReadBaseMsg(port, text.data(), &textLength, photo.data(), &photoLength, 1);
    r.text = QByteArray(reinterpret_cast<const char*>(text.data()), int(textLength));
    r.photo = QByteArray(reinterpret_cast<const char*>(photo.data()), int(photoLength));
    return r;
}

int find(IdCardReader& reader) {
    unsigned char work[IdCardReader::WorkBufferSize] = {};
    return reader.SDT_StartFindIDCard(1001, work, 1);
}

int select(IdCardReader& reader) {
    unsigned char work[IdCardReader::WorkBufferSize] = {};
    return reader.SDT_SelectIDCard(1001, work, 1);
}

bool isSimulated(const std::unique_ptr<IdCardReader>& reader) {
    return dynamic_cast<SimulatedCardReader*>(reader.get()) != nullptr;
}

QString makecardPath() {
#ifdef MAKECARD_PATH
    return QStringLiteral(MAKECARD_PATH);
#else
    const QString fromEnvironment = qEnvironmentVariable("DESK_MAKECARD");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // The build tree keeps tools/ beside tests/.
    for (QDir dir = QFileInfo(QStringLiteral(FAKEREADER_PATH)).absoluteDir(); !dir.isRoot(); dir.cdUp()) {
        if (QFileInfo(dir.filePath(QStringLiteral("tools/makecard"))).isExecutable())
            return dir.filePath(QStringLiteral("tools/makecard"));
    }
    return QString();
#endif
}

} // namespace

class TestIdCardReader : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();

    void decodesFieldsByPosition_data();
    void decodesFieldsByPosition();
    void genderCodes();
    void shortAndOddBlocks();
    void unpairedSurrogatesAreReplaced();
    void cardFileRoundTrip();
    void cardFileCutsLongFields();

    void simulatedReaderWithoutCard();
    void simulatedReaderReadsAndLiftsACard();
    void cardsAreTakenInNameOrder();
    void cardsOfAnySize_data();
    void cardsOfAnySize();
    void onlyFinishedCardFilesCount();
    void cardThatCannotBeLiftedIsNotRead();

    void openWithoutLibraryIsSimulated();
    void openLoadsTheLibrary();
    void libraryCannotOverrunTheBuffers();
    void unusableLibraryFallsBack_data();
    void unusableLibraryFallsBack();
    void relativeLibraryIsTakenFromTheStationFolder();
    void libraryOthersMayChangeIsNeverLoaded_data();
    void libraryOthersMayChangeIsNeverLoaded();

    void makecardPlacesACard();
    void makecardRefusesBadCommandLines();

private:
    std::unique_ptr<IdCardReader> openFake(QString* warning);

    QTemporaryDir dir_;
    QString cards_;
    void* fake_ = nullptr;
    void (*fakeReset_)() = nullptr;
    void (*fakeSetAnswers_)(int, int, int) = nullptr;
    void (*fakeSetCard_)(const unsigned char*, unsigned int, const unsigned char*, unsigned int) = nullptr;
    // Why this build tree cannot hold a library the station would load
    // (a folder above it writable by others); empty normally.
    QString trustProblem_;
    int (*fakeCallCount_)() = nullptr;
    int (*fakeCall_)(int, int*, int*, int*, int*) = nullptr;
};

void TestIdCardReader::initTestCase() {
    // Libraries are loaded only from folders nobody else may write: the
    // stations of these tests lie in the test's private runtime folder.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir().mkpath(runtime + QStringLiteral("/tmp"))) {
        QFile::setPermissions(runtime + QStringLiteral("/tmp"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("TMPDIR", QFile::encodeName(runtime + QStringLiteral("/tmp")));
    }
    trustProblem_ = IdCardReader::untrustedReason(QStringLiteral(FAKEREADER_PATH));
    QTemporaryFile probe;
    if (trustProblem_.isEmpty() && probe.open())
        trustProblem_ = IdCardReader::untrustedReason(probe.fileName());
    // The same loaded copy the station gets: its steering calls steer the station's reader.
    fake_ = dlopen(FAKEREADER_PATH, RTLD_NOW | RTLD_LOCAL);
    QVERIFY2(fake_, dlerror());
    fakeReset_ = reinterpret_cast<decltype(fakeReset_)>(dlsym(fake_, "fakereader_reset"));
    fakeSetAnswers_ = reinterpret_cast<decltype(fakeSetAnswers_)>(dlsym(fake_, "fakereader_set_answers"));
    fakeSetCard_ = reinterpret_cast<decltype(fakeSetCard_)>(dlsym(fake_, "fakereader_set_card"));
    fakeCallCount_ = reinterpret_cast<decltype(fakeCallCount_)>(dlsym(fake_, "fakereader_call_count"));
    fakeCall_ = reinterpret_cast<decltype(fakeCall_)>(dlsym(fake_, "fakereader_call"));
    QVERIFY(fakeReset_ && fakeSetAnswers_ && fakeSetCard_ && fakeCallCount_ && fakeCall_);
}

void TestIdCardReader::cleanupTestCase() {
    if (fake_)
        dlclose(fake_);
}

void TestIdCardReader::init() {
    cards_ =
        dir_.filePath(QString::fromLatin1(QTest::currentTestFunction()) + QLatin1Char('_') +
                      QString::fromLatin1(QTest::currentDataTag() ? QTest::currentDataTag() : "") + "/card");
    QVERIFY(QDir().mkpath(cards_));
    fakeReset_();
}

void TestIdCardReader::decodesFieldsByPosition_data() {
    QTest::addColumn<QString>("block");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("gender");
    QTest::addColumn<QString>("address");
    const QString address = QStringLiteral("江苏省南京市玄武区某路1号");
    QTest::newRow("padded name, male") << layout(QStringLiteral("张三"), QStringLiteral("1"), address)
                                       << QStringLiteral("张三") << QStringLiteral("男") << address;
    QTest::newRow("full name, female")
        << layout(QStringLiteral("欧阳娜娜娜娜娜娜娜娜娜娜娜娜娜"), QStringLiteral("2"), address)
        << QStringLiteral("欧阳娜娜娜娜娜娜娜娜娜娜娜娜娜") << QStringLiteral("女") << address;
    QTest::newRow("blank gender") << layout(QStringLiteral("李四"), QStringLiteral(" "), address)
                                  << QStringLiteral("李四") << QStringLiteral("女") << address;
    QTest::newRow("zero padding and full-width space stays")
        << layout(QStringLiteral("\u3000王五") + QString(5, QChar(0)), QStringLiteral("1"), QString())
        << QStringLiteral("\u3000王五") << QStringLiteral("男") << QString();
}

void TestIdCardReader::decodesFieldsByPosition() {
    QFETCH(QString, block);
    const CardText card = decode(utf16le(block + QStringLiteral("320102200001011234")));
    QTEST(card.name, "name");
    QTEST(genderFromCode(card.genderCode), "gender");
    QTEST(card.address, "address");
    QCOMPARE(card.idNumber, QStringLiteral("320102200001011234"));
    QCOMPARE(card.divisionCode, QStringLiteral("320102"));
}

void TestIdCardReader::genderCodes() {
    QCOMPARE(genderFromCode(QStringLiteral("1")), QStringLiteral("男"));
    for (const QString& other : {QStringLiteral("2"), QString(), QStringLiteral(" "), QStringLiteral("01"),
                                 QStringLiteral("1 "), QStringLiteral("男")})
        QCOMPARE(genderFromCode(other), QStringLiteral("女"));
}

void TestIdCardReader::shortAndOddBlocks() {
    const QByteArray full = makeCardFile(QStringLiteral("张三"), QStringLiteral("1"), QStringLiteral("某地"),
                                         QStringLiteral("320102200001011234"));
    // Part of the name only.
    CardText card = decode(full.left(4));
    QCOMPARE(card.name, QStringLiteral("张三"));
    QVERIFY(card.genderCode.isEmpty() && card.address.isEmpty() && card.idNumber.isEmpty());
    // An odd last byte is not half a character.
    card = decode(full.left(31));
    QCOMPARE(card.name, QStringLiteral("张三"));
    QVERIFY(card.genderCode.isEmpty());
    card = decode(full.left(33));
    QCOMPARE(card.genderCode, QStringLiteral("1"));
    // Cut in the middle of the ID number.
    card = decode(full.left(2 * 65));
    QCOMPARE(card.idNumber, QStringLiteral("3201"));
    QCOMPARE(card.divisionCode, QStringLiteral("3201"));
    // Nothing at all.
    QVERIFY(decode(QByteArray()).name.isEmpty());
    QVERIFY(decodeCardText(nullptr, 256).idNumber.isEmpty());
}

void TestIdCardReader::unpairedSurrogatesAreReplaced() {
    const QChar high(char16_t(0xD840)), low(char16_t(0xDC00)); // U+20000 as a pair
    QString block = layout(QStringLiteral("张") + low + QStringLiteral("三") + high + low,
                           QStringLiteral("1"), QStringLiteral("某地") + high);
    block[14] = high; // a pair split across name and gender code
    block[15] = low;
    const CardText card = decode(utf16le(block));
    QCOMPARE(card.name,
             QStringLiteral("张\uFFFD三\U00020000") + QString(9, QLatin1Char(' ')) + QChar(0xFFFD));
    QCOMPARE(card.genderCode, QString(QChar(0xFFFD)));
    QCOMPARE(genderFromCode(card.genderCode), QStringLiteral("女"));
    QCOMPARE(card.address, QStringLiteral("某地\uFFFD"));
}

void TestIdCardReader::cardFileRoundTrip() {
    const QByteArray photo(300, '\x5A');
    const QByteArray file = makeCardFile(QStringLiteral("司马相如"), QStringLiteral("1"),
                                         QStringLiteral("江苏省南京市玄武区某路1号"),
                                         QStringLiteral("32010220000101123X"), photo);
    QCOMPARE(file.size(), 256 + 300);
    QCOMPARE(file.mid(256), photo);
    QCOMPARE(file.mid(30, 2), QByteArray("1\0", 2));           // gender code at bytes 30-31
    QCOMPARE(file.mid(122, 4), utf16le(QStringLiteral("32"))); // ID number from byte 122
    QCOMPARE(file.mid(158, 98), utf16le(QString(49, QLatin1Char(' '))));
    const CardText card = decode(file.left(256));
    QCOMPARE(card.name, QStringLiteral("司马相如"));
    QCOMPARE(card.genderCode, QStringLiteral("1"));
    QCOMPARE(card.address, QStringLiteral("江苏省南京市玄武区某路1号"));
    QCOMPARE(card.idNumber, QStringLiteral("32010220000101123X"));
    QCOMPARE(card.divisionCode, QStringLiteral("320102"));
}

void TestIdCardReader::cardFileCutsLongFields() {
    const QString longName = QString(14, QChar(0x5F20)) + QStringLiteral("\U00020000"); // pair at 15-16
    const QByteArray file = makeCardFile(longName, QStringLiteral("12"), QString(40, QChar(0x8DEF)),
                                         QStringLiteral("3201022000010112345678"));
    QCOMPARE(file.size(), 256);
    const CardText card = decode(file);
    QCOMPARE(card.name, QString(14, QChar(0x5F20))); // the pair is left out whole
    QCOMPARE(card.genderCode, QStringLiteral("1"));
    QCOMPARE(card.address, QString(35, QChar(0x8DEF)));
    QCOMPARE(card.idNumber, QStringLiteral("320102200001011234"));
}

void TestIdCardReader::simulatedReaderWithoutCard() {
    for (const QString& folder : {dir_.filePath(QStringLiteral("missing")), cards_}) {
        SimulatedCardReader reader(folder);
        QCOMPARE(find(reader), IdCardReader::NoCard);
        QVERIFY(select(reader) != IdCardReader::Success);
        const ReadResult r = readCard(reader);
        QVERIFY(r.code != IdCardReader::Success);
        QVERIFY(r.text.isEmpty() && r.photo.isEmpty());
    }
}

void TestIdCardReader::simulatedReaderReadsAndLiftsACard() {
    const QByteArray photo(300, '\x17');
    const QByteArray file = makeCardFile(QStringLiteral("张三"), QStringLiteral("2"), QStringLiteral("某地"),
                                         QStringLiteral("320102200001011234"), photo);
    writeFile(cards_ + "/320102200001011234.card", file);
    SimulatedCardReader reader(cards_);
    QCOMPARE(find(reader), IdCardReader::CardFound);
    QCOMPARE(find(reader), IdCardReader::CardFound); // finding does not take the card
    QCOMPARE(select(reader), IdCardReader::Success);
    const ReadResult r = readCard(reader);
    QCOMPARE(r.code, IdCardReader::Success);
    QCOMPARE(r.text, file.left(256));
    QCOMPARE(r.photo, photo);
    QCOMPARE(decode(r.text).name, QStringLiteral("张三"));

    QVERIFY(!QFile::exists(cards_ + "/320102200001011234.card"));
    QCOMPARE(QFileInfo(cards_ + "/read/320102200001011234.card").size(), file.size());
    QCOMPARE(find(reader), IdCardReader::NoCard);
    QVERIFY(readCard(reader).code != IdCardReader::Success);
}

void TestIdCardReader::cardsAreTakenInNameOrder() {
    writeFile(cards_ + "/b.card", makeCardFile(QStringLiteral("乙"), "1", QString(), "2"));
    writeFile(cards_ + "/a.card", makeCardFile(QStringLiteral("甲"), "1", QString(), "1"));
    QVERIFY(QDir(cards_).mkpath("read"));
    writeFile(cards_ + "/read/a.card", "an earlier card of the same name");
    SimulatedCardReader reader(cards_);
    QCOMPARE(decode(readCard(reader).text).name, QStringLiteral("甲"));
    QCOMPARE(decode(readCard(reader).text).name, QStringLiteral("乙"));
    QCOMPARE(find(reader), IdCardReader::NoCard);
    QCOMPARE(QFileInfo(cards_ + "/read/a.card").size(), 256); // replaced
}

void TestIdCardReader::cardsOfAnySize_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("textLength");
    QTest::addColumn<int>("photoLength");
    QTest::newRow("empty") << 0 << 0 << 0;
    QTest::newRow("one byte") << 1 << 0 << 0;
    QTest::newRow("odd text") << 255 << 254 << 0;
    QTest::newRow("one photo byte") << 257 << 256 << 1;
    QTest::newRow("10 MB") << 10 * 1024 * 1024 << 256 << 1024;
}

void TestIdCardReader::cardsOfAnySize() {
    QFETCH(int, size);
    QByteArray bytes(size, '\0');
    for (int i = 0; i < std::min(size, 2000); ++i)
        bytes[i] = char(i * 7);
    writeFile(cards_ + "/x.card", bytes);
    SimulatedCardReader reader(cards_);
    QCOMPARE(find(reader), IdCardReader::CardFound);
    const ReadResult r = readCard(reader);
    QCOMPARE(r.code, IdCardReader::Success);
    QTEST(int(r.text.size()), "textLength");
    QTEST(int(r.photo.size()), "photoLength");
    QCOMPARE(r.text, bytes.left(r.text.size()));
    QCOMPARE(r.photo, bytes.mid(256, r.photo.size()));
    decode(r.text);
    QCOMPARE(find(reader), IdCardReader::NoCard);
}

void TestIdCardReader::onlyFinishedCardFilesCount() {
    const QByteArray card = makeCardFile("A", "1", QString(), "1");
    writeFile(cards_ + "/.hidden.card", card);
    writeFile(cards_ + "/notes.txt", card);
    writeFile(cards_ + "/1.card.Ab12Cd", card); // still being written
    writeFile(cards_ + "/1.CARD.tmp", card);
    QVERIFY(QDir(cards_).mkpath("folder.card"));
    QVERIFY(QDir(cards_).mkpath("sub"));
    writeFile(cards_ + "/sub/2.card", card);
    QCOMPARE(mkfifo(QFile::encodeName(cards_ + "/pipe.card").constData(), 0600), 0); // would block a read
    SimulatedCardReader reader(cards_);
    QCOMPARE(find(reader), IdCardReader::NoCard);
    QVERIFY(select(reader) != IdCardReader::Success);
    QVERIFY(readCard(reader).code != IdCardReader::Success);
}

void TestIdCardReader::cardThatCannotBeLiftedIsNotRead() {
    // A card left on the reader would be read and saved again on every poll.
    writeFile(cards_ + "/x.card", makeCardFile("A", "1", QString(), "1"));
    writeFile(cards_ + "/read", "a file where the read folder should be");
    SimulatedCardReader reader(cards_);
    const ReadResult r = readCard(reader);
    QVERIFY(r.code != IdCardReader::Success);
    QVERIFY(r.text.isEmpty());
    QVERIFY(QFile::exists(cards_ + "/x.card"));
}

std::unique_ptr<IdCardReader> TestIdCardReader::openFake(QString* warning) {
    TempStation station;
    Profile(station.file("setup.ini"))
        .writeString(QStringLiteral("READER"), QStringLiteral("LIBRARY"), QStringLiteral(FAKEREADER_PATH));
    return IdCardReader::open(station.file("setup.ini"), station.file("card/"), warning);
}

void TestIdCardReader::openWithoutLibraryIsSimulated() {
    TempStation station;
    QString warning = QStringLiteral("stale");
    auto reader = IdCardReader::open(station.file("setup.ini"), station.file("card/"), &warning); // no file
    QVERIFY(isSimulated(reader));
    QVERIFY(warning.isEmpty());
    writeFile(station.file("setup.ini"), "[READER]\r\nPORT=USB\r\nLIBRARY=\r\n");
    reader = IdCardReader::open(station.file("setup.ini"), station.file("card/"), nullptr);
    QVERIFY(isSimulated(reader));
    writeFile(station.file("card/1.card"), makeCardFile("A", "1", QString(), "1"));
    QCOMPARE(find(*reader), IdCardReader::CardFound);
}

void TestIdCardReader::openLoadsTheLibrary() {
    QString warning = QStringLiteral("stale");
    auto reader = openFake(&warning);
    QVERIFY(!isSimulated(reader));
    QVERIFY2(warning.isEmpty(), qPrintable(warning));

    const QByteArray text =
        makeCardFile(QStringLiteral("张三"), "1", QStringLiteral("某地"), "320102200001011234");
    const QByteArray photo(1024, '\x33');
    fakeSetCard_(reinterpret_cast<const unsigned char*>(text.constData()), 256,
                 reinterpret_cast<const unsigned char*>(photo.constData()), 1024);
    fakeSetAnswers_(IdCardReader::CardFound, IdCardReader::Success, IdCardReader::Success);
    QCOMPARE(find(*reader), IdCardReader::CardFound);
    QCOMPARE(select(*reader), IdCardReader::Success);
    ReadResult r = readCard(*reader, 3);
    QCOMPARE(r.code, IdCardReader::Success);
    QCOMPARE(r.text, text);
    QCOMPARE(r.photo, photo);

    // Whatever the library answers comes back unchanged.
    fakeSetAnswers_(IdCardReader::Timeout, 0x81, 0x41);
    QCOMPARE(find(*reader), IdCardReader::Timeout);
    QCOMPARE(select(*reader), 0x81);
    r = readCard(*reader);
    QCOMPARE(r.code, 0x41);
    QVERIFY(r.text.isEmpty() && r.photo.isEmpty());

    QCOMPARE(fakeCallCount_(), 6);
    const int functions[] = {1, 2, 3, 1, 2, 3};
    const int ports[] = {1001, 1001, 3, 1001, 1001, 1001};
    for (int i = 0; i < 6; ++i) {
        int function = 0, port = 0, ifOpen = 0, buffers = 0;
        QVERIFY(fakeCall_(i, &function, &port, &ifOpen, &buffers));
        QCOMPARE(function, functions[i]);
        QCOMPARE(port, ports[i]);
        QCOMPARE(ifOpen, 1);
        QCOMPARE(buffers, 1);
    }
}

void TestIdCardReader::libraryCannotOverrunTheBuffers() {
    auto reader = openFake(nullptr);
    const QByteArray text(300, 'T'), photo(1500, 'P');
    fakeSetCard_(reinterpret_cast<const unsigned char*>(text.constData()), 300,
                 reinterpret_cast<const unsigned char*>(photo.constData()), 1500);
    std::vector<unsigned char> textBuffer(256 + 64, 0xEE), photoBuffer(1024 + 64, 0xEE);
    unsigned int textLength = 0, photoLength = 0;
    QCOMPARE(
        reader->SDT_ReadBaseMsg(1001, textBuffer.data(), &textLength, photoBuffer.data(), &photoLength, 1),
        IdCardReader::Success);
    QCOMPARE(textLength, 256u);
    QCOMPARE(photoLength, 1024u);
    QCOMPARE(int(textBuffer[255]), int('T'));
    QCOMPARE(int(photoBuffer[1023]), int('P'));
    for (size_t i = 256; i < textBuffer.size(); ++i)
        QCOMPARE(int(textBuffer[i]), 0xEE);
    for (size_t i = 1024; i < photoBuffer.size(); ++i)
        QCOMPARE(int(photoBuffer[i]), 0xEE);
}

void TestIdCardReader::unusableLibraryFallsBack_data() {
    QTest::addColumn<QString>("library");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << dir_.filePath("nowhere/libreader.so") << QStringLiteral("文件不存在");
    QTest::newRow("not a library") << QStringLiteral("setup.ini") << QStringLiteral("不是可加载的库");
    // A real library that exports none of the three calls.
    Dl_info info{};
    QVERIFY(dladdr(reinterpret_cast<void*>(&qVersion), &info) && info.dli_fname);
    QTest::newRow("without the functions")
        << QFile::decodeName(info.dli_fname) << QStringLiteral("SDT_StartFindIDCard");
}

void TestIdCardReader::unusableLibraryFallsBack() {
    QFETCH(QString, library);
    QFETCH(QString, reason);
    TempStation station;
    writeFile(station.file("setup.ini"), "[READER]\r\nLIBRARY=" + QFile::encodeName(library) + "\r\n");
    QString warning;
    auto reader = IdCardReader::open(station.file("setup.ini"), station.file("card/"), &warning);
    QVERIFY(isSimulated(reader));
    const QString resolved = QDir::cleanPath(QDir(station.path()).absoluteFilePath(library));
    QVERIFY2(warning.contains(resolved), qPrintable(warning));
    QVERIFY2(warning.contains(reason), qPrintable(warning));
    QVERIFY2(warning.contains(QStringLiteral("模拟读卡器")), qPrintable(warning));
    // The loader's English ("invalid ELF header", "undefined symbol") stays out.
    QVERIFY2(!QString(warning).remove(resolved).contains(QRegularExpression(QStringLiteral("[A-Za-z]{2,} [A-Za-z]{2,}"))),
             qPrintable(warning));
    QCOMPARE(find(*reader), IdCardReader::NoCard);
}

void TestIdCardReader::relativeLibraryIsTakenFromTheStationFolder() {
    TempStation station;
    QVERIFY(QDir(station.path()).mkpath("reader"));
    QVERIFY(QFile::copy(QStringLiteral(FAKEREADER_PATH), station.file("reader/libcard.so")));
    writeFile(station.file("setup.ini"), "[READER]\r\nLIBRARY=reader/libcard.so\r\n");
    QString warning;
    auto reader = IdCardReader::open(station.file("setup.ini"), station.file("card/"), &warning);
    QVERIFY2(warning.isEmpty(), qPrintable(warning));
    QVERIFY(!isSimulated(reader));
    QCOMPARE(fakeCallCount_(), 0); // a copy of its own
    find(*reader);
    QCOMPARE(fakeCallCount_(), 0);
}

void TestIdCardReader::libraryOthersMayChangeIsNeverLoaded_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("reason");
    QTest::newRow("file writable by all") << "file 0666" << QStringLiteral("文件“%1”允许所有用户写入");
    QTest::newRow("folder writable by all") << "folder 0777" << QStringLiteral("文件夹“%2”允许所有用户写入");
    QTest::newRow("shared station folder") << "folder 2770" << QStringLiteral("文件夹“%2”允许同组用户写入");
    QTest::newRow("file of another user") << "owner" << QStringLiteral("文件“%1”属于其他用户（用户号 65534）");
}

void TestIdCardReader::libraryOthersMayChangeIsNeverLoaded() {
    QFETCH(QString, fault);
    QFETCH(QString, reason);
    if (!trustProblem_.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no folder here that only this user may write: ") + trustProblem_));
    TempStation station;
    const QString folder = station.file(QStringLiteral("reader"));
    const QString library = folder + QStringLiteral("/libcard.so");
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::copy(QStringLiteral(FAKEREADER_PATH), library));
    const QByteArray file = QFile::encodeName(library), dir = QFile::encodeName(folder);
    if (fault == QLatin1String("file 0666"))
        QVERIFY(::chmod(file.constData(), 0666) == 0);
    else if (fault == QLatin1String("folder 0777"))
        QVERIFY(::chmod(dir.constData(), 0777) == 0);
    else if (fault == QLatin1String("folder 2770"))
        QVERIFY(::chmod(dir.constData(), 02770) == 0);
    else if (::chown(file.constData(), 65534, gid_t(-1)) != 0)
        QSKIP("only root can give the file to another user");
    writeFile(station.file("setup.ini"), "[READER]\r\nLIBRARY=reader/libcard.so\r\n");

    QString warning;
    auto reader = IdCardReader::open(station.file("setup.ini"), station.file("card/"), &warning);
    const QString expected = QString(reason).replace(QStringLiteral("%1"), library).replace(QStringLiteral("%2"), folder);
    QVERIFY2(warning.startsWith(QStringLiteral("读卡器库 %1 不安全，没有加载：").arg(library)) && warning.contains(expected),
             qPrintable(warning));
    QCOMPARE(reader->problem(), warning);
    QCOMPARE(IdCardReader::libraryProblem(station.file("setup.ini")), warning);
    QVERIFY(!isSimulated(reader));
    QCOMPARE(find(*reader), IdCardReader::NoCard);
    QCOMPARE(readCard(*reader).code, IdCardReader::ReadFailed);
    QVERIFY2(!dlopen(file.constData(), RTLD_NOW | RTLD_NOLOAD), "the refused library was loaded");

    // Once only this user may change it, it loads.
    QVERIFY(::chmod(dir.constData(), 0755) == 0 && ::chmod(file.constData(), 0755) == 0 &&
            ::chown(file.constData(), ::geteuid(), gid_t(-1)) == 0);
    reader = IdCardReader::open(station.file("setup.ini"), station.file("card/"), &warning);
    QVERIFY2(warning.isEmpty(), qPrintable(warning));
    QVERIFY(reader->problem().isEmpty());
    QVERIFY(!isSimulated(reader));
    QVERIFY(IdCardReader::libraryProblem(station.file("setup.ini")).isEmpty());

    // A folder everybody may write but with the sticky bit (as /tmp) cannot
    // have our entries replaced in it.
    QVERIFY(::chmod(dir.constData(), 01777) == 0);
    QVERIFY2(IdCardReader::libraryProblem(station.file("setup.ini")).isEmpty(),
             qPrintable(IdCardReader::libraryProblem(station.file("setup.ini"))));
    QVERIFY(::chmod(file.constData(), 01777) == 0);
    QVERIFY(IdCardReader::libraryProblem(station.file("setup.ini")).contains(QStringLiteral("允许所有用户写入")));
}

void TestIdCardReader::makecardPlacesACard() {
    const QString tool = makecardPath();
    if (!QFileInfo(tool).isExecutable())
        QSKIP("makecard not found; set DESK_MAKECARD");
    TempStation station; // DESK_HOME names it
    const QString photoPath = dir_.filePath("photo.bin");
    writeFile(photoPath, QByteArray(100, 'J'));
    QProcess process;
    process.start(tool, {"--name", QStringLiteral("张三"), "--gender", "1", "--address",
                         QStringLiteral("江苏省南京市玄武区某路1号"), "--id", "320102200001011234", "--photo",
                         photoPath});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    const QString written = station.file("card/320102200001011234.card");
    QCOMPARE(QString::fromUtf8(process.readAllStandardOutput()).trimmed(), written);
    QCOMPARE(QDir(station.file("card")).entryList(QDir::Files | QDir::Hidden).size(), 1); // no temporary left

    SimulatedCardReader reader(station.file("card"));
    const ReadResult r = readCard(reader);
    QCOMPARE(r.code, IdCardReader::Success);
    QCOMPARE(r.photo, QByteArray(100, 'J'));
    const CardText card = decode(r.text);
    QCOMPARE(card.name, QStringLiteral("张三"));
    QCOMPARE(genderFromCode(card.genderCode), QStringLiteral("男"));
    QCOMPARE(card.address, QStringLiteral("江苏省南京市玄武区某路1号"));
    QCOMPARE(card.idNumber, QStringLiteral("320102200001011234"));

    // --station wins over DESK_HOME.
    process.start(tool,
                  {"--name", "B", "--gender", "2", "--address", "", "--id", "1", "--station", dir_.path()});
    QVERIFY(process.waitForFinished());
    QCOMPARE(process.exitCode(), 0);
    QVERIFY(QFile::exists(dir_.filePath("card/1.card")));
}

void TestIdCardReader::makecardRefusesBadCommandLines() {
    const QString tool = makecardPath();
    if (!QFileInfo(tool).isExecutable())
        QSKIP("makecard not found; set DESK_MAKECARD");
    const QString station = dir_.filePath("refused");
    const QList<QStringList> commandLines = {
        {"--name", "A", "--gender", "1", "--station", station},
        {"--name", "A", "--gender", "1", "--address", "X", "--id", "../../escape", "--station", station},
        {"--name", "A", "--gender", "1", "--address", "X", "--id", "1", "--station", station, "--out",
         "x.card"},
        {"--bogus"},
    };
    for (const QStringList& arguments : commandLines) {
        QProcess process;
        process.start(tool, arguments);
        QVERIFY(process.waitForFinished());
        QCOMPARE(process.exitCode(), 2);
        QVERIFY(!process.readAllStandardError().isEmpty());
    }
    QProcess process;
    process.start(tool, {"--name", "A", "--station", station});
    QVERIFY(process.waitForFinished());
    QVERIFY(process.readAllStandardError().contains("--gender, --address, --id"));
    QVERIFY(!QFile::exists(station));
    QVERIFY(!QFile::exists(dir_.filePath("escape.card")));
}

QTEST_GUILESS_MAIN(TestIdCardReader)
#include "test_idcardreader.moc"
