#include "CheckBytes.h"
#include "RegistrationChecks.h"
#include "TestNumber.h"

// The checks of the test numbers: the gender digit, the length and the
// characters, and sub-numbers used twice.
namespace RegistrationChecks {

namespace {

// The character that holds the byte at 1-based `position` (empty past the
// end): a byte of a two- or four-byte character shows as the whole character.
QString characterAtByte(const QString& text, const QByteArray& bytes, int position) {
    if (position < 1 || position > bytes.size())
        return QString();
    if (static_cast<unsigned char>(bytes[position - 1]) < 0x80 && bytes.size() == text.size())
        return QString(QLatin1Char(bytes[position - 1]));
    int end = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype size = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, size);
        end += Gb18030::byteLength(character);
        if (position <= end)
            return character;
        i += size;
    }
    return QString();
}

} // namespace

QString genderFinding(const QString& t) {
    const QByteArray bytes = bytesOf(t);
    const char g = byteAt(bytes, 11);
    if (g == '1' || g == '2')
        return QString();
    return QStringLiteral("学业水平测试号：") + t + QStringLiteral("，性别位为：") + characterAtByte(t, bytes, 11) +
           QStringLiteral("，不正常。");
}

QString duplicateFinding(const QString& s) {
    const QString head = TestNumber::left(s, 10);
    const QString tail = TestNumber::right(s, 4);
    return QStringLiteral("学业水平测试号") + head + QStringLiteral("1") + tail + QStringLiteral("和学业水平测试号") + head +
           QStringLiteral("2") + tail + QStringLiteral("重号！");
}

QStringList lengthFindings(const QString& t) {
    const QByteArray bytes = bytesOf(t);
    QStringList lines;
    const QString head = QStringLiteral("学业水平测试号：") + t;
    if (bytes.size() != 15)
        lines << head + QStringLiteral(",长度为%1,不符合要求。").arg(bytes.size());
    for (int p = 1; p <= 15; ++p)
        if (!digitAt(bytes, p))
            lines << head + QStringLiteral(",第%1位存在不规则字符。").arg(p);
    return lines;
}

} // namespace RegistrationChecks
