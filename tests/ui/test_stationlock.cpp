#include "Compaction.h"
#include "Database.h"
#include "FakeDialogs.h"
#include "Query.h"
#include "SafetyCopy.h"
#include "StationLock.h"
#include "Startup.h"

#include <QDir>
#include <QProcess>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <unistd.h>

#ifndef DESK_HELPER
#error "DESK_HELPER must name the helper program"
#endif

namespace {

// The helper process: started, and ready once it said `ready`.
std::unique_ptr<QProcess> startHelper(const QStringList& arguments, const QByteArray& ready) {
    auto helper = std::make_unique<QProcess>();
    helper->start(QStringLiteral(DESK_HELPER), arguments);
    if (!helper->waitForStarted(10000))
        return nullptr;
    QByteArray said;
    while (!said.contains(ready)) {
        if (!helper->waitForReadyRead(10000))
            return nullptr;
        said += helper->readAllStandardOutput();
    }
    return helper;
}

void makeDatabase(const QString& path) {
    Connection::createFile(path);
    Connection(path).execute(QStringLiteral("create table t(id integer primary key, v integer, s text)"));
}

} // namespace

// One station process per station folder, and no file replaced or emptied
// under another process's feet.
class TestStationLock : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void secondStartIsRefusedUntilTheFirstEnds();
    void fileOpenElsewhereStopsCompactionAndRestore();
    void compactionWithAWriterLosesNothing();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<FakeDialogs> dialogs_;
    QByteArray previousHome_;
};

void TestStationLock::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    dialogs_ = std::make_unique<FakeDialogs>();
    previousHome_ = qgetenv("DESK_HOME");
}

void TestStationLock::cleanup() {
    StationLock::release(dir_->path());
    qputenv("DESK_HOME", previousHome_);
    dialogs_.reset();
    dir_.reset();
}

void TestStationLock::secondStartIsRefusedUntilTheFirstEnds() {
    const QString folder = dir_->path();
    std::unique_ptr<QProcess> first = startHelper({QStringLiteral("lock"), folder}, "locked");
    QVERIFY(first);

    // A second start on the folder says who has it, and touches nothing.
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    qputenv("DESK_HOME", folder.toUtf8());
    QString notice;
    QVERIFY(!Startup::openStation(QStringLiteral("enrolldesk"), {QStringLiteral("photo")}, &notice));
    QCOMPARE(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), before);
    const QStringList shown = dialogs_->texts(QStringLiteral("message"));
    QCOMPARE(shown.size(), 1);
    StationLock::Holder holder;
    QVERIFY(!StationLock::acquire(folder, QStringLiteral("enrolldesk"), &holder));
    QCOMPARE(holder.pid, first->processId());
    QCOMPARE(holder.host, QSysInfo::machineHostName());
    QVERIFY(!holder.user.isEmpty());
    QVERIFY(QDateTime::fromString(holder.since, QStringLiteral("yyyy-MM-dd HH:mm:ss")).isValid());
    for (const QString& part : {holder.user, holder.host, holder.since, QString::number(holder.pid)})
        QVERIFY2(shown[0].contains(part), qPrintable(shown[0]));
    // The holder is another program (as when both stations are pointed at
    // one folder): named, not called this program.
    QVERIFY2(shown[0].contains(QStringLiteral("运行着程序 deskhelper（")), qPrintable(shown[0]));

    // The first ends without letting go (kill -9): the lock goes with it.
    first->kill();
    QVERIFY(first->waitForFinished(10000));
    QVERIFY(Startup::openStation(QStringLiteral("enrolldesk"), {QStringLiteral("photo")}, &notice));
    QVERIFY(QFileInfo(folder + QStringLiteral("/photo")).isDir());
    // Within one process the lock is taken again as often as asked.
    QVERIFY(StationLock::acquire(folder, QStringLiteral("enrolldesk")));
    std::unique_ptr<QProcess> third = startHelper({QStringLiteral("lock"), folder}, "refused");
    QVERIFY(third);
    QVERIFY(third->waitForFinished(10000));

    // A lock file that is there but cannot be opened (another user's) may be
    // held: the station does not run regardless.
    StationLock::release(folder);
    const QString lock = StationLock::lockFile(folder);
    QVERIFY(QFile::remove(lock) && QFile::link(lock, lock)); // opening loops
    StationLock::Holder unknown;
    QVERIFY(!StationLock::acquire(folder, QStringLiteral("enrolldesk"), &unknown));
    const QString refused = StationLock::refusal(folder, unknown, QStringLiteral("enrolldesk"));
    QVERIFY2(refused.contains(QStringLiteral("锁文件“%1”无法打开").arg(QDir::toNativeSeparators(lock))), qPrintable(refused));
}

void TestStationLock::fileOpenElsewhereStopsCompactionAndRestore() {
    const QString data = dir_->filePath(QStringLiteral("data"));
    QVERIFY(QDir().mkpath(data));
    const QString db = data + QStringLiteral("/CSBMK.mdb");
    makeDatabase(db);
    SafetyCopy::Store store;
    store.database = db;
    store.folder = data + QStringLiteral("/备份/");
    const SafetyCopy::Copy copy = SafetyCopy::take(store, SafetyCopy::Before::clearing);
    Connection(db).execute(QStringLiteral("insert into t(v) values(1)"));

    std::unique_ptr<QProcess> other = startHelper({QStringLiteral("open"), db}, "open");
    QVERIFY(other);
    const QString name = QStringLiteral("deskhelper（进程号 %1）").arg(other->processId());
    try {
        Compaction::compactFolder(data, dir_->path());
        QFAIL("compaction must refuse");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("正被其他程序使用")) && e.message().contains(name),
                 qPrintable(e.message()));
    }
    try {
        SafetyCopy::restore(store, copy);
        QFAIL("restoring must refuse");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().contains(name), qPrintable(e.message()));
    }
    QCOMPARE(Connection(db).execute(QStringLiteral("update t set v=v")), 1); // still the file with the row
    QCOMPARE(SafetyCopy::list(store).size(), 1);

    other->closeWriteChannel();
    QVERIFY(other->waitForFinished(10000));
    SafetyCopy::restore(store, copy);
    QCOMPARE(Connection(db).execute(QStringLiteral("update t set v=v")), 0);
}

void TestStationLock::compactionWithAWriterLosesNothing() {
    const QString data = dir_->filePath(QStringLiteral("data"));
    const QString work = dir_->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(data));
    QVERIFY(QDir().mkpath(work));
    const QString db = data + QStringLiteral("/CSBMK.mdb");
    makeDatabase(db);
    {
        Connection c(db);
        Transaction t(c);
        for (int i = 0; i < 2000; ++i)
            c.execute(QStringLiteral("insert into t(v,s) values(0,?)"), {{QString(), QString(100, QChar(u'填'))}});
        c.execute(QStringLiteral("delete from t where id % 2 = 0"));
        t.commit();
    }

    QProcess writer;
    writer.start(QStringLiteral(DESK_HELPER), {QStringLiteral("writer"), db, QStringLiteral("400")});
    QVERIFY(writer.waitForStarted(10000));
    int compacted = 0;
    int refused = 0;
    while (writer.state() != QProcess::NotRunning) {
        try {
            if (Compaction::compactFolder(data, work).allCompacted())
                ++compacted;
        } catch (const DeskError& e) {
            // The writer had the file open (or locked longer than the engine
            // waits) at that moment: nothing replaced.
            QVERIFY2(e.message().contains(QStringLiteral("正被其他程序")), qPrintable(e.message()));
            ++refused;
        }
        writer.waitForFinished(5);
    }
    QCOMPARE(writer.exitCode(), 0);
    const QList<QByteArray> lines = writer.readAllStandardOutput().split('\n');
    QSet<int> committed;
    for (const QByteArray& line : lines)
        if (line.startsWith("ok "))
            committed.insert(line.mid(3).toInt());
    QVERIFY2(compacted > 0, qPrintable(QStringLiteral("%1 refused").arg(refused)));
    QVERIFY(committed.size() > 0);

    Query stored;
    stored.setDatabasePath(db);
    stored.setSql(QStringLiteral("select v from t where v > 0"));
    stored.open();
    QSet<int> found;
    for (int i = 0; i < stored.recordCount(); ++i)
        found.insert(int(stored.value(i, 0).toLongLong()));
    // Every row the writer was told was saved is in the file.
    for (int v : std::as_const(committed))
        QVERIFY2(found.contains(v), qPrintable(QStringLiteral("row %1 lost (%2 compactions)").arg(v).arg(compacted)));
}

QTEST_MAIN(TestStationLock)
#include "test_stationlock.moc"
