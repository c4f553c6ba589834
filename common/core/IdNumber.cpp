#include "IdNumber.h"

#include <QDate>

namespace IdNumber {

namespace {

bool isDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

} // namespace

QChar checkCharacter(const QString& number) {
    static const int weights[17] = {7, 9, 10, 5, 8, 4, 2, 1, 6, 3, 7, 9, 10, 5, 8, 4, 2};
    static const char checks[] = "10X98765432";
    if (number.size() < 17)
        return QChar();
    int sum = 0;
    for (int i = 0; i < 17; ++i) {
        const QChar c = number.at(i);
        if (!isDigit(c))
            return QChar();
        sum += (c.unicode() - '0') * weights[i];
    }
    return QLatin1Char(checks[sum % 11]);
}

bool birthDateExists(const QString& number) {
    if (number.size() < 14)
        return false;
    int parts[3] = {0, 0, 0};
    const int widths[3] = {4, 2, 2};
    int at = 6;
    for (int p = 0; p < 3; ++p) {
        for (int i = 0; i < widths[p]; ++i, ++at) {
            const QChar c = number.at(at);
            if (!isDigit(c))
                return false;
            parts[p] = parts[p] * 10 + (c.unicode() - '0');
        }
    }
    return parts[0] >= 1 && QDate::isValid(parts[0], parts[1], parts[2]);
}

} // namespace IdNumber
