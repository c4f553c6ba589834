#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

// The consistency checks over the whole 学生表 of the registration database
// and the report they write. Each check writes one block: the separator, its
// title, one line per finding and its closing line; a run ends with the
// separator and the end line. Two checks also correct what they find: an ID
// number ending in a lowercase x gets an X, and spaces inside a name go.
//
// Characters are judged as single bytes of the GB18030 text, and positions
// and lengths count those bytes from 1; a position past the end holds no
// character (which is not a digit).
namespace RegistrationChecks {

// In the order a run takes them.
enum class Check {
    GenderDigit,      // the gender digit of the test number is 1 or 2
    IdNumbers,        // ID numbers: length, digits, century, month, day; x -> X
    Duplicates,       // sub-numbers used more than once
    NameSpaces,       // spaces inside names (removed)
    TestNumberLength, // test numbers of 15 digits
    SequenceGaps,     // unused sequence numbers below a unit's highest
    IdCheckCharacter, // check character and birth date of 18-character ID numbers
};

QString separator(); // 48 number signs
QString endLine();
QString title(Check check);
QString closing(Check check);

// --- Finding lines. `t` is a trimmed test number, `d` a trimmed ID number.
// Each returns an empty text (or list) when there is nothing to report.

QString genderFinding(const QString& t);

struct IdFinding {
    QString line;
    bool lowercaseX = false; // d ends in "x": it is to be stored with "X"
};
IdFinding idFinding(const QString& t, const QString& d);

// The line for a sub-number `s` found more than once: it names the male and
// the female form of the test number, whichever the rows hold.
QString duplicateFinding(const QString& s);

// `name` without its half-width and full-width spaces.
QString withoutSpaces(const QString& name);
QString nameFinding(const QString& t, const QString& cleanedName);

QStringList lengthFindings(const QString& t);

// "学校代码为<unit>顺序号<k, four digits at least>为空号！"
QString gapLine(const QString& unitCode, long long k);

QString idCheckFinding(const QString& t, const QString& d);

// Unused sequence numbers, from test numbers given in sub-number order: below
// each unit's first number and between consecutive numbers of a unit. Numbers
// above a unit's highest are not known to be missing; repeated numbers give
// nothing. A sequence number that is not an integer throws ConversionError
// naming the student (`name`, when given, and the test number); the lines
// found before stay given.
class GapFinder {
public:
    explicit GapFinder(std::function<void(const QString&)> addLine) : addLine_(std::move(addLine)) {}
    void add(const QString& t, const QString& name = QString());
    void finish();

private:
    struct Number {
        QString t;
        QString name;
    };
    void compare(const Number& c, const Number& x);
    void gaps(const QString& unit, long long from, long long to);
    static long long sequenceOf(const Number& n);

    std::function<void(const QString&)> addLine_;
    Number previous_;
    bool started_ = false;
};

// A student as the checks read him: every text as stored (untrimmed).
struct Student {
    qlonglong key = 0;        // 序号: corrections address the row by it
    bool numberNull = false;  // 学业水平测试号 is null
    QString testNumber;
    QString idNumber;
    QString name;
};

// Reads every student of 学生表 with one scan, in table order.
std::vector<Student> readStudents(const QString& databasePath);

// The two orders the checks take the students in, as positions into
// `students`. Both sort as the engine sorts the same expressions: the
// canonical order by characters 1-10, then the last four, comparing bytes of
// UTF-8; the sub-number order by characters 1-10 followed by the last four,
// ignoring ASCII case. A null test number comes first; equal keys keep the
// table order.
std::vector<int> canonicalOrder(const std::vector<Student>& students);
std::vector<int> subNumberOrder(const std::vector<Student>& students);

// One run over the registration database `databasePath`. Lines go to
// `addLine` as they are found; `yield` is called after each row of the name
// and length checks (to keep the window responsive). A failure (a database
// error, a sequence number that is no integer) throws and ends the run; the
// lines written so far and the corrections made so far stay. Before its
// first correction a run takes a safety copy of the file (SafetyCopy.h);
// when none can be made, it corrects nothing and throws.
//
// The students are read once, at the first check, and sorted here rather
// than by a statement per check; the corrections update what was read.
class Run {
public:
    Run(QString databasePath, std::function<void(const QString&)> addLine, std::function<void()> yield = {});
    ~Run();

    void check(Check check);
    void finish(); // the separator and the end line

    // Every check of `checks` in the order of Check, then finish().
    void runAll(const std::vector<Check>& checks);

private:
    void genderDigits();
    void idNumbers();
    void duplicates();
    void nameSpaces();
    void testNumberLengths();
    void sequenceGaps();
    void idCheckCharacters();

    std::vector<Student>& students();
    const std::vector<int>& inCanonicalOrder();
    const std::vector<int>& inSubNumberOrder();

    QString path_;
    std::function<void(const QString&)> addLine_;
    std::function<void()> yield_;
    std::unique_ptr<std::vector<Student>> students_;
    std::unique_ptr<std::vector<int>> canonical_;
    std::unique_ptr<std::vector<int>> bySubNumber_;
    bool copied_ = false; // the safety copy before the first correction
};

// Writes the report as GB18030 text, each line ended by CR LF, replacing the
// file. Throws DeskError naming the file when it cannot be written.
void saveReport(const QString& path, const QStringList& lines);

} // namespace RegistrationChecks
