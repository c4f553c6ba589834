#include "Compaction.h"
#include "Database.h"
#include "EngineProblem.h"
#include "FileOps.h"
#include "Query.h"
#include "StationLock.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QtEndian>

namespace Compaction {

namespace {

// The compacted copy on its way into the data folder. It is never the only
// intact copy: the data file is replaced only by renaming it.
const QString incomingSuffix = QStringLiteral(".压缩中");
// A damaged data file replaced by an intact leftover copy is kept under this.
const QString damagedSuffix = QStringLiteral(".损坏");

QString native(const QString& path) { return QDir::toNativeSeparators(path); }

enum class State { Intact, Damaged, Missing };

// Whether the file looks like a whole database before the engine reads it:
// the engine takes an empty or cut-off file for a smaller database.
bool headerFits(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return true; // the engine reports why it cannot be read
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArray("SQLite format 3\0", 16)))
        return false;
    const auto* bytes = reinterpret_cast<const uchar*>(header.constData());
    qint64 pageSize = qFromBigEndian<quint16>(bytes + 16);
    if (pageSize == 1)
        pageSize = 65536;
    const quint32 pages = qFromBigEndian<quint32>(bytes + 28);
    const bool pagesValid = qFromBigEndian<quint32>(bytes + 24) == qFromBigEndian<quint32>(bytes + 92);
    return !pagesValid || pages == 0 || file.size() >= qint64(pages) * pageSize;
}

// The engine's verdict on a file: "ok", or its first complaint. Throws
// DbError when the engine cannot read the file for another reason (locked,
// no permission), which says nothing about the file's state.
QString verdictOf(const QString& path) {
    if (!headerFits(path))
        return QStringLiteral("文件不完整");
    try {
        Query query;
        query.setDatabasePath(path);
        query.setSql(QStringLiteral("PRAGMA integrity_check"));
        query.open();
        return query.isEmpty() ? QStringLiteral("无法检查") : query.text(query.fieldNames().value(0));
    } catch (const DbError& e) {
        const QString& engine = e.engineText();
        if (engine.contains(QLatin1String("not a database")) || engine.contains(QLatin1String("malformed")) ||
            engine.contains(QLatin1String("corrupt")))
            return engine;
        throw;
    }
}

State stateOf(const QString& path, QString* verdict = nullptr) {
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return State::Missing;
    const QString v = verdictOf(path);
    if (verdict)
        *verdict = v;
    return v == QLatin1String("ok") ? State::Intact : State::Damaged;
}

void removeIfThere(const QString& path) {
    const QFileInfo info(path);
    if (info.exists() || info.isSymLink())
        FileOps::current().remove(path);
}

// Cleanup after a failure: the failure being reported matters more.
void tryRemove(const QString& path) {
    try {
        removeIfThere(path);
    } catch (const DeskError&) {
    }
}

// Copies `from` into the data folder as `incoming` and checks the result.
void bringIn(const QString& from, const QString& incoming) {
    removeIfThere(incoming);
    copyFileDurably(from, incoming);
    QString verdict;
    if (stateOf(incoming, &verdict) != State::Intact) {
        tryRemove(incoming);
        throw DbError(QStringLiteral("复制到数据文件夹的数据库文件'%1'检查未通过：%2").arg(native(incoming), damageProblem(verdict)),
                      verdict, incoming);
    }
}

// A name beside `path` that is not taken yet.
QString freeName(const QString& path) {
    QString name = path + damagedSuffix;
    for (int n = 2; QFileInfo::exists(name) || QFileInfo(name).isSymLink(); ++n)
        name = path + damagedSuffix + QString::number(n);
    return name;
}

// Puts the intact leftover `copy` in place of the damaged or missing data
// file `source`; the damaged file is kept under another name. The leftover
// itself stays until the data file is intact.
void restore(const QString& source, const QString& copy, FileResult& result) {
    FileOps& ops = FileOps::current();
    const QString incoming = source + incomingSuffix;
    try {
        bringIn(copy, incoming);
        if (QFileInfo::exists(source) || QFileInfo(source).isSymLink()) {
            result.damagedKept = freeName(source);
            ops.rename(source, result.damagedKept);
        }
        ops.rename(incoming, source);
        ops.syncFolder(QFileInfo(source).absolutePath());
    } catch (const DeskError& e) {
        tryRemove(incoming);
        throw DbError(QStringLiteral("数据库文件'%1'已损坏或丢失，上次压缩留下的完好副本'%2'无法放回数据文件夹：%3")
                          .arg(native(source), native(copy), e.message()),
                      QString(), source);
    }
    result.restoredFrom = copy;
}

} // namespace

QString copyName(const QString& name) { return QStringLiteral("压缩") + name; }

FileResult compactFile(const QString& source, const QString& copy) {
    FileOps& ops = FileOps::current();
    FileResult result;
    result.name = QFileInfo(source).fileName();
    const QString incoming = source + incomingSuffix;

    removeIfThere(incoming);
    QString verdict;
    bool intact = false;
    if (QFileInfo::exists(copy) || QFileInfo(copy).isSymLink()) {
        // A leftover of an earlier run goes only once the data file is
        // known to be intact; until then it may be the only intact copy.
        if (stateOf(source, &verdict) == State::Intact) {
            ops.remove(copy);
        } else if (stateOf(copy) == State::Intact) {
            restore(source, copy, result);
            ops.remove(copy);
        } else {
            throw DbError(QStringLiteral("数据库文件'%1'已损坏或丢失，上次压缩留下的副本'%2'也不完整；两个文件都保持原样。")
                              .arg(native(source), native(copy)),
                          verdict, source);
        }
        intact = true; // checked, or restored from a checked copy
    }

    if (!intact && stateOf(source, &verdict) != State::Intact)
        throw DbError(QStringLiteral("数据库文件'%1'已损坏，不能压缩：%2").arg(native(source), damageProblem(verdict)), verdict, source);

    // Another program with the file open would go on writing into the file
    // replaced here; one that opens it meanwhile waits for the lock, which
    // is held from the copy to the rename.
    StationLock::refuseIfOpenElsewhere(source, QStringLiteral("数据库压缩"));
    try {
        ExclusiveHold hold(source);
        compactDatabase(hold.connection(), copy);
        if (stateOf(copy, &verdict) != State::Intact) {
            tryRemove(copy);
            throw DbError(QStringLiteral("压缩后的数据库文件'%1'检查未通过：%2").arg(native(copy), damageProblem(verdict)), verdict,
                          copy);
        }
        bringIn(copy, incoming);
        ops.rename(incoming, source);
    } catch (const FileError& e) {
        tryRemove(incoming);
        if (e.isRefusal()) {
            // The data file cannot be replaced: it stays as it was and the
            // compacted copy stays where it was made.
            result.outcome = Outcome::NotReplaced;
            result.keptCopy = copy;
            return result;
        }
        tryRemove(copy); // the data file is intact and untouched
        throw;
    } catch (const DeskError&) {
        tryRemove(copy);
        throw;
    }
    ops.syncFolder(QFileInfo(source).absolutePath());
    tryRemove(copy);
    result.outcome = Outcome::Compacted;
    return result;
}

Summary compactFolder(const QString& dataFolder, const QString& workFolder,
                      const std::function<void(const FileResult&)>& afterEach) {
    const QDir data(dataFolder);
    const QDir work(workFolder);

    // Data files that are gone while an intact compacted copy of them was
    // left in the work folder (a run interrupted long ago) come back first.
    QHash<QString, FileResult> restored;
    const QStringList leftovers = work.entryList({copyName(QStringLiteral("*.mdb"))}, QDir::Files | QDir::Hidden);
    for (const QString& leftover : leftovers) {
        const QString name = leftover.mid(copyName(QString()).size());
        const QString source = data.absoluteFilePath(name);
        const QString copy = work.absoluteFilePath(leftover);
        if (name.isEmpty() || QFileInfo::exists(source) || QFileInfo(source).isSymLink() ||
            stateOf(copy) != State::Intact)
            continue;
        FileResult result;
        result.name = name;
        restore(source, copy, result);
        restored.insert(name, result);
    }

    Summary summary;
    const QFileInfoList entries =
        data.entryInfoList({QStringLiteral("*.mdb")},
                           QDir::Files | QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    summary.entries = int(entries.size());
    for (const QFileInfo& entry : entries) {
        FileResult result;
        result.name = entry.fileName();
        // Only files and folders, as the engine knows them; devices, pipes
        // and sockets are passed over.
        if (entry.isFile() || entry.isDir())
            result = compactFile(entry.absoluteFilePath(), work.absoluteFilePath(copyName(entry.fileName())));
        const auto earlier = restored.constFind(result.name);
        if (earlier != restored.cend()) {
            result.restoredFrom = earlier->restoredFrom;
            result.damagedKept = earlier->damagedKept;
        }
        if (result.outcome == Outcome::NotReplaced)
            ++summary.notReplaced;
        if (afterEach)
            afterEach(result);
    }
    return summary;
}

} // namespace Compaction
