#include "CreditList.h"
#include "FileProtection.h"
#include "Query.h"
#include "TestNumber.h"
#include "Text.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <utility>

namespace CreditList {

QString printTime(const QDateTime& when, const QLocale& locale) {
    QString format = locale.timeFormat(QLocale::LongFormat);
    // The zone goes, with the brackets some locales put around it ("[t]").
    static const QRegularExpression zone(QStringLiteral("\\s*[\\[(]?\\bt+\\b[\\])]?\\s*"));
    format.remove(zone);
    format = format.trimmed();
    // What is left may hold hours, minutes, seconds, AM/PM and literal text
    // (quoted, or anything but an ASCII letter); another field letter is one
    // the formatter would print as a letter.
    static const QRegularExpression shown(QStringLiteral("'[^']*'|ap|AP|[hHmsAP]"));
    static const QRegularExpression letter(QStringLiteral("[A-Za-z]"));
    if (!format.contains(QLatin1Char('s')) || QString(format).remove(shown).contains(letter))
        format = QStringLiteral("H:mm:ss");
    return when.toString(QStringLiteral("yyyy-MM-dd ")) + locale.toString(when.time(), format);
}

const QString unknownName = QStringLiteral("(无名称，请校对编码)");

namespace {

const QString indent(8, QLatin1Char(' '));
const QString formFeed(QChar(12));
constexpr int studentsPerPage = 50;

const QString columnHeader = QStringLiteral(
    "学业水平测试副号　　　姓名　　　身份证号　　　　　  必修学分 选修学分 总学分");
const QString title = QStringLiteral("Veldran省普通高中毕业生高中阶段必修和选修所得学分一览表");

// Byte length with a quick path for the ASCII texts most fields are.
int bytesOf(const QString& text) {
    for (const QChar c : text) {
        if (c.unicode() >= 0x80)
            return Gb18030::byteLength(text);
    }
    return int(text.size());
}

// A line being built, with its length in bytes kept along.
class LineBuilder {
public:
    LineBuilder() { text_.reserve(96); }
    // Appends blanks while the line is shorter than `column` bytes.
    LineBuilder& padTo(int column) {
        if (bytes_ < column) {
            text_.append(QString(column - bytes_, QLatin1Char(' ')));
            bytes_ = column;
        }
        return *this;
    }
    LineBuilder& add(const QString& text) {
        text_ += text;
        bytes_ += bytesOf(text);
        return *this;
    }
    QString take() { return std::move(text_); }

private:
    QString text_;
    int bytes_ = 0;
};

QString schoolCodeOf(const QString& subNumber) {
    return TestNumber::mid(subNumber, 7, 4);
}

} // namespace

QString titleLine() {
    const int spaces = (bytesOf(columnHeader) + 8 - bytesOf(title)) / 2;
    return spaces > 0 ? QString(spaces, QLatin1Char(' ')) + title : title;
}

QString cityCountyLine(const QString& city, const QString& cityName, const QString& county,
                       const QString& countyName) {
    return indent + QStringLiteral("市编码：%1，市名称：%2，县区编码：%3，县区名称：%4")
                        .arg(city, cityName, county, countyName);
}

QString schoolLine(const QString& school, const QString& schoolName, const QString& printTime) {
    return indent + QStringLiteral("学校编码：%1，学校名称：%2(此处加盖学校公章)，打印时间：%3")
                        .arg(school, schoolName, printTime);
}

QString columnHeaderLine() {
    return indent + columnHeader;
}

QString studentLine(const Student& s) {
    LineBuilder line;
    line.padTo(8).add(s.subNumber);
    line.padTo(28).add(s.name);
    line.padTo(38).add(s.idNumber);
    line.padTo(60).add(s.required);
    line.padTo(69).add(s.elective);
    line.padTo(78).add(s.total);
    return line.take();
}

void write(int count, const Students& student, NameLookup& names, const QString& printTime, const LineOut& out,
           const Progress& progress) {
    bool newSchool = true;
    bool lookUpSchool = true;
    int lineNumber = 1;
    QString cityName, countyName, schoolName;

    auto writeHeader = [&](int emptyLines, const QString& city, const QString& county, const QString& school) {
        for (int i = 0; i < emptyLines; ++i)
            out(QString());
        out(titleLine());
        out(cityCountyLine(city, cityName, county, countyName));
        out(CreditList::schoolLine(school, schoolName, printTime));
        out(columnHeaderLine());
    };

    Student current = count > 0 ? student(0) : Student();
    for (int i = 0; i < count; ++i) {
        const QString& sub = current.subNumber;
        const QString city = TestNumber::cityCode(sub);
        const QString county = TestNumber::countyCode(sub);
        const QString school = schoolCodeOf(sub);

        // The city is named when a school begins, the county on every page,
        // the school when it begins.
        if (newSchool)
            cityName = names.unitName(city);
        if (lineNumber == 1) {
            countyName = names.unitName(county);
            if (lookUpSchool)
                schoolName = names.schoolName(county, school);
        }

        if (newSchool) {
            newSchool = false;
            writeHeader(5, city, county, school);
        } else if (lineNumber == 1) {
            // The form feed ending the page before leaves one line of its own.
            writeHeader(4, city, county, school);
        }

        QString line = studentLine(current);
        if (lineNumber == studentsPerPage)
            line += formFeed;

        Student next;
        if (i + 1 < count) {
            next = student(i + 1);
            // Students of the next school begin on a page of their own. Only
            // the school code counts: a student of another county with the
            // same school code continues under the header above.
            if (schoolCodeOf(next.subNumber) != school) {
                newSchool = true;
                lookUpSchool = true;
                if (lineNumber != studentsPerPage)
                    line += formFeed;
                lineNumber = 0;
            } else {
                lookUpSchool = false;
            }
        }
        out(line);
        if (progress)
            progress(i + 1);
        current = std::move(next);
        lineNumber = lineNumber % studentsPerPage + 1;
    }
}

NameTable::NameTable(Query& query, QString path) : query_(query), path_(std::move(path)) {}

QString NameTable::unitName(const QString& code) {
    auto found = units_.constFind(code);
    if (found != units_.constEnd())
        return *found;
    const QString name = lookUp(QStringLiteral("SELECT DISTINCT 市县名称 FROM 市县学校编码表 "
                                               "WHERE trim(市县编码)=:sxbm COLLATE NOCASE"),
                                code, QString());
    units_.insert(code, name);
    return name;
}

QString NameTable::schoolName(const QString& county, const QString& school) {
    const QString key = county + QLatin1Char('\n') + school;
    auto found = schools_.constFind(key);
    if (found != schools_.constEnd())
        return *found;
    const QString name = lookUp(QStringLiteral("SELECT 学校名称 FROM 市县学校编码表 "
                                               "WHERE (trim(市县编码)=:sxbm COLLATE NOCASE) "
                                               "AND (trim(学校编码)=:xxbm COLLATE NOCASE)"),
                                county, school);
    schools_.insert(key, name);
    return name;
}

QString NameTable::lookUp(const QString& sql, const QString& county, const QString& school) {
    FileProtection::Lift lifted(path_);
    query_.close();
    query_.setDatabasePath(path_);
    query_.setSql(sql);
    query_.setParam(QStringLiteral(":sxbm"), county);
    if (sql.contains(QLatin1String(":xxbm")))
        query_.setParam(QStringLiteral(":xxbm"), school);
    query_.open();
    lifted.restore();
    // Exactly one row names the unit; none or several leave it open.
    return query_.recordCount() == 1 ? Query::textOf(query_.value(0, 0)) : unknownName;
}

} // namespace CreditList
