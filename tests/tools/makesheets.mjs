// Writes the workbook fixtures that SheetJS makes (tests/fixtures/workbooks):
//   node tests/tools/makesheets.mjs tests/fixtures/workbooks
// classlist.*   the class list of classlist.json as .xlsx (shared strings),
//               .ods, CSV (UTF-8 with signature) and an HTML table (.xls)
// cells-sheetjs.xlsx / .ods   displayed texts: numbers with formats, dates,
//               booleans, errors, a formula with its result and one without
// headings.ods, empty.ods     a sheet of headings only, an empty sheet
import XLSX from "xlsx";
import fs from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const out = process.argv[2] || ".";
const here = path.dirname(fileURLToPath(import.meta.url));
const list = JSON.parse(fs.readFileSync(path.join(here, "classlist.json"), "utf8")).rows;

function book(name, ws) {
  const wb = XLSX.utils.book_new();
  XLSX.utils.book_append_sheet(wb, ws, name);
  XLSX.utils.book_append_sheet(wb, XLSX.utils.aoa_to_sheet([["第二页"]]), "第二页");
  return wb;
}
function write(file, wb, options) {
  fs.writeFileSync(path.join(out, file), XLSX.write(wb, { type: "buffer", ...options }));
  console.log("wrote", file);
}

const classlist = () => book("报名数据", XLSX.utils.aoa_to_sheet(list));
write("classlist-sheetjs.xlsx", classlist(), { bookType: "xlsx", bookSST: true });
write("classlist-sheetjs.ods", classlist(), { bookType: "ods" });
// CSV as a spreadsheet program saves "CSV UTF-8": with the signature.
const csv = XLSX.utils.sheet_to_csv(classlist().Sheets["报名数据"]);
fs.writeFileSync(path.join(out, "classlist-utf8.csv"), "\ufeff" + csv);
console.log("wrote classlist-utf8.csv");
// A web system's "Excel" export: an HTML table under an .xls name.
fs.writeFileSync(path.join(out, "classlist-web.xls"),
                 XLSX.utils.sheet_to_html(classlist().Sheets["报名数据"], { header: "<html><head><meta charset=\"utf-8\"></head><body>" }));
console.log("wrote classlist-web.xls");

// Cells of every kind.
const ws = XLSX.utils.aoa_to_sheet([
  ["姓名", "身份证号", "数字", "比例", "编号", "文本", "日期", "通过", "错误", "公式"],
  ["𠮷䶮", "32010220000101126X", 42, 0.25, 7, "00123", 40000, true, 0, 0],
  ["赵䶮", 320102200001011264, 3.14159, 2.5, 12, "x", 44927, false, 0, 0],
]);
ws["C2"].z = "0"; ws["C3"].z = "0";
ws["D2"].z = "0.0"; ws["D3"].z = "0.0";
ws["E2"].z = "00"; ws["E3"].z = "00";
ws["G2"].z = "yyyy-mm-dd"; ws["G3"].z = "yyyy\"年\"m\"月\"d\"日\"";
ws["I2"] = { t: "e", v: 0x07 }; ws["I3"] = { t: "e", v: 0x2a };
ws["J2"] = { t: "n", v: 2, f: "1+1" };   // with its result
ws["J3"] = { t: "n", f: "C2+C3" };       // without a result
write("cells-sheetjs.xlsx", book("考生", ws), { bookType: "xlsx", bookSST: true });
write("cells-sheetjs.ods", book("考生", ws), { bookType: "ods" });

write("headings.ods", book("报名数据", XLSX.utils.aoa_to_sheet([list[0]])), { bookType: "ods" });
const empty = XLSX.utils.book_new();
XLSX.utils.book_append_sheet(empty, XLSX.utils.aoa_to_sheet([]), "空");
write("empty.ods", empty, { bookType: "ods" });
