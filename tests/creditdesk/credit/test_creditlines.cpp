#include "CreditList.h"
#include "Database.h"
#include "FileProtection.h"
#include "Query.h"

#include <QTemporaryDir>
#include <QtTest>

using CreditList::Student;

namespace {

const QString unknown = QStringLiteral("(无名称，请校对编码)");
const QString time0 = QStringLiteral("9:05:01");

// Names as a test gives them; every question is noted.
class FakeNames : public CreditList::NameLookup {
public:
    QHash<QString, QString> units{{"01", "青岚市"}, {"0101", "城东区"}, {"0102", "城西区"}};
    QHash<QString, QString> schools{{"01010001", "青岚市第一中学"}, {"01010002", "青岚市实验中学"}};
    QStringList asked;

    QString unitName(const QString& code) override {
        asked << code;
        return units.value(code, unknown);
    }
    QString schoolName(const QString& county, const QString& school) override {
        asked << county + QLatin1Char('/') + school;
        return schools.value(county + school, unknown);
    }
};

// A student of year 24 with the name 学生<last three digits> and credits 116, 28, 144.
Student pupil(const QString& sub) {
    return {sub, QStringLiteral("学生") + sub.right(3), QStringLiteral("3701022006") + sub.right(8),
            QStringLiteral("116"), QStringLiteral("28"), QStringLiteral("144")};
}
QList<Student> school(const QString& unit, int count, int firstSequence = 1) {
    QList<Student> list;
    for (int i = 0; i < count; ++i)
        list << pupil(QStringLiteral("24") + unit + QStringLiteral("%1").arg(firstSequence + i, 4, 10, QChar('0')));
    return list;
}

// The line of pupil(sub): name 7 bytes, credits 3, 2 and 3 bytes.
QString pupilLine(const QString& sub) {
    return QStringLiteral("        %1      学生%2   3701022006%3    116      28       144")
        .arg(sub, sub.right(3), sub.right(8));
}

QStringList header(int emptyLines, const QString& county, const QString& countyName, const QString& school,
                   const QString& schoolName, const QString& city = QStringLiteral("01"),
                   const QString& cityName = QStringLiteral("青岚市")) {
    QStringList lines;
    for (int i = 0; i < emptyLines; ++i)
        lines << QString();
    lines << QStringLiteral("              Veldran省普通高中毕业生高中阶段必修和选修所得学分一览表")
          << QStringLiteral("        市编码：%1，市名称：%2，县区编码：%3，县区名称：%4")
                 .arg(city, cityName, county, countyName)
          << QStringLiteral("        学校编码：%1，学校名称：%2(此处加盖学校公章)，打印时间：9:05:01")
                 .arg(school, schoolName)
          << QStringLiteral("        学业水平测试副号　　　姓名　　　身份证号　　　　　  必修学分 选修学分 总学分");
    return lines;
}

QStringList pupilLines(const QString& unit, int from, int to) {
    QStringList lines;
    for (int i = from; i <= to; ++i)
        lines << pupilLine(QStringLiteral("24") + unit + QStringLiteral("%1").arg(i, 4, 10, QChar('0')));
    return lines;
}

QStringList listOf(const QList<Student>& students, CreditList::NameLookup& names) {
    QStringList lines;
    CreditList::write(
        int(students.size()), [&](int i) { return students.at(i); }, names, time0,
        [&](const QString& line) { lines << line; });
    return lines;
}

void compareLines(const QStringList& actual, const QStringList& expected) {
    for (int i = 0; i < std::min(actual.size(), expected.size()); ++i) {
        if (actual[i] != expected[i])
            QFAIL(qPrintable(QStringLiteral("line %1:\n  got  [%2]\n  want [%3]")
                                 .arg(i + 1)
                                 .arg(QString(actual[i]).replace(QChar(12), "<FF>"),
                                      QString(expected[i]).replace(QChar(12), "<FF>"))));
    }
    QCOMPARE(actual.size(), expected.size());
}

const QString ff(QChar(12));

} // namespace

// The line stream of the printed credit lists, without their windows.
class TestCreditLines : public QObject {
    Q_OBJECT
private slots:
    void threePagesOfOneSchool();
    void twoSchoolsOfThree();
    void fiftiethStudentIsTheLast();
    void countyChangeWithTheSameSchoolCode();
    void longNamesAndMissingCredits();
    void nameTableLookups();
    void printTimeInEveryLocale_data();
    void printTimeInEveryLocale();
};

void TestCreditLines::threePagesOfOneSchool() {
    FakeNames names;
    const QStringList lines = listOf(school(QStringLiteral("01010001"), 120), names);
    QStringList expected = header(5, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 1, 50);
    expected.last() += ff;
    expected += header(4, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 51, 100);
    expected.last() += ff;
    expected += header(4, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 101, 120);
    compareLines(lines, expected);
    // City and school once, the county on every page.
    QCOMPARE(names.asked, (QStringList{"01", "0101", "0101/0001", "0101", "0101"}));
}

void TestCreditLines::twoSchoolsOfThree() {
    FakeNames names;
    const QStringList lines =
        listOf(school(QStringLiteral("01010001"), 3) + school(QStringLiteral("01010002"), 3), names);
    QStringList expected = header(5, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 1, 3);
    expected.last() += ff;
    expected += header(5, "0101", "城东区", "0002", "青岚市实验中学") + pupilLines("01010002", 1, 3);
    compareLines(lines, expected);
}

void TestCreditLines::fiftiethStudentIsTheLast() {
    FakeNames names;
    // The last of all: one form feed.
    QStringList expected = header(5, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 1, 50);
    expected.last() += ff;
    compareLines(listOf(school(QStringLiteral("01010001"), 50), names), expected);

    // The last of its school: still one form feed, then the next school.
    expected += header(5, "0101", "城东区", "0002", "青岚市实验中学") + pupilLines("01010002", 1, 1);
    compareLines(listOf(school(QStringLiteral("01010001"), 50) + school(QStringLiteral("01010002"), 1), names),
                 expected);
}

void TestCreditLines::countyChangeWithTheSameSchoolCode() {
    FakeNames names;
    // Characters 7-10 alike: the student of the other county stays on the page.
    QStringList expected = header(5, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 1, 1) +
                           pupilLines("01020001", 2, 2);
    compareLines(listOf(school("01010001", 1) + school("01020001", 1, 2), names), expected);

    // Where the county changes at a page's end, the next page names the new
    // county but keeps the school's name from before.
    names.asked.clear();
    expected = header(5, "0101", "城东区", "0001", "青岚市第一中学") + pupilLines("01010001", 1, 50);
    expected.last() += ff;
    expected += header(4, "0102", "城西区", "0001", "青岚市第一中学") + pupilLines("01020001", 51, 51);
    compareLines(listOf(school("01010001", 50) + school("01020001", 1, 51), names), expected);
    QCOMPARE(names.asked, (QStringList{"01", "0101", "0101/0001", "0102"}));
}

void TestCreditLines::longNamesAndMissingCredits() {
    FakeNames names;
    names.units.remove("01"); // an unknown city
    QList<Student> students{
        {"24010100010001", "欧阳娜娜娜娜", "370102200601011234", "116", "28", "144"}, // 12 bytes
        {"24010100010002", "司马相如A", "370102200601011235", "1", "-2", "-1"},      // exactly 9 bytes
        {"24010100010003", "诸葛孔明亮", "370102200601011236", "", "", ""},          // exactly 10 bytes
        {"24010100010004", "", "", "", "", "7"},
        {"24010100010005", "𠀋宝", "X", "12345", "123456789", "1234567890"}, // a four-byte character
    };
    QStringList expected = header(5, "0101", "城东区", "0001", "青岚市第一中学", "01", unknown);
    expected << "        24010100010001      欧阳娜娜娜娜370102200601011234  116      28       144"
             << "        24010100010002      司马相如A 370102200601011235    1        -2       -1"
             << "        24010100010003      诸葛孔明亮370102200601011236                      "
             << "        24010100010004                                                        7"
             << "        24010100010005      𠀋宝    X                     12345    1234567891234567890";
    compareLines(listOf(students, names), expected);
}

void TestCreditLines::nameTableLookups() {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("XXBMB.mdb"));
    Connection::createFile(path);
    {
        Connection c(path);
        c.execute(QStringLiteral("create table 市县学校编码表 (市县编码 text, 市县名称 text, 学校编码 text, 学校名称 text)"));
        const QList<QStringList> rows{
            {"01", "青岚市", "", ""},     {"01", "青岚市", "", ""},          // the same name twice
            {"02", "白河市", "", ""},     {"02", "白河新市", "", ""},        // two names for one code
            {" 0101 ", "城东区", " 0001", "第一中学"},                       // codes with blanks
            {"0101", "城东区", "0002", "实验中学"}, {"0101", "城东区", "0002", "实验中学"}, // a school twice
            {"0101", "城东区", "0003", "城东中学"}, {"0102", "城西区", "0003", "O'Neil中学"},
        };
        for (const QStringList& r : rows)
            c.execute(QStringLiteral("insert into 市县学校编码表 values(:a,:b,:c,:d)"),
                      {{":a", r[0]}, {":b", r[1]}, {":c", r[2]}, {":d", r[3]}});
    }
    FileProtection::protect(path);
    Query query;
    CreditList::NameTable names(query, path);
    QCOMPARE(names.unitName("01"), QStringLiteral("青岚市"));
    QCOMPARE(names.unitName("02"), unknown);
    QCOMPARE(names.unitName("03"), unknown);
    QCOMPARE(names.unitName("0101"), QStringLiteral("城东区"));
    QCOMPARE(names.schoolName("0101", "0001"), QStringLiteral("第一中学"));
    // The school lookup does not ask for distinct names: two rows are two.
    QCOMPARE(names.schoolName("0101", "0002"), unknown);
    QCOMPARE(names.schoolName("0101", "0003"), QStringLiteral("城东中学"));
    QCOMPARE(names.schoolName("0102", "0003"), QStringLiteral("O'Neil中学"));
    QCOMPARE(names.schoolName("0102", "0001"), unknown);
    QCOMPARE(FileProtection::formOf(path), FileProtection::Form::Protected);
}

void TestCreditLines::printTimeInEveryLocale_data() {
    QTest::addColumn<QString>("locale");
    QTest::addColumn<QString>("printed");
    QTest::newRow("zh_CN") << "zh_CN" << "2026-12-10 15:05:01";
    QTest::newRow("en_US") << "en_US" << "2026-12-10 3:05:01 PM";
    QTest::newRow("zh_SG, day period") << "zh_SG" << "2026-12-10 下午3:05:01";
    QTest::newRow("zh_HK, zone in brackets") << "zh_HK" << "2026-12-10 下午3:05:01";
    QTest::newRow("zh_TW, a day period the formatter lacks") << "zh_TW" << "2026-12-10 15:05:01";
}

void TestCreditLines::printTimeInEveryLocale() {
    QFETCH(QString, locale);
    QFETCH(QString, printed);
    const QDateTime when(QDate(2026, 12, 10), QTime(15, 5, 1));
    QCOMPARE(CreditList::printTime(when, QLocale(locale)), printed);
}

QTEST_GUILESS_MAIN(TestCreditLines)
#include "test_creditlines.moc"
