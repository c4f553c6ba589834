// setup.ini as any program might have left it: read, then one key written
// and read back.
#include "DeskError.h"
#include "FuzzInput.h"
#include "Profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Profile setup(FuzzInput::asFile(data, size, "ini"));
    (void)setup.readString(QStringLiteral("READER"), QStringLiteral("LIBRARY"), QString());
    (void)setup.readString(QStringLiteral("COM"), QStringLiteral("port"), QStringLiteral("COM1"));
    (void)setup.readInteger(QStringLiteral("picSize"), QStringLiteral("width"), 0);
    const QString before = setup.readString(QStringLiteral("COM"), QStringLiteral("baund"), QStringLiteral("?"));
    try {
        setup.writeString(QStringLiteral("READER"), QStringLiteral("PORT"), QStringLiteral("COM"));
    } catch (const DeskError&) {
        return 0;
    }
    // The key reads back as written, and writing it changed no other key.
    if (setup.readString(QStringLiteral("READER"), QStringLiteral("PORT"), QString()) != QLatin1String("COM"))
        __builtin_trap();
    if (setup.readString(QStringLiteral("COM"), QStringLiteral("baund"), QStringLiteral("?")) != before)
        __builtin_trap();
    return 0;
}
