#include "Query.h"
#include "Text.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

namespace {

QString foldName(const QString& name) { return name.toCaseFolded(); }

} // namespace

Query::Query(Connection& connection) : path_(connection.path()), connection_(&connection) {}

void Query::close() {
    open_ = false;
    fields_.clear();
    fieldIndex_.clear();
    rows_.clear();
    pos_ = 0;
    eof_ = bof_ = true;
}

void Query::setDatabasePath(const QString& path) {
    close();
    path_ = path;
    connection_ = nullptr;
}

void Query::setConnection(Connection* connection) {
    close();
    connection_ = connection;
    if (connection)
        path_ = connection->path();
}

void Query::setSql(const QString& sql) {
    close();
    sql_ = sql;
    params_.clear();
}

void Query::setParam(const QString& name, const QVariant& value) {
    for (auto& [n, v] : params_) {
        if (n == name) {
            v = value;
            return;
        }
    }
    params_.emplace_back(name, value);
}

template <typename F> auto Query::run(F&& body) {
    std::unique_ptr<Connection> own;
    Connection* connection = connection_;
    if (!connection) {
        own = std::make_unique<Connection>(path_);
        connection = own.get();
    }
    QSqlQuery query(connection->database());
    query.setForwardOnly(true);
    bool ok;
    if (params_.empty()) {
        ok = query.exec(sql_);
    } else {
        ok = query.prepare(sql_);
        if (ok) {
            for (const auto& [name, value] : params_)
                query.bindValue(name, value);
            ok = query.exec();
        }
    }
    if (!ok) {
        QString text = query.lastError().databaseText();
        if (text.isEmpty())
            text = query.lastError().driverText();
        throw DbError::fromEngine(path_, text, sql_, params_);
    }
    return body(query);
}

void Query::open() {
    close();
    run([this](QSqlQuery& query) {
        const QSqlRecord record = query.record();
        for (int i = 0; i < record.count(); ++i) {
            fields_ << record.fieldName(i);
            fieldIndex_.insert(foldName(record.fieldName(i)), i);
        }
        const int columns = record.count();
        while (query.next()) {
            QVector<QVariant> values(columns);
            for (int i = 0; i < columns; ++i)
                values[i] = query.value(i);
            rows_.append(std::move(values));
        }
        if (query.lastError().isValid())
            throw DbError::fromEngine(path_, query.lastError().databaseText(), sql_);
    });
    open_ = true;
    first();
}

int Query::execute() {
    close();
    return run([](QSqlQuery& query) { return query.numRowsAffected(); });
}

void Query::first() {
    pos_ = 0;
    eof_ = bof_ = rows_.isEmpty();
}

void Query::next() {
    bof_ = false;
    if (pos_ + 1 < rows_.size())
        ++pos_;
    else
        eof_ = true;
}

void Query::prior() {
    eof_ = false;
    if (pos_ > 0)
        --pos_;
    else
        bof_ = true;
    if (rows_.isEmpty())
        eof_ = true;
}

void Query::last() {
    pos_ = rows_.isEmpty() ? 0 : int(rows_.size()) - 1;
    eof_ = bof_ = rows_.isEmpty();
}

int Query::recNo() const { return rows_.isEmpty() ? 0 : pos_ + 1; }

void Query::setRecNo(int recNo) {
    if (rows_.isEmpty())
        return;
    pos_ = qBound(0, recNo - 1, int(rows_.size()) - 1);
    eof_ = bof_ = false;
}

bool Query::locate(const QString& field, const QString& value, Match match) {
    const int column = fieldIndex(field);
    for (int i = 0; i < rows_.size(); ++i) {
        const QString t = textOf(rows_[i][column]);
        if (match == Match::Equal ? t == value : t.startsWith(value)) {
            pos_ = i;
            eof_ = bof_ = false;
            return true;
        }
    }
    return false;
}

void Query::setPageSize(int size) { pageSize_ = qMax(0, size); }

int Query::pageCount() const {
    if (pageSize_ <= 0 || rows_.isEmpty())
        return rows_.isEmpty() ? 0 : 1;
    return int((rows_.size() + pageSize_ - 1) / pageSize_);
}

void Query::setAbsolutePage(int page) {
    if (rows_.isEmpty())
        return;
    const int size = pageSize_ > 0 ? pageSize_ : int(rows_.size());
    setRecNo((qBound(1, page, pageCount()) - 1) * size + 1);
}

int Query::absolutePage() const {
    if (rows_.isEmpty())
        return 0;
    return pageSize_ > 0 ? pos_ / pageSize_ + 1 : 1;
}

bool Query::hasField(const QString& field) const { return fieldIndex_.contains(foldName(field)); }

int Query::fieldIndex(const QString& field) const {
    const auto it = fieldIndex_.constFind(foldName(field));
    if (it == fieldIndex_.constEnd())
        throw DbError(QStringLiteral("Field '%1' not found").arg(field), QString(), path_);
    return *it;
}

QVariant Query::value(const QString& field) const {
    const int column = fieldIndex(field);
    if (rows_.isEmpty())
        return QVariant();
    return rows_[pos_][column];
}

QString Query::textOf(const QVariant& value) {
    if (value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
        return QString::number(value.toDouble(), 'g', 15);
    case QMetaType::QByteArray:
        return QString::fromLatin1(value.toByteArray().toHex());
    default:
        return value.toString();
    }
}

QString Query::text(const QString& field) const { return textOf(value(field)); }

long long Query::integer(const QString& field) const {
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int)
        return v.toLongLong();
    return Text::toInteger(textOf(v));
}

bool Query::isNull(const QString& field) const { return value(field).isNull(); }

QByteArray Query::bytes(const QString& field) const {
    const QVariant v = value(field);
    return v.isNull() ? QByteArray() : v.toByteArray();
}

void Query::replaceRow(int index, const QVector<QVariant>& values) { rows_[index] = values; }

void Query::insertRow(int index, const QVector<QVariant>& values) {
    rows_.insert(index, values);
    pos_ = index;
    eof_ = bof_ = false;
}

void Query::removeRow(int index) {
    rows_.removeAt(index);
    if (rows_.isEmpty()) {
        pos_ = 0;
        eof_ = bof_ = true;
    } else if (pos_ >= rows_.size()) {
        pos_ = int(rows_.size()) - 1;
    }
}
