#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

// The photo store: the flat folder photo/ of the station folder with one
// JPEG per student, named by the student's sub-number and ".jpg". Every
// window that writes, finds, lists, imports or exports photographs goes
// through here, so that they all agree on the names:
//
//  - A photo name is made only from a sub-number of ASCII letters and
//    digits; anything else ("../0123456789x", a blank, a dot) is refused
//    with a message naming the value, so no file is ever written outside
//    the store.
//  - Photos are written as "<sub-number>.jpg". A photo whose extension
//    differs only in case ("<sub-number>.JPG", from an older import or a
//    camera's own card) is found all the same; "<sub-number>.jpg" wins when
//    both are there, and writing a photo removes the other spellings.
//  - Only regular files are photos: a FIFO, a device or a link to one named
//    "*.jpg" is never opened for reading (it could hang or never end).
namespace PhotoStore {

// The store of a station folder (`programFolder` ends in '/').
QString folderOf(const QString& programFolder);

// Whether the trimmed `subNumber` can name a photo: not empty, ASCII
// letters and digits only.
bool isPhotoName(const QString& subNumber);
// "“<value>”不能作为照片文件名：学业水平测试副号只能由字母和数字组成。"
QString invalidNameMessage(const QString& subNumber);

// "<trimmed sub-number>.jpg"; throws DeskError (invalidNameMessage) when
// the sub-number cannot name a photo.
QString fileName(const QString& subNumber);

// The photo of `subNumber` in `store` (ending in '/'): the regular file
// "<sub-number>.jpg", else one whose extension differs only in case. Empty
// when there is none, or when the sub-number cannot name a photo.
QString find(const QString& store, const QString& subNumber);

// Writes `jpeg` as the photo of `subNumber`, replacing an earlier one in one
// step (it stays whole when the write fails), and removes the other
// spellings of its name. The store must exist. Throws DeskError for a
// sub-number that cannot name a photo, FileError naming the photo when it
// cannot be written.
void save(const QString& store, const QString& subNumber, const QByteArray& jpeg);

// --- listing, import and export

// A directory entry that looks like a photograph ("*.jpg" in any case).
struct Entry {
    QString name;      // the name as shown to the user
    QByteArray rawName; // the name as the file system has it
    QString stem;      // the name without its extension
    QString problem;   // why it cannot be taken as a photo; empty when it can
    QString sameAs;    // another spelling of this photo's name that is preferred
};

// The "*.jpg" entries of `folder` (not of its sub-folders), sorted by name.
// Sub-folders are left out. A name that is not valid text in the system's
// encoding, and anything that is not a regular file (a FIFO, a device, a
// broken link), come with their problem. When several spellings of one
// name are there, the preferred one is "<stem>.jpg", else the first by
// name; the others name it in `sameAs`.
QVector<Entry> list(const QString& folder);

// A photograph that was not copied, and why.
struct Failure {
    QString name;
    QString reason;
};

struct CopyResult {
    int copied = 0;
    QVector<Failure> failed; // in the order of the names
};

// Called after each file: `done` of `total`.
using Progress = std::function<void(int done, int total)>;

// Copies every photograph of `source` into `store` (made when missing) as
// "<stem>.jpg", replacing the photo there only with a complete copy. (A
// directory entry cannot name a file outside the store; names are taken as
// they are, as sub-numbers or not.) A name the system cannot read, a name
// too long for the store, a file that is not a regular file or is too large
// to be a photograph is not copied and is listed with its reason, as is
// every copy that fails.
CopyResult importFolder(const QString& source, const QString& store, const Progress& progress = {});

// Copies `entries` (from list() of `store`) into `target` as "<stem>.jpg",
// replacing files of that name there; of several spellings of one name the
// preferred one is copied. Entries with a problem, names too long for the
// target and failing copies are listed; the run goes on with the next entry.
CopyResult exportTo(const QVector<Entry>& entries, const QString& store, const QString& target,
                    const Progress& progress = {});

// --- the missing-photo check of the photo window

struct ListedStudent {
    QString subNumber; // trimmed
    QString name;
};

// One line of the report: both texts right-aligned in 20 and 8 bytes of
// the local encoding (longer texts are kept whole).
QString reportLine(const QString& subNumber, const QString& name);

// The report of a list: the heading, a line for every student without a
// photo, an empty line and "共有学生：<n>,未照相人数为：<missing>"; then,
// when there are any, an empty line, "不属于本名单学生的相片：" and the names
// of the photos of the unit `unitCode` (characters 3-10 of the name,
// without regard to ASCII case) that belong to no student of that unit in
// either table of `database` (学生表, 补考表): stray or misnamed files.
// The store is read once, however long the list.
QStringList missingPhotoReport(const QVector<ListedStudent>& students, const QString& store,
                               const QString& database, const QString& unitCode);

// The largest file taken as a photograph (16 MiB): a stored photo is a few
// dozen kilobytes.
constexpr qint64 maxPhotoBytes = qint64(16) << 20;

} // namespace PhotoStore
