#pragma once

#include "Text.h"

#include <QByteArray>
#include <QString>
#include <string>

// What the check families share: the bytes the checks judge, and the key
// the students are ordered and compared by.
namespace RegistrationChecks {

// The GB18030 bytes of a text; most texts checked here are plain ASCII.
inline QByteArray bytesOf(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return Gb18030::encode(text);
    return text.toLatin1();
}

// The byte at 1-based `position`, or 0 past the end.
inline char byteAt(const QByteArray& bytes, int position) {
    return position >= 1 && position <= bytes.size() ? bytes[position - 1] : '\0';
}

inline bool digitAt(const QByteArray& bytes, int position) {
    const char c = byteAt(bytes, position);
    return c >= '0' && c <= '9';
}

inline QString irregular(int position) { return QStringLiteral("，第%1位存在不规则字符").arg(position); }

// The sub-number of a stored test number, as compared for order and for
// duplicates: ASCII case ignored.
std::string subNumberKey(const QString& testNumber);

} // namespace RegistrationChecks
