#include "Database.h"
#include "DeskError.h"
#include "FileProtection.h"
#include "Query.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>
#include <stdexcept>
#include <unistd.h>

using FileProtection::Form;
using FileProtection::Lift;

class TestFileProtection : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundTripAndIdempotence();
    void otherFilesAreNeverWritten_data();
    void otherFilesAreNeverWritten();
    void liftRestoresOnEveryPath();
    void fileThatCannotBeWritten();
    void nestedLiftsKeepTheFileLifted();
    void privateCopyOfAReadOnlyFile();

private:
    QByteArray bytes(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    int rows() {
        Query q;
        q.setDatabasePath(db_);
        q.setSql(QStringLiteral("select count(*) as n from t"));
        q.open();
        return int(q.integer(QStringLiteral("n")));
    }

    QTemporaryDir dir_;
    QString db_;
};

void TestFileProtection::init() {
    db_ = dir_.filePath(QStringLiteral("%1.mdb").arg(QTest::currentTestFunction()));
    QFile::remove(db_);
    Connection::createFile(db_);
    Connection(db_).execute(QStringLiteral("create table t(a text)"));
    Connection(db_).execute(QStringLiteral("insert into t values('甲'),('乙')"));
}

void TestFileProtection::roundTripAndIdempotence() {
    const QByteArray plain = bytes(db_);
    QCOMPARE(FileProtection::protect(db_), Form::Plain);
    const QByteArray guarded = bytes(db_);
    QCOMPARE(guarded.left(16), FileProtection::protectedMagic());
    QCOMPARE(guarded.mid(16), plain.mid(16)); // only the magic differs
    QCOMPARE(FileProtection::protect(db_), Form::Protected);
    QCOMPARE(bytes(db_), guarded);
    // The engine refuses the protected form, and the refusal changes
    // nothing; a file protected while in use is in use elsewhere.
    try {
        rows();
        QFAIL("the engine opened a protected file");
    } catch (const DbError& e) {
        QVERIFY2(e.message().contains(QStringLiteral("正被其他程序使用")), qPrintable(e.message()));
    }
    QCOMPARE(bytes(db_), guarded);

    QCOMPARE(FileProtection::lift(db_), Form::Protected);
    QCOMPARE(FileProtection::lift(db_), Form::Plain);
    QCOMPARE(bytes(db_), plain);
    QCOMPARE(rows(), 2);
}

void TestFileProtection::otherFilesAreNeverWritten_data() {
    QTest::addColumn<QByteArray>("content");
    QByteArray jet("\x00\x01\x00\x00Standard Jet DB\x00\x01\x00\x00\x00", 24);
    QTest::newRow("genuine Access file") << jet.append(QByteArray(2024, '\x5a'));
    QTest::newRow("shorter than the magic") << QByteArray("SQLite");
}

void TestFileProtection::otherFilesAreNeverWritten() {
    QFETCH(QByteArray, content);
    const QString path = dir_.filePath(QStringLiteral("other.mdb"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(content);
    f.close();
    QCOMPARE(FileProtection::protect(path), Form::Other);
    QCOMPARE(FileProtection::lift(path), Form::Other);
    { Lift lifted(path); }
    QCOMPARE(bytes(path), content);
    const QString missing = dir_.filePath(QStringLiteral("missing.mdb"));
    { Lift lifted(missing); }
    QVERIFY(!QFile::exists(missing)); // never made up
}

void TestFileProtection::liftRestoresOnEveryPath() {
    // A station file found plain (a crash between lifting and restoring) is
    // accepted and protected afterwards.
    {
        Lift lifted(db_);
        QCOMPARE(lifted.found(), Form::Plain);
        QCOMPARE(rows(), 2);
    }
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);
    try {
        Lift lifted(db_);
        QCOMPARE(FileProtection::formOf(db_), Form::Plain);
        Connection(db_).execute(QStringLiteral("insert into missing_table values(1)"));
    } catch (const DbError&) {
    }
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);
    try {
        Lift lifted(db_);
        throw std::runtime_error("anything");
    } catch (const std::runtime_error&) {
    }
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);

    // A file handed in goes back to the form it was found in.
    {
        Lift lifted(db_, Lift::Restore::AsFound);
        QCOMPARE(rows(), 2);
    }
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);
    FileProtection::lift(db_);
    { Lift lifted(db_, Lift::Restore::AsFound); }
    QCOMPARE(FileProtection::formOf(db_), Form::Plain);
}

void TestFileProtection::fileThatCannotBeWritten() {
    FileProtection::protect(db_);
    bool locked = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), db_}) == 0;
    if (!locked && geteuid() != 0)
        locked = QFile::setPermissions(db_, QFileDevice::ReadOwner);
    if (!locked)
        QSKIP("cannot make a file read-only here");
    const auto unlock = qScopeGuard([this] {
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), db_});
        QFile::setPermissions(db_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    });
    QVERIFY_THROWS_EXCEPTION(DeskError, Lift lifted(db_));
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);
}

void TestFileProtection::nestedLiftsKeepTheFileLifted() {
    FileProtection::protect(db_);
    {
        Lift outer(db_, Lift::Restore::AsFound);
        QCOMPARE(outer.found(), Form::Protected);
        {
            // Another spelling of the same file, as a station file: nothing
            // is written, and letting go does not protect it under `outer`.
            Lift inner(dir_.path() + QStringLiteral("/./") + QFileInfo(db_).fileName());
            QCOMPARE(Lift::holders(db_), 2);
        }
        QCOMPARE(FileProtection::formOf(db_), Form::Plain);
        QCOMPARE(rows(), 2);
        Lift another(db_, Lift::Restore::AsFound);
        outer.restore(); // early, while `another` still works with the file
        QCOMPARE(FileProtection::formOf(db_), Form::Plain);
    }
    QCOMPARE(Lift::holders(db_), 0);
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);

    // Found plain by a holder of files handed in, taken as a station file by
    // an inner holder: protected at the end.
    FileProtection::lift(db_);
    {
        Lift outer(db_, Lift::Restore::AsFound);
        Lift inner(db_);
    }
    QCOMPARE(FileProtection::formOf(db_), Form::Protected);
}

void TestFileProtection::privateCopyOfAReadOnlyFile() {
    FileProtection::protect(db_);
    const QByteArray before = bytes(db_);
    QFile::setPermissions(db_, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
    const bool immutable = QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), db_}) == 0;
    const auto unlock = qScopeGuard([&] {
        if (immutable)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), db_});
        QFile::setPermissions(db_, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    });
    QString copied;
    {
        FileProtection::PrivateCopy copy(db_);
        copied = copy.path();
        QCOMPARE(copy.found(), Form::Protected);
        QCOMPARE(FileProtection::formOf(copied), Form::Plain);
        Connection(copied).execute(QStringLiteral("insert into t values('丙')")); // the copy is ours
        QCOMPARE(bytes(db_), before);
    }
    QVERIFY(!QFile::exists(copied));
    QVERIFY_THROWS_EXCEPTION(DeskError, FileProtection::PrivateCopy(dir_.filePath(QStringLiteral("无.mdb"))));
}

QTEST_GUILESS_MAIN(TestFileProtection)
#include "test_fileprotection.moc"
