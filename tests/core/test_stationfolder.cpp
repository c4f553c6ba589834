#include "DeskError.h"
#include "StationFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Sets an environment variable for one test case.
class EnvSetting {
public:
    EnvSetting(const char* name, const QByteArray& value)
        : name_(name), before_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~EnvSetting() {
        if (had_)
            qputenv(name_, before_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray before_;
    bool had_;
};

} // namespace

class TestStationFolder : public QObject {
    Q_OBJECT
private slots:
    void locateFollowsTheOrder_data();
    void locateFollowsTheOrder();
    void layOutCopiesWhatIsMissingAndNeverReplaces();
    void layOutCompletesAnInterruptedFirstStart();
    void folderThatCannotBeCreatedIsNamedAndNothingIsMade();
    void openSettlesTheUserFolderForTheRun();
};

void TestStationFolder::locateFollowsTheOrder_data() {
    QTest::addColumn<bool>("deskHome");
    QTest::addColumn<bool>("programData"); // data/ beside the program
    QTest::addColumn<bool>("programWritable");
    // Relative to the temporary folder; "-" leaves it unset, "rel" is a relative value.
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("expected"); // relative to the temporary folder
    QTest::addColumn<int>("origin");

    const int env = int(StationFolder::Origin::Environment);
    const int own = int(StationFolder::Origin::ProgramFolder);
    const int user = int(StationFolder::Origin::UserFolder);
    QTest::newRow("DESK_HOME wins over a ready program folder") << true << true << true << "xdg"
                                                                << "shared/" << env;
    QTest::newRow("program folder holding data/") << false << true << true << "xdg"
                                                  << "bin/" << own;
    QTest::newRow("program folder without data/") << false << false << true << "xdg"
                                                  << "xdg/enrolldesk/" << user;
    QTest::newRow("read-only program folder") << false << true << false << "xdg"
                                              << "xdg/enrolldesk/" << user;
    QTest::newRow("no XDG_DATA_HOME") << false << false << true << "-"
                                      << "home/.local/share/enrolldesk/" << user;
    QTest::newRow("relative XDG_DATA_HOME is ignored") << false << false << true << "rel"
                                                       << "home/.local/share/enrolldesk/" << user;
}

void TestStationFolder::locateFollowsTheOrder() {
    QFETCH(bool, deskHome);
    QFETCH(bool, programData);
    QFETCH(bool, programWritable);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, expected);
    QFETCH(int, origin);

    QTemporaryDir dir;
    const QString root = dir.path() + QLatin1Char('/');
    const QString bin = root + QStringLiteral("bin");
    QDir().mkpath(bin);
    if (programData)
        QDir().mkpath(bin + QStringLiteral("/data"));
    if (!programWritable) {
        // Root may write anywhere: a read-only program folder is seen only
        // by an ordinary user.
        if (geteuid() == 0)
            QSKIP("the permission bits do not bind root");
        QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner);
    }

    QByteArray xdg;
    if (xdgDataHome == QStringLiteral("rel"))
        xdg = "relative/share";
    else if (xdgDataHome != QStringLiteral("-"))
        xdg = (root + xdgDataHome).toUtf8();
    const EnvSetting home("HOME", (root + QStringLiteral("home")).toUtf8());
    const EnvSetting xdgSetting("XDG_DATA_HOME", xdg);
    const EnvSetting deskSetting("DESK_HOME",
                                 deskHome ? (root + QStringLiteral("shared")).toUtf8() : QByteArray());

    const StationFolder::Location location = StationFolder::locate(QStringLiteral("enrolldesk"), bin);
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QCOMPARE(location.folder, root + expected);
    QCOMPARE(int(location.origin), origin);
}

void TestStationFolder::layOutCopiesWhatIsMissingAndNeverReplaces() {
    QTemporaryDir dir;
    const QString delivered = dir.filePath(QStringLiteral("delivered"));
    writeFile(delivered + QStringLiteral("/data/CSBMK.mdb"), "delivered registration");
    writeFile(delivered + QStringLiteral("/data/dmb.mdb"), "delivered native places");
    const QString station = dir.filePath(QStringLiteral("user/enrolldesk"));
    writeFile(station + QStringLiteral("/data/CSBMK.mdb"), "students of this school");
    writeFile(station + QStringLiteral("/setup.ini"), "[x]\n");

    StationFolder::layOut(station, delivered, {QStringLiteral("photo"), QStringLiteral("card")});

    QCOMPARE(readFile(station + QStringLiteral("/data/CSBMK.mdb")), QByteArray("students of this school"));
    QCOMPARE(readFile(station + QStringLiteral("/data/dmb.mdb")), QByteArray("delivered native places"));
    QCOMPARE(readFile(station + QStringLiteral("/setup.ini")), QByteArray("[x]\n"));
    QVERIFY(QFileInfo(station + QStringLiteral("/photo")).isDir());
    QVERIFY(QFileInfo(station + QStringLiteral("/card")).isDir());
    // A program run from the build tree has no delivered files: the folder
    // is only completed with its sub-folders.
    StationFolder::layOut(station, dir.filePath(QStringLiteral("missing")), {QStringLiteral("photo")});
    QCOMPARE(readFile(station + QStringLiteral("/data/dmb.mdb")), QByteArray("delivered native places"));
}

void TestStationFolder::layOutCompletesAnInterruptedFirstStart() {
    QTemporaryDir dir;
    const QString delivered = dir.filePath(QStringLiteral("delivered"));
    writeFile(delivered + QStringLiteral("/data/XFRDCJK.mdb"), "credit database");
    writeFile(delivered + QStringLiteral("/data/XXBMB.mdb"), "name table");
    // The first start ended while copying the name table: the credit
    // database is in place (and already holds a credit), the name table
    // only as a partial temporary copy.
    const QString station = dir.filePath(QStringLiteral("creditdesk"));
    writeFile(station + QStringLiteral("/data/XFRDCJK.mdb"), "credit database with one credit");
    writeFile(station + QStringLiteral("/data/XXBMB.mdb.part"), "name");

    StationFolder::layOut(station, delivered, {});

    QCOMPARE(readFile(station + QStringLiteral("/data/XFRDCJK.mdb")),
             QByteArray("credit database with one credit"));
    QCOMPARE(readFile(station + QStringLiteral("/data/XXBMB.mdb")), QByteArray("name table"));
    QVERIFY(!QFileInfo::exists(station + QStringLiteral("/data/XXBMB.mdb.part")));
}

void TestStationFolder::folderThatCannotBeCreatedIsNamedAndNothingIsMade() {
    QTemporaryDir dir;
    const QString delivered = dir.filePath(QStringLiteral("delivered"));
    writeFile(delivered + QStringLiteral("/data/CSBMK.mdb"), "delivered");
    // A plain file where the user's data folder should be: no user, root
    // included, can create a folder under it.
    writeFile(dir.filePath(QStringLiteral("share")), "not a folder");
    const QString station = dir.filePath(QStringLiteral("share/enrolldesk"));
    try {
        StationFolder::layOut(station, delivered, {QStringLiteral("photo")});
        QFAIL("a folder under a file was accepted");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("无法创建站点文件夹“%1”").arg(station)),
                 qPrintable(e.message()));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             (QStringList{QStringLiteral("delivered"), QStringLiteral("share")}));
}

void TestStationFolder::openSettlesTheUserFolderForTheRun() {
    // The test program's folder holds no data/: the station goes to the
    // user's folder, and every station path follows it from then on.
    QTemporaryDir dir;
    const EnvSetting deskSetting("DESK_HOME", QByteArray());
    const EnvSetting xdgSetting("XDG_DATA_HOME", dir.path().toUtf8());
    const QString notice = StationFolder::open(QStringLiteral("creditdesk"), {QStringLiteral("photo")});
    const QString folder = dir.path() + QStringLiteral("/creditdesk/");
    QCOMPARE(notice, QStringLiteral("站点文件夹：%1").arg(dir.path() + QStringLiteral("/creditdesk")));
    QVERIFY(QFileInfo(folder + QStringLiteral("photo")).isDir());
    QCOMPARE(StationFolder::creditDb(), folder + QStringLiteral("data/XFRDCJK.mdb"));
    QCOMPARE(StationFolder::setupIni(), folder + QStringLiteral("setup.ini"));
    {
        // DESK_HOME set later (tests, a shared station) still wins.
        const EnvSetting shared("DESK_HOME", QByteArrayLiteral("/srv/station"));
        QCOMPARE(StationFolder::programFolder(), QStringLiteral("/srv/station/"));
    }
}

QTEST_GUILESS_MAIN(TestStationFolder)
#include "test_stationfolder.moc"
