#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <array>

// A zip package with its parts stored uncompressed, for tests and fuzz
// targets that make .xlsx and .ods files from their XML. Parts go in the
// order given (an OpenDocument file names its kind in the first).
namespace StoredZip {

inline quint32 crc32(const QByteArray& bytes) {
    static const auto table = [] {
        std::array<quint32, 256> t{};
        for (quint32 n = 0; n < 256; ++n) {
            quint32 c = n;
            for (int k = 0; k < 8; ++k)
                c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    quint32 c = 0xFFFFFFFFu;
    for (const char b : bytes)
        c = table[(c ^ quint8(b)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

// (name, content) pairs; at most 65535 parts with names of at most 65535 bytes.
inline QByteArray make(const QList<QPair<QByteArray, QByteArray>>& parts) {
    const auto put16 = [](QByteArray& out, quint32 v) { out.append(char(v & 0xFF)).append(char((v >> 8) & 0xFF)); };
    const auto put32 = [&](QByteArray& out, quint32 v) {
        put16(out, v & 0xFFFF);
        put16(out, v >> 16);
    };
    QByteArray zip, directory;
    for (const auto& part : parts) {
        const QByteArray& name = part.first;
        const QByteArray& content = part.second;
        const quint32 crc = crc32(content);
        const auto header = [&](QByteArray& out, bool central) {
            put32(out, central ? 0x02014b50 : 0x04034b50);
            if (central)
                put16(out, 20); // made by
            put16(out, 20);     // needed to extract
            put16(out, 0);      // flags
            put16(out, 0);      // stored
            put16(out, 0);      // time
            put16(out, 0x21);   // date: 1980-01-01
            put32(out, crc);
            put32(out, quint32(content.size()));
            put32(out, quint32(content.size()));
            put16(out, quint32(name.size()));
            put16(out, 0); // extra field
            if (central) {
                put16(out, 0); // comment
                put16(out, 0); // disk
                put16(out, 0); // internal attributes
                put32(out, 0); // external attributes
                put32(out, quint32(zip.size()));
            }
            out += name;
        };
        header(directory, true);
        header(zip, false);
        zip += content;
    }
    const quint32 directoryAt = quint32(zip.size());
    zip += directory;
    put32(zip, 0x06054b50);
    put16(zip, 0);
    put16(zip, 0);
    put16(zip, quint32(parts.size()));
    put16(zip, quint32(parts.size()));
    put32(zip, quint32(directory.size()));
    put32(zip, directoryAt);
    put16(zip, 0);
    return zip;
}

} // namespace StoredZip
