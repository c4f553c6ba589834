#include "Compaction.h"
#include "Database.h"
#include "FaultInjection.h"
#include "FileOps.h"
#include "FileProtection.h"
#include "Profile.h"
#include "SafetyCopy.h"
#include "StagedFile.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>

// A message that reaches the user names the file and says what went wrong
// in Chinese: never the system's or a library's English ("No such file or
// directory", "database disk image is malformed").
class TestFailureMessages : public QObject {
    Q_OBJECT
private slots:
    void failuresAreToldInChineseNamingTheFile();
};

namespace {

// Two English words in a row, once the paths are taken out.
bool hasEnglish(QString message, const QString& path, const QString& folder) {
    message.remove(QDir::toNativeSeparators(path));
    message.remove(QDir::toNativeSeparators(folder));
    static const QRegularExpression words(QStringLiteral("[A-Za-z]{2,}[ ,:'/-]+[A-Za-z]{2,}"));
    return message.contains(words);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(bytes), bytes.size());
}

// A database of a few pages whose table pages are overwritten: the engine
// opens it, and its check finds the damage.
void writeDamagedDatabase(const QString& path) {
    Connection::createFile(path);
    {
        Connection c(path);
        Transaction t(c);
        c.execute(QStringLiteral("create table t(x text)"));
        for (int i = 0; i < 400; ++i)
            c.execute(QStringLiteral("insert into t values(?)"), {{QString(), QString(200, QLatin1Char('a' + i % 26))}});
        t.commit();
    }
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.seek(4096 * 3));
    QCOMPARE(f.write(QByteArray(4096 * 4, '\x5A')), 4096 * 4);
}

class TempDirectory {
public:
    explicit TempDirectory(const QString& path) : saved_(qgetenv("TMPDIR")) { qputenv("TMPDIR", path.toLocal8Bit()); }
    ~TempDirectory() { qputenv("TMPDIR", saved_); }

private:
    QByteArray saved_;
};

} // namespace

void TestFailureMessages::failuresAreToldInChineseNamingTheFile() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString tooLong = QString(300, QLatin1Char('x'));
    const QString plain = dir.filePath(QStringLiteral("plain.mdb"));
    Connection::createFile(plain);
    const QString damaged = dir.filePath(QStringLiteral("damaged.mdb"));
    writeDamagedDatabase(damaged);
    const QString garbage = dir.filePath(QStringLiteral("garbage.mdb"));
    writeFile(garbage, QByteArray("SQLite format 3\0 garbage garbage garbage", 40));

    struct Case {
        const char* name;
        QString named; // the file the message must name
        std::function<void()> run;
        const char* reason; // Chinese words of the reason, where it is fixed
    };
    const std::vector<Case> cases = {
        {"settings in a missing folder", dir.filePath(QStringLiteral("none/setup.ini")),
         [&] {
             Profile(dir.filePath(QStringLiteral("none/setup.ini")))
                 .writeString(QStringLiteral("A"), QStringLiteral("b"), QStringLiteral("c"));
         },
         "不存在"},
        {"export name too long", tooLong, [&] { StagedFile staged(dir.filePath(tooLong + QStringLiteral(".xls"))); },
         "文件名太长"},
        {"database name too long", tooLong,
         [&] { Connection::createFile(dir.filePath(tooLong + QStringLiteral(".mdb"))); }, "文件名太长"},
        {"copy of a missing file", dir.filePath(QStringLiteral("missing.mdb")),
         [&] { copyFileDurably(dir.filePath(QStringLiteral("missing.mdb")), dir.filePath(QStringLiteral("c.mdb"))); },
         "不存在"},
        {"copy onto a full disk", dir.filePath(QStringLiteral("full.mdb")),
         [&] {
             FaultInjection::FaultyFiles faulty;
             faulty.faults.diskSpace = 100;
             copyFileDurably(plain, dir.filePath(QStringLiteral("full.mdb")));
         },
         "磁盘已满"},
        {"private copy without a temporary folder", plain,
         [&] {
             // A file where the temporary folder should be.
             const TempDirectory notAFolder(garbage);
             FileProtection::PrivateCopy copy(plain);
         },
         "不是文件夹"},
        {"compacting a damaged file", damaged,
         [&] { Compaction::compactFile(damaged, dir.filePath(QStringLiteral("damaged.copy"))); }, nullptr},
        {"safety copy of a damaged file", garbage,
         [&] {
             SafetyCopy::Store store;
             store.database = garbage;
             store.folder = dir.filePath(QStringLiteral("copies/"));
             SafetyCopy::take(store, SafetyCopy::Before::clearing);
         },
         "不是有效的数据库文件"},
    };
    for (const Case& c : cases) {
        QString message;
        try {
            c.run();
        } catch (const DeskError& e) {
            message = e.message();
        }
        QVERIFY2(!message.isEmpty(), c.name);
        QVERIFY2(message.contains(QDir::toNativeSeparators(c.named)), qPrintable(QLatin1String(c.name) + ": " + message));
        QVERIFY2(!hasEnglish(message, c.named, dir.path()), qPrintable(QLatin1String(c.name) + ": " + message));
        if (c.reason)
            QVERIFY2(message.contains(QString::fromUtf8(c.reason)), qPrintable(QLatin1String(c.name) + ": " + message));
    }
}

QTEST_GUILESS_MAIN(TestFailureMessages)
#include "test_failuremessages.moc"
