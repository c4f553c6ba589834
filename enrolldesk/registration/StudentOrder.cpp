#include "CheckBytes.h"
#include "Database.h"
#include "RegistrationChecks.h"
#include "Statement.h"
#include "TestNumber.h"

#include <algorithm>
#include <sqlite3.h>

// The students as the checks read them, and the two orders they take them in.
namespace RegistrationChecks {

namespace {

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

// The sub-number of a stored test number, as compared for order and for
// duplicates: ASCII case ignored.
std::string subNumberKey(const QString& testNumber) {
    std::string head, tail;
    numberParts(testNumber, head, tail);
    head += tail;
    foldAsciiCase(head);
    return head;
}

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

} // namespace RegistrationChecks
