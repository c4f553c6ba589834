#pragma once

#include "Query.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QToolButton>
#include <QWidget>
#include <array>
#include <functional>

// A grid with a record navigator over a Query, editing the rows of one table
// by key. `DataSource` is the shared model: the rows of the query, the current
// row, and the edit state (browse, edit or insert); `DbGrid` shows it and
// `DbNavigator` offers the ten standard operations on it.
//
// The source follows every change of its query by itself (closed, opened,
// failed to open, rows replaced, even by another source over the same query)
// and shows the query's rows afresh from the first; a pending edit is
// dropped then. No window has to tell it.
//
// It also follows what is written to its table elsewhere (TableChanges):
// the rows it shows are then outdated, and a grid showing the source reads
// them again (refresh) at once when it is on screen, else when it is next
// shown. Edits and deletes through a source are announced the same way, so
// the other grids over the table follow them.
//
// The key names the row an edit or a delete addresses: the table's primary
// key, or "rowid" for a table without one (the query then selects
// "rowid, *"; the column is not shown). When the key is not unique in the
// table (no primary key or unique index on it alone), rows are addressed by
// their rowid: selected with the rows, or else found by all the values the
// row was read with. The automatic key (an INTEGER PRIMARY KEY) and columns
// that are not the table's are not editable. Typed texts are written as they
// stand and the database converts them to the column's type, so a wrong type
// or a text too long is refused with the engine's error.
class DataSource : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class State { Browse, Edit, Insert };

    DataSource(Query* query, QString table, QString keyField, QObject* parent = nullptr);
    ~DataSource() override;

    Query& query() const { return *query_; }
    const QString& table() const { return table_; }
    // Whether the query is there and open (a query may go before its source).
    bool isActive() const { return query_ && query_->isOpen(); }

    // Shows the query's rows afresh from the first. The source does this by
    // itself on every change of the query; calling it again does no harm.
    void reload();

    State state() const { return state_; }
    int currentRow() const { return current_; }
    int rowCountShown() const { return int(query_->recordCount()); }

    // The ten standard operations. A pending edit is posted before moving.
    void first();
    void prior();
    void next();
    void last();
    void insert();
    void remove(); // asks for confirmation first
    void edit();
    void post();
    void cancel();
    void refresh();

    // Makes `row` current; posts a pending edit of another row first.
    void setCurrentRow(int row);

    // For a window about to read the query again: a pending edit is stored,
    // as moving to another row would store it, so that the new rows do not
    // silently drop what the user typed; a new row left blank is dropped.
    // Throws what post() throws, the edit then still pending.
    void settle();

    // What a window may do before a stored row is changed or deleted
    // through the source (a safety copy): called once the user has
    // confirmed, before anything is written; when it throws, nothing is.
    enum class Change { Edit, Remove };
    void setBeforeChange(std::function<void(Change)> hook) { beforeChange_ = std::move(hook); }

    // Whether rows of the table were written elsewhere since the query's
    // rows were read.
    bool isOutdated() const { return outdated_; }
    // Reads the rows again (refresh) when they are outdated and no edit is
    // pending.
    void refreshOutdated();

    // True while rows are being inserted or removed: views then move their
    // current cell by themselves, which is not a change of the current row.
    bool isReshaping() const { return reshaping_; }

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

signals:
    void currentRowChanged(int row);
    void stateChanged();
    // Rows of the table were written elsewhere (isOutdated()).
    void outdated();

private:
    // What the table's schema says about the rows shown.
    struct Schema {
        QString path;            // the database it was read from
        bool known = false;
        bool keyUnique = false;
        QStringList columns;     // the table's columns
        QString automaticKey;    // the INTEGER PRIMARY KEY column, if any
    };
    // A row as the database finds it: `field` (the key or rowid) = `value`.
    struct Address {
        QString field;
        QVariant value;
    };

    void queryChanged(Query::Change change);
    void tableWritten(const QString& databasePath, const QString& table, const void* origin);
    void announceWrite() const;
    void showQuery();
    void readSchema();
    bool isReadOnlyColumn(int queryColumn) const;
    bool validIndex(const QModelIndex& index) const;
    Address addressOf(int row, Connection& connection) const;
    int queryColumn(int shownColumn) const;
    QVector<QVariant> readRow(const Address& address);
    void setState(State state);
    void moveTo(int row);
    void removeCurrentRow();

    Query* query_;
    int listener_ = 0;
    int tableListener_ = 0;
    bool outdated_ = false;
    bool ownChange_ = false; // the source itself changes the query's rows
    QString table_;
    QString keyField_;
    Schema schema_;
    QVector<int> shown_; // query columns shown in the grid
    State state_ = State::Browse;
    int current_ = 0;
    QVector<QVariant> buffer_; // the row being edited or inserted
    std::function<void(Change)> beforeChange_;
    bool reshaping_ = false;
};

class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void followSource(int row);
    void refreshIfOutdated();
    DataSource* source_ = nullptr;
    QMetaObject::Connection outdatedConnection_;
    bool syncing_ = false;
};

class DbNavigator : public QWidget {
    Q_OBJECT
public:
    enum Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel, Refresh };

    explicit DbNavigator(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    QToolButton* button(Button which) const { return buttons_[which]; }

    // Runs one operation inside the error boundary, as a click does.
    void click(Button which);

private:
    void updateButtons();

    DataSource* source_ = nullptr;
    std::array<QToolButton*, 10> buttons_{};
};
