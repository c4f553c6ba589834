#include "DatabaseContent.h"
#include "Database.h"
#include "FaultInjection.h"
#include "FileProtection.h"
#include "SafetyCopy.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace FaultInjection;
using SafetyCopy::Before::clearing;

namespace {

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QStringList entriesOf(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace

class TestSafetyCopy : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void copyIsACheckedSnapshotThatRestores();
    void fullDiskLeavesEverythingAsItWas();
    void retentionRemovesTheOldestOnlyOnceTheNewIsComplete();
    void roomIsKeptForTheNewestThree();
    void crashAtEveryStepOfARestore();
    void protectedFilesStayProtected();
    void damagedDataFileIsKeptAndRestored();

private:
    QString data(const QString& name = QStringLiteral("CSBMK.mdb")) const {
        return dir_->filePath(QStringLiteral("data/") + name);
    }
    SafetyCopy::Store store() const;
    void change(); // deletes and adds students: the file differs afterwards

    std::unique_ptr<QTemporaryDir> dir_;
};

void TestSafetyCopy::init() {
    const QFileInfo shm(QStringLiteral("/dev/shm"));
    dir_ = shm.isDir() && shm.isWritable()
               ? std::make_unique<QTemporaryDir>(QStringLiteral("/dev/shm/test_safetycopy-XXXXXX"))
               : std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir_->path()).mkpath(QStringLiteral("data")));
    Connection::createFile(data());
    Connection c(data());
    Transaction t(c);
    c.execute(QStringLiteral("create table 学生表(序号 integer primary key autoincrement, 姓名 text, 电子照片 blob)"));
    for (int i = 0; i < 200; ++i)
        c.execute(QStringLiteral("insert into 学生表(姓名,电子照片) values(?,?)"),
                  {{QString(), QStringLiteral("学生%1").arg(i)}, {QString(), QByteArray(300, char(i))}});
    c.execute(QStringLiteral("delete from 学生表 where 序号 % 7 = 0")); // gaps in 序号
    t.commit();
}

void TestSafetyCopy::cleanup() {
    clearWriteBudget();
    dir_.reset();
}

SafetyCopy::Store TestSafetyCopy::store() const {
    SafetyCopy::Store s;
    s.database = data();
    s.folder = data(QStringLiteral("备份/"));
    return s;
}

void TestSafetyCopy::change() {
    Connection c(data());
    c.execute(QStringLiteral("delete from 学生表 where 序号 < 100"));
    c.execute(QStringLiteral("insert into 学生表(姓名) values('新生')"));
}

void TestSafetyCopy::copyIsACheckedSnapshotThatRestores() {
    const QByteArray before = databaseContent(data());
    const SafetyCopy::Copy copy = SafetyCopy::take(store(), clearing);
    QCOMPARE(copy.students, 172);
    QCOMPARE(QFileInfo(copy.path).fileName(),
             copy.time.toString(QStringLiteral("yyyy-MM-dd HHmmss")) + QStringLiteral(" 清空数据 172人 CSBMK.mdb"));
    QCOMPARE(databaseContent(copy.path), before);
    QCOMPARE(entriesOf(store().folder), QStringList{QFileInfo(copy.path).fileName()}); // nothing half-written

    change();
    SafetyCopy::restore(store(), copy);
    QCOMPARE(databaseContent(data()), before);
    // The state before the restore is a copy of its own, listed first.
    const QList<SafetyCopy::Copy> copies = SafetyCopy::list(store());
    QCOMPARE(copies.size(), 2);
    QCOMPARE(copies[0].operation, QStringLiteral("恢复数据前"));
    QCOMPARE(copies[0].students, 88);
    QCOMPARE(copies[1].path, copy.path);
    QVERIFY(!QFileInfo::exists(data(QStringLiteral("CSBMK.mdb.恢复中"))));
}

void TestSafetyCopy::fullDiskLeavesEverythingAsItWas() {
    const SafetyCopy::Copy earlier = SafetyCopy::take(store(), clearing);
    const QByteArray earlierBytes = bytesOf(earlier.path);
    const QByteArray dataBytes = bytesOf(data());
    for (const qint64 room : {qint64(0), qint64(8192)}) {
        FaultyFiles files;
        files.faults.diskSpace = room;
        try {
            SafetyCopy::take(store(), SafetyCopy::Before::import);
            QFAIL("a full disk must stop the operation");
        } catch (const DeskError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("磁盘已满")), qPrintable(e.message()));
            QVERIFY2(e.message().contains(QStringLiteral("“数据导入”没有进行")), qPrintable(e.message()));
        }
        QCOMPARE(files.faults.diskSpace, 0);
    }
    QCOMPARE(entriesOf(store().folder), QStringList{QFileInfo(earlier.path).fileName()});
    QCOMPARE(bytesOf(earlier.path), earlierBytes);
    QCOMPARE(bytesOf(data()), dataBytes);
}

void TestSafetyCopy::retentionRemovesTheOldestOnlyOnceTheNewIsComplete() {
    SafetyCopy::Store s = store();
    for (int i = 0; i < 30; ++i)
        SafetyCopy::take(s, QStringLiteral("操作%1").arg(i));
    QList<SafetyCopy::Copy> copies = SafetyCopy::list(s);
    QCOMPARE(copies.size(), 30);
    QCOMPARE(copies.first().operation, QStringLiteral("操作29")); // newest first, within one second too
    const QString oldest = copies.last().path;

    // The 31st fails: nothing goes.
    {
        FaultyFiles files;
        files.faults.diskSpace = 4096;
        QVERIFY_THROWS_EXCEPTION(DeskError, SafetyCopy::take(s, QStringLiteral("操作30")));
    }
    QCOMPARE(SafetyCopy::list(s).size(), 30);
    QVERIFY(QFileInfo::exists(oldest));

    // The 31st succeeds: the oldest goes, after the new one has its name.
    FaultyFiles files;
    const SafetyCopy::Copy newest = SafetyCopy::take(s, QStringLiteral("操作30"));
    copies = SafetyCopy::list(s);
    QCOMPARE(copies.size(), 30);
    QCOMPARE(copies.first().path, newest.path);
    QVERIFY(!QFileInfo::exists(oldest));
    qsizetype renamed = -1;
    for (qsizetype i = 0; i < files.log.size() && renamed < 0; ++i)
        if (files.log[i].startsWith(QLatin1String("rename ")) && files.log[i].endsWith(QFileInfo(newest.path).fileName()))
            renamed = i;
    const qsizetype removed = files.log.indexOf(QStringLiteral("remove %1").arg(QFileInfo(oldest).fileName()));
    QVERIFY2(renamed >= 0 && removed > renamed, qPrintable(files.log.join('\n')));
}

void TestSafetyCopy::roomIsKeptForTheNewestThree() {
    SafetyCopy::Store s = store();
    const qint64 size = QFileInfo(data()).size();
    s.limits.freePercent = 100;
    s.limits.maxBytes = size * 9 / 2; // room for four and a half copies
    for (int i = 0; i < 5; ++i)
        SafetyCopy::take(s, QStringLiteral("操作%1").arg(i));
    QList<SafetyCopy::Copy> copies = SafetyCopy::list(s);
    QCOMPARE(copies.size(), 4); // the fifth made the oldest go
    QCOMPARE(copies.last().operation, QStringLiteral("操作1"));

    // Less room than a new copy and the newest three take: the newest three
    // stay, and the operation does not run.
    s.limits.maxBytes = size * 7 / 2;
    try {
        SafetyCopy::take(s, clearing);
        QFAIL("no room must stop the operation");
    } catch (const DeskError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("最近三份副本")), qPrintable(e.message()));
        QVERIFY2(e.message().contains(QStringLiteral("“清空数据”没有进行")), qPrintable(e.message()));
    }
    QCOMPARE(SafetyCopy::list(s).size(), 4);
}

void TestSafetyCopy::crashAtEveryStepOfARestore() {
    const QByteArray restored = databaseContent(data());
    const SafetyCopy::Copy copy = SafetyCopy::take(store(), clearing);
    change();
    const QByteArray current = databaseContent(data());
    const QString saved = dir_->filePath(QStringLiteral("saved"));
    QVERIFY(QDir().mkpath(saved));
    QVERIFY(QFile::copy(data(), saved + QStringLiteral("/CSBMK.mdb")));
    const auto freshData = [&] {
        QFile::remove(data());
        QVERIFY(QFile::copy(saved + QStringLiteral("/CSBMK.mdb"), data()));
        for (const QString& name : entriesOf(store().folder))
            if (store().folder + name != copy.path)
                QFile::remove(store().folder + name);
    };

    int steps = 0;
    {
        FaultyFiles files;
        files.faults.shortWrites = true;
        SafetyCopy::restore(store(), copy);
        steps = files.operations();
    }
    QCOMPARE(databaseContent(data()), restored);
    QVERIFY(steps > 6);
    for (int crashAt = 0; crashAt < steps; ++crashAt) {
        freshData();
        {
            FaultyFiles files;
            files.faults.shortWrites = true;
            files.faults.crashAt = crashAt;
            QVERIFY_THROWS_EXCEPTION(SimulatedCrash, SafetyCopy::restore(store(), copy));
        }
        // Wherever it stopped, the data file is whole: the old or the restored one.
        const QByteArray now = databaseContent(data());
        QVERIFY2(now == current || now == restored, qPrintable(QString::number(crashAt)));
        // And the next restore goes through.
        SafetyCopy::restore(store(), copy);
        QCOMPARE(databaseContent(data()), restored);
    }
}

void TestSafetyCopy::protectedFilesStayProtected() {
    const QByteArray before = databaseContent(data());
    QCOMPARE(FileProtection::protect(data()), FileProtection::Form::Plain);
    SafetyCopy::Store s = store();
    s.protectedForm = true;
    const SafetyCopy::Copy copy = SafetyCopy::take(s, clearing);
    QCOMPARE(copy.students, 172);
    QCOMPARE(FileProtection::formOf(copy.path), FileProtection::Form::Protected);
    QCOMPARE(FileProtection::formOf(data()), FileProtection::Form::Protected);
    {
        FileProtection::Lift lifted(data());
        change();
    }
    SafetyCopy::restore(s, copy);
    QCOMPARE(FileProtection::formOf(data()), FileProtection::Form::Protected);
    QCOMPARE(databaseContent(data()), before);
    QCOMPARE(FileProtection::formOf(SafetyCopy::list(s).first().path), FileProtection::Form::Protected);
}

void TestSafetyCopy::damagedDataFileIsKeptAndRestored() {
    const QByteArray before = databaseContent(data());
    const SafetyCopy::Copy copy = SafetyCopy::take(store(), clearing);
    QFile f(data());
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    const QByteArray damaged("SQLite format 3\0 garbage garbage garbage", 40);
    f.write(damaged);
    f.close();
    // No copy of it: an operation that needs one does not run.
    QVERIFY_THROWS_EXCEPTION(SafetyCopy::DamagedFile, SafetyCopy::take(store(), clearing));
    SafetyCopy::restore(store(), copy);
    QCOMPARE(databaseContent(data()), before);
    const QStringList kept = QDir(store().folder).entryList({QStringLiteral("*.损坏")}, QDir::Files);
    QCOMPARE(kept.size(), 1);
    QCOMPARE(bytesOf(store().folder + kept[0]), damaged);
}

QTEST_GUILESS_MAIN(TestSafetyCopy)
#include "test_safetycopy.moc"
