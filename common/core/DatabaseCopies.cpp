#include "Database.h"
#include "FileModes.h"
#include "FileOps.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>
#include <sqlite3.h>

// Copies of a database file: compacted, or as it stands.

namespace {

QString fileNameOf(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

void compactDatabase(const QString& source, const QString& destination) {
    Connection connection(source);
    compactDatabase(connection, destination);
}

void compactDatabase(Connection& source, const QString& destination) {
    if (QFileInfo::exists(destination))
        throw DbError(QStringLiteral("文件“%1”已存在。").arg(fileNameOf(destination)), QString(), destination);
    try {
        source.execute(QStringLiteral("VACUUM INTO ") + sqlQuote(QFileInfo(destination).absoluteFilePath()));
    } catch (const DbError& e) {
        QFile::remove(destination);
        QFile::remove(destination + QStringLiteral("-journal"));
        // Only the copy is written: a full disk is the copy's, and the
        // source is as it was.
        if (e.engineText().contains(QLatin1String("database or disk is full")) ||
            e.engineText().contains(QLatin1String("disk I/O error")))
            throw DbError(QStringLiteral("无法写入压缩后的数据库文件“%1”（磁盘错误或磁盘已满）；数据库文件“%2”保持原样。")
                              .arg(fileNameOf(destination), fileNameOf(source.path())) +
                              QStringLiteral("\n数据库引擎：%1").arg(e.engineText()),
                          e.engineText(), destination);
        throw;
    } catch (...) {
        QFile::remove(destination);
        QFile::remove(destination + QStringLiteral("-journal"));
        throw;
    }
    // The engine makes new files 0644 less the mask: a shared station's
    // group would lose its write access.
    FileModes::settle(destination);
}

namespace {

QString firstAnswer(sqlite3* db, const char* sql, int* rc) {
    sqlite3_stmt* statement = nullptr;
    QString value;
    *rc = sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
    if (*rc == SQLITE_OK) {
        *rc = sqlite3_step(statement);
        if (*rc == SQLITE_ROW)
            value = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)));
        *rc = *rc == SQLITE_ROW || *rc == SQLITE_DONE ? SQLITE_OK : *rc;
    }
    sqlite3_finalize(statement);
    return value;
}

// The online backup, for a database whose recent commits may lie beside it.
void backupDatabase(sqlite3* source, const QString& sourcePath, const QString& destination) {
    sqlite3* db = nullptr;
    const auto fail = [&](const QString& path, const QString& text) {
        sqlite3_close(db);
        QFile::remove(destination);
        QFile::remove(destination + QStringLiteral("-journal"));
        throw DbError::fromEngine(path, text);
    };
    int rc = sqlite3_open_v2(QFile::encodeName(destination).constData(), &db,
                             SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    if (rc != SQLITE_OK)
        fail(destination, QString::fromUtf8(db ? sqlite3_errmsg(db) : sqlite3_errstr(rc)));
    sqlite3_exec(db, "PRAGMA journal_mode=OFF", nullptr, nullptr, nullptr);
    sqlite3_backup* backup = sqlite3_backup_init(db, "main", source, "main");
    if (!backup)
        fail(destination, QString::fromUtf8(sqlite3_errmsg(db)));
    const int step = sqlite3_backup_step(backup, -1);
    rc = sqlite3_backup_finish(backup);
    if (step != SQLITE_DONE || rc != SQLITE_OK) {
        // The source's own complaint (a damaged page) wins over the copy's.
        const int sourceCode = sqlite3_errcode(source);
        if (sourceCode == SQLITE_CORRUPT || sourceCode == SQLITE_NOTADB)
            fail(sourcePath, QString::fromUtf8(sqlite3_errmsg(source)));
        fail(destination, QString::fromUtf8(sqlite3_errmsg(db)));
    }
    rc = sqlite3_close(db);
    db = nullptr;
    if (rc != SQLITE_OK)
        fail(destination, QString::fromUtf8(sqlite3_errstr(rc)));
}

} // namespace

void snapshotDatabase(Connection& source, const QString& destination) {
    sqlite3* db = source.handle();
    int rc = SQLITE_OK;
    const QString mode = firstAnswer(db, "PRAGMA journal_mode", &rc);
    if (rc != SQLITE_OK)
        throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errmsg(db)));
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0) {
        backupDatabase(db, source.path(), destination);
        return;
    }
    rc = sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    if (rc == SQLITE_OK)
        firstAnswer(db, "select count(*) from sqlite_master", &rc); // takes the read lock
    struct EndRead {
        sqlite3* db;
        ~EndRead() {
            if (!sqlite3_get_autocommit(db))
                sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
    } endRead{db};
    if (rc != SQLITE_OK)
        throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errmsg(db)));
    sqlite3_file* file = nullptr;
    sqlite3_int64 size = 0;
    if (sqlite3_file_control(db, "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods || (rc = file->pMethods->xFileSize(file, &size)) != SQLITE_OK)
        throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errstr(rc ? rc : SQLITE_ERROR)));

    FileOps& ops = FileOps::current();
    const int fd = ops.create(destination);
    bool open = true;
    try {
        QByteArray buffer(1 << 20, Qt::Uninitialized);
        for (sqlite3_int64 offset = 0; offset < size;) {
            const int amount = int(std::min<sqlite3_int64>(buffer.size(), size - offset));
            rc = file->pMethods->xRead(file, buffer.data(), amount, offset);
            if (rc != SQLITE_OK)
                throw DbError::fromEngine(source.path(), QString::fromUtf8(sqlite3_errstr(rc)));
            for (qint64 done = 0; done < amount;)
                done += ops.write(fd, buffer.constData() + done, amount - done, destination);
            offset += amount;
        }
        ops.sync(fd, destination);
        open = false;
        ops.close(fd, destination);
    } catch (const DeskError&) {
        if (open) {
            try {
                ops.close(fd, destination);
            } catch (const DeskError&) {
            }
        }
        QFile::remove(destination);
        throw;
    }
    // The engine makes new files 0644 less the mask: a shared station's
    // group would lose its write access.
    FileModes::settle(destination);
}
