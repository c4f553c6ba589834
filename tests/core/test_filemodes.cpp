#include "Database.h"
#include "FileModes.h"
#include "FileOps.h"
#include "StagedFile.h"
#include "StationFolder.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// The permission bits of `path` (with set-group-ID), or -1 when it is missing.
int modeOf(const QString& path) {
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Every folder and file under `folder` (itself included) with a mode that
// `allowed` refuses, as "path mode" lines.
QStringList faults(const QString& folder, const std::function<bool(bool isFolder, int mode)>& allowed) {
    QStringList found;
    const auto check = [&](const QString& path) {
        const bool isFolder = QFileInfo(path).isDir();
        if (!allowed(isFolder, modeOf(path)))
            found << QStringLiteral("%1 %2").arg(path).arg(modeOf(path), 4, 8, QLatin1Char('0'));
    };
    check(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        check(it.next());
    return found;
}

class EnvSetting {
public:
    EnvSetting(const char* name, const QByteArray& value) : name_(name), before_(qgetenv(name)) {
        had_ = qEnvironmentVariableIsSet(name);
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
    bool had_ = false;
};

// A database file made and exported the way the exports make theirs.
void exportTo(const QString& target) {
    StagedFile staged(target);
    {
        Connection connection(staged.path());
        connection.execute(QStringLiteral("create table t(x)"));
        connection.execute(QStringLiteral("insert into t values(1)"));
    }
    staged.commit();
}

} // namespace

class TestFileModes : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanup();
    void aUserFolderIsPrivate();
    void aGroupFolderIsSharedWithItsGroupOnly();
    void linksAndOtherUsersFilesAreLeftAlone();

private:
    QTemporaryDir dir_;
};

void TestFileModes::initTestCase() {
    ::umask(022); // the user's own mask, for files saved elsewhere
}

void TestFileModes::cleanup() { FileModes::release(); }

void TestFileModes::aUserFolderIsPrivate() {
    const QString home = dir_.filePath(QStringLiteral("private"));
    const EnvSetting deskSetting("DESK_HOME", QByteArray());
    const EnvSetting xdgSetting("XDG_DATA_HOME", home.toUtf8());
    const QString station = home + QStringLiteral("/enrolldesk");
    // An earlier version left a photo and a setup.ini readable by all.
    writeFile(station + QStringLiteral("/photo/0101000201.jpg"), "photo");
    writeFile(station + QStringLiteral("/setup.ini"), "[READER]\r\n");
    QVERIFY(::chmod(QFile::encodeName(station).constData(), 0755) == 0);
    QVERIFY(::chmod(QFile::encodeName(station + QStringLiteral("/photo/0101000201.jpg")).constData(), 0644) == 0);

    StationFolder::open(QStringLiteral("enrolldesk"), {QStringLiteral("data"), QStringLiteral("photo"), QStringLiteral("card")});
    QVERIFY(QFileInfo(station + QStringLiteral("/card")).isDir());
    const auto privateOnly = [](bool isFolder, int mode) { return mode == (isFolder ? 0700 : 0600); };
    QCOMPARE(faults(station, privateOnly), QStringList());

    // What the station makes later in its folder is private as well.
    Connection::createFile(station + QStringLiteral("/data/new.mdb"));
    QVERIFY(QDir(station).mkpath(QStringLiteral("data/备份")));
    copyFileDurably(station + QStringLiteral("/setup.ini"), station + QStringLiteral("/data/备份/setup.ini"));
    writeFile(station + QStringLiteral("/report.pdf"), "%PDF");
    compactDatabase(station + QStringLiteral("/data/new.mdb"), station + QStringLiteral("/data/compacted.mdb"));
    exportTo(station + QStringLiteral("/export.mdb"));
    QCOMPARE(faults(station, privateOnly), QStringList());

    // An export saved elsewhere gets the user's own mask.
    const QString elsewhere = dir_.filePath(QStringLiteral("exports"));
    QVERIFY(QDir().mkpath(elsewhere));
    exportTo(elsewhere + QStringLiteral("/county.mdb"));
    copyFileReplacing(station + QStringLiteral("/photo/0101000201.jpg"), elsewhere + QStringLiteral("/0101000201.jpg"));
    QCOMPARE(modeOf(elsewhere + QStringLiteral("/county.mdb")), 0644);
    QCOMPARE(modeOf(elsewhere + QStringLiteral("/0101000201.jpg")), 0644);
    QCOMPARE(FileModes::folderMode(elsewhere + QStringLiteral("/new")), mode_t(0755));
}

void TestFileModes::aGroupFolderIsSharedWithItsGroupOnly() {
    // The README's shared folder, as an earlier README made it: 2775.
    const QString station = dir_.filePath(QStringLiteral("shared"));
    QVERIFY(QDir().mkpath(station));
    QVERIFY(::chmod(QFile::encodeName(station).constData(), 02775) == 0);
    writeFile(station + QStringLiteral("/data/CSBMK.mdb"), "entered students");
    QVERIFY(::chmod(QFile::encodeName(station + QStringLiteral("/data/CSBMK.mdb")).constData(), 0644) == 0);
    const EnvSetting deskSetting("DESK_HOME", station.toUtf8());

    StationFolder::open(QStringLiteral("enrolldesk"), {QStringLiteral("photo")});
    const auto groupOnly = [](bool isFolder, int mode) { return mode == (isFolder ? 02770 : 0660); };
    QCOMPARE(faults(station, groupOnly), QStringList());

    Connection::createFile(station + QStringLiteral("/data/new.mdb"));
    compactDatabase(station + QStringLiteral("/data/new.mdb"), station + QStringLiteral("/data/compacted.mdb"));
    QVERIFY(QDir(station).mkpath(QStringLiteral("data/备份")));
    copyFileDurably(station + QStringLiteral("/data/new.mdb"), station + QStringLiteral("/data/备份/new.mdb"));
    exportTo(station + QStringLiteral("/export.mdb"));
    QCOMPARE(faults(station, groupOnly), QStringList());

    const QString elsewhere = dir_.filePath(QStringLiteral("group-exports"));
    QVERIFY(QDir().mkpath(elsewhere));
    exportTo(elsewhere + QStringLiteral("/school.mdb"));
    QCOMPARE(modeOf(elsewhere + QStringLiteral("/school.mdb")), 0644);
}

void TestFileModes::linksAndOtherUsersFilesAreLeftAlone() {
    const QString station = dir_.filePath(QStringLiteral("links"));
    const QString outside = dir_.filePath(QStringLiteral("outside.key"));
    writeFile(outside, "the user's own file elsewhere");
    QVERIFY(::chmod(QFile::encodeName(outside).constData(), 0644) == 0);
    QVERIFY(QDir().mkpath(station + QStringLiteral("/photo")));
    QVERIFY(QFile::link(outside, station + QStringLiteral("/photo/0101000201.jpg")));
    QVERIFY(QFile::link(dir_.path(), station + QStringLiteral("/data")));
    const QString foreign = station + QStringLiteral("/photo/0101000202.jpg");
    writeFile(foreign, "another user's photo");
    QVERIFY(::chmod(QFile::encodeName(foreign).constData(), 0644) == 0);
    const bool chowned = ::geteuid() == 0 && ::chown(QFile::encodeName(foreign).constData(), 65534, gid_t(-1)) == 0;
    const EnvSetting deskSetting("DESK_HOME", station.toUtf8());

    StationFolder::open(QStringLiteral("enrolldesk"), {QStringLiteral("photo")});
    QCOMPARE(modeOf(outside), 0644);
    QCOMPARE(modeOf(dir_.path()), 0700); // QTemporaryDir's own
    QCOMPARE(modeOf(foreign), chowned ? 0644 : 0600);
}

QTEST_GUILESS_MAIN(TestFileModes)
#include "test_filemodes.moc"
