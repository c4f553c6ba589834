// A dBase table (.dbf), read whole as the import reads it.
#include "DbaseFile.h"
#include "DeskError.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    try {
        const DbaseFile::Table table = DbaseFile::read(FuzzInput::asFile(data, size, "dbf"));
        for (const auto& row : table.rows)
            for (const QVariant& value : row)
                (void)value.toString();
    } catch (const DeskError&) {
    }
    return 0;
}
