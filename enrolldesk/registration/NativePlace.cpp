#include "NativePlace.h"
#include "Text.h"

QString nativePlaceOf(Query& query, const QString& database, const QString& divisionCode) {
    query.close();
    query.setDatabasePath(database);
    query.setSql(QStringLiteral("select * from 籍贯对照表 where County_QuID=") + sqlQuote(divisionCode));
    query.open();
    if (query.isEmpty())
        return QString();
    return Text::trimmed(query.text(QStringLiteral("proName"))) +
           Text::trimmed(query.text(QStringLiteral("DistrictDesc")));
}
