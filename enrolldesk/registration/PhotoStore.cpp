#include "PhotoStore.h"

#include "DeskError.h"
#include "FileOps.h"
#include "Query.h"
#include "TestNumber.h"
#include "Text.h"
#include "WholeFile.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QStringDecoder>
#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace PhotoStore {

namespace {

const QString extension = QStringLiteral(".jpg");

QString notRegular() { return QStringLiteral("不是普通文件。"); }
QString tooLarge() { return QStringLiteral("文件太大（超过%1MB），不是照片。").arg(maxPhotoBytes >> 20); }

// WholeFile::replaceAtomically writes beside the photo under this suffix.
constexpr int temporarySuffixBytes = 5; // ".part"

QByteArray native(const QString& path) { return QFile::encodeName(path); }

bool endsWithJpg(const QByteArray& name) {
    return name.size() >= 4 && name.right(4).toLower() == QByteArrayLiteral(".jpg");
}

// The name as the system's encoding reads it, or a null string when it is
// not valid in it (then it could not be opened by the decoded name either).
QString decodedName(const QByteArray& raw) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString name = utf8.decode(raw);
    if (utf8.hasError() || QFile::encodeName(name) != raw)
        return QString();
    return name;
}

// How to show a name the system cannot read: names copied from Windows
// computers are mostly GBK, which GB18030 reads; else with replacement marks.
QString shownName(const QByteArray& raw) {
    QStringDecoder gb18030("GB18030");
    if (gb18030.isValid()) {
        const QString name = gb18030.decode(raw);
        if (!gb18030.hasError() && !name.contains(QChar::ReplacementCharacter))
            return name;
    }
    return QString::fromUtf8(raw);
}

// The spellings of "<stem>.jpg" with the extension in every case, the
// preferred ".jpg" first.
QStringList spellings(const QString& stem) {
    QStringList names;
    for (int mask = 0; mask < 8; ++mask) {
        QString ext = extension;
        for (int i = 0; i < 3; ++i)
            if (mask & (1 << i))
                ext[i + 1] = ext[i + 1].toUpper();
        names << stem + ext;
    }
    return names;
}

bool isRegularFile(const QString& path) {
    struct stat st {};
    return ::stat(native(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// Removes the other spellings of the photo `keep` in `store`. On a file
// system that ignores case (a USB stick, a Windows share) they are the kept
// file itself and stay. What cannot be removed stays too; the lookups prefer
// `keep` anyway.
void removeOtherSpellings(const QString& store, const QString& stem, const QString& keep) {
    struct stat kept {};
    if (::stat(native(store + keep).constData(), &kept) != 0)
        return;
    for (const QString& name : spellings(stem)) {
        if (name == keep)
            continue;
        const QByteArray path = native(store + name);
        struct stat st {};
        if (::lstat(path.constData(), &st) != 0 || (st.st_dev == kept.st_dev && st.st_ino == kept.st_ino))
            continue;
        if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode))
            ::unlink(path.constData());
    }
}

long nameMaxOf(const QString& folder) {
    errno = 0;
    const long max = ::pathconf(native(folder).constData(), _PC_NAME_MAX);
    return max > 0 ? max : 255;
}

// Whether "<folder><name>" and the temporary file beside it fit the file
// system of `folder`.
bool fitsIn(const QString& folder, const QString& name, long nameMax) {
    const qsizetype nameBytes = native(name).size() + temporarySuffixBytes;
    const qsizetype pathBytes = native(folder).size() + nameBytes;
    return nameBytes <= nameMax && pathBytes < PATH_MAX;
}

// The bytes of the photograph at `path`: a regular file of at most
// maxPhotoBytes. Opened without waiting, so a FIFO is refused rather than
// waited on; a link is followed, and refused when it leads to anything
// but a regular file.
QByteArray readPhoto(const QByteArray& path, const QString& shown) {
    const int fd = ::open(path.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        throw FileError::fromErrno(QStringLiteral("读取"), shown, errno);
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        throw FileError::fromErrno(QStringLiteral("读取"), shown, errno);
    if (!S_ISREG(st.st_mode))
        throw DeskError(notRegular());
    if (st.st_size > maxPhotoBytes)
        throw DeskError(tooLarge());
    // (A regular file reads the same without waiting.)
    QByteArray bytes;
    bytes.reserve(qsizetype(st.st_size));
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw FileError::fromErrno(QStringLiteral("读取"), shown, errno);
        if (n == 0)
            break;
        bytes.append(buffer, n);
        if (bytes.size() > maxPhotoBytes) // it grew while being read
            throw DeskError(tooLarge());
    }
    return bytes;
}

} // namespace

QString folderOf(const QString& programFolder) { return programFolder + QStringLiteral("photo/"); }

bool isPhotoName(const QString& subNumber) {
    const QString name = Text::trimmed(subNumber);
    if (name.isEmpty())
        return false;
    return std::all_of(name.begin(), name.end(), [](QChar c) {
        return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
               (c >= QLatin1Char('A') && c <= QLatin1Char('Z'));
    });
}

QString invalidNameMessage(const QString& subNumber) {
    return QStringLiteral("“%1”不能作为照片文件名：学业水平测试副号只能由字母和数字组成。").arg(Text::trimmed(subNumber));
}

QString fileName(const QString& subNumber) {
    if (!isPhotoName(subNumber))
        throw DeskError(invalidNameMessage(subNumber));
    return Text::trimmed(subNumber) + extension;
}

QString find(const QString& store, const QString& subNumber) {
    if (!isPhotoName(subNumber))
        return QString();
    for (const QString& name : spellings(Text::trimmed(subNumber))) {
        const QString path = store + name;
        if (isRegularFile(path))
            return path;
    }
    return QString();
}

void save(const QString& store, const QString& subNumber, const QByteArray& jpeg) {
    const QString name = fileName(subNumber);
    WholeFile::replaceAtomically(store + name, jpeg);
    removeOtherSpellings(store, Text::trimmed(subNumber), name);
}

QVector<Entry> list(const QString& folder) {
    QVector<Entry> entries;
    const QByteArray path = native(folder);
    DIR* dir = ::opendir(path.constData());
    if (!dir)
        return entries;
    const int fd = ::dirfd(dir);
    while (const dirent* d = ::readdir(dir)) {
        const QByteArray raw(d->d_name);
        if (!endsWithJpg(raw))
            continue;
        struct stat st {};
        const bool statted = ::fstatat(fd, d->d_name, &st, 0) == 0;
        const int statError = errno;
        if (statted && S_ISDIR(st.st_mode))
            continue;
        Entry e;
        e.rawName = raw;
        const QString name = decodedName(raw);
        e.name = name.isNull() ? shownName(raw) : name;
        e.stem = e.name.left(e.name.size() - extension.size());
        if (name.isNull())
            e.problem = QStringLiteral("文件名不是系统所用的UTF-8文字，无法识别，请给文件改名。");
        else if (!statted)
            e.problem = FileError::fromErrno(QStringLiteral("读取"), folder + name, statError).message();
        else if (!S_ISREG(st.st_mode))
            e.problem = notRegular();
        entries.append(std::move(e));
    }
    ::closedir(dir);
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        const int c = a.name.compare(b.name);
        return c != 0 ? c < 0 : a.rawName < b.rawName;
    });

    // One photo per stem: "<stem>.jpg" if it is there, else the first by name.
    QHash<QString, int> preferred;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        if (!e.problem.isEmpty())
            continue;
        const auto found = preferred.constFind(e.stem);
        if (found == preferred.constEnd() ||
            (e.name.endsWith(extension) && !entries[*found].name.endsWith(extension)))
            preferred.insert(e.stem, i);
    }
    for (int i = 0; i < entries.size(); ++i) {
        Entry& e = entries[i];
        if (!e.problem.isEmpty())
            continue;
        const int keep = preferred.value(e.stem, i);
        if (keep != i)
            e.sameAs = entries[keep].name;
    }
    return entries;
}

CopyResult importFolder(const QString& source, const QString& store, const Progress& progress) {
    QDir().mkpath(store); // when it cannot be made, every copy says why
    QString from = source;
    if (!from.endsWith(QLatin1Char('/')))
        from += QLatin1Char('/');
    const QVector<Entry> entries = list(from);
    const long nameMax = nameMaxOf(store);
    CopyResult result;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        try {
            if (!e.problem.isEmpty())
                throw DeskError(e.problem);
            if (!e.sameAs.isEmpty())
                throw DeskError(QStringLiteral("与“%1”是同一个学生的照片。").arg(e.sameAs));
            const QString name = e.stem + extension;
            if (!fitsIn(store, name, nameMax))
                throw DeskError(QStringLiteral("文件名太长，照片文件夹中无法保存。"));
            const QByteArray bytes = readPhoto(native(from) + e.rawName, from + e.name);
            WholeFile::replaceAtomically(store + name, bytes);
            removeOtherSpellings(store, e.stem, name);
            ++result.copied;
        } catch (const DeskError& error) {
            result.failed.append({e.name, error.message()});
        }
        if (progress)
            progress(i + 1, int(entries.size()));
    }
    return result;
}

CopyResult exportTo(const QVector<Entry>& entries, const QString& store, const QString& target,
                    const Progress& progress) {
    QString to = target;
    if (!to.endsWith(QLatin1Char('/')))
        to += QLatin1Char('/');
    const long nameMax = nameMaxOf(to);
    CopyResult result;
    for (int i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        try {
            if (!e.problem.isEmpty())
                throw DeskError(e.problem);
            if (e.sameAs.isEmpty()) { // else the preferred spelling goes
                const QString name = e.stem + extension;
                if (!fitsIn(to, name, nameMax))
                    throw DeskError(QStringLiteral("文件名太长，目标文件夹中无法保存。"));
                const QByteArray bytes = readPhoto(native(store) + e.rawName, store + e.name);
                WholeFile::replaceAtomically(to + name, bytes);
                ++result.copied;
            }
        } catch (const DeskError& error) {
            result.failed.append({e.name, error.message()});
        }
        if (progress)
            progress(i + 1, int(entries.size()));
    }
    return result;
}

namespace {

// "%Ns" on the local encoding: right-aligned in `width` bytes, never cut.
QString rightAligned(const QString& text, int width) {
    const int bytes = Gb18030::byteLength(text);
    return bytes >= width ? text : QString(width - bytes, QLatin1Char(' ')) + text;
}

// The sub-numbers of the unit's students in both tables.
QSet<QString> studentsOfUnit(const QString& database, const QString& unitCode) {
    const QString sub = QStringLiteral("学业水平测试副号");
    Query q;
    q.setDatabasePath(database);
    q.setSql(QStringLiteral("select %1 from 学生表 where %2=:u union all select %1 from 补考表 where %2=:u")
                 .arg(sub, TestNumber::Sql::unitCode(sub)));
    q.setParam(QStringLiteral(":u"), unitCode);
    q.open();
    QSet<QString> subs;
    subs.reserve(q.recordCount());
    for (int row = 0; row < q.recordCount(); ++row)
        subs.insert(Text::trimmed(Query::textOf(q.value(row, 0))));
    return subs;
}

} // namespace

QString reportLine(const QString& subNumber, const QString& name) {
    return rightAligned(subNumber, 20) + rightAligned(name, 8);
}

QStringList missingPhotoReport(const QVector<ListedStudent>& students, const QString& store,
                               const QString& database, const QString& unitCode) {
    const QVector<Entry> entries = list(store);
    QSet<QString> photographed;
    for (const Entry& e : entries)
        if (e.problem.isEmpty())
            photographed.insert(e.stem);

    QStringList lines{reportLine(QStringLiteral("学业水平测试副号"), QStringLiteral("姓名"))};
    int missing = 0;
    for (const ListedStudent& s : students) {
        if (!isPhotoName(s.subNumber) || !photographed.contains(s.subNumber)) {
            ++missing;
            lines << reportLine(s.subNumber, s.name);
        }
    }
    lines << QString() << QStringLiteral("共有学生：%1,未照相人数为：%2").arg(students.size()).arg(missing);

    // A list of one class, or of the make-up candidates, still counts the
    // unit's other students: their photos are no strays.
    const QSet<QString> known = studentsOfUnit(database, unitCode);
    QStringList strays;
    for (const Entry& e : entries) {
        if (TestNumber::mid(e.stem, 3, 8).compare(unitCode, Qt::CaseInsensitive) == 0 && !known.contains(e.stem))
            strays << e.name;
    }
    if (!strays.isEmpty())
        lines << QString() << QStringLiteral("不属于本名单学生的相片：") << strays;
    return lines;
}

} // namespace PhotoStore
