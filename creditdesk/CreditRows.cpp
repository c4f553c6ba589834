#include "CreditRows.h"
#include "Query.h"
#include "Text.h"

#include <QRegularExpression>
#include <QSqlDriver>
#include <cmath>
#include <sqlite3.h>

namespace {

const QString insertSql = QStringLiteral(
    "insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) values(?,?,?,?,?,?)");

// The engine handle under a connection (the QSQLITE driver runs on the
// system SQLite, the library we link).
sqlite3* handleOf(Connection& connection) {
    const QVariant handle = connection.database().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

bool isNumber(const QVariant& value) {
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

int bind(sqlite3_stmt* statement, int index, const QVariant& value) {
    if (value.isNull())
        return sqlite3_bind_null(statement, index);
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return sqlite3_bind_int64(statement, index, value.toLongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return sqlite3_bind_double(statement, index, value.toDouble());
    default: {
        const QString text = value.toString();
        return sqlite3_bind_text16(statement, index, text.utf16(), int(text.size() * 2), SQLITE_TRANSIENT);
    }
    }
}

} // namespace

CreditInserter::CreditInserter(Connection& connection) : path_(connection.path()), db_(handleOf(connection)) {
    if (!db_)
        throw DbError::fromEngine(path_, QStringLiteral("no engine handle"), insertSql);
    const QByteArray sql = insertSql.toUtf8();
    if (sqlite3_prepare_v2(db_, sql.constData(), int(sql.size()), &statement_, nullptr) != SQLITE_OK) {
        const QString error = QString::fromUtf8(sqlite3_errmsg(db_));
        sqlite3_finalize(statement_);
        statement_ = nullptr;
        throw DbError::fromEngine(path_, error, insertSql);
    }
}

CreditInserter::~CreditInserter() {
    sqlite3_finalize(statement_);
}

void CreditInserter::insert(const QString& subNumber, const QString& name, const QString& idNumber,
                            const QVariant& required, const QVariant& elective, const QVariant& total) {
    const QVariant values[6] = {subNumber, name, idNumber, required, elective, total};
    int rc = SQLITE_OK;
    for (int i = 0; i < 6 && rc == SQLITE_OK; ++i)
        rc = bind(statement_, i + 1, values[i]);
    if (rc == SQLITE_OK)
        rc = sqlite3_step(statement_);
    const QString error = rc == SQLITE_DONE ? QString() : QString::fromUtf8(sqlite3_errmsg(db_));
    sqlite3_reset(statement_); // done with this row; the statement stays prepared
    if (rc != SQLITE_DONE) {
        Params params;
        for (const QVariant& v : values)
            params.emplace_back(QString(), v);
        throw DbError::fromEngine(path_, error, insertSql, params);
    }
}

namespace CreditRows {

QVariant creditValue(const QVariant& stored, bool trim) {
    const QString text = Query::textOf(stored);
    if ((trim ? Text::trimmed(text) : text).isEmpty())
        return QVariant();
    return text;
}

ImportedCredit importedCredit(const QVariant& stored) {
    ImportedCredit credit;
    if (stored.isNull())
        return credit;
    double number = 0;
    if (isNumber(stored)) {
        number = stored.toDouble();
    } else {
        const QString text = Query::textOf(stored);
        if (text.isEmpty())
            return credit;
        // What the engine read as a number when the text stood unquoted in a
        // statement: blanks around it, a sign, digits with a decimal point,
        // an exponent.
        static const QRegularExpression decimal(
            QStringLiteral("^[+-]?(\\d+(\\.\\d*)?|\\.\\d+)([eE][+-]?\\d+)?$"));
        const QString trimmed = Text::trimmed(text);
        bool ok = false;
        if (decimal.match(trimmed).hasMatch())
            number = trimmed.toDouble(&ok);
        if (!ok) {
            credit.problem = ImportedCredit::NotANumber;
            return credit;
        }
    }
    if (!std::isfinite(number)) {
        credit.problem = ImportedCredit::NotANumber;
        return credit;
    }
    const double whole = std::nearbyint(number); // the current rounding: halves to even
    if (whole < -32768 || whole > 32767) {
        credit.problem = ImportedCredit::OutOfRange;
        return credit;
    }
    credit.value = qlonglong(whole);
    return credit;
}

bool sourceKeyLess(const QVariant& a, const QVariant& b) {
    const auto rank = [](const QVariant& v) { return v.isNull() ? 0 : isNumber(v) ? 1 : 2; };
    const int ra = rank(a), rb = rank(b);
    if (ra != rb)
        return ra < rb;
    if (ra == 0)
        return false;
    if (ra == 1)
        return a.toDouble() < b.toDouble();
    return Query::textOf(a).compare(Query::textOf(b), Qt::CaseInsensitive) < 0;
}

} // namespace CreditRows
