// Writes the demo credit exchange file of the credit station folder: a few
// students of one school as a credit station's export writes them (the
// exchange file's table, protected), for trying 导入数据.
//
//   makedemocredit <file>
//
// An existing file is kept as it is.
#include "CreditRows.h"
#include "Database.h"
#include "DeskError.h"
#include "ExchangeFile.h"
#include "FileProtection.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <cstdio>

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: makedemocredit <file>\n");
        return 2;
    }
    const QString path = QString::fromLocal8Bit(argv[1]);
    if (QFileInfo::exists(path))
        return 0;
    try {
        QDir().mkpath(QFileInfo(path).absolutePath());
        const QString part = path + QStringLiteral(".part");
        QFile::remove(part);
        Connection::createFile(part);
        {
            Connection file(part);
            file.execute(ExchangeFile::tableStatement());
            Transaction transaction(file);
            CreditInserter inserter(file);
            const struct {
                const char16_t* sub;
                const char16_t* name;
                const char16_t* id;
                int required, elective, total;
            } students[] = {
                {u"09010100010001", u"张三", u"320102200501011234", 120, 30, 150},
                {u"09010100010002", u"李四", u"320102200502021245", 116, 28, 144},
                {u"09010100010003", u"王五", u"320102200503031256", 110, 26, 136},
                {u"09010100010004", u"赵䶮", u"32010220050404126X", -1, -1, -1},
            };
            for (const auto& s : students) {
                const auto credit = [](int v) { return v < 0 ? QVariant() : QVariant(qlonglong(v)); };
                inserter.insert(QString::fromUtf16(s.sub), QString::fromUtf16(s.name), QString::fromUtf16(s.id),
                                credit(s.required), credit(s.elective), credit(s.total));
            }
            transaction.commit();
        }
        FileProtection::protect(part);
        if (!QFile::rename(part, path))
            throw DeskError(QStringLiteral("无法写入文件“%1”。").arg(path));
    } catch (const DeskError& e) {
        std::fprintf(stderr, "makedemocredit: %s\n", e.what());
        return 1;
    }
    return 0;
}
