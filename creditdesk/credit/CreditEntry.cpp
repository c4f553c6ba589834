#include "CreditEntry.h"
#include "Database.h"
#include "FileProtection.h"
#include "TestNumber.h"

namespace CreditEntry {

namespace {

const QString subNumberField = QStringLiteral("学业水平测试副号");

// A student's update that failed (a credit that is not a number, one out
// of the column's range), told with the student it concerns.
DbError studentNotSaved(const DbError& e, const QString& subNumber, const QString& name) {
    return DbError(QStringLiteral("学业水平测试副号为%1的学生%2不能保存：%3").arg(subNumber, name, e.message()),
                   e.engineText(), e.path());
}

} // namespace

Query schoolStudents(const QString& database, const QString& unit, int pageSize) {
    FileProtection::Lift lifted(database);
    Query students;
    students.setDatabasePath(database);
    students.setSql(QStringLiteral("select * from 学生表 where %1=:dw order by 学业水平测试副号 asc")
                        .arg(TestNumber::Sql::unitCode(subNumberField)));
    students.setParam(QStringLiteral(":dw"), unit);
    students.open();
    lifted.restore();
    students.setPageSize(pageSize);
    return students;
}

QString savePage(const QString& database, const QVector<PageStudent>& students) {
    const QString update = QStringLiteral(
        "update 学生表 set 必修学分=:bx,选修学分=:xx,总学分=:zxf where 学业水平测试副号=:fh");
    QString stop;
    FileProtection::Lift lifted(database);
    {
        Connection connection(database);
        Transaction transaction(connection);
        try {
            for (const PageStudent& student : students) {
                if (!stop.isEmpty())
                    break;
                const QString& sub = student.subNumber;
                if (sub.isEmpty())
                    continue;
                if (student.required.isEmpty()) {
                    stop = QStringLiteral("学业水平测试副号为%1的学生必修学分为空不能保存，请重新录入后保存！").arg(sub);
                } else if (student.elective.isEmpty()) {
                    stop = QStringLiteral("学业水平测试副号为%1的学生选修学分为空不能保存，请重新录入后保存！").arg(sub);
                } else {
                    try {
                        connection.execute(
                            update, {{QStringLiteral(":bx"), sqlNumber(student.required, QStringLiteral("必修学分"))},
                                     {QStringLiteral(":xx"), sqlNumber(student.elective, QStringLiteral("选修学分"))},
                                     {QStringLiteral(":zxf"), sqlNumber(student.total, QStringLiteral("总学分"))},
                                     {QStringLiteral(":fh"), sub}});
                    } catch (const DbError& e) {
                        throw studentNotSaved(e, sub, student.name);
                    }
                }
            }
            // The students before a stop stay saved.
            transaction.commit();
        } catch (...) {
            transaction.rethrowKeepingDone(QStringLiteral("本页此前的学生的学分"));
        }
    }
    lifted.restore();
    return stop;
}

int setSchoolCredits(const QString& database, const QString& unit, const QString& required,
                     const QString& elective) {
    FileProtection::Lift lifted(database);
    // The total is the sum of the two values being set (the engine reads
    // the row as it was before the update).
    const int changed = Connection(database).execute(
        QStringLiteral("update 学生表 set 必修学分=:bx,选修学分=:xx,总学分=:bx+:xx where %1=:dw")
            .arg(TestNumber::Sql::unitCode(subNumberField)),
        {{QStringLiteral(":bx"), sqlNumber(required, QStringLiteral("必修学分"))},
         {QStringLiteral(":xx"), sqlNumber(elective, QStringLiteral("选修学分"))},
         {QStringLiteral(":dw"), unit}});
    lifted.restore();
    return changed;
}

} // namespace CreditEntry
