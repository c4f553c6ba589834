#include "Controls.h"
#include "FakeDialogs.h"
#include "Profile.h"
#include "UnitZPSZ.h"

#include <QTemporaryDir>
#include <memory>

namespace {
// The photo window as the dialog sees it; records what it was told.
struct PhotoWindowStub : PhotoSizeTarget {
    QString dir;
    QStringList calls;
    QString caption = PhotoSize::startCaption({});
    QString appDir() const override { return dir; }
    void setPhotoSize(int w, int h) override { calls << QStringLiteral("size %1 %2").arg(w).arg(h); }
    void ResizePreview(int w, int h) override { calls << QStringLiteral("resize %1 %2").arg(w).arg(h); }
    void setPhotoSizeCaption(const QString& text) override { caption = text; }
};
const QStringList applied{QStringLiteral("size 200 280"), QStringLiteral("resize 200 280")};
} // namespace

class TestZPSZ : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup() { w_.reset(), dialogs_.reset(), dir_.reset(); }
    void trimmedSizeIsAppliedAndStored();
    void refusedEntriesChangeNothing_data();
    void refusedEntriesChangeNothing();
    void setupThatCannotBeWritten();
    void sizeReadAtStartUp();

private:
    void apply(const QString& width, const QString& height) {
        edit(w_.get(), "Edit1")->setText(width);
        edit(w_.get(), "Edit2")->setText(height);
        button(w_.get(), "Button1")->click();
    }
    QString setupIni() const { return dir_->filePath(QStringLiteral("setup.ini")); }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeDialogs> dialogs_;
    std::unique_ptr<TFormZPSZ> w_;
    PhotoWindowStub photo_;
};

void TestZPSZ::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    dialogs_ = std::make_unique<FakeDialogs>();
    photo_ = PhotoWindowStub();
    photo_.dir = dir_->path() + QLatin1Char('/');
    w_ = std::make_unique<TFormZPSZ>();
    w_->setPhotoWindow(&photo_);
    w_->show();
}

void TestZPSZ::trimmedSizeIsAppliedAndStored() {
    apply(QStringLiteral(" 200"), QStringLiteral("280 "));
    QCOMPARE(dialogs_->texts(), QStringList());
    QCOMPARE(photo_.calls, applied);
    QCOMPARE(photo_.caption, QStringLiteral("200 ×280"));
    const Profile setup(setupIni());
    QCOMPARE(setup.readString(QStringLiteral("picSize"), QStringLiteral("width"), QString()),
             QStringLiteral("200"));
    QCOMPARE(setup.readString(QStringLiteral("picSize"), QStringLiteral("height"), QString()),
             QStringLiteral("280"));
    QVERIFY(!w_->isVisible());
}

void TestZPSZ::refusedEntriesChangeNothing_data() {
    QTest::addColumn<QString>("width");
    QTest::addColumn<QString>("height");
    QTest::addColumn<QString>("kind");
    QTest::newRow("empty height") << "200"
                                  << ""
                                  << "error";
    QTest::newRow("not a number") << "2OO"
                                  << "280"
                                  << "error";
    QTest::newRow("beyond 32 bits") << "4294967496"
                                    << "280"
                                    << "error";
    QTest::newRow("width 1") << "1"
                             << "280"
                             << "message";
    QTest::newRow("height 0") << "200"
                              << "0"
                              << "message";
    QTest::newRow("negative") << "-200"
                              << "280"
                              << "message";
}

void TestZPSZ::refusedEntriesChangeNothing() {
    QFETCH(QString, width);
    QFETCH(QString, height);
    QFETCH(QString, kind);
    apply(width, height);
    QCOMPARE(dialogs_->texts().size(), 1);
    QCOMPARE(dialogs_->texts(kind).size(), 1);
    if (kind == QLatin1String("message"))
        QCOMPARE(dialogs_->texts().at(0), QStringLiteral("相片的宽度和高度都不能小于2像素，请重新输入！"));
    QCOMPARE(photo_.calls, QStringList());
    QCOMPARE(photo_.caption, QStringLiteral("168 × 240"));
    QVERIFY(!QFile::exists(setupIni()));
    QVERIFY(w_->isVisible());
}

void TestZPSZ::setupThatCannotBeWritten() {
    // A folder in the way of setup.ini: no user, root included, can write it.
    QVERIFY(QDir(dir_->path()).mkdir(QStringLiteral("setup.ini")));
    apply(QStringLiteral("200"), QStringLiteral("280"));
    QCOMPARE(dialogs_->texts(QStringLiteral("error")).size(), 1);
    // The new size holds for this run; the label and the dialog stay as they were.
    QCOMPARE(photo_.calls, applied);
    QCOMPARE(photo_.caption, QStringLiteral("168 × 240"));
    QVERIFY(w_->isVisible());
}

void TestZPSZ::sizeReadAtStartUp() {
    // What the dialog stored comes back at the next start, with both blanks.
    apply(QStringLiteral("200"), QStringLiteral("280"));
    QCOMPARE(PhotoSize::startCaption(PhotoSize::readSetup(setupIni())), QStringLiteral("200 × 280"));
    // Names compare without case.
    QFile f(setupIni());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("[READER]\r\nPORT=USB\r\n[PICSIZE]\r\nWIDTH=150\r\nHEIGHT=210\r\n");
    f.close();
    QCOMPARE(PhotoSize::startCaption(PhotoSize::readSetup(setupIni())), QStringLiteral("150 × 210"));
}

QTEST_MAIN(TestZPSZ)
#include "test_zpsz.moc"
