#include "Query.h"
#include "Statement.h"
#include "Text.h"

#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <algorithm>
#include <cstring>
#include <sqlite3.h>
#include <unordered_set>

namespace {

QString foldName(const QString& name) { return name.toCaseFolded(); }

// Every query of the process, for reopenAll().
struct LiveQueries {
    QMutex mutex;
    std::unordered_set<Query*> all;
};
LiveQueries& liveQueries() {
    static LiveQueries live;
    return live;
}
void enlist(Query* query) {
    LiveQueries& live = liveQueries();
    const QMutexLocker lock(&live.mutex);
    live.all.insert(query);
}
void delist(Query* query) {
    LiveQueries& live = liveQueries();
    const QMutexLocker lock(&live.mutex);
    live.all.erase(query);
}
bool isLive(Query* query) {
    LiveQueries& live = liveQueries();
    const QMutexLocker lock(&live.mutex);
    return live.all.count(query) != 0;
}

QString fileKey(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(info.absoluteFilePath()) : canonical;
}

} // namespace

// ------------------------------------------------------------ life and listeners

Query::Query() { enlist(this); }

Query::Query(Connection& connection) : path_(connection.path()), connection_(&connection) { enlist(this); }

Query::Query(const Query& other)
    : path_(other.path_), connection_(other.connection_), sql_(other.sql_), params_(other.params_),
      pageSize_(other.pageSize_) {
    copyRowsFrom(other);
    enlist(this);
}

Query::Query(Query&& other) noexcept
    : path_(std::move(other.path_)), connection_(other.connection_), sql_(std::move(other.sql_)),
      params_(std::move(other.params_)), pageSize_(other.pageSize_) {
    takeRowsFrom(other);
    enlist(this);
}

void Query::reopenAll(const QString& path) {
    const QString key = fileKey(path);
    std::vector<Query*> queries;
    {
        LiveQueries& live = liveQueries();
        const QMutexLocker lock(&live.mutex);
        queries.assign(live.all.begin(), live.all.end());
    }
    for (Query* query : queries) {
        // A listener told of one reopening may have removed another query.
        if (!isLive(query) || !query->open_ || query->connection_ || query->path_.isEmpty() ||
            fileKey(query->path_) != key)
            continue;
        try {
            query->open();
        } catch (const DeskError&) {
            query->close();
        }
    }
}

Query& Query::operator=(const Query& other) {
    if (this != &other) {
        ChangeScope scope(*this);
        path_ = other.path_;
        connection_ = other.connection_;
        sql_ = other.sql_;
        params_ = other.params_;
        pageSize_ = other.pageSize_;
        copyRowsFrom(other);
    }
    return *this;
}

Query& Query::operator=(Query&& other) noexcept {
    if (this != &other) {
        ChangeScope scope(*this);
        path_ = std::move(other.path_);
        connection_ = other.connection_;
        sql_ = std::move(other.sql_);
        params_ = std::move(other.params_);
        pageSize_ = other.pageSize_;
        takeRowsFrom(other);
    }
    return *this;
}

Query::~Query() {
    delist(this);
    notify(Change::Destroyed);
}

void Query::copyRowsFrom(const Query& other) {
    open_ = other.open_;
    fields_ = other.fields_;
    fieldIndex_ = other.fieldIndex_;
    cells_ = other.cells_;
    rowStart_ = other.rowStart_;
    buffer_ = other.buffer_;
    pos_ = other.pos_;
    eof_ = other.eof_;
    bof_ = other.bof_;
}

void Query::takeRowsFrom(Query& other) {
    ChangeScope scope(other);
    open_ = other.open_;
    fields_ = std::move(other.fields_);
    fieldIndex_ = std::move(other.fieldIndex_);
    cells_ = std::move(other.cells_);
    rowStart_ = std::move(other.rowStart_);
    buffer_ = std::move(other.buffer_);
    pos_ = other.pos_;
    eof_ = other.eof_;
    bof_ = other.bof_;
    other.clearRows();
}

int Query::addListener(Listener listener) {
    listeners_.emplace_back(++nextListener_, std::move(listener));
    return nextListener_;
}

void Query::removeListener(int id) {
    for (auto it = listeners_.begin(); it != listeners_.end(); ++it) {
        if (it->first == id) {
            listeners_.erase(it);
            return;
        }
    }
}

void Query::notify(Change change) {
    // A listener may remove itself (or another) while being told.
    const auto listeners = listeners_;
    for (const auto& [id, listener] : listeners) {
        const bool stillListening = std::any_of(listeners_.begin(), listeners_.end(),
                                                [id = id](const auto& l) { return l.first == id; });
        if (stillListening)
            listener(change);
    }
}

Query::ChangeScope::ChangeScope(Query& query) : query_(query) {
    if (query_.changing_++ == 0)
        query_.notify(Change::AboutToChange);
}

Query::ChangeScope::~ChangeScope() {
    if (query_.changing_ == 1)
        query_.notify(Change::Changed);
    --query_.changing_;
}

// ------------------------------------------------------------------ setting up

void Query::clearRows() {
    open_ = false;
    fields_.clear();
    fieldIndex_.clear();
    cells_ = {};
    rowStart_ = {};
    buffer_ = {};
    pos_ = 0;
    eof_ = bof_ = true;
}

void Query::close() {
    if (!open_ && fields_.isEmpty() && rowStart_.empty())
        return;
    ChangeScope scope(*this);
    clearRows();
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

// --------------------------------------------------------------------- running

template <typename F> auto Query::run(F&& body) {
    std::unique_ptr<Connection> own;
    Connection* connection = connection_;
    if (!connection) {
        own = std::make_unique<Connection>(path_);
        connection = own.get();
    }
    Statement statement(*connection, sql_, params_);
    return body(statement);
}

void Query::appendBytes(Cell& c, Type type, const char* data, qsizetype size) {
    const quint64 offset = buffer_.size();
    if (size > 0)
        buffer_.insert(buffer_.end(), data, data + size);
    c.type = type | quint32(size) << typeBits;
    c.lo = quint32(offset);
    c.hi = quint32(offset >> 32);
}

void Query::open() {
    ChangeScope scope(*this);
    clearRows();
    try {
        run([this](Statement& statement) {
            sqlite3_stmt* s = statement.get();
            const int columns = statement.columnCount();
            for (int i = 0; i < columns; ++i) {
                const QString name = QString::fromUtf8(sqlite3_column_name(s, i));
                fields_ << name;
                fieldIndex_.insert(foldName(name), i);
            }
            while (statement.step()) {
                rowStart_.push_back(quint32(cells_.size()));
                for (int i = 0; i < columns; ++i) {
                    Cell c{Null, 0, 0};
                    switch (sqlite3_column_type(s, i)) {
                    case SQLITE_INTEGER: {
                        const quint64 v = quint64(sqlite3_column_int64(s, i));
                        c = Cell{Integer, quint32(v), quint32(v >> 32)};
                        break;
                    }
                    case SQLITE_FLOAT: {
                        const double d = sqlite3_column_double(s, i);
                        quint64 v;
                        std::memcpy(&v, &d, sizeof v);
                        c = Cell{Real, quint32(v), quint32(v >> 32)};
                        break;
                    }
                    case SQLITE_TEXT: {
                        const char* text = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                        appendBytes(c, Text, text, sqlite3_column_bytes(s, i));
                        break;
                    }
                    case SQLITE_BLOB: {
                        const char* bytes = static_cast<const char*>(sqlite3_column_blob(s, i));
                        appendBytes(c, Bytes, bytes, sqlite3_column_bytes(s, i));
                        break;
                    }
                    default:
                        break;
                    }
                    cells_.push_back(c);
                }
            }
        });
    } catch (...) {
        clearRows(); // a failed open leaves the query closed and empty
        throw;
    }
    open_ = true;
    first();
}

int Query::execute() {
    close();
    return run([](Statement& statement) { return statement.run(); });
}

// ------------------------------------------------------------------ navigation

void Query::first() {
    pos_ = 0;
    eof_ = bof_ = !hasRows();
}

void Query::next() {
    bof_ = false;
    if (pos_ + 1 < rowTotal())
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
    if (!hasRows())
        eof_ = true;
}

void Query::last() {
    pos_ = hasRows() ? rowTotal() - 1 : 0;
    eof_ = bof_ = !hasRows();
}

int Query::recNo() const { return hasRows() ? pos_ + 1 : 0; }

void Query::setRecNo(int recNo) {
    if (!hasRows())
        return;
    pos_ = qBound(0, recNo - 1, rowTotal() - 1);
    eof_ = bof_ = false;
}

bool Query::locate(const QString& field, const QString& value, Match match) {
    const int column = fieldIndex(field);
    // Texts compare as stored (UTF-8) without decoding every row.
    const QByteArray wanted = value.toUtf8();
    for (int i = 0; i < rowTotal(); ++i) {
        const Cell& c = cell(i, column);
        bool found;
        if ((c.type & 7) == Text) {
            const quint64 offset = quint64(c.hi) << 32 | c.lo;
            const qsizetype size = c.type >> typeBits;
            const qsizetype compared = match == Match::Equal ? size : wanted.size();
            found = (match == Match::Equal ? size == wanted.size() : size >= wanted.size()) &&
                    (compared == 0 || std::memcmp(buffer_.data() + offset, wanted.constData(), size_t(compared)) == 0);
        } else {
            const QString t = textOf(cellValue(c));
            found = match == Match::Equal ? t == value : t.startsWith(value);
        }
        if (found) {
            pos_ = i;
            eof_ = bof_ = false;
            return true;
        }
    }
    return false;
}

void Query::setPageSize(int size) { pageSize_ = qMax(0, size); }

int Query::pageCount() const {
    if (pageSize_ <= 0 || !hasRows())
        return hasRows() ? 1 : 0;
    return (rowTotal() + pageSize_ - 1) / pageSize_;
}

void Query::setAbsolutePage(int page) {
    if (!hasRows())
        return;
    const int size = pageSize_ > 0 ? pageSize_ : rowTotal();
    setRecNo((qBound(1, page, pageCount()) - 1) * size + 1);
}

int Query::absolutePage() const {
    if (!hasRows())
        return 0;
    return pageSize_ > 0 ? pos_ / pageSize_ + 1 : 1;
}

// ---------------------------------------------------------------------- fields

bool Query::hasField(const QString& field) const { return fieldIndex_.contains(foldName(field)); }

int Query::fieldIndex(const QString& field) const {
    const auto it = fieldIndex_.constFind(foldName(field));
    if (it == fieldIndex_.constEnd())
        throw DbError(QStringLiteral("Field '%1' not found").arg(field), QString(), path_);
    return *it;
}

QVariant Query::cellValue(const Cell& c) const {
    const quint64 bits = quint64(c.hi) << 32 | c.lo;
    switch (c.type & 7) {
    case Integer:
        return QVariant(qlonglong(bits));
    case Real: {
        double d;
        std::memcpy(&d, &bits, sizeof d);
        return QVariant(d);
    }
    case Text: {
        const qsizetype size = c.type >> typeBits;
        // An empty text stays an empty text (not null) when it is written on.
        return QVariant(size == 0 ? QStringLiteral("") : QString::fromUtf8(buffer_.data() + bits, size));
    }
    case Bytes: {
        const qsizetype size = c.type >> typeBits;
        return QVariant(size == 0 ? QByteArray("") : QByteArray(buffer_.data() + bits, size));
    }
    default:
        return QVariant();
    }
}

QVariant Query::value(const QString& field) const {
    const int column = fieldIndex(field);
    if (!hasRows())
        return QVariant();
    return cellValue(cell(pos_, column));
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

// ---------------------------------------------------------------- rows by position

QVector<QVariant> Query::row(int index) const {
    QVector<QVariant> values;
    values.reserve(fields_.size());
    for (int c = 0; c < fields_.size(); ++c)
        values.append(cellValue(cell(index, c)));
    return values;
}

QVariant Query::value(int row, int column) const { return cellValue(cell(row, column)); }

bool Query::isNull(int row, int column) const { return (cell(row, column).type & 7) == Null; }

bool Query::isBytes(int row, int column) const { return (cell(row, column).type & 7) == Bytes; }

quint32 Query::appendRow(const QVector<QVariant>& values) {
    const quint32 start = quint32(cells_.size());
    for (int i = 0; i < fields_.size(); ++i) {
        const QVariant v = values.value(i);
        Cell c{Null, 0, 0};
        if (!v.isValid() || v.isNull()) {
            // null
        } else if (v.typeId() == QMetaType::QByteArray) {
            const QByteArray bytes = v.toByteArray();
            appendBytes(c, Bytes, bytes.constData(), bytes.size());
        } else if (v.typeId() == QMetaType::Double || v.typeId() == QMetaType::Float) {
            const double d = v.toDouble();
            quint64 bits;
            std::memcpy(&bits, &d, sizeof bits);
            c = Cell{Real, quint32(bits), quint32(bits >> 32)};
        } else if (v.typeId() == QMetaType::LongLong || v.typeId() == QMetaType::Int ||
                   v.typeId() == QMetaType::UInt || v.typeId() == QMetaType::Bool) {
            const quint64 bits = quint64(v.toLongLong());
            c = Cell{Integer, quint32(bits), quint32(bits >> 32)};
        } else {
            const QString text = v.toString();
            if (!text.isNull()) {
                const QByteArray utf8 = text.toUtf8();
                appendBytes(c, Text, utf8.constData(), utf8.size());
            }
        }
        cells_.push_back(c);
    }
    return start;
}

void Query::replaceRow(int index, const QVector<QVariant>& values) {
    ChangeScope scope(*this);
    rowStart_[size_t(index)] = appendRow(values);
}

void Query::insertRow(int index, const QVector<QVariant>& values) {
    ChangeScope scope(*this);
    const quint32 start = appendRow(values);
    rowStart_.insert(rowStart_.begin() + index, start);
    pos_ = index;
    eof_ = bof_ = false;
}

void Query::removeRow(int index) {
    ChangeScope scope(*this);
    rowStart_.erase(rowStart_.begin() + index);
    if (!hasRows()) {
        pos_ = 0;
        eof_ = bof_ = true;
    } else if (pos_ >= rowTotal()) {
        pos_ = rowTotal() - 1;
    }
}

bool Query::isNumber(const QVariant& value) {
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Float:
    case QMetaType::Double:
        return true;
    default:
        return false;
    }
}

bool Query::sourceKeyLess(const QVariant& a, const QVariant& b) {
    const auto rank = [](const QVariant& v) { return v.isNull() ? 0 : isNumber(v) ? 1 : 2; };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb)
        return ra < rb;
    if (ra == 0)
        return false;
    if (ra == 1)
        return a.toDouble() < b.toDouble();
    return textOf(a).compare(textOf(b), Qt::CaseInsensitive) < 0;
}
