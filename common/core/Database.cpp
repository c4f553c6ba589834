#include "Database.h"
#include "FileOps.h"
#include "Statement.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <sqlite3.h>

namespace {

QAtomicInteger<quint64> connectionCounter;
int busyTimeoutMs = 3000;

QString engineTextOf(const QSqlError& error) {
    QString text = error.databaseText();
    if (text.isEmpty())
        text = error.driverText();
    return text;
}

QString fileNameOf(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

Connection::Connection(const QString& path) : path_(path) {
    const QFileInfo info(path);
    if (!info.exists())
        throw DbError(QStringLiteral("数据库文件“%1”不存在。").arg(fileNameOf(path)), QString(), path);
    if (!info.isFile())
        throw DbError(QStringLiteral("“%1”不是数据库文件。").arg(fileNameOf(path)), QString(), path);

    name_ = QStringLiteral("desk-%1").arg(connectionCounter.fetchAndAddRelaxed(1));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name_);
    QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
    url.setQuery(QStringLiteral("mode=rw"));
    db.setDatabaseName(QString::fromLatin1(url.toEncoded()));
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
    if (!db.open()) {
        const QString text = engineTextOf(db.lastError());
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name_);
        throw DbError::fromEngine(path, text);
    }
    // Room for the pages a bulk run of statements touches (32 MB).
    QSqlQuery(db).exec(QStringLiteral("PRAGMA cache_size=-32768"));
    const QVariant handle = db.driver()->handle();
    statements_ = std::make_unique<StatementCache>(*static_cast<sqlite3* const*>(handle.constData()));
}

Connection::~Connection() {
    statements_.reset(); // the engine closes only a handle without statements
    {
        QSqlDatabase db = QSqlDatabase::database(name_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name_);
}

QSqlDatabase Connection::database() const { return QSqlDatabase::database(name_, false); }

sqlite3* Connection::handle() const { return statements_->handle(); }

int Connection::execute(const QString& sql, const Params& params) {
    Statement statement(*this, sql, params);
    return statement.run();
}

void Connection::createFile(const QString& path) {
    const QFileInfo info(path);
    if (info.fileName().isEmpty())
        throw DbError(QStringLiteral("没有给出要创建的数据库文件名。"), QString(), path);
    if (!QFileInfo(info.absolutePath()).isDir())
        throw DbError(QStringLiteral("文件夹“%1”不存在，无法创建数据库文件。").arg(fileNameOf(info.absolutePath())),
                      QString(), path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        if (info.exists())
            throw DbError(QStringLiteral("数据库文件“%1”已存在。").arg(fileNameOf(path)), QString(), path);
        throw DbError(QStringLiteral("无法创建数据库文件“%1”：%2。").arg(fileNameOf(path), fileProblem(file)),
                      QString(), path);
    }
    file.close();
    try {
        Connection connection(path);
        connection.execute(QStringLiteral("VACUUM")); // writes the file header
    } catch (...) {
        QFile::remove(path);
        throw;
    }
}

void Connection::setBusyTimeout(int milliseconds) { busyTimeoutMs = milliseconds; }

Transaction::Transaction(Connection& connection) : connection_(connection) {
    connection_.execute(QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction() {
    if (open_) {
        QSqlQuery query(connection_.database());
        query.exec(QStringLiteral("ROLLBACK"));
    }
}

void Transaction::commit() {
    connection_.execute(QStringLiteral("COMMIT"));
    open_ = false;
}

bool Transaction::keepDone(QString* why) noexcept {
    if (!open_)
        return true;
    open_ = false;
    try {
        sqlite3* db = connection_.handle();
        // After some failures (a full disk) the engine has already rolled
        // the transaction back: there is nothing left to keep.
        if (sqlite3_get_autocommit(db)) {
            if (why)
                *why = QStringLiteral("数据库已撤销这些改动。");
            return false;
        }
        try {
            connection_.execute(QStringLiteral("COMMIT"));
            return true;
        } catch (const DeskError& e) {
            if (why)
                *why = e.message();
            if (!sqlite3_get_autocommit(db)) {
                QSqlQuery query(connection_.database());
                query.exec(QStringLiteral("ROLLBACK"));
            }
            return false;
        }
    } catch (...) {
        if (why)
            *why = QStringLiteral("无法保存到数据库文件。");
        return false;
    }
}

void Transaction::rethrowKeepingDone(const QString& what, const std::function<void(const QString& why)>& notKept) {
    QString why;
    if (keepDone(&why))
        throw;
    if (notKept)
        notKept(why);
    const QString lost = QStringLiteral("\n%1没有保存：%2").arg(what, why);
    try {
        throw;
    } catch (const DbError& e) {
        throw DbError(e.message() + lost, e.engineText(), e.path());
    } catch (const DeskError& e) {
        throw DeskError(e.message() + lost);
    }
}

ExclusiveHold::ExclusiveHold(const QString& path) : connection_(path) {
    // In this mode the engine never lets go of a lock it took; an empty
    // exclusive transaction takes the strongest one.
    connection_.execute(QStringLiteral("PRAGMA locking_mode=EXCLUSIVE"));
    connection_.execute(QStringLiteral("BEGIN EXCLUSIVE"));
    connection_.execute(QStringLiteral("COMMIT"));
}

ExclusiveHold::~ExclusiveHold() = default; // closing the connection lets the file go

bool isSqliteFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

bool isBaseTable(Connection& connection, const QString& table, const QString& schema) {
    Statement statement(connection,
                        QStringLiteral("select 1 from pragma_table_list where schema=:s and name=:t collate nocase "
                                       "and type='table'"),
                        {{QStringLiteral(":s"), schema}, {QStringLiteral(":t"), table}});
    return statement.step();
}
