#include "SafetyCopy.h"
#include "Database.h"
#include "EngineProblem.h"
#include "DeskError.h"
#include "FileOps.h"
#include "FileProtection.h"
#include "Profile.h"
#include "StationFolder.h"
#include "StationLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>
#include <cerrno>
#include <memory>
#include <sqlite3.h>

namespace SafetyCopy {

namespace {

const QString folderName = QStringLiteral("备份");
const QString partSuffix = QStringLiteral(".part");
const QString incomingSuffix = QStringLiteral(".恢复中");
const QString damagedSuffix = QStringLiteral(".损坏");
const QString stampFormat = QStringLiteral("yyyy-MM-dd HHmmss");
constexpr int newestKept = 3; // never removed to make room

QString native(const QString& path) { return QDir::toNativeSeparators(QDir::cleanPath(path)); }

bool isDamage(const QString& engineText) {
    return engineText.contains(QLatin1String("not a database")) || engineText.contains(QLatin1String("malformed")) ||
           engineText.contains(QLatin1String("corrupt"));
}

QString sizeText(qint64 bytes) {
    if (bytes < 1024 * 1024)
        return QStringLiteral("%1 KB").arg(double(bytes) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 MB").arg(double(bytes) / (1024.0 * 1024.0), 0, 'f', 1);
}

// The operation a message names: the copy before a restore is named for
// the restore it comes before.
QString operationShown(const QString& operation) {
    return operation == SafetyCopy::Before::restoring ? QStringLiteral("数据恢复") : operation;
}

// "<why> “<operation>”没有进行，数据没有任何改动。"
DeskError notTaken(const QString& operation, const QString& why) {
    return DeskError(QStringLiteral("%1“%2”没有进行，数据没有任何改动。").arg(why, operationShown(operation)));
}

struct Name {
    QDateTime time;
    int sequence = 1;
    QString operation;
    int students = -1;
};

bool parseName(const QString& fileName, const QString& dbName, Name* name) {
    static const QRegularExpression pattern(
        QStringLiteral("^(\\d{4}-\\d{2}-\\d{2} \\d{6})(?:-(\\d+))? (.+?)(?: (\\d+)人)? (.+)$"));
    const QRegularExpressionMatch m = pattern.match(fileName);
    if (!m.hasMatch() || m.captured(5) != dbName)
        return false;
    name->time = QDateTime::fromString(m.captured(1), stampFormat);
    if (!name->time.isValid())
        return false;
    name->sequence = m.captured(2).isEmpty() ? 1 : m.captured(2).toInt();
    name->operation = m.captured(3);
    name->students = m.captured(4).isEmpty() ? -1 : m.captured(4).toInt();
    return true;
}

QString fileNameOf(const Name& name, const QString& dbName) {
    QString text = name.time.toString(stampFormat);
    if (name.sequence > 1)
        text += QStringLiteral("-%1").arg(name.sequence);
    text += QLatin1Char(' ') + name.operation;
    if (name.students >= 0)
        text += QStringLiteral(" %1人").arg(name.students);
    return text + QLatin1Char(' ') + dbName;
}

qint64 freeSpace(const QString& folder) {
    const QStorageInfo storage(folder);
    return storage.isValid() ? storage.bytesAvailable() : -1;
}

qint64 totalSize(const QList<Copy>& copies, int first = 0, int end = -1) {
    qint64 total = 0;
    if (end < 0 || end > copies.size())
        end = int(copies.size());
    for (int i = first; i < end; ++i)
        total += copies[i].size;
    return total;
}

// What all copies together may take: the copies' own space counts as free.
qint64 budgetOf(const Store& store, const QList<Copy>& copies) {
    const qint64 free = freeSpace(store.folder);
    if (free < 0)
        return store.limits.maxBytes;
    const qint64 share = (free + totalSize(copies)) / 100 * store.limits.freePercent;
    return std::min(store.limits.maxBytes, share);
}

void checkRoom(const Store& store, const QList<Copy>& existing, qint64 estimate, const QString& operation) {
    const qint64 free = freeSpace(store.folder);
    if (free >= 0 && free < estimate)
        throw notTaken(operation, QStringLiteral("无法保存数据副本：磁盘已满（需要 %1，只剩 %2）。")
                                      .arg(sizeText(estimate), sizeText(free)));
    const qint64 budget = budgetOf(store, existing);
    const qint64 need = estimate + totalSize(existing, 0, newestKept);
    if (need <= budget)
        return;
    throw notTaken(operation,
                   QStringLiteral("数据副本需要 %1，连同最近三份副本共 %2，超出了数据副本可以使用的 %3"
                                  "（最多 %4 MB，且不超过磁盘可用空间的 %5%）。请删除文件夹“%6”中不再需要的副本，"
                                  "或在 setup.ini 的 [BACKUP] 中调整 MaxMB 和 FreePercent。")
                       .arg(sizeText(estimate), sizeText(need), sizeText(budget))
                       .arg(store.limits.maxBytes / (1024 * 1024))
                       .arg(store.limits.freePercent)
                       .arg(native(store.folder)));
}

// Removes copies an interrupted run left half written (only one station
// works on a folder at a time, so none of them is being written now).
void removeLeftovers(const QString& folder) {
    const QStringList parts = QDir(folder).entryList({QStringLiteral("*") + partSuffix}, QDir::Files | QDir::Hidden);
    for (const QString& part : parts)
        QFile::remove(QDir(folder).filePath(part));
}

void tryRemove(const QString& path) {
    try {
        const QFileInfo info(path);
        if (info.exists() || info.isSymLink())
            FileOps::current().remove(path);
    } catch (const DeskError&) {
    }
}

// The first answer of a one-value statement, or empty when it gives none.
QString scalar(sqlite3* db, const char* sql, int* rc) {
    sqlite3_stmt* statement = nullptr;
    *rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    QString value;
    if (*rc == SQLITE_OK) {
        *rc = sqlite3_step(statement);
        if (*rc == SQLITE_ROW) {
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
            *rc = SQLITE_OK;
        } else if (*rc == SQLITE_DONE) {
            *rc = SQLITE_OK;
        }
    }
    sqlite3_finalize(statement);
    return value;
}

QString engineError(sqlite3* db, int rc) {
    return QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc));
}

enum class Failure { DiskFull, Damaged, Other };

// Why a copy of `database` could not be made, as the error to throw.
[[noreturn]] void copyFailed(Failure failure, const QString& why, const QString& part, const QString& database,
                             const QString& operation) {
    const QString shown = native(part.chopped(partSuffix.size()));
    if (failure == Failure::DiskFull)
        throw notTaken(operation, QStringLiteral("无法保存数据副本“%1”：磁盘已满。").arg(shown));
    if (failure == Failure::Damaged)
        throw DamagedFile(QStringLiteral("数据文件“%1”已损坏（%2），无法为它保存数据副本。“%3”没有进行。")
                              .arg(native(database), why, operationShown(operation)));
    throw notTaken(operation, QStringLiteral("无法保存数据副本“%1”：%2").arg(shown, why));
}

void removePart(const QString& part) {
    QFile::remove(part);
    QFile::remove(part + QStringLiteral("-journal"));
}

void copyInto(Connection& source, const QString& part, const QString& database, const QString& operation) {
    try {
        snapshotDatabase(source, part);
    } catch (const FileError& e) {
        removePart(part);
        copyFailed(e.code() == ENOSPC || e.code() == EDQUOT ? Failure::DiskFull : Failure::Other, e.message(), part,
                   database, operation);
    } catch (const DbError& e) {
        removePart(part);
        if (isDamage(e.engineText()))
            copyFailed(Failure::Damaged, damageProblem(e.engineText()), part, database, operation);
        copyFailed(e.engineText().contains(QLatin1String("disk is full")) ? Failure::DiskFull : Failure::Other,
                   e.message(), part, database, operation);
    }
}

// Checks the copy `part` (quick_check) and counts the students in it.
// Throws, and removes `part`, when it is not whole.
int checkCopy(const QString& part, const QString& database, const QString& operation) {
    sqlite3* db = nullptr;
    const auto fail = [&](int rc, const QString& engineText) {
        sqlite3_close(db);
        removePart(part);
        const bool damaged = rc == SQLITE_CORRUPT || rc == SQLITE_NOTADB || isDamage(engineText);
        copyFailed(damaged ? Failure::Damaged : Failure::Other,
                   damaged ? damageProblem(engineText) : engineProblem(engineText), part, database, operation);
    };
    int rc = sqlite3_open_v2(QFile::encodeName(part).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    if (rc != SQLITE_OK)
        fail(rc, engineError(db, rc));
    const QString verdict = scalar(db, "PRAGMA quick_check", &rc);
    if (rc != SQLITE_OK)
        fail(rc, engineError(db, rc));
    if (verdict != QLatin1String("ok"))
        fail(SQLITE_CORRUPT, QStringLiteral("malformed: ") + verdict);
    int students = -1;
    const QString tables = scalar(db, "select count(*) from sqlite_master where type='table' and name='学生表'", &rc);
    if (rc == SQLITE_OK && tables == QLatin1String("1")) {
        const QString count = scalar(db, "select count(*) from 学生表", &rc);
        if (rc != SQLITE_OK)
            fail(rc, engineError(db, rc));
        students = count.toInt();
    }
    sqlite3_close(db);
    return students;
}

// Removes the oldest copies beyond the count and the space allowed; the
// newest (the one just taken and the three before it) stay whatever space
// they take.
void prune(const Store& store, const QString& spare) {
    const QList<Copy> copies = list(store);
    const qint64 budget = budgetOf(store, copies);
    qint64 total = totalSize(copies);
    qsizetype count = copies.size();
    const int keep = std::max(newestKept, store.limits.keep);
    for (qsizetype i = copies.size() - 1; i >= 1; --i) {
        const bool tooMany = count > keep;
        const bool tooBig = total > budget && i > newestKept;
        if (!tooMany && !tooBig)
            break;
        if (copies[i].path == spare)
            continue;
        tryRemove(copies[i].path);
        total -= copies[i].size;
        --count;
    }
}

// Keeps a damaged data file beside the copies, as it is, before a restore
// replaces it.
void keepDamaged(const Store& store) {
    const QString name = QDateTime::currentDateTime().toString(stampFormat) + QLatin1Char(' ') + Before::restoring +
                         QLatin1Char(' ') + QFileInfo(store.database).fileName() + damagedSuffix;
    const QString kept = store.folder + name;
    tryRemove(kept);
    copyFileDurably(store.database, kept);
}

// Checks the copy brought into the data folder: it must be a whole
// database (read in its plain form), and it goes in in the form the
// station keeps its data file in.
void checkIncoming(const QString& incoming, bool protectedForm) {
    if (protectedForm)
        FileProtection::lift(incoming);
    QString verdict;
    {
        sqlite3* db = nullptr;
        int rc = sqlite3_open_v2(QFile::encodeName(incoming).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
        if (rc == SQLITE_OK)
            verdict = scalar(db, "PRAGMA quick_check", &rc);
        if (rc != SQLITE_OK)
            verdict = engineProblem(QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
        else if (verdict != QLatin1String("ok"))
            verdict = damageProblem(verdict);
        sqlite3_close(db);
    }
    if (verdict != QLatin1String("ok"))
        throw DeskError(QStringLiteral("数据副本检查未通过（%1）").arg(verdict));
    if (protectedForm)
        FileProtection::protect(incoming);
}

Copy takeCopy(const Store& store, const QString& operation, Connection* source, const QString& spare);

} // namespace

Limits readLimits(const QString& setupIni) {
    const Profile profile(setupIni);
    const QString section = QStringLiteral("BACKUP");
    Limits limits;
    limits.keep = std::max(newestKept, profile.readInteger(section, QStringLiteral("Keep"), limits.keep));
    const int megabytes = profile.readInteger(section, QStringLiteral("MaxMB"), int(limits.maxBytes >> 20));
    if (megabytes > 0)
        limits.maxBytes = qint64(megabytes) * 1024 * 1024;
    const int percent = profile.readInteger(section, QStringLiteral("FreePercent"), limits.freePercent);
    if (percent > 0 && percent <= 100)
        limits.freePercent = percent;
    return limits;
}

Store storeOf(const QString& database) {
    Store store;
    store.database = database;
    store.folder = QFileInfo(database).absolutePath() + QLatin1Char('/') + folderName + QLatin1Char('/');
    store.protectedForm = FileProtection::formOf(database) == FileProtection::Form::Protected ||
                          FileProtection::Lift::holders(database) > 0;
    store.limits = readLimits(StationFolder::setupIni());
    return store;
}

QList<Copy> list(const Store& store) {
    const QString dbName = QFileInfo(store.database).fileName();
    struct Found {
        Copy copy;
        int sequence;
    };
    QList<Found> found;
    const QFileInfoList entries = QDir(store.folder).entryInfoList(QDir::Files | QDir::Hidden);
    for (const QFileInfo& entry : entries) {
        Name name;
        if (!parseName(entry.fileName(), dbName, &name))
            continue;
        Copy copy;
        copy.path = entry.absoluteFilePath();
        copy.time = name.time;
        copy.operation = name.operation;
        copy.students = name.students;
        copy.size = entry.size();
        found.append({copy, name.sequence});
    }
    std::sort(found.begin(), found.end(), [](const Found& a, const Found& b) {
        if (a.copy.time != b.copy.time)
            return a.copy.time > b.copy.time;
        return a.sequence > b.sequence;
    });
    QList<Copy> copies;
    copies.reserve(found.size());
    for (const Found& f : std::as_const(found))
        copies.append(f.copy);
    return copies;
}

Copy take(const Store& store, const QString& operation, Connection* source) {
    return takeCopy(store, operation, source, QString());
}

namespace {

Copy takeCopy(const Store& store, const QString& operation, Connection* source, const QString& spare) {
    const QFileInfo data(store.database);
    const QString dbName = data.fileName();
    if (!data.isFile())
        throw notTaken(operation, QStringLiteral("数据文件“%1”不存在，无法保存数据副本。").arg(native(store.database)));
    if (!QDir().mkpath(store.folder) || !QFileInfo(store.folder).isDir())
        throw notTaken(operation, QStringLiteral("无法建立数据副本文件夹“%1”。").arg(native(store.folder)));
    removeLeftovers(store.folder);
    const QList<Copy> existing = list(store);
    checkRoom(store, existing, data.size(), operation);

    Name name;
    name.time = QDateTime::currentDateTime();
    name.time.setTime(QTime(name.time.time().hour(), name.time.time().minute(), name.time.time().second()));
    name.operation = operation;
    {
        // Two copies within one second are told apart by a number.
        const QString stamp = name.time.toString(stampFormat);
        const QStringList taken = QDir(store.folder).entryList({stamp + QLatin1Char('*')}, QDir::Files | QDir::Hidden);
        for (const QString& other : taken) {
            Name otherName;
            if (parseName(other, dbName, &otherName) || other.endsWith(damagedSuffix))
                name.sequence = std::max(name.sequence, otherName.sequence + 1);
        }
    }
    const QString part = store.folder + fileNameOf(name, dbName) + partSuffix;

    {
        // A connection handed in comes with the file lifted. Nothing else
        // opens the file while that connection holds its lock: closing
        // another handle of it would drop the locks of the whole process.
        std::unique_ptr<FileProtection::Lift> lifted;
        if (store.protectedForm && !source)
            lifted = std::make_unique<FileProtection::Lift>(store.database);
        std::unique_ptr<Connection> own;
        Connection* from = source;
        try {
            if (!from) {
                own = std::make_unique<Connection>(store.database);
                from = own.get();
            }
        } catch (const DbError& e) {
            if (isDamage(e.engineText()))
                throw DamagedFile(QStringLiteral("数据文件“%1”已损坏（%2），无法为它保存数据副本。“%3”没有进行。")
                                        .arg(native(store.database), damageProblem(e.engineText()), operationShown(operation)));
            throw notTaken(operation, QStringLiteral("无法读取数据文件以保存数据副本：%1").arg(e.message()));
        }
        copyInto(*from, part, store.database, operation);
    }
    name.students = checkCopy(part, store.database, operation);

    Copy copy;
    copy.path = store.folder + fileNameOf(name, dbName);
    copy.time = name.time;
    copy.operation = operation;
    copy.students = name.students;
    try {
        if (store.protectedForm)
            FileProtection::protect(part);
        copy.size = QFileInfo(part).size();
        FileOps::current().rename(part, copy.path);
        FileOps::current().syncFolder(store.folder);
    } catch (const DeskError& e) {
        tryRemove(part);
        throw notTaken(operation, QStringLiteral("无法保存数据副本“%1”：%2").arg(native(copy.path), e.message()));
    }
    prune(store, spare);
    return copy;
}

} // namespace

Copy before(const QString& database, const QString& operation) { return take(storeOf(database), operation); }

void restore(const Store& store, const Copy& copy) {
    const QString action = QStringLiteral("数据恢复");
    if (!QFileInfo(copy.path).isFile())
        throw DeskError(QStringLiteral("数据副本“%1”不存在，数据没有恢复。").arg(native(copy.path)));
    StationLock::refuseIfOpenElsewhere(store.database, action);
    const QString incoming = store.database + incomingSuffix;
    FileOps& ops = FileOps::current();
    const auto notRestored = [&](const QString& why) {
        return DeskError(QStringLiteral("%1\n数据文件“%2”保持原样，数据没有恢复。").arg(why, native(store.database)));
    };

    // The chosen copy comes into the data folder first, whole and checked.
    tryRemove(incoming);
    try {
        copyFileDurably(copy.path, incoming);
        checkIncoming(incoming, store.protectedForm);
    } catch (const DeskError& e) {
        tryRemove(incoming);
        throw notRestored(QStringLiteral("无法把数据副本“%1”放回数据文件夹：%2").arg(native(copy.path), e.message()));
    }

    // Then the current state is copied, and the file replaced, under one
    // exclusive lock: nothing written meanwhile can be lost.
    try {
        std::unique_ptr<FileProtection::Lift> lifted; // outlives the hold
        std::unique_ptr<ExclusiveHold> hold;
        if (QFileInfo(store.database).isFile()) {
            if (store.protectedForm)
                lifted = std::make_unique<FileProtection::Lift>(store.database);
            bool damaged = false;
            try {
                hold = std::make_unique<ExclusiveHold>(store.database);
            } catch (const DbError& e) {
                if (!isDamage(e.engineText()))
                    throw;
                damaged = true;
            }
            if (!damaged) {
                try {
                    takeCopy(store, Before::restoring, &hold->connection(), copy.path);
                } catch (const DamagedFile&) {
                    damaged = true;
                }
            }
            if (damaged)
                keepDamaged(store);
        }
        ops.rename(incoming, store.database);
    } catch (const DeskError& e) {
        tryRemove(incoming);
        throw notRestored(e.message());
    }
    try {
        ops.syncFolder(QFileInfo(store.database).absolutePath());
    } catch (const DeskError& e) {
        throw DeskError(QStringLiteral("数据已经恢复，但无法确认数据文件夹的改动已写入磁盘：%1").arg(e.message()));
    }
}

} // namespace SafetyCopy
