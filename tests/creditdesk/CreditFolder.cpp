#include "CreditFolder.h"
#include "Database.h"
#include "DeliveredData.h"
#include "FileProtection.h"
#include "Query.h"


QString unitsCsv() {
    return QStringLiteral(DESK_SOURCE_DIR "/data/credit-units.csv");
}

CreditStationFolder::CreditStationFolder() {
    DeliveredData::layOutCreditStation(path(), unitsCsv());
}

void addStudents(const QString& path, const QList<CreditStudent>& students) {
    FileProtection::Lift lifted(path, FileProtection::Lift::Restore::AsFound);
    Connection c(path);
    Transaction t(c);
    for (const CreditStudent& s : students)
        c.execute(
            QStringLiteral("insert into 学生表(学业水平测试副号,姓名,身份证号,必修学分,选修学分,总学分) "
                           "values(:a,:b,:c,:d,:e,:f)"),
            {{QStringLiteral(":a"), s.sub},
             {QStringLiteral(":b"), s.name},
             {QStringLiteral(":c"), s.id},
             {QStringLiteral(":d"), s.required},
             {QStringLiteral(":e"), s.elective},
             {QStringLiteral(":f"), s.total}});
    t.commit();
}

QVector<QVector<QVariant>> selectRows(const QString& path, const QString& sql) {
    FileProtection::Lift lifted(path, FileProtection::Lift::Restore::AsFound);
    Query q;
    q.setDatabasePath(path);
    q.setSql(sql);
    q.open();
    QVector<QVector<QVariant>> rows;
    for (int i = 0; i < q.recordCount(); ++i)
        rows << q.row(i);
    return rows;
}

int countRows(const QString& path, const QString& sql) {
    return selectRows(path, QStringLiteral("select count(*) from (") + sql + QLatin1Char(')'))
        .at(0)
        .at(0)
        .toInt();
}
