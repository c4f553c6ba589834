#pragma once

#include "TempStation.h"

#include <QList>
#include <QString>
#include <QVariant>
#include <QVector>

// A credit station folder of its own for one test: the delivered credit
// database (empty, protected) and name table under data/, DESK_HOME set.
class CreditStationFolder : public TempStation {
public:
    CreditStationFolder();
};

// The committed unit list the delivered name table is made from.
QString unitsCsv();

// One row of a credit table. Credits are null QVariants when not entered.
struct CreditStudent {
    QString sub;
    QString name;
    QString id;
    QVariant required;
    QVariant elective;
    QVariant total;
};

// Inserts students into 学生表 of a credit file, in this order, keeping the
// file in the form it was found in.
void addStudents(const QString& path, const QList<CreditStudent>& students);

// Runs a selection on a credit file (protected or not, left as found).
QVector<QVector<QVariant>> selectRows(const QString& path, const QString& sql);
int countRows(const QString& path, const QString& sql);
