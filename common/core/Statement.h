#pragma once

#include "Database.h"

#include <QByteArray>
#include <QHash>
#include <QString>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The prepared statements of one connection, kept by their SQL text so that
// a statement run again (a row of a bulk insert, a lookup per row) is not
// compiled again. Finalizes them when destroyed, before the connection closes.
class StatementCache {
public:
    explicit StatementCache(sqlite3* db) : db_(db) {}
    ~StatementCache();
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    sqlite3* handle() const { return db_; }

    // A statement for `sql`, taken out of the cache (or compiled). Returns
    // false with the engine's message in `error` when the text is refused;
    // `statement` is nullptr for a text of blanks and comments only.
    bool take(const QByteArray& sql, sqlite3_stmt** statement, QString* error);
    // Gives a statement back, reset and unbound, for the next run.
    void give(const QByteArray& sql, sqlite3_stmt* statement);

private:
    struct Entry {
        sqlite3_stmt* statement;
        quint64 used;
    };
    sqlite3* db_;
    QHash<QByteArray, Entry> entries_;
    quint64 clock_ = 0;
};

// One run of a statement on a connection: compiled or reused, its parameters
// bound, stepped row by row, and given back when it goes out of scope. Every
// failure of the engine throws DbError::fromEngine() with the statement's
// parameters.
class Statement {
public:
    Statement(Connection& connection, const QString& sql, const Params& params);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs to the next row: true while there is one, false when done.
    bool step();
    // Runs to the end; returns the rows the statement changed.
    int run();

    sqlite3_stmt* get() const { return statement_; }
    int columnCount() const;

private:
    [[noreturn]] void fail(const QString& engineText);
    void bind();
    void release();

    StatementCache& cache_;
    QString path_;
    const QString& sql_;
    const Params& params_;
    QByteArray key_;
    sqlite3_stmt* statement_ = nullptr;
    std::vector<QByteArray> bound_; // texts and bytes the statement reads from
};
