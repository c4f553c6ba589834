#include "RegistrationChecks.h"
#include "Database.h"
#include "DeskError.h"
#include "FileModes.h"
#include "IdNumber.h"
#include "SafetyCopy.h"
#include "Statement.h"
#include "TableChanges.h"
#include "TestNumber.h"
#include "Text.h"

#include <QDir>
#include <QSaveFile>
#include <algorithm>
#include <sqlite3.h>
#include <string>

namespace RegistrationChecks {

namespace {

// The GB18030 bytes of a text; most texts checked here are plain ASCII.
QByteArray bytesOf(const QString& text) {
    for (const QChar c : text)
        if (c.unicode() >= 0x80)
            return Gb18030::encode(text);
    return text.toLatin1();
}

// The byte at 1-based `position`, or 0 past the end.
char byteAt(const QByteArray& bytes, int position) {
    return position >= 1 && position <= bytes.size() ? bytes[position - 1] : '\0';
}

bool digitAt(const QByteArray& bytes, int position) {
    const char c = byteAt(bytes, position);
    return c >= '0' && c <= '9';
}

// The character that holds the byte at 1-based `position` (empty past the
// end): a byte of a two- or four-byte character shows as the whole character.
QString characterAtByte(const QString& text, const QByteArray& bytes, int position) {
    if (position < 1 || position > bytes.size())
        return QString();
    if (static_cast<unsigned char>(bytes[position - 1]) < 0x80 && bytes.size() == text.size())
        return QString(QLatin1Char(bytes[position - 1]));
    int end = 0;
    for (qsizetype i = 0; i < text.size();) {
        const qsizetype size = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString character = text.mid(i, size);
        end += Gb18030::byteLength(character);
        if (position <= end)
            return character;
        i += size;
    }
    return QString();
}

QString irregular(int position) { return QStringLiteral("，第%1位存在不规则字符").arg(position); }

// The corrections of one check: written as they are found, on one connection
// in one transaction, opened at the first correction. What was written stays
// when the check ends in an error.
class Corrections {
public:
    // `copied` tells whether the run took its safety copy already.
    Corrections(const QString& path, bool* copied) : path_(path), copied_(copied) {}
    // The lists that show the corrected students read them again.
    ~Corrections() {
        if (transaction_)
            TableChanges::announce(path_, QStringLiteral("学生表"));
    }
    Corrections(const Corrections&) = delete;
    Corrections& operator=(const Corrections&) = delete;

    void execute(const QString& sql, const Params& params) {
        if (!connection_) {
            if (!*copied_) {
                SafetyCopy::before(path_, SafetyCopy::Before::corrections);
                *copied_ = true;
            }
            connection_ = std::make_unique<Connection>(path_);
            transaction_ = std::make_unique<Transaction>(*connection_);
        }
        connection_->execute(sql, params);
    }
    void commit() {
        if (transaction_)
            transaction_->commit();
    }
    // From a catch block: keeps what was corrected, or says it was not.
    [[noreturn]] void rethrowKeepingDone() {
        if (transaction_)
            transaction_->rethrowKeepingDone(QStringLiteral("此前的更正"));
        throw;
    }

private:
    QString path_;
    bool* copied_;
    std::unique_ptr<Connection> connection_;
    std::unique_ptr<Transaction> transaction_; // ends before the connection
};

// Characters 1-10 and the last four of a stored test number, in UTF-8, as
// the engine's substr takes them. Test numbers are mostly ASCII: cut bytes.
void numberParts(const QString& t, std::string& head, std::string& tail) {
    bool ascii = true;
    for (const QChar c : t)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        const QByteArray bytes = t.toLatin1();
        head.assign(bytes.constData(), std::size_t(std::min<qsizetype>(bytes.size(), 10)));
        const qsizetype n = std::min<qsizetype>(bytes.size(), 4);
        tail.assign(bytes.constData() + bytes.size() - n, std::size_t(n));
    } else {
        head = TestNumber::left(t, 10).toStdString();
        tail = TestNumber::right(t, 4).toStdString();
    }
}

void foldAsciiCase(std::string& bytes) {
    for (char& c : bytes)
        if (c >= 'A' && c <= 'Z')
            c = char(c - 'A' + 'a');
}

// The sub-number of a stored test number, as compared for order and for
// duplicates: ASCII case ignored.
std::string subNumberKey(const QString& testNumber) {
    std::string head, tail;
    numberParts(testNumber, head, tail);
    head += tail;
    foldAsciiCase(head);
    return head;
}

// The students in the order of their keys (bytes compared unsigned, as the
// engine compares them), equal keys in table order; those without a test
// number first. Keys of test numbers fit std::string's inline buffer.
struct SortItem {
    std::string key;
    int index;
};
std::vector<int> sortedBy(const std::vector<Student>& students, const std::function<std::string(const Student&)>& keyOf) {
    std::vector<int> order;
    order.reserve(students.size());
    std::vector<SortItem> items;
    items.reserve(students.size());
    for (std::size_t i = 0; i < students.size(); ++i) {
        if (students[i].numberNull)
            order.push_back(int(i));
        else
            items.push_back({keyOf(students[i]), int(i)});
    }
    std::sort(items.begin(), items.end(), [](const SortItem& a, const SortItem& b) {
        const int c = a.key.compare(b.key);
        return c != 0 ? c < 0 : a.index < b.index;
    });
    for (const SortItem& item : items)
        order.push_back(item.index);
    return order;
}

} // namespace

QString separator() { return QString(48, QLatin1Char('#')); }

QString endLine() { return QStringLiteral("校验学业水平测试报名数据结束！"); }

QString title(Check check) {
    switch (check) {
    case Check::GenderDigit:
        return QStringLiteral("开始校验学业水平测试号性别位不符合要求情况：");
    case Check::IdNumbers:
        return QStringLiteral("开始校验身份证号异常情况：");
    case Check::Duplicates:
        return QStringLiteral("开始校验学业水平测试号重号情况：");
    case Check::NameSpaces:
        return QStringLiteral("开始校验姓名异常情况：");
    case Check::TestNumberLength:
        return QStringLiteral("开始校验学业水平测试号长度异常情况：");
    case Check::SequenceGaps:
        return QStringLiteral("开始校验学业水平测试号连续性情况：");
    case Check::IdCheckCharacter:
        return QStringLiteral("开始校验身份证号校验码与出生日期情况：");
    }
    return QString();
}

QString closing(Check check) {
    switch (check) {
    case Check::GenderDigit:
        return QStringLiteral("校验性别位结束......");
    case Check::IdNumbers:
        return QStringLiteral("校验身份证号异常情况结束......");
    case Check::Duplicates:
        return QStringLiteral("校验学业水平测试号重号情况结束......");
    case Check::NameSpaces:
        return QStringLiteral("校验姓名异常情况结束......");
    case Check::TestNumberLength:
        return QStringLiteral("校验学业水平测试号长度异常情况结束......");
    case Check::SequenceGaps:
        return QStringLiteral("校验学业水平测试号连续性结束......");
    case Check::IdCheckCharacter:
        return QStringLiteral("校验身份证号校验码与出生日期情况结束......");
    }
    return QString();
}

// --- finding lines

QString genderFinding(const QString& t) {
    const QByteArray bytes = bytesOf(t);
    const char g = byteAt(bytes, 11);
    if (g == '1' || g == '2')
        return QString();
    return QStringLiteral("学业水平测试号：") + t + QStringLiteral("，性别位为：") + characterAtByte(t, bytes, 11) +
           QStringLiteral("，不正常。");
}

IdFinding idFinding(const QString& t, const QString& d) {
    const QByteArray bytes = bytesOf(d);
    const int length = int(bytes.size());
    IdFinding finding;
    QString problems;
    if (length == 18) {
        for (int p = 1; p <= 17; ++p)
            if (!digitAt(bytes, p))
                problems += irregular(p);
        // Only a lowercase x of its own is corrected, not the last byte of a
        // two-byte character that happens to have the same value.
        if (byteAt(bytes, 18) == 'x' && d.endsWith(QLatin1Char('x'))) {
            finding.lowercaseX = true;
            problems += QStringLiteral("，第18位x已经改为X");
        }
        if (!digitAt(bytes, 18) && byteAt(bytes, 18) != 'X')
            problems += irregular(18);
    } else if (length == 15) {
        for (int p = 1; p <= 15; ++p)
            if (!digitAt(bytes, p))
                problems += irregular(p);
    } else {
        problems += QStringLiteral("，位数不对");
    }
    if (length == 18) {
        const QByteArray century = bytes.mid(6, 2);
        if (century != "19" && century != "20")
            problems += QStringLiteral("，第七、八位异常");
        const char month = byteAt(bytes, 11);
        if (month != '0' && month != '1')
            problems += QStringLiteral("，第十一位异常");
        const char day = byteAt(bytes, 13);
        if (day < '0' || day > '3')
            problems += QStringLiteral("，第十三位异常");
    }
    if (!problems.isEmpty())
        finding.line = QStringLiteral("学业水平测试号") + t + QStringLiteral("，身份证号") + d + problems +
                       QStringLiteral("！");
    return finding;
}

QString duplicateFinding(const QString& s) {
    const QString head = TestNumber::left(s, 10);
    const QString tail = TestNumber::right(s, 4);
    return QStringLiteral("学业水平测试号") + head + QStringLiteral("1") + tail + QStringLiteral("和学业水平测试号") + head +
           QStringLiteral("2") + tail + QStringLiteral("重号！");
}

QString withoutSpaces(const QString& name) {
    QString cleaned = name;
    cleaned.remove(QLatin1Char(' '));
    cleaned.remove(QChar(0x3000));
    return cleaned;
}

QString nameFinding(const QString& t, const QString& cleanedName) {
    return QStringLiteral("学业水平测试号【") + t + QStringLiteral("】姓名中的空格已删除，【") + cleanedName +
           QStringLiteral("】");
}

QStringList lengthFindings(const QString& t) {
    const QByteArray bytes = bytesOf(t);
    QStringList lines;
    const QString head = QStringLiteral("学业水平测试号：") + t;
    if (bytes.size() != 15)
        lines << head + QStringLiteral(",长度为%1,不符合要求。").arg(bytes.size());
    for (int p = 1; p <= 15; ++p)
        if (!digitAt(bytes, p))
            lines << head + QStringLiteral(",第%1位存在不规则字符。").arg(p);
    return lines;
}

QString gapLine(const QString& unitCode, long long k) {
    return QStringLiteral("学校代码为") + unitCode + QStringLiteral("顺序号") + Text::sequenceText(k) +
           QStringLiteral("为空号！");
}

QString idCheckFinding(const QString& t, const QString& d) {
    // Only numbers of 18 bytes whose first seventeen are digits have a check
    // character to compare; every other form is the ID number check's finding.
    if (bytesOf(d).size() != 18 || d.size() != 18)
        return QString();
    const QChar expected = IdNumber::checkCharacter(d);
    if (expected.isNull())
        return QString();
    QString problems;
    if (d.at(17).toUpper() != expected)
        problems += QStringLiteral("，校验码应为") + expected;
    if (!IdNumber::birthDateExists(d))
        problems += QStringLiteral("，出生日期不存在");
    if (problems.isEmpty())
        return QString();
    return QStringLiteral("学业水平测试号") + t + QStringLiteral("，身份证号") + d + problems + QStringLiteral("！");
}

// --- sequence gaps

void GapFinder::gaps(const QString& unit, long long from, long long to) {
    for (long long k = from; k <= to; ++k)
        addLine_(gapLine(unit, k));
}

long long GapFinder::sequenceOf(const Number& n) {
    const QString sequence = TestNumber::sequenceNumber(n.t);
    try {
        return Text::toInteger(sequence);
    } catch (const ConversionError& e) {
        const QString student = n.name.isEmpty() ? QStringLiteral("学业水平测试号%1").arg(n.t)
                                                 : QStringLiteral("学生%1（学业水平测试号%2）").arg(n.name, n.t);
        throw ConversionError(student + QStringLiteral("的顺序号") + e.message());
    }
}

void GapFinder::add(const QString& t, const QString& name) {
    const Number current{t, name};
    if (!started_) {
        started_ = true;
        previous_ = current;
        if (TestNumber::sequenceNumber(t) != QStringLiteral("0001"))
            gaps(TestNumber::unitCode(t), 1, sequenceOf(current) - 1);
        return;
    }
    compare(previous_, current);
    previous_ = current;
}

void GapFinder::finish() {
    // The last row is compared with itself: its number is read once more.
    if (started_)
        compare(previous_, previous_);
}

void GapFinder::compare(const Number& c, const Number& x) {
    const QString unit = TestNumber::unitCode(c.t);
    // Units compare as the rows are ordered: without regard to ASCII case.
    if (unit.compare(TestNumber::unitCode(x.t), Qt::CaseInsensitive) == 0) {
        const long long from = sequenceOf(c) + 1;
        gaps(unit, from, sequenceOf(x) - 1);
    } else if (TestNumber::sequenceNumber(x.t) != QStringLiteral("0001")) {
        gaps(TestNumber::unitCode(x.t), 1, sequenceOf(x) - 1);
    }
}

// --- the students and their orders

std::vector<Student> readStudents(const QString& databasePath) {
    Connection connection(databasePath);
    const QString sql = QStringLiteral("select 序号,学业水平测试号,身份证号,姓名 from 学生表");
    const Params none;
    Statement rows(connection, sql, none);
    auto text = [&](int column) {
        const auto* bytes = reinterpret_cast<const char*>(sqlite3_column_text(rows.get(), column));
        return bytes ? QString::fromUtf8(bytes, sqlite3_column_bytes(rows.get(), column)) : QString();
    };
    std::vector<Student> students;
    while (rows.step()) {
        Student s;
        s.key = sqlite3_column_int64(rows.get(), 0);
        s.numberNull = sqlite3_column_type(rows.get(), 1) == SQLITE_NULL;
        s.testNumber = text(1);
        s.idNumber = text(2);
        s.name = text(3);
        students.push_back(std::move(s));
    }
    return students;
}

std::vector<int> canonicalOrder(const std::vector<Student>& students) {
    // The two parts compare in turn: joined by a NUL, which no text holds.
    return sortedBy(students, [](const Student& s) {
        std::string head, tail;
        numberParts(s.testNumber, head, tail);
        head += '\0';
        head += tail;
        return head;
    });
}

std::vector<int> subNumberOrder(const std::vector<Student>& students) {
    return sortedBy(students, [](const Student& s) { return subNumberKey(s.testNumber); });
}

// --- the run

Run::Run(QString databasePath, std::function<void(const QString&)> addLine, std::function<void()> yield)
    : path_(std::move(databasePath)), addLine_(std::move(addLine)), yield_(std::move(yield)) {
    if (!yield_)
        yield_ = [] {};
}

Run::~Run() = default;

std::vector<Student>& Run::students() {
    if (!students_)
        students_ = std::make_unique<std::vector<Student>>(readStudents(path_));
    return *students_;
}

const std::vector<int>& Run::inCanonicalOrder() {
    if (!canonical_)
        canonical_ = std::make_unique<std::vector<int>>(canonicalOrder(students()));
    return *canonical_;
}

const std::vector<int>& Run::inSubNumberOrder() {
    if (!bySubNumber_)
        bySubNumber_ = std::make_unique<std::vector<int>>(subNumberOrder(students()));
    return *bySubNumber_;
}

void Run::check(Check check) {
    addLine_(separator());
    addLine_(title(check));
    switch (check) {
    case Check::GenderDigit:
        genderDigits();
        break;
    case Check::IdNumbers:
        idNumbers();
        break;
    case Check::Duplicates:
        duplicates();
        break;
    case Check::NameSpaces:
        nameSpaces();
        break;
    case Check::TestNumberLength:
        testNumberLengths();
        break;
    case Check::SequenceGaps:
        sequenceGaps();
        break;
    case Check::IdCheckCharacter:
        idCheckCharacters();
        break;
    }
    addLine_(closing(check));
}

void Run::finish() {
    addLine_(separator());
    addLine_(endLine());
}

void Run::runAll(const std::vector<Check>& checks) {
    for (const Check c : {Check::GenderDigit, Check::IdNumbers, Check::Duplicates, Check::NameSpaces,
                          Check::TestNumberLength, Check::SequenceGaps, Check::IdCheckCharacter})
        if (std::find(checks.begin(), checks.end(), c) != checks.end())
            check(c);
    finish();
}

void Run::genderDigits() {
    std::vector<Student>& all = students();
    for (const int i : inCanonicalOrder()) {
        const QString line = genderFinding(Text::trimmed(all[std::size_t(i)].testNumber));
        if (!line.isEmpty())
            addLine_(line);
    }
}

void Run::idNumbers() {
    std::vector<Student>& all = students();
    Corrections corrections(path_, &copied_);
    try {
        for (const int i : inCanonicalOrder()) {
            Student& s = all[std::size_t(i)];
            const QString d = Text::trimmed(s.idNumber);
            const IdFinding finding = idFinding(Text::trimmed(s.testNumber), d);
            // The row itself is corrected, by its key: another student under
            // the same test number keeps his ID number.
            if (finding.lowercaseX) {
                const QString corrected = d.chopped(1) + QLatin1Char('X');
                corrections.execute(QStringLiteral("update 学生表 set 身份证号=:sfzh where 序号=:xh"),
                                    {{QStringLiteral(":sfzh"), corrected}, {QStringLiteral(":xh"), s.key}});
                s.idNumber = corrected;
            }
            if (!finding.line.isEmpty())
                addLine_(finding.line);
        }
        corrections.commit();
    } catch (...) {
        corrections.rethrowKeepingDone();
    }
}

// Students whose sub-numbers are equal are next to each other in sub-number
// order; a null test number has no sub-number and is never a duplicate.
void Run::duplicates() {
    const std::vector<Student>& all = students();
    const std::vector<int>& order = inSubNumberOrder();
    std::size_t at = 0;
    while (at < order.size()) {
        const Student& first = all[std::size_t(order[at])];
        std::size_t end = at + 1;
        if (!first.numberNull) {
            const std::string key = subNumberKey(first.testNumber);
            while (end < order.size() && subNumberKey(all[std::size_t(order[end])].testNumber) == key)
                ++end;
            if (end - at >= 2)
                addLine_(duplicateFinding(TestNumber::subNumber(first.testNumber)));
        }
        at = end;
    }
}

void Run::nameSpaces() {
    std::vector<Student>& all = students();
    Corrections corrections(path_, &copied_);
    try {
        for (const int i : inSubNumberOrder()) {
            Student& s = all[std::size_t(i)];
            const QString name = Text::trimmed(s.name);
            const QString cleaned = withoutSpaces(name);
            if (cleaned != name) {
                corrections.execute(QStringLiteral("UPDATE 学生表 SET 姓名=:xm WHERE 序号=:xh"),
                                    {{QStringLiteral(":xm"), cleaned}, {QStringLiteral(":xh"), s.key}});
                s.name = cleaned;
                addLine_(nameFinding(Text::trimmed(s.testNumber), cleaned));
            }
            yield_();
        }
        corrections.commit();
    } catch (...) {
        corrections.rethrowKeepingDone();
    }
}

void Run::testNumberLengths() {
    const std::vector<Student>& all = students();
    for (const int i : inSubNumberOrder()) {
        for (const QString& line : lengthFindings(Text::trimmed(all[std::size_t(i)].testNumber)))
            addLine_(line);
        yield_();
    }
}

void Run::sequenceGaps() {
    const std::vector<Student>& all = students();
    GapFinder finder(addLine_);
    for (const int i : inSubNumberOrder())
        finder.add(Text::trimmed(all[std::size_t(i)].testNumber), Text::trimmed(all[std::size_t(i)].name));
    finder.finish();
}

void Run::idCheckCharacters() {
    const std::vector<Student>& all = students();
    for (const int i : inCanonicalOrder()) {
        const Student& s = all[std::size_t(i)];
        const QString line = idCheckFinding(Text::trimmed(s.testNumber), Text::trimmed(s.idNumber));
        if (!line.isEmpty())
            addLine_(line);
    }
}

// --- the report file

void saveReport(const QString& path, const QStringList& lines) {
    QByteArray bytes;
    for (const QString& line : lines) {
        bytes += Gb18030::encode(line);
        bytes += "\r\n";
    }
    const bool replacing = QFile::exists(path); // a replaced file keeps its mode
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw DeskError(QStringLiteral("无法写入文件“%1”：%2").arg(QDir::toNativeSeparators(path), file.errorString()));
    if (!replacing)
        FileModes::settle(path);
}

} // namespace RegistrationChecks
