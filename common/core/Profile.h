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
    void writeString(const QString& section, const QString& key, const QString& value);
    void writeInteger(const QString& section, const QString& key, int value);

private:
    struct Content {
        QStringList lines;
        bool crlf = true;
        bool utf8 = false;
    };
    Content load() const;

    QString path_;
};
