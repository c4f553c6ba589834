#include "MakeupRegistration.h"
#include "Database.h"
#include "Query.h"
#include "SafetyCopy.h"

namespace MakeupRegistration {

namespace {

// Grade column of 成绩表 and mark column of 补考表, subject by subject.
struct Subject {
    const char16_t* grade;
    const char16_t* mark;
};
constexpr Subject subjects[] = {
    {u"语文等第", u"语文补考"}, {u"数学等第", u"数学补考"}, {u"外语等第", u"外语补考"},
    {u"科学等第", u"科学补考"}, {u"人文等第", u"人文补考"}, {u"技术等第", u"技术补考"},
};

// A stored value as the text written into 补考表: a missing one becomes
// empty text, never null.
QString asText(const QString& value) { return value.isNull() ? QStringLiteral("") : value; }

} // namespace

QString mark(const QString& grade) {
    return grade == QLatin1String("D") ? QStringLiteral("补") : QStringLiteral("");
}

bool hasRows(const QString& database) {
    Query q;
    q.setDatabasePath(database);
    q.setSql(QStringLiteral("select 序号 from 补考表 limit 1"));
    q.open();
    return !q.isEmpty();
}

int generate(const QString& database, bool replace) {
    SafetyCopy::before(database, SafetyCopy::Before::makeup);
    Connection connection(database);
    Query scores(connection);
    scores.setSql(QStringLiteral("select * from 成绩表"));
    scores.open();

    QString insert = QStringLiteral("insert into 补考表(学业水平测试副号,姓名,身份证号");
    QString values = QStringLiteral("values(:sxbm,:xm,:sfzh");
    for (int s = 0; s < 6; ++s) {
        insert += QLatin1Char(',') + QString::fromUtf16(subjects[s].mark);
        values += QStringLiteral(",:m%1").arg(s);
    }
    const QString statement = insert + QStringLiteral(")") + values + QStringLiteral(")");

    int written = 0;
    Transaction transaction(connection);
    try {
        if (replace)
            connection.execute(QStringLiteral("delete from 补考表"));
        for (scores.first(); !scores.eof(); scores.next()) {
            Params params{{QStringLiteral(":sxbm"), asText(scores.text(QStringLiteral("学业水平测试副号")))},
                          {QStringLiteral(":xm"), asText(scores.text(QStringLiteral("姓名")))},
                          {QStringLiteral(":sfzh"), asText(scores.text(QStringLiteral("身份证号")))}};
            bool fails = false;
            for (int s = 0; s < 6; ++s) {
                const QString m = mark(scores.text(QString::fromUtf16(subjects[s].grade)));
                fails = fails || !m.isEmpty();
                params.emplace_back(QStringLiteral(":m%1").arg(s), m);
            }
            if (!fails)
                continue;
            connection.execute(statement, params);
            ++written;
        }
    } catch (...) {
        transaction.rethrowKeepingDone(QStringLiteral("此前生成的补考数据"));
    }
    transaction.commit();
    return written;
}

} // namespace MakeupRegistration
