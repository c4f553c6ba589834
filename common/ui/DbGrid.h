#pragma once

#include "Query.h"

#include <QAbstractTableModel>
#include <QTableView>
#include <QToolButton>
#include <QWidget>
#include <array>

// A grid with a record navigator over a Query, editing the rows of one table
// by key. `DataSource` is the shared model: the rows of the query, the current
// row, and the edit state (browse, edit or insert); `DbGrid` shows it and
// `DbNavigator` offers the ten standard operations on it.
//
// The key is the table's primary key, or "rowid" for a table without one (the
// query then selects "rowid, *"; the column is not shown). Typed texts are
// written as they stand and the database converts them to the column's type,
// so a wrong type or a text too long is refused with the engine's error.
class DataSource : public QAbstractTableModel {
    Q_OBJECT
public:
    enum class State { Browse, Edit, Insert };

    DataSource(Query* query, QString table, QString keyField, QObject* parent = nullptr);

    Query& query() const { return *query_; }
    const QString& table() const { return table_; }

    // Call after the window reopened the query: shows its rows from the first.
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

private:
    int queryColumn(int shownColumn) const;
    QVector<QVariant> readRow(const QString& keyField, const QVariant& key);
    void setState(State state);
    void moveTo(int row);
    void removeCurrentRow();

    Query* query_;
    QString table_;
    QString keyField_;
    QVector<int> shown_; // query columns shown in the grid
    State state_ = State::Browse;
    int current_ = 0;
    QVector<QVariant> buffer_; // the row being edited or inserted
    bool reshaping_ = false;
};

class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);
    void setDataSource(DataSource* source);
    DataSource* dataSource() const { return source_; }

private:
    void followSource(int row);
    DataSource* source_ = nullptr;
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
