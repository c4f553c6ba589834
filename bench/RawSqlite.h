#pragma once

// The anchors of the benchmarks: the same work done straight on SQLite's C
// API, with nothing of ours in between.
#include <QByteArray>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <sqlite3.h>

namespace Raw {

inline void check(sqlite3* db, int rc, const char* what) {
    if (rc != SQLITE_OK && rc != SQLITE_ROW && rc != SQLITE_DONE) {
        std::fprintf(stderr, "%s: %s\n", what, sqlite3_errmsg(db));
        std::exit(2);
    }
}

inline void exec(sqlite3* db, const char* sql) { check(db, sqlite3_exec(db, sql, nullptr, nullptr, nullptr), sql); }

// Opened as the stations open their files (one thread per connection, the
// same page cache).
inline sqlite3* open(const QString& path) {
    sqlite3* db = nullptr;
    check(db, sqlite3_open_v2(path.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX, nullptr), "open");
    exec(db, "PRAGMA cache_size=-32768");
    return db;
}

inline sqlite3_stmt* prepare(sqlite3* db, const QString& sql) {
    sqlite3_stmt* s = nullptr;
    check(db, sqlite3_prepare_v2(db, sql.toUtf8().constData(), -1, &s, nullptr), "prepare");
    return s;
}

inline void bindText(sqlite3_stmt* s, int index, const QByteArray& text) {
    sqlite3_bind_text(s, index, text.constData(), int(text.size()), SQLITE_TRANSIENT);
}

// Steps through every row and reads each value as its type asks, as any
// reader of the rows has to; returns the rows.
inline long stepAll(sqlite3* db, sqlite3_stmt* s) {
    long rows = 0;
    volatile long long sink = 0;
    int rc;
    const int columns = sqlite3_column_count(s);
    while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
        ++rows;
        for (int i = 0; i < columns; ++i) {
            switch (sqlite3_column_type(s, i)) {
            case SQLITE_INTEGER: sink = sink + sqlite3_column_int64(s, i); break;
            case SQLITE_FLOAT: sink = sink + (long long)sqlite3_column_double(s, i); break;
            case SQLITE_TEXT: sink = sink + (long long)(sqlite3_column_text(s, i) != nullptr) + sqlite3_column_bytes(s, i); break;
            case SQLITE_BLOB: sink = sink + (long long)(sqlite3_column_blob(s, i) != nullptr) + sqlite3_column_bytes(s, i); break;
            default: break;
            }
        }
    }
    check(db, rc, "step");
    sqlite3_reset(s);
    return rows;
}

// A selection on a connection of its own, texts bound in order, as a query
// that opens its file per call does it.
inline long select(const QString& path, const QString& sql, std::initializer_list<QString> texts = {}) {
    sqlite3* db = open(path);
    sqlite3_stmt* s = prepare(db, sql);
    int i = 0;
    for (const QString& t : texts)
        bindText(s, ++i, t.toUtf8());
    const long rows = stepAll(db, s);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return rows;
}

} // namespace Raw
