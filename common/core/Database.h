#pragma once

#include "DeskError.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <memory>
#include <utility>
#include <vector>

struct sqlite3;
class StatementCache;

// The database engine layer: every data file of the stations is an SQLite 3
// file opened through QtSql. Statements are SQLite's dialect; text values go
// into statements through sqlQuote() or bound parameters, never raw.

// Named parameters (":sxbm") and their values, bound in this order. A
// statement with positional parameters ("?") has empty names, in order.
using Params = std::vector<std::pair<QString, QVariant>>;

// A failing database operation. The message is Chinese and names the file
// or the value at fault where the engine's text allows; engineText() keeps
// the engine's own words (they are also part of the message).
class DbError : public DeskError {
public:
    DbError(const QString& message, QString engineText = QString(), QString path = QString());

    const QString& engineText() const noexcept { return engineText_; }
    const QString& path() const noexcept { return path_; }

    // Explains an engine failure on the file `path` while running `sql`
    // with the bound parameters `params`.
    static DbError fromEngine(const QString& path, const QString& engineText, const QString& sql = QString(),
                              const Params& params = {});

private:
    QString engineText_;
    QString path_;
};

// The one quoting rule for text inside SQL: the text between single quotes,
// each single quote doubled. sqlQuote("O'Neil") == "'O''Neil'".
// Text no database file can keep (see hasUnstorableCharacter) throws
// DbError, naming `field` when it is given.
QString sqlQuote(const QString& text, const QString& field = QString());

// A number written into SQL without quotes (a credit, a score). The text
// is checked to be a plain decimal number first, so that no typed text can
// change a statement; anything else throws DbError naming `field` and the
// text, as the engine would refuse it.
QString sqlNumber(const QString& text, const QString& field);

// A whole number written into SQL without quotes (a class): digits with an
// optional sign. "5.5" and "5a" throw DbError with the message sqlNumber()
// gives for a value that is not a number.
QString sqlInteger(const QString& text, const QString& field);

// Whether `text` holds a character that cannot be stored as text: NUL,
// which ends a text in the engine, or half of a surrogate pair, which has
// no encoding. Both can come in through a typed or pasted box.
bool hasUnstorableCharacter(const QString& text);

// Refuses a statement whose bound text parameters hold an unstorable
// character, naming the column the parameter is written to or compared
// with when the statement shows it. Call before binding.
void checkStorable(const QString& sql, const Params& params);

// One open connection to an existing database file, closed when destroyed.
class Connection {
public:
    // Opens an existing file for reading and writing. A missing file is an
    // error, never a new empty database.
    explicit Connection(const QString& path);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const QString& path() const { return path_; }
    QSqlDatabase database() const;

    // Runs a statement that returns no rows; returns the rows it changed.
    // Statements run again (a bulk insert with bound values) are compiled once.
    int execute(const QString& sql, const Params& params = {});

    // The engine's handle and the compiled statements kept on it, for the
    // query layer (Statement).
    sqlite3* handle() const;
    StatementCache& statements() const { return *statements_; }

    // Creates a new, empty database file. Fails when the file exists or its
    // folder is missing.
    static void createFile(const QString& path);

    // How long a statement waits for a file locked by another connection.
    static void setBusyTimeout(int milliseconds);

private:
    QString path_;
    QString name_;
    std::unique_ptr<StatementCache> statements_;
};

// Groups statements on one connection: rolled back when destroyed unless
// commit() was called.
class Transaction {
public:
    explicit Transaction(Connection& connection);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();

    // Keeps the statements that succeeded before an error is reported:
    // commits when the engine still holds the transaction and never throws,
    // so the error being handled (a full disk, a refused row) is the one the
    // user sees. Call it from a catch block before rethrowing.
    void keepDone() noexcept;

private:
    Connection& connection_;
    bool open_ = true;
};

// Writes a compacted copy of the database `source` to `destination`, which
// must not exist yet. The source is left untouched.
void compactDatabase(const QString& source, const QString& destination);

// Whether `path` starts with the SQLite file header.
bool isSqliteFile(const QString& path);

// Whether `table` in the database `schema` of the connection ("main", or
// the name of an attached file) is a table of stored rows, not a view: a
// file from elsewhere may hold a view of that name over any query, endless
// ones included, that reading it would run. Names compare without regard
// to case, as the engine's do.
bool isBaseTable(Connection& connection, const QString& table, const QString& schema = QStringLiteral("main"));
