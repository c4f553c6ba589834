#pragma once

#include "Database.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <memory>

// A query object: a database file, an SQL text and named parameters.
//
// open() runs a selection and keeps its rows in memory, positioned on the
// first; the file is not held open afterwards. execute() runs a statement
// without rows. Each call opens the file afresh unless the query is bound to
// a Connection (for a run of statements in one transaction).
class Query {
public:
    enum class Match { Equal, Prefix };

    Query() = default;
    explicit Query(Connection& connection);

    // --- setting up (each action closes the query and sets these anew)
    void close();
    void setDatabasePath(const QString& path);
    const QString& databasePath() const { return path_; }
    void setConnection(Connection* connection); // nullptr: open the file per call
    void setSql(const QString& sql);
    const QString& sql() const { return sql_; }
    void setParam(const QString& name, const QVariant& value); // ":sxbm"

    // --- running
    void open();    // rows in memory, positioned on the first
    int execute();  // returns the rows changed
    bool isOpen() const { return open_; }

    // --- navigation
    void first();
    void next();
    void prior();
    void last();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }
    bool isEmpty() const { return rows_.isEmpty(); }
    int recordCount() const { return int(rows_.size()); }
    int recNo() const;              // 1-based; 0 when empty
    void setRecNo(int recNo);       // 1-based
    int currentRow() const { return rows_.isEmpty() ? -1 : pos_; }

    // Makes current the first row whose field equals `value` (Equal) or
    // starts with it (Prefix), comparing texts; stays put when none does.
    bool locate(const QString& field, const QString& value, Match match = Match::Equal);

    // Paging: pages of `size` rows, numbered from 1.
    void setPageSize(int size);
    int pageSize() const { return pageSize_; }
    int pageCount() const;
    void setAbsolutePage(int page); // moves to the page's first row
    int absolutePage() const;

    // --- fields of the current row, by name (case-insensitive)
    const QStringList& fieldNames() const { return fields_; }
    bool hasField(const QString& field) const;
    int fieldIndex(const QString& field) const; // throws "Field '%s' not found"
    QVariant value(const QString& field) const;
    QString text(const QString& field) const;   // null gives ""
    long long integer(const QString& field) const;
    bool isNull(const QString& field) const;
    QByteArray bytes(const QString& field) const;

    // --- rows as loaded (for grids)
    const QVector<QVariant>& row(int index) const { return rows_.at(index); }
    void replaceRow(int index, const QVector<QVariant>& values);
    void insertRow(int index, const QVector<QVariant>& values);
    void removeRow(int index);

    // The display text of any stored value (numbers as digits, null as "").
    static QString textOf(const QVariant& value);

private:
    template <typename F> auto run(F&& body);

    QString path_;
    Connection* connection_ = nullptr;
    QString sql_;
    Params params_;

    bool open_ = false;
    QStringList fields_;
    QHash<QString, int> fieldIndex_;
    QVector<QVector<QVariant>> rows_;
    int pos_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    int pageSize_ = 0;
};
