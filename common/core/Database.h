#pragma once

#include "DeskError.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariant>
#include <functional>
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
    // user sees. Returns whether they were kept: not when the engine had
    // already undone the transaction (some failures, a full disk among them,
    // do that) or when the COMMIT itself failed (a full disk again); `why`
    // then tells which, in Chinese. Call it from a catch block.
    [[nodiscard]] bool keepDone(QString* why = nullptr) noexcept;

    // From a catch block: keepDone(), then rethrows the error being handled.
    // When the statements could not be kept the error says so, naming
    // `what` ("此前导入的行") and why, so that no message claims as kept what
    // is not in the file; `notKept`, when given, is told why first (a report
    // that listed the statements' work says they were not kept).
    [[noreturn]] void rethrowKeepingDone(const QString& what,
                                         const std::function<void(const QString& why)>& notKept = {});

private:
    Connection& connection_;
    bool open_ = true;
};

// A connection that has its database file to itself while it lives: no
// other connection, of this process or another, reads or writes the file
// until it goes (the engine's exclusive lock, kept from the start). What is
// done on connection() runs under that lock: a copy taken through it is the
// file as it stands, and replacing the file meanwhile loses no other
// program's writes. Throws DbError when another connection holds the file
// longer than the busy timeout.
class ExclusiveHold {
public:
    explicit ExclusiveHold(const QString& path);
    ~ExclusiveHold();
    ExclusiveHold(const ExclusiveHold&) = delete;
    ExclusiveHold& operator=(const ExclusiveHold&) = delete;

    Connection& connection() { return connection_; }

private:
    Connection connection_;
};

// Writes a compacted copy of the database `source` to `destination`, which
// must not exist yet. The source is left untouched; a copy that cannot be
// written (a full disk) is named in the error and removed.
void compactDatabase(const QString& source, const QString& destination);
// The same through an open connection (an ExclusiveHold's).
void compactDatabase(Connection& source, const QString& destination);

// Writes the database open on `source`, as its last commit left it, to the
// new file `destination`, and forces it to the disk: the file's bytes are
// copied while the engine's read lock keeps every writer away (taking the
// lock first rolls back what an interrupted writer left half done). The
// bytes are read through the engine's own handle of the file (closing
// another handle would drop the process's locks on it) and written through
// FileOps, every write, the sync and the close checked. A database in
// write-ahead mode is copied through the engine's online backup instead.
// Throws FileError (the disk) or DbError (the engine); a partial
// destination is removed.
void snapshotDatabase(Connection& source, const QString& destination);

// Whether `path` starts with the SQLite file header.
bool isSqliteFile(const QString& path);

// Whether `table` in the database `schema` of the connection ("main", or
// the name of an attached file) is a table of stored rows, not a view: a
// file from elsewhere may hold a view of that name over any query, endless
// ones included, that reading it would run. Names compare without regard
// to case, as the engine's do.
bool isBaseTable(Connection& connection, const QString& table, const QString& schema = QStringLiteral("main"));
