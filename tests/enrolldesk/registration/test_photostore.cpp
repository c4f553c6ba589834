// The photo store's names and lookups, its writes when the disk fails, and
// the export of photographs.
#include "DeskError.h"
#include "FaultInjection.h"
#include "FileOps.h"
#include "PhotoStore.h"
#include "StationFolder.h"
#include "TempStation.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

namespace {

bool write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

} // namespace

class TestPhotoStore : public QObject {
    Q_OBJECT
private slots:
    void photoNames_data();
    void photoNames();
    void findToleratesTheCaseOfTheExtension();
    void saveThatFailsKeepsTheEarlierPhoto();
    void exportListsWhatItCannotCopy();
};

void TestPhotoStore::photoNames_data() {
    QTest::addColumn<QString>("subNumber");
    QTest::addColumn<bool>("valid");
    QTest::newRow("digits") << "09010100020001" << true;
    QTest::newRow("letters, blanks around") << " 0901010a0B0001 " << true;
    QTest::newRow("a path") << "../0123456789x" << false;
    QTest::newRow("a folder") << "0901/100020001" << false;
    QTest::newRow("a dot") << "0901010002000." << false;
    QTest::newRow("a blank inside") << "0901010 020001" << false;
    QTest::newRow("full-width digits") << QStringLiteral("０９０１") << false;
    QTest::newRow("empty") << "" << false;
}

void TestPhotoStore::photoNames() {
    QFETCH(QString, subNumber);
    QFETCH(bool, valid);
    QCOMPARE(PhotoStore::isPhotoName(subNumber), valid);
    if (valid) {
        QCOMPARE(PhotoStore::fileName(subNumber), subNumber.trimmed() + QStringLiteral(".jpg"));
    } else {
        try {
            PhotoStore::fileName(subNumber);
            QFAIL("no refusal");
        } catch (const DeskError& e) {
            QCOMPARE(e.message(), PhotoStore::invalidNameMessage(subNumber));
            QVERIFY(e.message().contains(subNumber.trimmed()));
        }
        QCOMPARE(PhotoStore::find(QStringLiteral("/tmp/"), subNumber), QString());
    }
}

void TestPhotoStore::findToleratesTheCaseOfTheExtension() {
    TempStation station;
    const QString store = StationFolder::photoFolder();
    const QString sub = QStringLiteral("09010100020001");
    QVERIFY(write(store + sub + QStringLiteral(".JPG"), "camera card"));
    QCOMPARE(PhotoStore::find(store, QStringLiteral(" ") + sub), store + sub + QStringLiteral(".JPG"));
    QVERIFY(write(store + sub + QStringLiteral(".jpg"), "new"));
    QCOMPARE(PhotoStore::find(store, sub), store + sub + QStringLiteral(".jpg"));

    // A FIFO or a link to a device is no photo (reading it would hang or
    // never end).
    QCOMPARE(::mkfifo(QFile::encodeName(store + QStringLiteral("09010100020002.jpg")).constData(), 0600), 0);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), store + QStringLiteral("09010100020003.jpg")));
    QCOMPARE(PhotoStore::find(store, QStringLiteral("09010100020002")), QString());
    QCOMPARE(PhotoStore::find(store, QStringLiteral("09010100020003")), QString());

}

// A save that fails leaves the earlier photo whole and no partial file
// beside it; a missing photo folder is an error naming the photo.
void TestPhotoStore::saveThatFailsKeepsTheEarlierPhoto() {
    TempStation station;
    const QString store = StationFolder::photoFolder();
    const QString sub = QStringLiteral("01320101234567");
    const QString photo = store + sub + QStringLiteral(".jpg");
    QVERIFY(write(photo, "earlier photo"));
    {
        FaultInjection::FaultyFiles faulty;
        faulty.faults.diskSpace = 1000;
        try {
            PhotoStore::save(store, sub, QByteArray(5000, 'j'));
            QFAIL("the full disk went unnoticed");
        } catch (const FileError& error) {
            QCOMPARE(error.path(), photo);
        }
    }
    QCOMPARE(contents(photo), QByteArray("earlier photo"));
    QCOMPARE(filesIn(store), QStringList{sub + ".jpg"});

    QVERIFY(QDir(store).removeRecursively());
    QVERIFY_THROWS_EXCEPTION(FileError, PhotoStore::save(store, sub, "jpeg"));
}

// The export writes "<stem>.jpg" whatever the case in the store, and names
// every photo it could not copy with the reason.
void TestPhotoStore::exportListsWhatItCannotCopy() {
    TempStation station;
    QTemporaryDir target;
    const QString store = StationFolder::photoFolder();
    QVERIFY(write(store + QStringLiteral("09010100010001.JPG"), "one"));
    QVERIFY(write(store + QStringLiteral("09010100010003.jpg"), "three"));
    QCOMPARE(::mkfifo(QFile::encodeName(store + QStringLiteral("09010100010002.jpg")).constData(), 0600), 0);
    const QVector<PhotoStore::Entry> entries = PhotoStore::list(store);
    QCOMPARE(entries.size(), 3);
    int progressed = 0;
    const PhotoStore::CopyResult result =
        PhotoStore::exportTo(entries, store, target.path(), [&](int done, int total) {
            QCOMPARE(total, 3);
            progressed = done;
        });
    QCOMPARE(progressed, 3);
    QCOMPARE(result.copied, 2);
    QCOMPARE(result.failed.size(), 1);
    QCOMPARE(result.failed[0].name, QStringLiteral("09010100010002.jpg"));
    QCOMPARE(result.failed[0].reason, QStringLiteral("不是普通文件。"));
    QCOMPARE(filesIn(target.path()), (QStringList{"09010100010001.jpg", "09010100010003.jpg"}));
    QCOMPARE(contents(target.filePath(QStringLiteral("09010100010001.jpg"))), QByteArray("one"));
}

QTEST_GUILESS_MAIN(TestPhotoStore)
#include "test_photostore.moc"
