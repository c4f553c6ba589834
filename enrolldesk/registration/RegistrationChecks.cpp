#include "RegistrationChecks.h"
#include "CheckBytes.h"
#include "Database.h"
#include "DeskError.h"
#include "FileOps.h"
#include "SafetyCopy.h"
#include "TableChanges.h"
#include "TestNumber.h"
#include "Text.h"

#include <QDir>
#include <algorithm>
#include <string>

namespace RegistrationChecks {

namespace {

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
    // From a catch block: keeps what was corrected, or says it was not, in
    // the message and in the report (whose lines above say what was changed).
    [[noreturn]] void rethrowKeepingDone(const std::function<void(const QString&)>& addLine) {
        if (transaction_)
            transaction_->rethrowKeepingDone(QStringLiteral("此前的更正"), [&](const QString& why) {
                addLine(QStringLiteral("本项校验所做的更正没有保存：%1").arg(why));
            });
        throw;
    }

private:
    QString path_;
    bool* copied_;
    std::unique_ptr<Connection> connection_;
    std::unique_ptr<Transaction> transaction_; // ends before the connection
};

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
        corrections.rethrowKeepingDone(addLine_);
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
        corrections.rethrowKeepingDone(addLine_);
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
    try {
        writeFileReplacing(bytes, path);
    } catch (const FileError& e) {
        throw DeskError(
            QStringLiteral("无法写入文件“%1”：%2。").arg(QDir::toNativeSeparators(path), fileProblem(e.code())));
    }
}

} // namespace RegistrationChecks
