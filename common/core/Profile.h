#pragma once

#include <QString>
#include <QStringList>

// A settings file with the semantics of a Windows profile (INI) file:
// section and key names compare case-insensitively, values are trimmed and
// may be enclosed in one pair of quotes, a missing file, section or key reads
// as the default, and writing one key keeps every other line of the file.
//
// The file is read afresh by every call, as the profile API did, so two
// windows writing and reading the same file always agree.
class Profile {
public:
    explicit Profile(QString path);

    const QString& path() const { return path_; }

    QString readString(const QString& section, const QString& key, const QString& defaultValue) const;
    int readInteger(const QString& section, const QString& key, int defaultValue) const;

    // Sets one key, creating the section and the file when needed. The file
    // is replaced in one step; throws DeskError when it cannot be written.
    // A value (or name) with a line break or another control character is
    // refused with DeskError and nothing is written: it would not read back
    // as one value but as keys of its own.
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);

private:
    // The file is written back in the encoding it was read in: UTF-8 (with
    // its byte-order mark if it had one) or GB18030. A new file, or one of
    // plain ASCII, is GB18030. GB18030 text that would also read as UTF-8
    // starts with the GB18030 signature (84 31 95 33, U+FEFF).
    struct Content {
        QStringList lines;
        bool crlf = true;
        bool utf8 = false;
        bool signature = false; // a UTF-8 byte-order mark or the GB18030 signature
    };
    Content load() const;

    QString path_;
};
