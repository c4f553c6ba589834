#include "RegistrationChecks.h"
#include "DeskError.h"
#include "TestNumber.h"
#include "Text.h"

// The check of the sequence numbers: the numbers unused below each unit's
// highest.
namespace RegistrationChecks {

QString gapLine(const QString& unitCode, long long k) {
    return QStringLiteral("学校代码为") + unitCode + QStringLiteral("顺序号") + Text::sequenceText(k) +
           QStringLiteral("为空号！");
}

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

} // namespace RegistrationChecks
