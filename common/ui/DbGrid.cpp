#include "DbGrid.h"
#include "Dialogs.h"
#include "ErrorBoundary.h"

#include <QHBoxLayout>
#include <QHeaderView>

namespace {

bool isRowid(const QString& field) { return field.compare(QLatin1String("rowid"), Qt::CaseInsensitive) == 0; }

QString quoteName(const QString& name) { return isRowid(name) ? name : QLatin1Char('"') + name + QLatin1Char('"'); }

// What a typed text means for the database: nothing typed is null.
QVariant storedValue(const QVariant& typed) {
    if (typed.isNull())
        return QVariant();
    const QString text = typed.toString();
    return text.isEmpty() ? QVariant() : QVariant(text);
}

} // namespace

DataSource::DataSource(Query* query, QString table, QString keyField, QObject* parent)
    : QAbstractTableModel(parent), query_(query), table_(std::move(table)), keyField_(std::move(keyField)) {}

void DataSource::reload() {
    beginResetModel();
    shown_.clear();
    const QStringList& fields = query_->fieldNames();
    for (int i = 0; i < fields.size(); ++i) {
        if (!isRowid(fields[i]))
            shown_ << i;
    }
    state_ = State::Browse;
    buffer_.clear();
    current_ = 0;
    if (query_->isOpen())
        query_->first();
    endResetModel();
    emit stateChanged();
    emit currentRowChanged(current_);
}

int DataSource::queryColumn(int shownColumn) const { return shown_.value(shownColumn, -1); }

int DataSource::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : query_->recordCount();
}

int DataSource::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(shown_.size()); }

QVariant DataSource::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole))
        return QVariant();
    const int column = queryColumn(index.column());
    const bool buffered = state_ != State::Browse && index.row() == current_;
    const QVariant& v = buffered ? buffer_.at(column) : query_->row(index.row()).at(column);
    if (v.typeId() == QMetaType::QByteArray)
        return v.isNull() ? QString() : QStringLiteral("(BLOB)");
    return Query::textOf(v);
}

Qt::ItemFlags DataSource::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    const int column = queryColumn(index.column());
    const QVariant& v = query_->row(index.row()).at(column);
    if (v.typeId() != QMetaType::QByteArray)
        f |= Qt::ItemIsEditable;
    return f;
}

bool DataSource::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (!index.isValid() || role != Qt::EditRole)
        return false;
    bool changed = false;
    ErrorBoundary::run([&] {
        setCurrentRow(index.row());
        if (current_ != index.row())
            return; // the pending edit of another row could not be posted
        if (state_ == State::Browse)
            edit();
        const int column = queryColumn(index.column());
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
    if (role != Qt::DisplayRole)
        return QVariant();
    if (orientation == Qt::Vertical)
        return section == current_ ? QStringLiteral("▶") : QString();
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
    if (query_->recordCount() == 0)
        row = 0;
    else
        row = qBound(0, row, query_->recordCount() - 1);
    const int old = current_;
    current_ = row;
    if (query_->recordCount() > 0)
        query_->setRecNo(row + 1);
    if (old != row)
        emit headerDataChanged(Qt::Vertical, qMin(old, row), qMax(old, row));
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

void DataSource::first() { setCurrentRow(0); }
void DataSource::prior() { setCurrentRow(qMax(0, current_ - 1)); }
void DataSource::next() { setCurrentRow(qMin(current_ + 1, qMax(0, query_->recordCount() - 1))); }
void DataSource::last() { setCurrentRow(qMax(0, query_->recordCount() - 1)); }

void DataSource::edit() {
    if (state_ != State::Browse || query_->recordCount() == 0)
        return;
    buffer_ = query_->row(current_);
    setState(State::Edit);
}

void DataSource::insert() {
    if (!query_->isOpen())
        return;
    if (state_ != State::Browse)
        post();
    const int row = query_->recordCount() == 0 ? 0 : current_;
    QVector<QVariant> blank(query_->fieldNames().size());
    reshaping_ = true;
    beginInsertRows(QModelIndex(), row, row);
    query_->insertRow(row, blank);
    endInsertRows();
    reshaping_ = false;
    buffer_ = blank;
    current_ = row;
    setState(State::Insert);
    emit currentRowChanged(row);
}

QVector<QVariant> DataSource::readRow(const QString& keyField, const QVariant& key) {
    Query reread;
    reread.setDatabasePath(query_->databasePath());
    const bool withRowid = query_->hasField(QStringLiteral("rowid"));
    reread.setSql(QStringLiteral("select %1* from %2 where %3=:key")
                      .arg(withRowid ? QStringLiteral("rowid, ") : QString(), quoteName(table_), quoteName(keyField)));
    reread.setParam(QStringLiteral(":key"), key);
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
    if (state_ == State::Browse)
        return;
    const QStringList& fields = query_->fieldNames();
    Connection connection(query_->databasePath());
    QVariant key;
    if (state_ == State::Edit) {
        const QVector<QVariant>& original = query_->row(current_);
        QStringList assignments;
        Params params;
        for (int i = 0; i < fields.size(); ++i) {
            if (isRowid(fields[i]) || Query::textOf(original[i]) == Query::textOf(buffer_[i]))
                continue;
            if (buffer_[i].typeId() == QMetaType::QByteArray)
                continue;
            const QString name = QStringLiteral(":v%1").arg(i);
            assignments << quoteName(fields[i]) + QLatin1Char('=') + name;
            params.emplace_back(name, buffer_[i]);
        }
        key = original.at(query_->fieldIndex(keyField_));
        if (!assignments.isEmpty()) {
            params.emplace_back(QStringLiteral(":key"), key);
            connection.execute(QStringLiteral("update %1 set %2 where %3=:key")
                                   .arg(quoteName(table_), assignments.join(QLatin1Char(',')), quoteName(keyField_)),
                               params);
            // A changed key value identifies the row from now on.
            const int keyColumn = query_->fieldIndex(keyField_);
            if (!buffer_.at(keyColumn).isNull())
                key = buffer_.at(keyColumn);
        }
    } else {
        QStringList names, values;
        Params params;
        for (int i = 0; i < fields.size(); ++i) {
            if (isRowid(fields[i]) || buffer_[i].isNull())
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
        key = lastId.value(QStringLiteral("id"));
    }
    // Show the row as stored, with the values the database gave it.
    const QString keyName = state_ == State::Insert ? QStringLiteral("rowid") : keyField_;
    query_->replaceRow(current_, readRow(keyName, key));
    buffer_.clear();
    setState(State::Browse);
    emit dataChanged(index(current_, 0), index(current_, columnCount() - 1));
}

void DataSource::cancel() {
    if (state_ == State::Insert) {
        removeCurrentRow();
        current_ = qBound(0, current_, qMax(0, query_->recordCount() - 1));
    }
    const bool wasEditing = state_ != State::Browse;
    buffer_.clear();
    setState(State::Browse);
    if (wasEditing && query_->recordCount() > 0)
        emit dataChanged(index(current_, 0), index(current_, columnCount() - 1));
    moveTo(current_);
}

void DataSource::removeCurrentRow() {
    reshaping_ = true;
    beginRemoveRows(QModelIndex(), current_, current_);
    query_->removeRow(current_);
    endRemoveRows();
    reshaping_ = false;
}

void DataSource::remove() {
    if (query_->recordCount() == 0)
        return;
    if (state_ == State::Insert) {
        cancel();
        return;
    }
    if (!Dialogs::current().confirm(QStringLiteral("删除这条记录吗？")))
        return;
    const QVariant key = query_->row(current_).at(query_->fieldIndex(keyField_));
    Connection connection(query_->databasePath());
    connection.execute(QStringLiteral("delete from %1 where %2=:key").arg(quoteName(table_), quoteName(keyField_)),
                       {{QStringLiteral(":key"), key}});
    buffer_.clear();
    setState(State::Browse);
    removeCurrentRow();
    moveTo(current_);
}

void DataSource::refresh() {
    if (!query_->isOpen())
        return;
    if (state_ != State::Browse)
        post();
    QVariant key;
    if (query_->recordCount() > 0)
        key = query_->row(current_).at(query_->fieldIndex(keyField_));
    query_->open();
    reload();
    for (int r = 0; !key.isNull() && r < query_->recordCount(); ++r) {
        if (query_->row(r).at(query_->fieldIndex(keyField_)) == key) {
            moveTo(r);
            break;
        }
    }
}

// ---------------------------------------------------------------- DbGrid

DbGrid::DbGrid(QWidget* parent) : QTableView(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    setSelectionBehavior(QAbstractItemView::SelectItems);
    setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                    QAbstractItemView::AnyKeyPressed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    verticalHeader()->setFixedWidth(22);
    horizontalHeader()->setHighlightSections(false);
}

void DbGrid::setDataSource(DataSource* source) {
    source_ = source;
    setModel(source);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (syncing_ || !current.isValid() || !source_ || source_->isReshaping())
            return;
        syncing_ = true;
        ErrorBoundary::run([&] { source_->setCurrentRow(current.row()); });
        syncing_ = false;
        if (source_->currentRow() != current.row())
            followSource(source_->currentRow());
    });
    connect(source, &DataSource::currentRowChanged, this, &DbGrid::followSource);
    // Rows inserted or removed shift the view's current cell (that is not the
    // user moving to another row); afterwards the view follows the source.
    auto follow = [this] { followSource(source_->currentRow()); };
    connect(source, &QAbstractItemModel::rowsInserted, this, follow);
    connect(source, &QAbstractItemModel::rowsRemoved, this, follow);
    connect(source, &QAbstractItemModel::modelReset, this, [this] { resizeColumnsToContents(); });
}

void DbGrid::followSource(int row) {
    if (syncing_ || !source_ || source_->rowCount() == 0)
        return;
    syncing_ = true;
    const int column = qMax(0, currentIndex().column());
    const QModelIndex target = source_->index(row, column);
    setCurrentIndex(target);
    scrollTo(target);
    syncing_ = false;
}

// ----------------------------------------------------------- DbNavigator

DbNavigator::DbNavigator(QWidget* parent) : QWidget(parent) {
    struct Spec {
        const char16_t* glyph;
        const char16_t* hint;
    };
    static const Spec specs[10] = {
        {u"|◀", u"第一条"}, {u"◀", u"上一条"},  {u"▶", u"下一条"}, {u"▶|", u"最后一条"}, {u"+", u"插入"},
        {u"−", u"删除"},    {u"▲", u"编辑"},    {u"✔", u"保存"},   {u"✘", u"取消"},     {u"↻", u"刷新"},
    };
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i < 10; ++i) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf16(specs[i].glyph));
        b->setToolTip(QString::fromUtf16(specs[i].hint));
        b->setObjectName(QStringLiteral("NavButton%1").arg(i));
        b->setMinimumWidth(28);
        layout->addWidget(b);
        buttons_[i] = b;
        connect(b, &QToolButton::clicked, this, [this, i] { click(Button(i)); });
    }
    layout->addStretch();
    updateButtons();
}

void DbNavigator::setDataSource(DataSource* source) {
    source_ = source;
    connect(source, &DataSource::stateChanged, this, &DbNavigator::updateButtons);
    connect(source, &DataSource::currentRowChanged, this, &DbNavigator::updateButtons);
    connect(source, &QAbstractItemModel::modelReset, this, &DbNavigator::updateButtons);
    connect(source, &QAbstractItemModel::rowsInserted, this, &DbNavigator::updateButtons);
    connect(source, &QAbstractItemModel::rowsRemoved, this, &DbNavigator::updateButtons);
    updateButtons();
}

void DbNavigator::click(Button which) {
    if (!source_)
        return;
    ErrorBoundary::run([&] {
        switch (which) {
        case First: source_->first(); break;
        case Prior: source_->prior(); break;
        case Next: source_->next(); break;
        case Last: source_->last(); break;
        case Insert: source_->insert(); break;
        case Delete: source_->remove(); break;
        case Edit: source_->edit(); break;
        case Post: source_->post(); break;
        case Cancel: source_->cancel(); break;
        case Refresh: source_->refresh(); break;
        }
    });
    updateButtons();
}

void DbNavigator::updateButtons() {
    const bool active = source_ && source_->query().isOpen();
    const int rows = active ? source_->rowCountShown() : 0;
    const int row = active ? source_->currentRow() : 0;
    const bool browsing = active && source_->state() == DataSource::State::Browse;
    const bool editing = active && !browsing;
    buttons_[First]->setEnabled(active && rows > 0 && row > 0);
    buttons_[Prior]->setEnabled(active && rows > 0 && row > 0);
    buttons_[Next]->setEnabled(active && row < rows - 1);
    buttons_[Last]->setEnabled(active && row < rows - 1);
    buttons_[Insert]->setEnabled(active);
    buttons_[Delete]->setEnabled(active && rows > 0);
    buttons_[Edit]->setEnabled(browsing && rows > 0);
    buttons_[Post]->setEnabled(editing);
    buttons_[Cancel]->setEnabled(editing);
    buttons_[Refresh]->setEnabled(active);
}
