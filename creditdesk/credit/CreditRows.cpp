#include "CreditRows.h"
#include "Query.h"
#include "Text.h"

#include <QRegularExpression>
#include <cmath>

namespace {

const QString insertSql = QStringLiteral(
    "insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) values(?,?,?,?,?,?)");

} // namespace

CreditInserter::CreditInserter(Connection& connection) : connection_(connection) {}

void CreditInserter::insert(const QString& subNumber, const QString& name, const QString& idNumber,
                            const QVariant& required, const QVariant& elective, const QVariant& total) {
    // The connection keeps the statement compiled between rows.
    connection_.execute(insertSql, {{QString(), subNumber},
                                    {QString(), name},
                                    {QString(), idNumber},
                                    {QString(), required},
                                    {QString(), elective},
                                    {QString(), total}});
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
    if (Query::isNumber(stored)) {
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


} // namespace CreditRows
