#include "TestNumber.h"
#include "Text.h"

namespace TestNumber {

QString genderDigit(const QString& genderText) {
    if (genderText == QStringLiteral("男"))
        return QStringLiteral("1");
    if (genderText == QStringLiteral("女"))
        return QStringLiteral("2");
    return QString();
}

QString compose(const QString& year, const QString& county, const QString& school,
                const QString& genderText, const QString& sequence) {
    return Text::trimmed(year) + Text::trimmed(county) + Text::trimmed(school) + genderDigit(genderText) +
           Text::trimmed(sequence);
}

QString left(const QString& text, int count) { return text.left(count); }

QString mid(const QString& text, int start1, int count) {
    if (start1 < 1 || start1 > text.size())
        return QString();
    return text.mid(start1 - 1, count);
}

QString right(const QString& text, int count) { return text.right(count); }

QString subNumber(const QString& testNumber) { return left(testNumber, 10) + right(testNumber, 4); }
QString unitCode(const QString& number) { return mid(number, 3, 8); }
QString countyCode(const QString& number) { return mid(number, 3, 4); }
QString cityCode(const QString& number) { return mid(number, 3, 2); }
QString sequenceNumber(const QString& number) { return right(number, 4); }

namespace Sql {
// An expression loses the collation of its column: each one says again
// that codes compare without regard to ASCII case.
QString subNumber(const QString& column) {
    return QStringLiteral("(substr(%1,1,10)||substr(%1,-4)) COLLATE NOCASE").arg(column);
}
QString unitCode(const QString& column) {
    return QStringLiteral("substr(%1,3,8) COLLATE NOCASE").arg(column);
}
QString countyCode(const QString& column) {
    return QStringLiteral("substr(%1,3,4) COLLATE NOCASE").arg(column);
}
QString cityCode(const QString& column) {
    return QStringLiteral("substr(%1,3,2) COLLATE NOCASE").arg(column);
}
QString sequenceNumber(const QString& column) {
    return QStringLiteral("substr(%1,-4) COLLATE NOCASE").arg(column);
}
QString canonicalOrder(const QString& column) {
    return QStringLiteral("substr(%1,1,10) asc,substr(%1,-4) asc").arg(column);
}
} // namespace Sql

} // namespace TestNumber
