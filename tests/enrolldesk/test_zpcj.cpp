#include "Controls.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Jpeg.h"
#include "PhotoStore.h"
#include "Station.h"
#include "StationFolder.h"
#include "TempStation.h"
#include "UnitZPCJ.h"
#include "Unitdata.h"
#include "VideoWindow.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <memory>

class TestZPCJ : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { qputenv("DESK_TEST_CAMERA", "1"); }
    void init();
    void cleanup() { w_.reset(), data_.reset(), dialogs_.reset(), station_.reset(); }
    void listSql();
    void previewFitsThePhotoSize();
    void listsOfBothExamTypesAndClass();
    void navigationStopsAtTheEnds();
    void shortcuts();
    void missingPhotoReport();
    void captureFromTheTestCamera();
    void frameMoves();
    void settingsDialogResizesTheStationsWindow();
    void boxAndCaptionFollowTheList();
    void checkLeavesTheListOnTheStudent();
    void straysBelongToNoStudentOfTheSchool();
    void photosWhateverTheCaseOfTheirExtension();
    void subNumberThatCannotNameAFile();
    void cameraProblemsAreToldOnce();
    void deviceStartsWhenChosen();

private:
    void startTestCamera();
    QStringList photos() { return QDir(StationFolder::photoFolder()).entryList(QDir::Files, QDir::Name); }
    void student(const char* table, const QString& sub, const QString& name, int cls);
    void loadList(bool makeUp);
    QString sub() { return edit(w_.get(), "Edit3")->text(); }
    void key(int k) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(k)); }

    std::unique_ptr<TempStation> station_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TData> data_;
    std::unique_ptr<TFormZPCJ> w_;
};

void TestZPCJ::init() {
    station_ = std::make_unique<TempStation>();
    dialogs_ = std::make_unique<FakeDialogs>();
    student("学生表", QStringLiteral("09010100020002"), QStringLiteral("李四"), 2);
    student("学生表", QStringLiteral("09010100020001"), QStringLiteral("张三"), 1);
    student("学生表", QStringLiteral("09010100020003"), QStringLiteral("欧阳小明"), 2);
    student("学生表", QStringLiteral("09010100030001"), QStringLiteral("别校"), 1);
    student("补考表", QStringLiteral("08010100020009"), QStringLiteral("王五"), 2);
    data_ = std::make_unique<TData>();
    w_ = std::make_unique<TFormZPCJ>();
    w_->setData(data_.get());
    w_->show();
    QVERIFY(QTest::qWaitForWindowActive(w_.get()));
}

void TestZPCJ::student(const char* table, const QString& sub, const QString& name, int cls) {
    Connection c(StationFolder::registrationDb());
    c.execute(QStringLiteral("insert into %1(学业水平测试副号,姓名,班级) values(:s,:n,:k)").arg(QString::fromUtf8(table)),
              {{QStringLiteral(":s"), sub}, {QStringLiteral(":n"), name}, {QStringLiteral(":k"), cls}});
}

void TestZPCJ::loadList(bool makeUp) {
    control<QRadioButton>(w_.get(), makeUp ? "RadioButton2" : "RadioButton1")->setChecked(true);
    edit(w_.get(), "Edit1")->setText(QStringLiteral("0101"));
    edit(w_.get(), "Edit2")->setText(QStringLiteral("0002"));
    QTest::keyClick(edit(w_.get(), "Edit2"), Qt::Key_Return);
}

void TestZPCJ::listSql() {
    QCOMPARE(TFormZPCJ::listSql(false, QStringLiteral(" 0101"), QStringLiteral("0002 ")),
             QStringLiteral("select 班级,学业水平测试副号,姓名 from 学生表 where substr(学业水平测试副号,3,8) COLLATE NOCASE='01010002' "
                            "order by 班级,学业水平测试副号 asc"));
    QCOMPARE(TFormZPCJ::listSql(true, QStringLiteral("0101"), QStringLiteral("0002"), QStringLiteral(" 2")),
             QStringLiteral("select 班级,学业水平测试副号,姓名 from 补考表 where substr(学业水平测试副号,3,8) COLLATE NOCASE='01010002' "
                            "and 班级=2 order by 班级,学业水平测试副号 asc"));
    // A class that is not a number cannot change the statement.
    QVERIFY_THROWS_EXCEPTION(DbError, TFormZPCJ::listSql(false, "0101", "0002", QStringLiteral("1 or 1=1")));
}

void TestZPCJ::previewFitsThePhotoSize() {
    auto* panel7 = control<QFrame>(w_.get(), "Panel7");
    auto* panel8 = control<QFrame>(w_.get(), "Panel8");
    auto* blank = control<QLabel>(w_.get(), "Label5");
    QCOMPARE(panel8->size(), QSize(168, 240));
    QCOMPARE(panel7->size(), QSize(170, 242));
    QCOMPARE(panel7->x(), 447);
    QCOMPARE(blank->x(), (168 - 82) / 2);
    QCOMPARE(control<QLabel>(w_.get(), "Label7")->text(), QStringLiteral("168 × 240"));
    w_->ResizePreview(100, 150);
    QCOMPARE(panel7->size(), QSize(102, 152));
    QCOMPARE(w_->size(), QSize(882, 648));
}

void TestZPCJ::listsOfBothExamTypesAndClass() {
    QTest::keyClick(edit(w_.get(), "Edit2"), Qt::Key_Return);
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("请选择考试类型！")});
    QVERIFY(!data_->QR1.isOpen());

    loadList(false);
    QCOMPARE(data_->QR1.recordCount(), 3);
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    QCOMPARE(control<QLabel>(w_.get(), "Label8")->text(), QStringLiteral("学生总数：3"));
    QCOMPARE(control<QLabel>(w_.get(), "Label6")->text(),
             QStringLiteral("姓名：张三  学业水平测试副号：09010100020001"));

    // The class box offers the classes of 学生表 also for make-up lists.
    loadList(true);
    QCOMPARE(sub(), QStringLiteral("08010100020009"));
    auto* classes = combo(w_.get(), "ComboBox4");
    QCOMPARE(classes->count(), 2);
    classes->setCurrentIndex(0);
    emit classes->activated(0);
    QCOMPARE(data_->QR1.recordCount(), 0);
    classes->setCurrentIndex(1);
    emit classes->activated(1);
    QCOMPARE(data_->QR1.recordCount(), 1);
    QCOMPARE(sub(), QStringLiteral("08010100020009"));
}

void TestZPCJ::navigationStopsAtTheEnds() {
    button(w_.get(), "NextXS")->click();
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("没有选择学校学生信息！")});
    loadList(false);
    button(w_.get(), "priorXS")->click();
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    for (int i = 0; i < 4; ++i)
        button(w_.get(), "NextXS")->click();
    QCOMPARE(sub(), QStringLiteral("09010100020003"));
    QCOMPARE(data_->QR1.text(QStringLiteral("姓名")), QStringLiteral("欧阳小明"));

    // A typed number is found in the list; one that is not is still shown.
    edit(w_.get(), "Edit3")->setText(QStringLiteral("09010100020002"));
    QTest::keyClick(edit(w_.get(), "Edit3"), Qt::Key_Return);
    QCOMPARE(data_->QR1.text(QStringLiteral("姓名")), QStringLiteral("李四"));
    edit(w_.get(), "Edit3")->setText(QStringLiteral("09010100029999"));
    QTest::keyClick(edit(w_.get(), "Edit3"), Qt::Key_Return);
    QCOMPARE(control<QLabel>(w_.get(), "Label6")->text(), QString());
    QCOMPARE(data_->QR1.text(QStringLiteral("姓名")), QStringLiteral("李四"));
}

void TestZPCJ::shortcuts() {
    // No list: D and A do nothing, and are consumed (the box stays empty).
    auto* county = edit(w_.get(), "Edit1");
    county->setFocus();
    key(Qt::Key_D);
    QCOMPARE(county->text(), QString());
    // Tab with an empty sub-number: the message, and the focus moves on.
    key(Qt::Key_Tab);
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("学业水平测试副号不能为空！")});
    QVERIFY(!county->hasFocus());

    loadList(false);
    dialogs_->clear();
    county->setFocus();
    key(Qt::Key_D);
    QCOMPARE(sub(), QStringLiteral("09010100020002"));
    key(Qt::Key_A);
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    // Arrows move the frame and still reach the box.
    county->setText(QStringLiteral("0101"));
    county->setCursorPosition(4);
    const QPoint centre = w_->frameCentre();
    key(Qt::Key_Left);
    QCOMPARE(w_->frameCentre(), centre + QPoint(-1, 0));
    QCOMPARE(county->cursorPosition(), 3);
    // Tab with a number but no camera: the camera message, the list moves
    // on, the key is consumed (the focus stays).
    key(Qt::Key_Tab);
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("没有连接上视频设备，请连接。")});
    QVERIFY(county->hasFocus());
    QCOMPARE(sub(), QStringLiteral("09010100020002"));
}

void TestZPCJ::missingPhotoReport() {
    button(w_.get(), "Check")->click(); // no list: nothing
    QVERIFY(!control<QFrame>(w_.get(), "Panel12")->isVisible());
    loadList(false);
    for (const char* name : {"09010100020002.jpg", "09010100029999.jpg", "09010100030001.jpg"}) {
        QFile f(StationFolder::photoFolder() + QString::fromLatin1(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    button(w_.get(), "Check")->click();
    QVERIFY(control<QFrame>(w_.get(), "Panel12")->isVisible());
    const QString expected = QStringLiteral("    学业水平测试副号    姓名\n"
                                            "      09010100020001    张三\n"
                                            "      09010100020003欧阳小明\n"
                                            "\n"
                                            "共有学生：3,未照相人数为：2\n"
                                            "\n"
                                            "不属于本名单学生的相片：\n"
                                            "09010100029999.jpg");
    auto* memo = control<QPlainTextEdit>(w_.get(), "Memo1");
    QCOMPARE(memo->toPlainText(), expected);
    // A list of one class: the photo of a student of another class of the
    // school is no stray.
    combo(w_.get(), "ComboBox4")->setCurrentText(QStringLiteral("1"));
    w_->ComboBox4Change();
    button(w_.get(), "Check")->click();
    QVERIFY(memo->toPlainText().endsWith(QStringLiteral("不属于本名单学生的相片：\n09010100029999.jpg")));
    button(w_.get(), "ChClose")->click();
    QVERIFY(memo->toPlainText().isEmpty());
    QVERIFY(!control<QFrame>(w_.get(), "Panel12")->isVisible());
}

void TestZPCJ::captureFromTheTestCamera() {
    loadList(false);
    auto* devices = combo(w_.get(), "cbsb");
    const int test = devices->findText(FrameSource::testDeviceName());
    QVERIFY(test >= 0);
    emit devices->activated(test);
    QCOMPARE(w_->frameCentre(), QPoint(319, 239));
    QTRY_VERIFY(!w_->camera().latestFrame().isNull());
    button(w_.get(), "SaveImage")->click();
    QCOMPARE(dialogs_->texts(), QStringList());
    QFile photo(StationFolder::photoFolder() + QStringLiteral("09010100020001.jpg"));
    QVERIFY(photo.open(QIODevice::ReadOnly));
    const QImage image = Jpeg::decode(photo.readAll());
    QCOMPARE(image.size(), QSize(168, 240));
    QCOMPARE(sub(), QStringLiteral("09010100020002"));
    QVERIFY(!control<QLabel>(w_.get(), "Label5")->isVisible());
    w_->close();
    QVERIFY(!w_->camera().isActive());
}

void TestZPCJ::frameMoves() {
    auto* video = control<VideoWindow>(w_.get(), "VideoWindow");
    button(w_.get(), "Button4")->click();
    button(w_.get(), "Button4")->click();
    button(w_.get(), "Button2")->click();
    QCOMPARE(w_->frameCentre(), QPoint(2, -1)); // no bounds
    QTest::mouseMove(video, QPoint(10, 10));
    QCOMPARE(w_->frameCentre(), QPoint(2, -1)); // not dragging
    emit video->mousePressed(Qt::LeftButton, QPoint(5, 5));
    emit video->mouseMoved(QPoint(200, 172));
    emit video->mouseReleased(Qt::LeftButton, QPoint(200, 172));
    emit video->mouseMoved(QPoint(300, 300));
    QCOMPARE(w_->frameCentre(), QPoint(200, 172));
    QCOMPARE(w_->framingRect().left, 200 - 168);
}

void TestZPCJ::settingsDialogResizesTheStationsWindow() {
    EnrollStation station;
    TFormZPSZ* settings = station.FormZPSZ;
    QCOMPARE(settings->photoWindow(), static_cast<PhotoSizeTarget*>(station.FormZPCJ));
    edit(settings, "Edit1")->setText(QStringLiteral("200"));
    edit(settings, "Edit2")->setText(QStringLiteral("280"));
    button(settings, "Button1")->click();
    QCOMPARE(QSize(station.FormZPCJ->PhotoWidth, station.FormZPCJ->PhotoHeight), QSize(200, 280));
    QCOMPARE(control<QFrame>(station.FormZPCJ, "Panel8")->size(), QSize(200, 280));
    QCOMPARE(control<QLabel>(station.FormZPCJ, "Label7")->text(), QStringLiteral("200 ×280"));
}

void TestZPCJ::startTestCamera() {
    auto* devices = combo(w_.get(), "cbsb");
    const int test = devices->findText(FrameSource::testDeviceName());
    QVERIFY(test >= 0);
    emit devices->activated(test);
    QTRY_VERIFY(!w_->camera().latestFrame().isNull());
}

// After any list load the box and the caption show the list's current
// student, or nothing: a capture never goes to a student of another list.
void TestZPCJ::boxAndCaptionFollowTheList() {
    auto* caption = control<QLabel>(w_.get(), "Label6");
    loadList(false);
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    edit(w_.get(), "Edit2")->setText(QStringLiteral("0009")); // a school without students
    QTest::keyClick(edit(w_.get(), "Edit2"), Qt::Key_Return);
    QCOMPARE(sub(), QString());
    QCOMPARE(caption->text(), QString());
    QCOMPARE(control<QLabel>(w_.get(), "Label8")->text(), QStringLiteral("学生总数：0"));
    startTestCamera();
    edit(w_.get(), "Edit1")->setFocus();
    key(Qt::Key_Tab);
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("学业水平测试副号不能为空！")});
    QVERIFY(photos().isEmpty());

    // A list that cannot be read shows no student either.
    loadList(false);
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    const QString db = StationFolder::registrationDb();
    QVERIFY(QFile::rename(db, db + QStringLiteral(".away")));
    dialogs_->clear();
    QTest::keyClick(edit(w_.get(), "Edit2"), Qt::Key_Return);
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    QCOMPARE(sub(), QString());
    QCOMPARE(caption->text(), QString());
    QVERIFY(QFile::rename(db + QStringLiteral(".away"), db));

    // The list is shared with the correction window: a school it lists there
    // (none here) is the list the box and the caption follow.
    loadList(false);
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    data_->QR1.close();
    data_->QR1.setSql(QStringLiteral("select * from 学生表 where 学业水平测试号='090101000920001'"));
    data_->QR1.open();
    QCOMPARE(sub(), QString());
    QCOMPARE(caption->text(), QString());
    dialogs_->clear();
    edit(w_.get(), "Edit1")->setFocus();
    key(Qt::Key_Tab);
    QCOMPARE(dialogs_->texts(), QStringList{QStringLiteral("学业水平测试副号不能为空！")});
    QVERIFY(photos().isEmpty());
}

// The check reads the list without moving it: the next student is the one
// after the student the user was on.
void TestZPCJ::checkLeavesTheListOnTheStudent() {
    loadList(false);
    button(w_.get(), "Check")->click();
    QCOMPARE(sub(), QStringLiteral("09010100020001"));
    button(w_.get(), "NextXS")->click();
    QCOMPARE(sub(), QStringLiteral("09010100020002"));
    QCOMPARE(control<QLabel>(w_.get(), "Label6")->text(), QStringLiteral("姓名：李四  学业水平测试副号：09010100020002"));
}

// A photo is a stray only when no student of the school has it, in either
// table: a make-up list does not call the regular students' photos strays.
void TestZPCJ::straysBelongToNoStudentOfTheSchool() {
    for (const char* name : {"09010100020001.jpg", "08010100020009.jpg", "09010100029999.jpg"}) {
        QFile f(StationFolder::photoFolder() + QString::fromLatin1(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    for (const bool makeUp : {true, false}) {
        loadList(makeUp);
        button(w_.get(), "Check")->click();
        const QString report = control<QPlainTextEdit>(w_.get(), "Memo1")->toPlainText();
        QVERIFY2(report.endsWith(QStringLiteral("不属于本名单学生的相片：\n09010100029999.jpg")), qPrintable(report));
    }
}

// A photo whose extension differs in case is the student's photo; a new
// capture stores "<sub-number>.jpg" and leaves no other spelling.
void TestZPCJ::photosWhateverTheCaseOfTheirExtension() {
    QImage photo(168, 240, QImage::Format_RGB32);
    photo.fill(Qt::darkCyan);
    QVERIFY(photo.save(StationFolder::photoFolder() + QStringLiteral("09010100020002.JPG"), "JPG"));
    loadList(false);
    button(w_.get(), "Check")->click();
    const QString report = control<QPlainTextEdit>(w_.get(), "Memo1")->toPlainText();
    QVERIFY2(report.endsWith(QStringLiteral("共有学生：3,未照相人数为：2")), qPrintable(report));
    button(w_.get(), "NextXS")->click();
    QVERIFY(control<QLabel>(w_.get(), "Label5")->isHidden());

    startTestCamera();
    button(w_.get(), "priorXS")->click();
    button(w_.get(), "SaveImage")->click(); // the first student
    button(w_.get(), "SaveImage")->click(); // the second, again
    QCOMPARE(dialogs_->texts(), QStringList());
    QCOMPARE(photos(), (QStringList{"09010100020001.jpg", "09010100020002.jpg"}));
}

// A typed sub-number that is not letters and digits names no file: it is
// refused with its value, nothing is written, and the list stays.
void TestZPCJ::subNumberThatCannotNameAFile() {
    loadList(false);
    startTestCamera();
    const QString typed = QStringLiteral("../0123456789x");
    edit(w_.get(), "Edit3")->setText(typed);
    button(w_.get(), "SaveImage")->click();
    QCOMPARE(dialogs_->texts(QStringLiteral("error")), QStringList{PhotoStore::invalidNameMessage(typed)});
    QVERIFY(dialogs_->texts(QStringLiteral("error"))[0].contains(typed));
    QVERIFY(photos().isEmpty());
    QVERIFY(!QFile::exists(station_->file(QStringLiteral("0123456789x.jpg"))));
    QCOMPARE(sub(), typed);
    QCOMPARE(data_->QR1.recNo(), 1);
}

// What the camera reports reaches the user, once for each start.
void TestZPCJ::cameraProblemsAreToldOnce() {
    startTestCamera();
    const QString scaled = QStringLiteral("视频设备“某”不能提供 640 × 480 的画面，画面由 1280 × 720 缩放为 640 × 480。");
    emit w_->camera().formatNotice(scaled);
    emit w_->camera().errorOccurred(QStringLiteral("Camera is in use."));
    emit w_->camera().errorOccurred(QStringLiteral("Camera is in use."));
    emit w_->camera().formatNotice(scaled);
    QCOMPARE(dialogs_->texts(QStringLiteral("box")),
             (QStringList{scaled, QStringLiteral("视频设备出错：Camera is in use.")}));
    startTestCamera();
    emit w_->camera().errorOccurred(QStringLiteral("Camera is in use."));
    QCOMPARE(dialogs_->texts(QStringLiteral("box")).size(), 3);
}

// The picture starts when a device becomes the chosen one, however it was
// chosen; a pick by the user starts it once.
void TestZPCJ::deviceStartsWhenChosen() {
    auto* devices = combo(w_.get(), "cbsb");
    const int test = devices->findText(FrameSource::testDeviceName());
    QVERIFY(test >= 0);
    QVERIFY(!w_->camera().isActive()); // not by the list's own filling
    devices->setCurrentIndex(-1);
    devices->setCurrentIndex(test);
    QTRY_VERIFY(w_->camera().isActive());
    QTRY_VERIFY(!w_->camera().latestFrame().isNull());

    // A user's pick: the change and the activation start the device once.
    w_->StopCamera();
    devices->setCurrentIndex(-1);
    button(w_.get(), "Button4")->click();
    devices->setCurrentIndex(test);
    emit devices->activated(test);
    QCOMPARE(w_->frameCentre(), QPoint(319, 239));
    button(w_.get(), "Button4")->click();
    QTest::qWait(50);
    QCOMPARE(w_->frameCentre(), QPoint(320, 239)); // not started a second time
    QVERIFY(w_->camera().isActive());
}

QTEST_MAIN(TestZPCJ)
#include "test_zpcj.moc"
