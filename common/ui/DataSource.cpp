#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"
#include "TableChanges.h"

#include <algorithm>

namespace {

bool isRowid(const QString& field) { return field.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0; }

QString quoteName(const QString& name) {
    if (isRowid(name))
        return name;
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

// What a typed text means for the database: nothing typed is null.
QVariant storedValue(const QVariant& typed) {
    if (typed.isNull())
        return QVariant();
    const QString text = typed.toString();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace

DataSource::DataSource(Query* query, QString table, QString keyField, QObject* parent)
    : QAbstractTableModel(parent), query_(query), table_(std::move(table)), keyField_(std::move(keyField)) {
    listener_ = query_->addListener([this](Query::Change change) { queryChanged(change); });
    tableListener_ = TableChanges::addListener(
        [this](const QString& path, const QString& table, const void* origin) { tableWritten(path, table, origin); });
    showQuery();
}

DataSource::~DataSource() {
    TableChanges::removeListener(tableListener_);
    if (query_)
        query_->removeListener(listener_);
}

void DataSource::tableWritten(const QString& databasePath, const QString& table, const void* origin) {
    if (origin == this || !isActive() || table.compare(table_, Qt::CaseInsensitive) != 0 ||
        !TableChanges::samePath(databasePath, query_->databasePath()))
        return;
    outdated_ = true;
    emit outdated();
}

void DataSource::announceWrite() const { TableChanges::announce(query_->databasePath(), table_, this); }

void DataSource::refreshOutdated() {
    if (!outdated_ || state_ != State::Browse)
        return;
    outdated_ = false;
    refresh();
}

namespace {

// Marks the source's own changes of the query's rows, which it shows by
// itself (row by row), so that only the other sources over the query reset.
class OwnChange {
public:
    explicit OwnChange(bool& flag) : flag_(flag), was_(flag) { flag_ = true; }
    ~OwnChange() { flag_ = was_; }

private:
    bool& flag_;
    bool was_;
};

} // namespace

void DataSource::queryChanged(Query::Change change) {
    switch (change) {
    case Query::Change::AboutToChange:
        if (!ownChange_)
            beginResetModel();
        break;
    case Query::Change::Changed:
        if (!ownChange_) {
            showQuery();
            endResetModel();
            emit stateChanged();
            emit currentRowChanged(current_);
        }
        break;
    case Query::Change::Destroyed:
        beginResetModel();
        query_ = nullptr;
        showQuery();
        endResetModel();
        emit stateChanged();
        break;
    }
}

void DataSource::showQuery() {
    outdated_ = false; // the rows are read afresh
    shown_.clear();
    state_ = State::Browse;
    buffer_.clear();
    current_ = 0;
    if (!query_)
        return;
    const QStringList& fields = query_->fieldNames();
    for (int i = 0; i < fields.size(); ++i) {
        if (!isRowid(fields[i]))
            shown_ << i;
    }
    if (query_->isOpen()) {
        query_->first();
        if (schema_.path != query_->databasePath())
            readSchema();
    }
}

void DataSource::readSchema() {
    schema_ = Schema();
    schema_.path = query_->databasePath();
    if (isRowid(keyField_))
        schema_.keyUnique = true;
    try {
        Connection connection(schema_.path);
        Query info(connection);
        info.setSql(QStringLiteral("pragma table_info(%1)").arg(quoteName(table_)));
        info.open();
        QStringList primary;
        QString primaryType;
        for (; !info.eof(); info.next()) {
            const QString name = info.text(QStringLiteral("name"));
            schema_.columns << name;
            if (info.integer(QStringLiteral("pk")) > 0) {
                primary << name;
                primaryType = info.text(QStringLiteral("type"));
            }
        }
        if (primary.size() == 1 && primaryType.compare(QLatin1String("INTEGER"), Qt::CaseInsensitive) == 0)
            schema_.automaticKey = primary.first();
        auto sameName = [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; };
        if (primary.size() == 1 && sameName(primary.first(), keyField_))
            schema_.keyUnique = true;
        Query indexes(connection);
        indexes.setSql(QStringLiteral("pragma index_list(%1)").arg(quoteName(table_)));
        indexes.open();
        for (; !schema_.keyUnique && !indexes.eof(); indexes.next()) {
            if (indexes.integer(QStringLiteral("unique")) == 0 || indexes.integer(QStringLiteral("partial")) != 0)
                continue;
            Query columns(connection);
            columns.setSql(QStringLiteral("pragma index_info(%1)").arg(quoteName(indexes.text(QStringLiteral("name")))));
            columns.open();
            if (columns.recordCount() == 1 && sameName(columns.text(QStringLiteral("name")), keyField_))
                schema_.keyUnique = true;
        }
        schema_.known = !schema_.columns.isEmpty();
    } catch (const DeskError&) {
        // Unreadable now (a protected or locked file): read again before an
        // edit; until then rows are addressed by rowid.
        schema_ = Schema();
        schema_.keyUnique = isRowid(keyField_);
    }
}

void DataSource::reload() {
    beginResetModel();
    showQuery();
    endResetModel();
    emit stateChanged();
    emit currentRowChanged(current_);
}

int DataSource::queryColumn(int shownColumn) const { return shown_.value(shownColumn, -1); }

bool DataSource::validIndex(const QModelIndex& index) const {
    return index.isValid() && index.model() == this && index.row() >= 0 && index.row() < rowCount() &&
           index.column() >= 0 && index.column() < columnCount();
}

bool DataSource::isReadOnlyColumn(int column) const {
    const QString& field = query_->fieldNames().at(column);
    if (isRowid(field))
        return true;
    if (!schema_.known)
        return false;
    if (field.compare(schema_.automaticKey, Qt::CaseInsensitive) == 0)
        return true;
    return !schema_.columns.contains(field, Qt::CaseInsensitive); // computed, not stored
}

int DataSource::rowCount(const QModelIndex& parent) const {
    return parent.isValid() || !query_ ? 0 : query_->recordCount();
}

int DataSource::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(shown_.size()); }

QVariant DataSource::data(const QModelIndex& index, int role) const {
    if (!validIndex(index) || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const int column = queryColumn(index.column());
    const bool buffered = state_ != State::Browse && index.row() == current_ && column < buffer_.size();
    const QVariant v = buffered ? buffer_.at(column) : query_->value(index.row(), column);
    if (v.typeId() == QMetaType::QByteArray)
        return v.isNull() ? QString() : QStringLiteral("(BLOB)");
    return Query::textOf(v);
}

Qt::ItemFlags DataSource::flags(const QModelIndex& index) const {
    if (!validIndex(index))
        return Qt::NoItemFlags;
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int column = queryColumn(index.column());
    if (!isReadOnlyColumn(column) && !query_->isBytes(index.row(), column))
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataSource::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!validIndex(index) || role != Qt::EditRole || !(flags(index) & Qt::ItemIsEditable))
        return false;
    bool changed = false;
    ErrorBoundary::run([&] {
        setCurrentRow(index.row());
        if (current_ != index.row())
            return; // the pending edit of another row could not be posted
        if (state_ == State::Browse)
            edit();
        const int column = queryColumn(index.column());
        if (column < 0 || column >= buffer_.size())
            return;
        const QVariant stored = storedValue(value);
        if (Query::textOf(buffer_[column]) == Query::textOf(stored))
            return;
        buffer_[column] = stored;
        changed = true;
        emit dataChanged(index, index);
    });
    return changed;
}

QVariant DataSource::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole || section < 0)
        return QVariant();
    if (orientation == Qt::Vertical) {
        if (section >= rowCount())
            return QVariant();
        return section == current_ ? QStringLiteral("▶") : QString();
    }
    const int column = queryColumn(section);
    return column >= 0 ? query_->fieldNames().at(column) : QVariant();
}

void DataSource::setState(State state) {
    if (state_ != state) {
        state_ = state;
        emit stateChanged();
    }
}

void DataSource::moveTo(int row) {
    const int rows = rowCount();
    row = rows == 0 ? 0 : qBound(0, row, rows - 1);
    const int old = current_;
    current_ = row;
    if (rows > 0)
        query_->setRecNo(row + 1);
    if (old != row && rows > 0)
        emit headerDataChanged(Qt::Vertical, qMin(qMin(old, row), rows - 1), qMin(qMax(old, row), rows - 1));
    emit currentRowChanged(row);
    emit stateChanged();
}

void DataSource::setCurrentRow(int row) {
    if (row == current_ || reshaping_)
        return;
    if (state_ != State::Browse)
        post();
    moveTo(row);
}

void DataSource::settle() {
    if (state_ == State::Insert &&
        std::all_of(buffer_.cbegin(), buffer_.cend(), [](const QVariant& v) { return v.isNull(); })) {
        cancel();
        return;
    }
    post();
}

void DataSource::first() { setCurrentRow(0); }
void DataSource::prior() { setCurrentRow(qMax(0, current_ - 1)); }
void DataSource::next() { setCurrentRow(qMin(current_ + 1, qMax(0, rowCount() - 1))); }
void DataSource::last() { setCurrentRow(qMax(0, rowCount() - 1)); }

void DataSource::edit() {
    if (state_ != State::Browse || rowCount() == 0)
        return;
    buffer_ = query_->row(current_);
    setState(State::Edit);
}

void DataSource::insert() {
    if (!isActive())
        return;
    if (state_ != State::Browse)
        post();
    const int row = rowCount() == 0 ? 0 : current_;
    QVector<QVariant> blank(query_->fieldNames().size());
    {
        OwnChange own(ownChange_);
        reshaping_ = true;
        beginInsertRows(QModelIndex(), row, row);
        query_->insertRow(row, blank);
        endInsertRows();
        reshaping_ = false;
    }
    buffer_ = blank;
    current_ = row;
    setState(State::Insert);
    emit currentRowChanged(row);
}

DataSource::Address DataSource::addressOf(int row, Connection& connection) const {
    const QStringList& fields = query_->fieldNames();
    if (query_->hasField(QStringLiteral("rowid")))
        return {QStringLiteral("rowid"), query_->value(row, query_->fieldIndex(QStringLiteral("rowid")))};
    if (schema_.keyUnique)
        return {keyField_, query_->value(row, query_->fieldIndex(keyField_))};
    // Rows alike in the key: the first stored row with all the values read.
    QStringList conditions;
    Params params;
    for (int i = 0; i < fields.size(); ++i) {
        if (schema_.known && !schema_.columns.contains(fields[i], Qt::CaseInsensitive))
            continue;
        const QString name = QStringLiteral(":o%1").arg(i);
        conditions << quoteName(fields[i]) + QStringLiteral(" is ") + name;
        params.emplace_back(name, query_->value(row, i));
    }
    Query find(connection);
    find.setSql(QStringLiteral("select rowid as found from %1 where %2 limit 1")
                    .arg(quoteName(table_), conditions.join(QStringLiteral(" and "))));
    for (const auto& [name, value] : params)
        find.setParam(name, value);
    find.open();
    return {QStringLiteral("rowid"), find.value(QStringLiteral("found"))};
}

QVector<QVariant> DataSource::readRow(const Address& address) {
    Query reread;
    reread.setDatabasePath(query_->databasePath());
    const bool withRowid = query_->hasField(QStringLiteral("rowid"));
    reread.setSql(QStringLiteral("select %1* from %2 where %3=:key")
                      .arg(withRowid ? QStringLiteral("rowid, ") : QString(), quoteName(table_),
                           quoteName(address.field)));
    reread.setParam(QStringLiteral(":key"), address.value);
    reread.open();
    QVector<QVariant> values(query_->fieldNames().size());
    if (!reread.isEmpty()) {
        for (int i = 0; i < values.size(); ++i) {
            const QString& field = query_->fieldNames().at(i);
            if (reread.hasField(field))
                values[i] = reread.value(field);
        }
    }
    return values;
}

void DataSource::post() {
    if (state_ == State::Browse || !query_)
        return;
    if (!schema_.known)
        readSchema();
    const QStringList& fields = query_->fieldNames();
    Connection connection(query_->databasePath());
    Address address;
    if (state_ == State::Edit) {
        const QVector<QVariant> original = query_->row(current_);
        QStringList assignments;
        Params params;
        for (int i = 0; i < fields.size(); ++i) {
            if (isReadOnlyColumn(i) || Query::textOf(original[i]) == Query::textOf(buffer_[i]))
                continue;
            if (buffer_[i].typeId() == QMetaType::QByteArray)
                continue;
            const QString name = QStringLiteral(":v%1").arg(i);
            assignments << quoteName(fields[i]) + QLatin1Char('=') + name;
            params.emplace_back(name, buffer_[i]);
        }
        address = addressOf(current_, connection);
        if (!assignments.isEmpty()) {
            if (beforeChange_)
                beforeChange_(Change::Edit);
            params.emplace_back(QStringLiteral(":key"), address.value);
            connection.execute(QStringLiteral("update %1 set %2 where %3=:key")
                                   .arg(quoteName(table_), assignments.join(QLatin1Char(',')), quoteName(address.field)),
                               params);
            // A changed key value identifies the row from now on.
            if (address.field == keyField_) {
                const QVariant& typed = buffer_.at(query_->fieldIndex(keyField_));
                if (!typed.isNull())
                    address.value = typed;
            }
        }
    } else {
        QStringList names, values;
        Params params;
        for (int i = 0; i < fields.size(); ++i) {
            if (isReadOnlyColumn(i) || buffer_[i].isNull())
                continue;
            const QString name = QStringLiteral(":v%1").arg(i);
            names << quoteName(fields[i]);
            values << name;
            params.emplace_back(name, buffer_[i]);
        }
        if (names.isEmpty())
            connection.execute(QStringLiteral("insert into %1 default values").arg(quoteName(table_)));
        else
            connection.execute(QStringLiteral("insert into %1(%2) values(%3)")
                                   .arg(quoteName(table_), names.join(QLatin1Char(',')), values.join(QLatin1Char(','))),
                               params);
        Query lastId(connection);
        lastId.setSql(QStringLiteral("select last_insert_rowid() as id"));
        lastId.open();
        address = {QStringLiteral("rowid"), lastId.value(QStringLiteral("id"))};
    }
    // Show the row as stored, with the values the database gave it.
    const QVector<QVariant> stored = readRow(address);
    {
        OwnChange own(ownChange_);
        query_->replaceRow(current_, stored);
    }
    buffer_.clear();
    setState(State::Browse);
    emit dataChanged(index(current_, 0), index(current_, columnCount() - 1));
    announceWrite();
}

void DataSource::cancel() {
    const bool wasEditing = state_ != State::Browse;
    buffer_.clear(); // before the rows move: the edited row shows as stored
    if (state_ == State::Insert) {
        removeCurrentRow();
        current_ = qBound(0, current_, qMax(0, rowCount() - 1));
    }
    setState(State::Browse);
    if (wasEditing && rowCount() > 0)
        emit dataChanged(index(current_, 0), index(current_, columnCount() - 1));
    moveTo(current_);
}

void DataSource::removeCurrentRow() {
    OwnChange own(ownChange_);
    reshaping_ = true;
    beginRemoveRows(QModelIndex(), current_, current_);
    query_->removeRow(current_);
    endRemoveRows();
    reshaping_ = false;
}

void DataSource::remove() {
    if (rowCount() == 0)
        return;
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (!Dialogs::current().confirm(QStringLiteral("删除这条记录吗？")))
        return;
    if (!schema_.known)
        readSchema();
    if (beforeChange_)
        beforeChange_(Change::Remove);
    Connection connection(query_->databasePath());
    const Address address = addressOf(current_, connection);
    connection.execute(QStringLiteral("delete from %1 where %2=:key").arg(quoteName(table_), quoteName(address.field)),
                       {{QStringLiteral(":key"), address.value}});
    buffer_.clear();
    setState(State::Browse);
    removeCurrentRow();
    moveTo(current_);
    announceWrite();
}

void DataSource::refresh() {
    if (!isActive())
        return;
    if (state_ != State::Browse)
        post();
    // The row shown before is found again by its rowid or its key.
    const QString field = query_->hasField(QStringLiteral("rowid")) ? QStringLiteral("rowid") : keyField_;
    QVariant key;
    if (rowCount() > 0 && query_->hasField(field))
        key = query_->value(current_, query_->fieldIndex(field));
    query_->open(); // the source follows, also when the open fails
    if (key.isNull())
        return;
    const int column = query_->fieldIndex(field);
    for (int r = 0; r < rowCount(); ++r) {
        if (query_->value(r, column) == key) {
            moveTo(r);
            break;
        }
    }
}
