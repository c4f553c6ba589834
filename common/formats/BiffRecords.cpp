#include "BiffRecords.h"

#include <algorithm>

namespace BiffWriting {

bool needsWideForm(QStringView text) {
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.unicode() > 0xFF; });
}

void shortString(Bytes& out, const QString& text) {
    const bool wide = needsWideForm(text);
    out.u8(unsigned(text.size()));
    out.u8(wide ? 1 : 0);
    out.chars(text, wide);
}

void bof(Bytes& out, unsigned substreamType) {
    out.header(Bof, 16);
    out.u16(0x0600); // BIFF8
    out.u16(substreamType);
    out.u16(0x0DBB); // build
    out.u16(0x07CC); // year 1996
    out.u32(0x00000041);
    out.u32(0x00000006); // lowest version that can read it: BIFF8
}

void font(Bytes& out) {
    Bytes body;
    body.u16(240);    // 12 pt, in twentieths of a point
    body.u16(0);      // not italic, not struck out
    body.u16(0x7FFF); // window text colour
    body.u16(400);    // normal weight
    body.u16(0);      // no super- or subscript
    body.u8(0);       // no underline
    body.u8(0);       // font family: don't care
    body.u8(134);     // GB2312 character set
    body.u8(0);
    shortString(body, QStringLiteral("宋体"));
    out.record(Font, body);
}

void xf(Bytes& out, unsigned index, bool cell) {
    const unsigned fontIndex = cell ? 0 : index == 1 || index == 2 ? 1 : index == 3 || index == 4 ? 2 : 0;
    out.header(Xf, 20);
    out.u16(fontIndex);
    out.u16(0);                             // number format: General
    out.u16(cell ? 0x0001 : 0xFFF5);        // cell: locked, style 0; style: locked, fStyle, no parent
    out.u8(0x20);                           // general alignment, bottom
    out.u8(0);                              // no rotation
    out.u8(0);                              // no indent
    out.u8(!cell && index != 0 ? 0xF4 : 0); // attributes a style leaves to Normal
    out.u32(0);                             // no borders
    out.u32(0);
    out.u16(0x20C0); // pattern colours: system foreground and background
}

QString notWritten(const QString& path, const QString& reason) {
    return QStringLiteral("无法写入工作簿“%1”：%2").arg(path, reason);
}

} // namespace BiffWriting
