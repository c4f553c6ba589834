#pragma once

#include "DeskError.h"

#include <QDateTime>
#include <QList>
#include <QString>

class Connection;

// Safety copies: a way back from a wrong click.
//
// Before every operation that changes many rows or removes rows (clearing,
// imports, generated rows, corrections, deletes, school-wide credits,
// compaction) the station takes a copy of its data file into "备份/" beside
// it, named by date, time, the operation and the number of students in it:
// "2026-12-10 093015 清空数据 312人 CSBMK.mdb". The copy is a snapshot of the
// file under the engine's read lock (snapshotDatabase()), checked
// (quick_check) and complete on the disk before the operation starts; when
// it cannot be made, take() throws and the operation must not run.
// restore() puts a chosen copy back by the same safe steps as compaction,
// after a copy of the current state.
//
// Space is bounded: the newest `keep` copies are kept, all of them together
// within min(maxBytes, freePercent % of the free space, counting the
// copies' own space as free). Old copies go only once a new one is complete,
// and the newest three are never removed to make room: when even they leave
// no room, the operation does not run.
namespace SafetyCopy {

struct Limits {
    int keep = 30;                                // copies kept (at least 3)
    qint64 maxBytes = qint64(2048) * 1024 * 1024; // all copies together
    int freePercent = 20;                         // of the free space
};

// [BACKUP] Keep, MaxMB and FreePercent of the settings file `setupIni`;
// what is missing or not a number keeps its default.
Limits readLimits(const QString& setupIni);

// Where the copies of one data file go, and how.
struct Store {
    QString database;           // the data file
    QString folder;             // "<its folder>/备份/"
    bool protectedForm = false; // copies kept in the credit station's protected form
    Limits limits;
};

// The store of `database`: copies in "备份/" beside it, in the protected form
// when the station keeps the data file so (it is found protected, or a lift
// of this process holds it), limits from the station's setup.ini.
Store storeOf(const QString& database);

struct Copy {
    QString path;
    QDateTime time;
    QString operation;  // what it was taken before
    int students = -1;  // rows of 学生表 in it (-1: not known)
    qint64 size = 0;    // bytes
};

// The copies of `store`, newest first. Files of other names in the folder
// are none of ours and are never listed or removed.
QList<Copy> list(const Store& store);

// The data file is damaged: no copy of it can pass the check. (An
// operation that never writes a damaged file, compaction, goes on without.)
class DamagedFile : public DeskError {
public:
    using DeskError::DeskError;
};

// Takes the copy of store.database before `operation` and keeps the space
// bounded. `source`, when given, is a connection that already has the file
// (an ExclusiveHold's, on a file already lifted when it is protected): the
// copy is taken through it. Throws DeskError with
// the reason (a full disk, no room within the limits, a folder that cannot
// be written; DamagedFile for a damaged data file) when no complete,
// checked copy could be made; the earlier copies are then as they were.
Copy take(const Store& store, const QString& operation, Connection* source = nullptr);

// take(storeOf(database), operation): the one call before an operation.
Copy before(const QString& database, const QString& operation);

// Puts `copy` in place of store.database: refuses when another process has
// the data file open; first takes a copy of the current state (a damaged
// data file is kept beside the copies instead); then copies `copy` into
// the data folder under a temporary name with every write and the sync
// checked, checks it, and renames it over the data file under the engine's
// exclusive lock. Whenever it stops, the data file is whole: the old one or
// the restored one. Throws DeskError saying why it did not restore.
void restore(const Store& store, const Copy& copy);

// What a copy is taken before: the operation part of its name.
namespace Before {
inline const QString clearing = QStringLiteral("清空数据");
inline const QString import = QStringLiteral("数据导入");
inline const QString scoreImport = QStringLiteral("成绩导入");
inline const QString scoreClearing = QStringLiteral("清空成绩");
inline const QString makeup = QStringLiteral("补考生成");
inline const QString corrections = QStringLiteral("校验更正");
inline const QString recordChange = QStringLiteral("数据修改");
inline const QString recordDelete = QStringLiteral("数据删除");
inline const QString compaction = QStringLiteral("数据库压缩");
inline const QString creditImport = QStringLiteral("学分导入");
inline const QString wholeSchool = QStringLiteral("全校学分设置");
inline const QString batchEntry = QStringLiteral("批量录入");
inline const QString restoring = QStringLiteral("恢复数据前");
} // namespace Before

} // namespace SafetyCopy
