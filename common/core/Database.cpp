#include "Database.h"
#include "Statement.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
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

// The string literals of a statement built with sqlQuote(), unquoted.
QStringList literalsOf(const QString& sql) {
    QStringList literals;
    qsizetype i = 0;
    while (i < sql.size()) {
        if (sql.at(i) != QLatin1Char('\'')) {
            ++i;
            continue;
        }
        QString value;
        ++i;
        while (i < sql.size()) {
            if (sql.at(i) == QLatin1Char('\'')) {
                if (i + 1 < sql.size() && sql.at(i + 1) == QLatin1Char('\'')) {
                    value += QLatin1Char('\'');
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            value += sql.at(i++);
        }
        literals << value;
    }
    return literals;
}

QString fileNameOf(const QString& path) { return QDir::toNativeSeparators(path); }

} // namespace

DbError::DbError(const QString& message, QString engineText, QString path)
    : DeskError(message), engineText_(std::move(engineText)), path_(std::move(path)) {}

DbError DbError::fromEngine(const QString& path, const QString& engineText, const QString& sql,
                            const Params& params) {
    QVariantList values;
    for (const auto& param : params)
        values << param.second;
    const QString file = fileNameOf(path);
    QString message;

    static const QRegularExpression tooLong(
        QString::fromUtf8(R"re(CHECK constraint failed: length\("?([^"()]+)"?\)\s*<=\s*(\d+))re"));
    static const QRegularExpression outOfRange(
        QString::fromUtf8(R"re(CHECK constraint failed: "?([^"\s]+)"?\s+BETWEEN)re"), QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression wrongType(QString::fromUtf8(R"(cannot store (\w+) value in (\w+) column (\S+))"));
    static const QRegularExpression noTable(QString::fromUtf8(R"(no such table: (\S+))"));
    static const QRegularExpression noColumn(QString::fromUtf8(R"(no such column: (\S+))"));

    QRegularExpressionMatch m;
    if ((m = tooLong.match(engineText)).hasMatch()) {
        const QString column = m.captured(1);
        const int limit = m.captured(2).toInt();
        // Name the value when exactly what was written can be found.
        QString culprit;
        QStringList candidates = literalsOf(sql);
        for (const QVariant& v : values)
            candidates << v.toString();
        for (const QString& c : candidates) {
            if (c.size() > limit) {
                culprit = c;
                break;
            }
        }
        message = culprit.isEmpty()
                      ? QStringLiteral("字段“%1”的值过长，最多只能有 %2 个字符。").arg(column).arg(limit)
                      : QStringLiteral("字段“%1”的值“%2”过长，最多只能有 %3 个字符。").arg(column, culprit).arg(limit);
    } else if ((m = outOfRange.match(engineText)).hasMatch()) {
        message = QStringLiteral("字段“%1”的值超出了允许的范围。").arg(m.captured(1));
    } else if ((m = wrongType.match(engineText)).hasMatch()) {
        message = QStringLiteral("字段“%1”的类型不符：不能存入非数字的值。").arg(m.captured(3));
    } else if (engineText.contains(QLatin1String("file is not a database"))) {
        message = QStringLiteral("文件“%1”不是有效的数据库文件。").arg(file);
    } else if (engineText.contains(QLatin1String("database is locked")) ||
               engineText.contains(QLatin1String("database table is locked"))) {
        message = QStringLiteral("数据库文件“%1”正被其他程序占用，请稍后再试。").arg(file);
    } else if (engineText.contains(QLatin1String("readonly database")) ||
               engineText.contains(QLatin1String("unable to open database file"))) {
        const QFileInfo info(path);
        if (info.exists() && (!info.isWritable() || !QFileInfo(info.absolutePath()).isWritable()))
            message = QStringLiteral("数据库文件“%1”或其所在的文件夹是只读的，无法写入。").arg(file);
        else
            message = QStringLiteral("无法打开数据库文件“%1”。").arg(file);
    } else if ((m = noTable.match(engineText)).hasMatch()) {
        message = QStringLiteral("数据库文件“%1”中没有表“%2”。").arg(file, m.captured(1));
    } else if ((m = noColumn.match(engineText)).hasMatch()) {
        message = QStringLiteral("无法识别的字段或数值“%1”。").arg(m.captured(1));
    } else if (engineText.contains(QLatin1String("syntax error")) ||
               engineText.contains(QLatin1String("incomplete input"))) {
        message = QStringLiteral("数据库语句有误，可能是缺少或填写了无效的数值。");
    } else if (engineText.contains(QLatin1String("disk I/O error")) ||
               engineText.contains(QLatin1String("database or disk is full"))) {
        message = QStringLiteral("读写数据库文件“%1”时出错（磁盘错误或磁盘已满）。").arg(file);
    } else {
        message = QStringLiteral("数据库操作失败（文件“%1”）。").arg(file);
    }
    message += QStringLiteral("\n数据库引擎：%1").arg(engineText);
    return DbError(message, engineText, path);
}

QString sqlQuote(const QString& text) {
    QString quoted = text;
    quoted.replace(QLatin1Char('\''), QLatin1String("''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString sqlNumber(const QString& text, const QString& field) {
    static const QRegularExpression number(QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)$"));
    if (text.isEmpty())
        throw DbError(QStringLiteral("字段“%1”没有填写数值。").arg(field));
    if (!number.match(text).hasMatch())
        throw DbError(QStringLiteral("字段“%1”的值“%2”不是有效的数字。").arg(field, text));
    return text;
}

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
        throw DbError(QStringLiteral("无法创建数据库文件“%1”：%2").arg(fileNameOf(path), file.errorString()),
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

void Transaction::keepDone() noexcept {
    if (!open_)
        return;
    open_ = false;
    // After some failures (a full disk) the engine has already rolled the
    // transaction back; COMMIT then fails and there is nothing to keep.
    QSqlQuery query(connection_.database());
    query.exec(QStringLiteral("COMMIT"));
}

void compactDatabase(const QString& source, const QString& destination) {
    if (QFileInfo::exists(destination))
        throw DbError(QStringLiteral("文件“%1”已存在。").arg(fileNameOf(destination)), QString(), destination);
    Connection connection(source);
    try {
        connection.execute(QStringLiteral("VACUUM INTO ") + sqlQuote(QFileInfo(destination).absoluteFilePath()));
    } catch (...) {
        QFile::remove(destination);
        throw;
    }
}

bool isSqliteFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}
