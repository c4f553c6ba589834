#include "Statement.h"

#include <QMetaType>
#include <QVarLengthArray>
#include <algorithm>
#include <sqlite3.h>

namespace {

// How many compiled statements a connection keeps: enough for the lookups
// and inserts a window runs in a loop, few enough to stay small.
constexpr int cacheSize = 32;

} // namespace

StatementCache::~StatementCache() {
    for (const Entry& e : std::as_const(entries_))
        sqlite3_finalize(e.statement);
}

bool StatementCache::take(const QByteArray& sql, sqlite3_stmt** statement, QString* error) {
    const auto it = entries_.find(sql);
    if (it != entries_.end()) {
        *statement = it->statement;
        entries_.erase(it);
        return true;
    }
    *statement = nullptr;
    const char* tail = nullptr;
    if (sqlite3_prepare_v3(db_, sql.constData(), int(sql.size()) + 1, SQLITE_PREPARE_PERSISTENT, statement,
                           &tail) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(*statement);
        *statement = nullptr;
        return false;
    }
    // A second statement after the first would silently not run.
    const QByteArray rest = tail ? QByteArray(tail).trimmed() : QByteArray();
    if (!rest.isEmpty() && rest != ";") {
        *error = QStringLiteral("Unable to execute multiple statements at a time");
        sqlite3_finalize(*statement);
        *statement = nullptr;
        return false;
    }
    return true;
}

void StatementCache::give(const QByteArray& sql, sqlite3_stmt* statement) {
    if (!statement)
        return;
    if (entries_.contains(sql)) { // the same text ran nested: keep one
        sqlite3_finalize(statement);
        return;
    }
    if (entries_.size() >= cacheSize) {
        auto oldest = entries_.begin();
        for (auto it = entries_.begin(); it != entries_.end(); ++it) {
            if (it->used < oldest->used)
                oldest = it;
        }
        sqlite3_finalize(oldest->statement);
        entries_.erase(oldest);
    }
    entries_.insert(sql, Entry{statement, ++clock_});
}

Statement::Statement(Connection& connection, const QString& sql, const Params& params)
    : cache_(connection.statements()), path_(connection.path()), sql_(sql), params_(params), key_(sql.toUtf8()) {
    checkStorable(sql, params); // a NUL or a broken character never reaches the engine
    QString error;
    if (!cache_.take(key_, &statement_, &error))
        fail(error);
    if (!statement_ || params_.empty())
        return;
    try {
        bind();
    } catch (...) {
        release();
        throw;
    }
}

void Statement::bind() {
    bound_.reserve(params_.size());
    int position = 0;
    int bound = 0;
    QVarLengthArray<bool, 16> seen(sqlite3_bind_parameter_count(statement_) + 1);
    std::fill(seen.begin(), seen.end(), false);
    for (const auto& [name, value] : params_) {
        ++position;
        int index = position;
        if (!name.isEmpty()) {
            index = sqlite3_bind_parameter_index(statement_, name.toUtf8().constData());
            if (index == 0 && !QStringLiteral(":@$?").contains(name.at(0)))
                index = sqlite3_bind_parameter_index(statement_, (QLatin1Char(':') + name).toUtf8().constData());
        }
        if (index <= 0 || index >= seen.size())
            fail(QStringLiteral("Parameter count mismatch"));
        if (!seen[index]) {
            seen[index] = true;
            ++bound;
        }
        int rc;
        const int type = value.typeId();
        if (!value.isValid() || value.isNull()) {
            rc = sqlite3_bind_null(statement_, index);
        } else if (type == QMetaType::QString) {
            const QString* text = static_cast<const QString*>(value.constData());
            if (text->isNull()) {
                rc = sqlite3_bind_null(statement_, index);
            } else {
                bound_.push_back(text->toUtf8());
                rc = sqlite3_bind_text(statement_, index, bound_.back().constData(), int(bound_.back().size()),
                                       SQLITE_STATIC);
            }
        } else if (type == QMetaType::QByteArray) {
            const QByteArray* bytes = static_cast<const QByteArray*>(value.constData());
            if (bytes->isNull()) {
                rc = sqlite3_bind_null(statement_, index);
            } else {
                bound_.push_back(*bytes);
                // A zero-length blob needs a non-null pointer.
                rc = sqlite3_bind_blob(statement_, index, bound_.back().isEmpty() ? "" : bound_.back().constData(),
                                       int(bound_.back().size()), SQLITE_STATIC);
            }
        } else if (type == QMetaType::Double || type == QMetaType::Float) {
            rc = sqlite3_bind_double(statement_, index, value.toDouble());
        } else if (type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::UInt ||
                   type == QMetaType::ULongLong || type == QMetaType::Bool || type == QMetaType::Short ||
                   type == QMetaType::UShort || type == QMetaType::Long || type == QMetaType::ULong) {
            rc = sqlite3_bind_int64(statement_, index, value.toLongLong());
        } else {
            bound_.push_back(value.toString().toUtf8());
            rc = sqlite3_bind_text(statement_, index, bound_.back().constData(), int(bound_.back().size()),
                                   SQLITE_STATIC);
        }
        if (rc != SQLITE_OK)
            fail(QString::fromUtf8(sqlite3_errmsg(cache_.handle())));
    }
    if (bound != sqlite3_bind_parameter_count(statement_))
        fail(QStringLiteral("Parameter count mismatch"));
}

void Statement::release() {
    if (!statement_)
        return;
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
    cache_.give(key_, statement_);
    statement_ = nullptr;
}

Statement::~Statement() { release(); }

void Statement::fail(const QString& engineText) {
    throw DbError::fromEngine(path_, engineText, sql_, params_);
}

bool Statement::step() {
    if (!statement_)
        return false;
    const int rc = sqlite3_step(statement_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    fail(QString::fromUtf8(sqlite3_errmsg(cache_.handle())));
}

int Statement::run() {
    while (step()) {
    }
    return sqlite3_changes(cache_.handle());
}

int Statement::columnCount() const { return statement_ ? sqlite3_column_count(statement_) : 0; }
