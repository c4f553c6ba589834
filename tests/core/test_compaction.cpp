#include "Compaction.h"
#include "Database.h"
#include "FaultInjection.h"
#include "Query.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <unistd.h>

using namespace FaultInjection;
using Compaction::Outcome;

namespace {

QByteArray contentOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

int rowsIn(const QString& path) {
    Query q;
    q.setDatabasePath(path);
    q.setSql(QStringLiteral("select count(*) as n from t"));
    q.open();
    return int(q.integer(QStringLiteral("n")));
}

bool intact(const QString& path) {
    try {
        Query q;
        q.setDatabasePath(path);
        q.setSql(QStringLiteral("PRAGMA integrity_check"));
        q.open();
        return q.text(QStringLiteral("integrity_check")) == QLatin1String("ok") && rowsIn(path) == 300;
    } catch (const DbError&) {
        return false;
    }
}

} // namespace

class TestCompaction : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void replacesOnlyAfterTheCopyIsOnDisk();
    void fullDiskWhileCompacting();
    void faultsWhileCopyingBack_data();
    void faultsWhileCopyingBack();
    void crashAtEveryStepLosesNothing();
    void leftoverOfAnEarlierRun_data();
    void leftoverOfAnEarlierRun();
    void readOnlyDataFolder();

private:
    QString data(const QString& name) const { return dir_->filePath(QStringLiteral("data/") + name); }
    QString work(const QString& name) const { return dir_->filePath(QStringLiteral("work/") + name); }
    Compaction::Summary run(QList<Compaction::FileResult>* results = nullptr);
    void verifyNothingLeftBehind();

    std::unique_ptr<QTemporaryDir> dir_;
    QByteArray original_; // CSBMK.mdb as made by init()
};

void TestCompaction::init() {
    // Memory-backed where there is such a folder: the many syncs cost nothing.
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    dir_ = shm.isDir() && shm.isWritable()
               ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/test_compaction-XXXXXX"))
               : std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("data")));
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("work")));
    // Two databases of 300 rows each, with the room of 300 deleted rows.
    for (const QString& name : {QStringLiteral("CSBMK.mdb"), QStringLiteral("dmb.mdb")}) {
        Connection::createFile(data(name));
        Connection c(data(name));
        Transaction t(c);
        c.execute(QStringLiteral("create table t(id integer primary key, s text)"));
        const QString row = QStringLiteral("insert into t(s) values(%1)").arg(sqlQuote(QString(200, QChar(u'行'))));
        for (int i = 0; i < 600; ++i)
            c.execute(row);
        c.execute(QStringLiteral("delete from t where id % 2 = 0"));
        t.commit();
    }
    original_ = contentOf(data(QStringLiteral("CSBMK.mdb")));
}

void TestCompaction::cleanup() {
    clearWriteBudget();
    QFile::setPermissions(dir_->filePath(QStringLiteral("data")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    dir_.reset();
}

Compaction::Summary TestCompaction::run(QList<Compaction::FileResult>* results) {
    return Compaction::compactFolder(dir_->filePath(QStringLiteral("data")), dir_->filePath(QStringLiteral("work")),
                                     [results](const Compaction::FileResult& r) {
                                         if (results)
                                             results->append(r);
                                     });
}

void TestCompaction::verifyNothingLeftBehind() {
    QVERIFY(QDir(dir_->filePath(QStringLiteral("work"))).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    QCOMPARE(QDir(dir_->filePath(QStringLiteral("data"))).entryList(QDir::Files | QDir::Hidden),
             (QStringList{QStringLiteral("CSBMK.mdb"), QStringLiteral("dmb.mdb")}));
}

void TestCompaction::replacesOnlyAfterTheCopyIsOnDisk() {
    FaultyFiles files;
    QVERIFY(run().allCompacted());
    QVERIFY(intact(data(QStringLiteral("CSBMK.mdb"))));
    QVERIFY(contentOf(data(QStringLiteral("CSBMK.mdb"))).size() < original_.size());
    verifyNothingLeftBehind();
    // The copy in the data folder is synced and closed before it replaces
    // the data file, and the folder is synced after.
    const QString rename = QStringLiteral("rename CSBMK.mdb.压缩中 CSBMK.mdb");
    const qsizetype at = files.log.indexOf(rename);
    QVERIFY(at > 0);
    QVERIFY(files.log.indexOf(QStringLiteral("sync CSBMK.mdb.压缩中")) < at);
    QVERIFY(files.log.indexOf(QStringLiteral("close CSBMK.mdb.压缩中")) < at);
    QCOMPARE(files.log.at(at + 1), QStringLiteral("syncFolder"));
}

void TestCompaction::fullDiskWhileCompacting() {
    WriteBudget budget(8192, QStringLiteral("压缩"));
    try {
        run();
        QFAIL("a full disk must end the run");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("磁盘已满")), qPrintable(e.message()));
        // The copy that could not be written is named, the source is intact.
        QVERIFY2(e.message().startsWith(QStringLiteral("无法写入压缩后的数据库文件“%1”")
                                            .arg(QDir::toNativeSeparators(work(QStringLiteral("压缩CSBMK.mdb"))))),
                 qPrintable(e.message()));
        QCOMPARE(e.path(), work(QStringLiteral("压缩CSBMK.mdb")));
    }
    QVERIFY(bytesWritten() >= 8192);
    QCOMPARE(contentOf(data(QStringLiteral("CSBMK.mdb"))), original_);
    clearWriteBudget();
    verifyNothingLeftBehind();
}

void TestCompaction::faultsWhileCopyingBack_data() {
    QTest::addColumn<int>("diskSpace");
    QTest::addColumn<bool>("failSync");
    QTest::addColumn<bool>("failClose");
    QTest::newRow("disk full") << 20000 << false << false;
    QTest::newRow("disk full at once") << 0 << false << false;
    QTest::newRow("failing fsync") << -1 << true << false;
    QTest::newRow("failing close") << -1 << false << true;
}

void TestCompaction::faultsWhileCopyingBack() {
    QFETCH(int, diskSpace);
    QFETCH(bool, failSync);
    QFETCH(bool, failClose);
    FaultyFiles files;
    files.faults.diskSpace = diskSpace;
    files.faults.failSync = failSync;
    files.faults.failClose = failClose;
    files.faults.shortWrites = true;
    bool failed = false;
    try {
        run();
    } catch (const FileError& e) {
        failed = true;
        QVERIFY(e.message().contains(QStringLiteral("CSBMK.mdb.压缩中")));
    }
    QVERIFY(failed);
    QCOMPARE(contentOf(data(QStringLiteral("CSBMK.mdb"))), original_);
    verifyNothingLeftBehind();
}

void TestCompaction::crashAtEveryStepLosesNothing() {
    // Count the operations of a clean run with short writes (many steps).
    const QString template_ = dir_->filePath(QStringLiteral("template"));
    QVERIFY(QDir().rename(dir_->filePath(QStringLiteral("data")), template_));
    auto freshData = [&] {
        QDir(dir_->filePath(QStringLiteral("data"))).removeRecursively();
        QDir(dir_->filePath(QStringLiteral("work"))).removeRecursively();
        QDir(dir_->path()).mkpath(QStringLiteral("work"));
        QDir(dir_->path()).mkpath(QStringLiteral("data"));
        for (const QString& name : QDir(template_).entryList(QDir::Files))
            QFile::copy(template_ + QLatin1Char('/') + name, data(name));
    };
    freshData();
    int steps = 0;
    {
        FaultyFiles files;
        files.faults.shortWrites = true;
        run();
        steps = files.operations();
    }
    QVERIFY(steps > 10);
    for (int crashAt = 0; crashAt < steps; ++crashAt) {
        freshData();
        {
            FaultyFiles files;
            files.faults.shortWrites = true;
            files.faults.crashAt = crashAt;
            QVERIFY_THROWS_EXCEPTION(SimulatedCrash, run());
        }
        // Whenever the program dies, each data file is intact, and the
        // next run compacts everything and cleans up.
        QVERIFY2(intact(data(QStringLiteral("CSBMK.mdb"))), qPrintable(QString::number(crashAt)));
        QVERIFY(intact(data(QStringLiteral("dmb.mdb"))));
        QVERIFY2(run().allCompacted(), qPrintable(QString::number(crashAt)));
        QVERIFY(intact(data(QStringLiteral("CSBMK.mdb"))));
        verifyNothingLeftBehind();
    }
}

void TestCompaction::leftoverOfAnEarlierRun_data() {
    QTest::addColumn<QString>("dataFile"); // intact, cut, missing, garbage
    QTest::addColumn<QString>("leftover"); // intact, cut
    QTest::addColumn<bool>("restored");
    QTest::newRow("data intact, leftover cut") << QString("intact") << QString("cut") << false;
    QTest::newRow("data cut by a crash") << QString("cut") << QString("intact") << true;
    QTest::newRow("data emptied") << QString("empty") << QString("intact") << true;
    QTest::newRow("data missing") << QString("missing") << QString("intact") << true;
}

void TestCompaction::leftoverOfAnEarlierRun() {
    QFETCH(QString, dataFile);
    QFETCH(QString, leftover);
    QFETCH(bool, restored);
    const QString db = data(QStringLiteral("CSBMK.mdb"));
    writeFile(work(QStringLiteral("压缩CSBMK.mdb")), leftover == "cut" ? original_.left(8192) : original_);
    if (dataFile == "cut")
        writeFile(db, original_.left(8192));
    else if (dataFile == "empty")
        writeFile(db, QByteArray());
    else if (dataFile == "missing")
        QFile::remove(db);
    const QByteArray damaged = contentOf(db);

    QList<Compaction::FileResult> results;
    QVERIFY(run(&results).allCompacted());
    QVERIFY(intact(db));
    QCOMPARE(results[0].name, QStringLiteral("CSBMK.mdb"));
    QCOMPARE(results[0].restoredFrom.isEmpty(), !restored);
    // The damaged data file is kept beside the restored one.
    const QString kept = data(QStringLiteral("CSBMK.mdb.损坏"));
    QCOMPARE(results[0].damagedKept.isEmpty(), dataFile != "cut" && dataFile != "empty");
    if (!results[0].damagedKept.isEmpty()) {
        QCOMPARE(results[0].damagedKept, kept);
        QCOMPARE(contentOf(kept), damaged);
        QFile::remove(kept);
    }
    verifyNothingLeftBehind();
}

void TestCompaction::readOnlyDataFolder() {
    const QString db = data(QStringLiteral("CSBMK.mdb"));
    const bool root = geteuid() == 0;
    if (root && QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), db}) != 0)
        QSKIP("root ignores folder permissions and cannot make a file immutable here");
    if (!root)
        QFile::setPermissions(dir_->filePath(QStringLiteral("data")), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QList<Compaction::FileResult> results;
    const Compaction::Summary summary = run(&results);
    if (root)
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), db});
    QVERIFY(!summary.allCompacted());
    QCOMPARE(results[0].outcome, Outcome::NotReplaced);
    QCOMPARE(contentOf(db), original_);
    QVERIFY(intact(work(QStringLiteral("压缩CSBMK.mdb"))));
}

QTEST_GUILESS_MAIN(TestCompaction)
#include "test_compaction.moc"
