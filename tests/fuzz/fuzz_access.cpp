// A genuine Access (Jet) file: its tables, each read whole.
#include "AccessFile.h"
#include "DeskError.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString path = FuzzInput::asFile(data, size, "mdb");
    if (!AccessFile::isAccessFile(path))
        return 0;
    try {
        const QStringList tables = AccessFile::tableNames(path);
        for (qsizetype i = 0; i < tables.size() && i < 4; ++i)
            (void)AccessFile::readTable(path, tables[i]);
    } catch (const DeskError&) {
    }
    return 0;
}
