#pragma once

#include "Database.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>
#include <memory>
#include <vector>

// A query object: a database file, an SQL text and named parameters.
//
// open() runs a selection and keeps its rows in memory, positioned on the
// first; the file is not held open afterwards. execute() runs a statement
// without rows. Each call opens the file afresh unless the query is bound to
// a Connection (for a run of statements in one transaction).
//
// Rows are kept compactly: one cell per value in one array, texts and bytes
// in one buffer, decoded when read. Whoever shows the rows (a grid) listens
// for every change of them: the query tells its listeners before and after
// it closes, opens (also when the open fails: it is then closed and empty),
// has rows replaced, inserted or removed, takes the rows of another query, or
// goes away. A copy of a query has the rows but none of the listeners.
class Query {
public:
    enum class Match { Equal, Prefix };
    enum class Change {
        AboutToChange, // the rows are about to change
        Changed,       // they changed: read them afresh
        Destroyed,     // the query is gone
    };
    using Listener = std::function<void(Change)>;

    Query();
    explicit Query(Connection& connection);
    Query(const Query& other);
    Query(Query&& other) noexcept;
    Query& operator=(const Query& other);
    Query& operator=(Query&& other) noexcept;
    ~Query();

    // Returns an id for removeListener(). A change made inside a listener
    // call is not announced again.
    int addListener(Listener listener);
    void removeListener(int id);

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
    bool isEmpty() const { return rowStart_.empty(); }
    int recordCount() const { return int(rowStart_.size()); }
    int recNo() const;              // 1-based; 0 when empty
    void setRecNo(int recNo);       // 1-based
    int currentRow() const { return rowStart_.empty() ? -1 : pos_; }

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

    // --- rows as loaded (for grids), by position; values typed as stored:
    // integers as qlonglong, reals as double, texts as QString, bytes as
    // QByteArray, null as an invalid QVariant.
    QVector<QVariant> row(int index) const;
    QVariant value(int row, int column) const;
    bool isNull(int row, int column) const;
    bool isBytes(int row, int column) const;
    void replaceRow(int index, const QVector<QVariant>& values);
    void insertRow(int index, const QVector<QVariant>& values);
    void removeRow(int index);

    // Reads again every open query of this process on the file `path`, as
    // each was opened (its SQL and parameters; positioned on the first row),
    // so that whoever shows its rows shows what the file holds now: after
    // the file was replaced by a restored copy. A query bound to a
    // Connection is left alone; one that cannot be read again is closed.
    static void reopenAll(const QString& path);

    // The display text of any stored value (numbers as digits, null as "").
    static QString textOf(const QVariant& value);
    // Whether a stored value is a number (any integer or floating type).
    static bool isNumber(const QVariant& value);
    // The order of a key column when a source cannot sort it itself (a file
    // from elsewhere): nulls first, then numbers by value, then texts
    // ignoring case, as the original engine ordered them.
    static bool sourceKeyLess(const QVariant& a, const QVariant& b);

private:
    // One value: its type and either the number itself or where its text
    // or bytes lie in the buffer. Twelve bytes, kept in one array.
    struct Cell {
        quint32 type;  // Type, and for texts and bytes their size above it
        quint32 lo, hi; // the number's bits, or the offset into the buffer
    };
    enum Type : quint32 { Null, Integer, Real, Text, Bytes };
    static constexpr int typeBits = 3;

    // Tells the listeners before and after a change; nested changes are one.
    class ChangeScope {
    public:
        explicit ChangeScope(Query& query);
        ~ChangeScope();

    private:
        Query& query_;
    };
    void notify(Change change);

    template <typename F> auto run(F&& body);
    void clearRows();
    void copyRowsFrom(const Query& other);
    void takeRowsFrom(Query& other);
    bool hasRows() const { return !rowStart_.empty(); }
    int rowTotal() const { return int(rowStart_.size()); }
    const Cell& cell(int row, int column) const { return cells_[rowStart_[row] + quint32(column)]; }
    QVariant cellValue(const Cell& c) const;
    quint32 appendRow(const QVector<QVariant>& values);
    void appendBytes(Cell& c, Type type, const char* data, qsizetype size);

    QString path_;
    Connection* connection_ = nullptr;
    QString sql_;
    Params params_;

    bool open_ = false;
    QStringList fields_;
    QHash<QString, int> fieldIndex_;
    std::vector<Cell> cells_;
    std::vector<quint32> rowStart_; // first cell of each row
    std::vector<char> buffer_;      // texts (UTF-8) and bytes
    int pos_ = 0;
    bool eof_ = true;
    bool bof_ = true;
    int pageSize_ = 0;

    std::vector<std::pair<int, Listener>> listeners_;
    int nextListener_ = 0;
    int changing_ = 0;
};
