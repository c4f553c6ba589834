#include "Profile.h"
#include "DeskError.h"
#include "FileOps.h"
#include "Text.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>

namespace {

bool isSectionLine(const QString& trimmedLine, QString* name) {
    if (!trimmedLine.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = trimmedLine.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    *name = Text::trimmed(trimmedLine.mid(1, close - 1));
    return true;
}

// Splits "key = value" lines; comments and lines without '=' are not keys.
bool isKeyLine(const QString& trimmedLine, QString* key, QString* value) {
    if (trimmedLine.isEmpty() || trimmedLine.startsWith(QLatin1Char(';')))
        return false;
    const qsizetype eq = trimmedLine.indexOf(QLatin1Char('='));
    if (eq <= 0)
        return false;
    *key = Text::trimmed(trimmedLine.left(eq));
    if (value)
        *value = Text::trimmed(trimmedLine.mid(eq + 1));
    return true;
}

// A line break (or another control character but the tab) would end the
// line early: what follows it would be read as keys or sections of its own.
bool breaksTheLine(const QString& text) {
    return std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c.unicode() < 0x20 && c != QLatin1Char('\t'); });
}

bool sameName(const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

QString unquote(const QString& value) {
    if (value.size() >= 2) {
        const QChar first = value.front();
        if ((first == QLatin1Char('"') || first == QLatin1Char('\'')) && value.back() == first)
            return value.mid(1, value.size() - 2);
    }
    return value;
}

const QByteArray utf8Bom("\xEF\xBB\xBF");
const QByteArray gb18030Signature("\x84\x31\x95\x33"); // U+FEFF in GB18030

// Whether non-ASCII bytes would be taken for UTF-8 text when read back.
bool readsAsUtf8(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(bytes);
    return !utf8.hasError() && text.size() != bytes.size();
}

} // namespace

Profile::Profile(QString path) : path_(std::move(path)) {}

Profile::Content Profile::load() const {
    Content content;
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return content;
    QByteArray bytes = file.readAll();
    if (bytes.startsWith(utf8Bom)) {
        bytes.remove(0, utf8Bom.size());
        content.utf8 = content.signature = true;
    } else if (bytes.startsWith(gb18030Signature)) {
        bytes.remove(0, gb18030Signature.size());
        content.signature = true;
    }
    QString text;
    if (!content.utf8 && !content.signature && readsAsUtf8(bytes))
        content.utf8 = true; // valid UTF-8 with non-ASCII text: a file written on this platform
    text = content.utf8 ? QString::fromUtf8(bytes) : Gb18030::decode(bytes);
    content.crlf = text.contains(QLatin1String("\r\n")) || !text.contains(QLatin1Char('\n'));
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    content.lines = text.split(QLatin1Char('\n'));
    if (!content.lines.isEmpty() && content.lines.back().isEmpty())
        content.lines.removeLast();
    return content;
}

QString Profile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    const Content content = load();
    bool inSection = false;
    for (const QString& line : content.lines) {
        const QString t = Text::trimmed(line);
        QString name, k, v;
        if (isSectionLine(t, &name)) {
            inSection = sameName(name, section);
        } else if (inSection && isKeyLine(t, &k, &v) && sameName(k, Text::trimmed(key))) {
            return unquote(v);
        }
    }
    return defaultValue;
}

int Profile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    const QString value = readString(section, key, QString());
    bool ok = false;
    const int n = value.toInt(&ok);
    return ok ? n : defaultValue;
}

void Profile::writeString(const QString& section, const QString& key, const QString& value) {
    // Each name and value must stay on its line and read back as itself.
    if (breaksTheLine(section) || breaksTheLine(key) || breaksTheLine(value) ||
        section.contains(QLatin1Char(']')) || key.contains(QLatin1Char('=')))
        throw DeskError(QStringLiteral("设置项 [%1] %2 的名称或值含有换行符等不能写入设置文件的字符，设置没有保存。")
                            .arg(section, key)
                            .replace(QLatin1Char('\r'), QLatin1Char(' '))
                            .replace(QLatin1Char('\n'), QLatin1Char(' ')));
    Content content = load();
    QStringList& lines = content.lines;
    const QString keyName = Text::trimmed(key);

    int sectionStart = -1;  // index of the section line
    int lastInSection = -1; // last non-empty line of the section
    int keyLine = -1;
    for (int i = 0; i < lines.size(); ++i) {
        const QString t = Text::trimmed(lines[i]);
        QString name, k;
        if (isSectionLine(t, &name)) {
            if (sectionStart >= 0)
                break;
            if (sameName(name, section))
                sectionStart = lastInSection = i;
        } else if (sectionStart >= 0) {
            if (!t.isEmpty())
                lastInSection = i;
            if (isKeyLine(t, &k, nullptr) && sameName(k, keyName)) {
                keyLine = i;
                break;
            }
        }
    }

    if (keyLine >= 0) {
        QString existingKey;
        isKeyLine(Text::trimmed(lines[keyLine]), &existingKey, nullptr);
        lines[keyLine] = existingKey + QLatin1Char('=') + value;
    } else if (sectionStart >= 0) {
        lines.insert(lastInSection + 1, keyName + QLatin1Char('=') + value);
    } else {
        if (!lines.isEmpty() && !Text::trimmed(lines.back()).isEmpty())
            lines.append(QString());
        lines.append(QLatin1Char('[') + section + QLatin1Char(']'));
        lines.append(keyName + QLatin1Char('=') + value);
    }

    const QString eol = content.crlf ? QStringLiteral("\r\n") : QStringLiteral("\n");
    const QString text = lines.join(eol) + eol;
    QByteArray bytes;
    if (content.utf8) {
        bytes = text.toUtf8();
        if (content.signature)
            bytes.prepend(utf8Bom);
    } else {
        bytes = Gb18030::encode(text);
        if (content.signature || readsAsUtf8(bytes))
            bytes.prepend(gb18030Signature);
    }

    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw DeskError(QStringLiteral("无法写入设置文件“%1”：%2。").arg(QDir::toNativeSeparators(path_), fileProblem(file)));
}

void Profile::writeInteger(const QString& section, const QString& key, int value) {
    writeString(section, key, QString::number(value));
}
