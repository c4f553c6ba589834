#pragma once

#include <QHash>
#include <QString>

class QDateTime;
class QLocale;
#include <functional>

class Query;

// The printed credit list: one line per student under a header block, 50
// students to a page, a new page with a fresh header for every school. The
// three print windows (by city, county and school) differ only in the
// students they select; the lines come from here.
//
// Columns are counted in GB18030 bytes (a Chinese character counts two), so
// the list lines up on a printer that gives every byte the same width.
namespace CreditList {

// One student as read for printing: every field as text, trimmed, empty
// when the database holds no value.
struct Student {
    QString subNumber;
    QString name;
    QString idNumber;
    QString required;
    QString elective;
    QString total;
};

// Printed in place of a name the name table does not give unambiguously.
extern const QString unknownName;

// Where the list takes the names of cities, counties and schools from.
class NameLookup {
public:
    virtual ~NameLookup() = default;
    // The name of a city (2-character code) or county (4-character code).
    virtual QString unitName(const QString& code) = 0;
    // The name of school `school` of county `county`.
    virtual QString schoolName(const QString& county, const QString& school) = 0;
};

// The print time of the list's header: the date and the time of day in
// `locale`'s long time format, without its time zone ("2026-12-10 15:05:01";
// a time alone is ambiguous on a stamped list). A format with fields that
// cannot be shown (a day period such as 下午 written as "B") gives
// "H:mm:ss".
QString printTime(const QDateTime& when, const QLocale& locale);

// The lines of one page header and of a student, as printed.
QString titleLine();
QString cityCountyLine(const QString& city, const QString& cityName, const QString& county,
                       const QString& countyName);
QString schoolLine(const QString& school, const QString& schoolName, const QString& printTime);
QString columnHeaderLine();
QString studentLine(const Student& student);

using Students = std::function<Student(int index)>;     // 0-based, in print order
using LineOut = std::function<void(const QString& line)>; // a form feed ends a page
using Progress = std::function<void(int printed)>;        // after each student

// Writes the list of `count` students, read in order through `student`, to
// `out`. A line that ends a page carries a form feed (code 12) at its end.
// `progress`, when given, is called after each student with the number of
// students written so far. Errors of `names` or `student` end the list where
// it stands; the lines written until then stay written.
void write(int count, const Students& student, NameLookup& names, const QString& printTime, const LineOut& out,
           const Progress& progress = {});

// The name table data/XXBMB.mdb (市县学校编码表), looked up through `query`,
// which is left holding the last lookup. A code that matches no row, or
// rows with more than one name, gives unknownName. Each code is looked up
// once per object: one printing run asks the file only once per code.
class NameTable : public NameLookup {
public:
    NameTable(Query& query, QString path);

    QString unitName(const QString& code) override;
    QString schoolName(const QString& county, const QString& school) override;

private:
    QString lookUp(const QString& sql, const QString& county, const QString& school);

    Query& query_;
    QString path_;
    QHash<QString, QString> units_;
    QHash<QString, QString> schools_;
};

} // namespace CreditList
