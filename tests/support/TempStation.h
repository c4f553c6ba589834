#pragma once

#include <QString>
#include <QTemporaryDir>

// A station folder of its own for one test: a temporary directory that
// DESK_HOME points to while the object lives.
class TempStation {
public:
    // Lays out data/ (with the delivered registration files), photo/, card/.
    TempStation();
    ~TempStation();

    QString path() const;                     // with a trailing '/'
    QString file(const QString& relative) const; // path() + relative

private:
    QTemporaryDir dir_;
    QByteArray previousHome_;
};

// The committed division list the delivered native-place file is made from.
QString divisionsCsv();
