// Writes the .xls fixtures of the workbook reader tests:
//   node tests/tools/makexls.mjs tests/fixtures/xls
// SheetJS writes the workbooks; the records it cannot write are then put in
// by hand: formula cells with their cached results (a text result in the
// STRING record after the formula) and, for Excel 5.0, texts in code page
// 936 (SheetJS writes only ASCII there).
import XLSX from "xlsx";
import * as cpexcel from "xlsx/dist/cpexcel.full.mjs";
import fs from "node:fs";
import path from "node:path";

const out = process.argv[2] || ".";
const CFB = XLSX.CFB;

// Texts that are not ASCII stand in the sheet as "~N" until the stream is
// rewritten; formula cells as "~FN".
function placeholders(rows, texts) {
  return rows.map((row) => row.map((v) => {
    if (typeof v !== "string" || /^[\x00-\x7f]*$/.test(v)) return v;
    texts.push(v);
    return `~${texts.length - 1}`;
  }));
}

const formulas = [
  { kind: "str", value: "合计" },   // ="合"&"计"
  { kind: "num", value: 2 },        // =1+1
  { kind: "bool", value: true },    // =TRUE
];

const small = [
  ["姓名", "学号", "成绩", "比例", "编号", "文本", "日期", "通过", "错误", "~F0"],
  ["张三", 1234567890123, 42, 0.25, 7, "00123", 40000, true, 0, "~F1"],
  ["李四", 0.1234567890123, 3.14159, 2.5, 12, "x", 44927, false, 0, "~F2"],
];

function makeSheet(rows, texts, biff5) {
  const ws = XLSX.utils.aoa_to_sheet(biff5 ? placeholders(rows, texts) : rows);
  const fmt = (ref, z) => { if (ws[ref]) ws[ref].z = z; };
  fmt("C2", "0"); fmt("C3", "0");
  fmt("D2", "0.0"); fmt("D3", "0.0");
  fmt("E2", "00"); fmt("E3", "00");
  fmt("F2", "@");
  fmt("G2", "yyyy-mm-dd"); fmt("G3", "m/d/yy");
  if (ws["I2"]) ws["I2"] = { t: "e", v: 0x07 };
  if (ws["I3"]) ws["I3"] = { t: "e", v: 0x2A };
  return ws;
}

function u16(b, at) { return b[at] | (b[at + 1] << 8); }
function le16(v) { return Buffer.from([v & 0xff, (v >> 8) & 0xff]); }
function le32(v) { const b = Buffer.alloc(4); b.writeUInt32LE(v >>> 0); return b; }
function record(id, data) { return Buffer.concat([le16(id), le16(data.length), data]); }

function encodeText(s, biff5, short) {
  if (biff5) {
    const bytes = Buffer.from(cpexcel.utils.encode(936, s));
    return Buffer.concat([short ? Buffer.from([bytes.length]) : le16(bytes.length), bytes]);
  }
  const chars = Buffer.from(s, "utf16le");
  return Buffer.concat([short ? Buffer.from([s.length]) : le16(s.length), Buffer.from([1]), chars]);
}

function formulaRecords(row, col, xf, f, biff5) {
  const cell = Buffer.concat([le16(row), le16(col), le16(xf)]);
  let result, tokens, extra = [];
  if (f.kind === "str") {
    result = Buffer.from([0, 0, 0, 0, 0, 0, 0xff, 0xff]);
    tokens = Buffer.concat([Buffer.from([0x17]), encodeText(f.value, biff5, true)]);
    extra = [record(0x0207, encodeText(f.value, biff5, false))];
  } else if (f.kind === "bool") {
    result = Buffer.from([1, 0, f.value ? 1 : 0, 0, 0, 0, 0xff, 0xff]);
    tokens = Buffer.from([0x1d, f.value ? 1 : 0]);
  } else {
    result = Buffer.alloc(8); result.writeDoubleLE(f.value);
    tokens = Buffer.from([0x1e, 1, 0, 0x1e, 1, 0, 0x03]);
  }
  const body = Buffer.concat([cell, result, le16(0), le32(0), le16(tokens.length), tokens]);
  return [record(0x0006, body), ...extra];
}

// Rewrites the records of the workbook stream and fixes the sheet offsets.
function rewrite(stream, texts, biff5) {
  const parts = [];
  const moved = new Map(); // old record offset -> new one
  const sheets = [];       // offsets of the sheet positions in the new stream
  let at = 0, size = 0;
  const text = (s) => (/^~\d+$/.test(s) ? texts[+s.slice(1)] : s);
  while (at + 4 <= stream.length) {
    const id = u16(stream, at), len = u16(stream, at + 2);
    const data = stream.subarray(at + 4, at + 4 + len);
    moved.set(at, size);
    let emit = [record(id, data)];
    if (id === 0x0204) { // LABEL
      const s = biff5 ? data.subarray(8, 8 + u16(data, 6)).toString("latin1")
                      : data.subarray(9, 9 + 2 * u16(data, 6)).toString("utf16le");
      const m = /^~F(\d+)$/.exec(s);
      if (m) emit = formulaRecords(u16(data, 0), u16(data, 2), u16(data, 4), formulas[+m[1]], biff5);
      else if (biff5) emit = [record(id, Buffer.concat([data.subarray(0, 6), encodeText(text(s), true, false)]))];
    } else if (id === 0x0085) { // BOUNDSHEET
      const name = biff5 ? data.subarray(7, 7 + data[6]).toString("latin1") : null;
      if (biff5) emit = [record(id, Buffer.concat([data.subarray(0, 6), encodeText(text(name), true, true)]))];
      sheets.push(size + 4);
    } else if (id === 0x0042 && biff5) { // CODEPAGE
      emit = [record(id, le16(936))];
    }
    for (const p of emit) { parts.push(p); size += p.length; }
    at += 4 + len;
  }
  const result = Buffer.concat(parts);
  for (const pos of sheets) {
    const old = result.readUInt32LE(pos);
    if (!moved.has(old)) throw new Error("sheet offset not at a record");
    result.writeUInt32LE(moved.get(old), pos);
  }
  return result;
}

function write(file, bookType, sheets, options = {}) {
  const biff5 = bookType === "biff5";
  const texts = [];
  const wb = XLSX.utils.book_new();
  for (const [name, rows, dims] of sheets) {
    const ws = makeSheet(rows, texts, biff5);
    if (dims) ws["!ref"] = dims; // a used area larger than the cells
    let sheetName = name;
    if (biff5 && !/^[\x00-\x7f]*$/.test(name)) { texts.push(name); sheetName = `~${texts.length - 1}`; }
    XLSX.utils.book_append_sheet(wb, ws, sheetName);
  }
  const buf = XLSX.write(wb, { bookType, type: "buffer", ...options });
  const cfb = CFB.read(buf, { type: "buffer" });
  const entry = CFB.find(cfb, biff5 ? "/Book" : "/Workbook");
  const stream = rewrite(Buffer.from(entry.content), texts, biff5);
  entry.content = stream;
  entry.size = stream.length;
  fs.writeFileSync(path.join(out, file), Buffer.from(CFB.write(cfb, { type: "buffer" })));
  console.log(file, "workbook stream", stream.length, "bytes");
}

const second = [["第二页"]];
write("small-biff8.xls", "biff8", [["考生", small, "A1:J20"], ["第二页", second]]);
write("small-biff5.xls", "biff5", [["考生", small, "A1:J20"], ["第二页", second]]);

// Many distinct texts: a shared string table long enough to go on in
// CONTINUE records, and a workbook stream outside the mini-stream.
const large = [["序号", "姓名"]];
for (let i = 1; i <= 500; ++i) large.push([i, `考生${"甲乙丙丁戊己庚辛壬癸".repeat(1 + (i % 3))}${i}`]);
write("large-biff8.xls", "biff8", [["名单", large]], { bookSST: true });
