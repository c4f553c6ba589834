#include "CheckBytes.h"
#include "IdNumber.h"
#include "RegistrationChecks.h"

// The checks of the ID numbers: their form, and the check character and
// birth date of the 18-character ones.
namespace RegistrationChecks {

IdFinding idFinding(const QString& t, const QString& d) {
    const QByteArray bytes = bytesOf(d);
    const int length = int(bytes.size());
    IdFinding finding;
    QString problems;
    if (length == 18) {
        for (int p = 1; p <= 17; ++p)
            if (!digitAt(bytes, p))
                problems += irregular(p);
        // Only a lowercase x of its own is corrected, not the last byte of a
        // two-byte character that happens to have the same value.
        if (byteAt(bytes, 18) == 'x' && d.endsWith(QLatin1Char('x'))) {
            finding.lowercaseX = true;
            problems += QStringLiteral("，第18位x已经改为X");
        }
        if (!digitAt(bytes, 18) && byteAt(bytes, 18) != 'X')
            problems += irregular(18);
    } else if (length == 15) {
        for (int p = 1; p <= 15; ++p)
            if (!digitAt(bytes, p))
                problems += irregular(p);
    } else {
        problems += QStringLiteral("，位数不对");
    }
    if (length == 18) {
        const QByteArray century = bytes.mid(6, 2);
        if (century != "19" && century != "20")
            problems += QStringLiteral("，第七、八位异常");
        const char month = byteAt(bytes, 11);
        if (month != '0' && month != '1')
            problems += QStringLiteral("，第十一位异常");
        const char day = byteAt(bytes, 13);
        if (day < '0' || day > '3')
            problems += QStringLiteral("，第十三位异常");
    }
    if (!problems.isEmpty())
        finding.line = QStringLiteral("学业水平测试号") + t + QStringLiteral("，身份证号") + d + problems +
                       QStringLiteral("！");
    return finding;
}

QString idCheckFinding(const QString& t, const QString& d) {
    // Only numbers of 18 bytes whose first seventeen are digits have a check
    // character to compare; every other form is the ID number check's finding.
    if (bytesOf(d).size() != 18 || d.size() != 18)
        return QString();
    const QChar expected = IdNumber::checkCharacter(d);
    if (expected.isNull())
        return QString();
    QString problems;
    if (d.at(17).toUpper() != expected)
        problems += QStringLiteral("，校验码应为") + expected;
    if (!IdNumber::birthDateExists(d))
        problems += QStringLiteral("，出生日期不存在");
    if (problems.isEmpty())
        return QString();
    return QStringLiteral("学业水平测试号") + t + QStringLiteral("，身份证号") + d + problems + QStringLiteral("！");
}

} // namespace RegistrationChecks
