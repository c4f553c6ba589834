#!/usr/bin/python3
"""Writes the workbook fixtures that openpyxl and xlwt make (tests/fixtures/workbooks):

    /usr/bin/python3 tests/tools/makesheets.py tests/fixtures/workbooks

classlist-openpyxl.xlsx  the class list of classlist.json (openpyxl writes inline
                         strings and names its parts from the package root)
classlist-gb18030.csv    the class list, tab-separated, in GB18030 without signature
cells-openpyxl.xlsx      displayed texts: number formats, dates, an 18-digit ID as
                         text and as number, rich text with a phonetic guide,
                         formulas without results (as openpyxl writes them)
dates1904.xlsx           dates in the 1904 date system
headings.xlsx, empty.xlsx  a sheet of headings only, an empty sheet
rows-openpyxl.xlsx, rows-xlwt.xls  class lists with rows the import refuses on
                         their own: a formula without result, an ID number kept as
                         a number, a class shown "3.0", one shown "3.5"
Needs Debian's python3-openpyxl and python3-xlwt; not needed to build or test.
"""
import datetime
import io
import json
import os
import sys
import zipfile

import openpyxl
import xlwt
from openpyxl.utils.datetime import CALENDAR_MAC_1904

out = sys.argv[1] if len(sys.argv) > 1 else "."
here = os.path.dirname(os.path.abspath(__file__))
rows = json.load(open(os.path.join(here, "classlist.json"), encoding="utf-8"))["rows"]


def save(wb, name):
    wb.save(os.path.join(out, name))
    print("wrote", name)


def new(title):
    wb = openpyxl.Workbook()
    ws = wb.active
    ws.title = title
    wb.create_sheet("第二页")["A1"] = "第二页"
    return wb, ws


wb, ws = new("报名数据")
for row in rows:
    ws.append(row)
save(wb, "classlist-openpyxl.xlsx")

with open(os.path.join(out, "classlist-gb18030.csv"), "wb") as f:
    for row in rows:
        cells = ["" if v is None else (str(v) if not isinstance(v, float) else repr(v)) for v in row]
        f.write(("\t".join(cells) + "\r\n").encode("gb18030"))
print("wrote classlist-gb18030.csv")

wb, ws = new("考生")
ws.append(["姓名", "身份证号", "数字", "比例", "编号", "文本", "日期", "通过", "公式", "备注"])
ws.append(["𠮷䶮", "32010220000101126X", 42, 0.25, 7, "00123", datetime.date(2009, 7, 6), True, "=1+1", "RICH"])
ws.append(["赵䶮", 320102200001011264, 3.14159, 2.5, 12, "x", 44927, False, '="a"&"b"', None])
ws.append([None, 320102200001011264, 1234567.0, 0.05, 3, None, 40000.5, None, None, None])
for r in (2, 3):
    ws.cell(r, 3).number_format = "0"
    ws.cell(r, 4).number_format = "0.0"
    ws.cell(r, 5).number_format = "00"
ws["F2"].number_format = "@"
ws["G2"].number_format = "yyyy-mm-dd"
ws["G3"].number_format = 'yyyy"年"m"月"d"日"'
ws["B4"].number_format = "0"
ws["C4"].number_format = "#,##0"
ws["D4"].number_format = "0.0%"
ws["G4"].number_format = "yyyy/m/d h:mm"
ws.row_dimensions[3].hidden = True
buffer = io.BytesIO()
wb.save(buffer)
# openpyxl 3.0 writes no rich text: put one in by hand, with a phonetic guide
# that is not part of the text.
with zipfile.ZipFile(buffer) as src, zipfile.ZipFile(os.path.join(out, "cells-openpyxl.xlsx"), "w",
                                                     zipfile.ZIP_DEFLATED) as dst:
    for item in src.infolist():
        data = src.read(item.filename)
        if item.filename == "xl/worksheets/sheet1.xml":
            data = data.replace(b'<is><t>RICH</t></is>',
                                '<is><r><t>张</t></r><r><rPr><b/></rPr><t xml:space="preserve">三 </t></r>'
                                '<rPh sb="0" eb="1"><t>zhang</t></rPh></is>'.encode("utf-8"))
        dst.writestr(item, data)
print("wrote cells-openpyxl.xlsx")

wb, ws = new("日期")
wb.epoch = CALENDAR_MAC_1904
ws.append(["日期"])
ws.append([datetime.date(2009, 7, 6)])
ws["A2"].number_format = "yyyy/m/d"
save(wb, "dates1904.xlsx")

wb, ws = new("报名数据")
ws.append(rows[0])
save(wb, "headings.xlsx")
wb, ws = new("空")
save(wb, "empty.xlsx")

# Rows refused on their own, then one that stops the import.
special = [
    rows[0],
    ["091001000410001", "甲", "江苏省南京市", "320102199001011111", "南京市", "025001", 500, 3],
    ['="0910010004"&"10002"', "乙", "江苏省南京市", "320102199001012222", "南京市", "025002", 501, 3],
    ["091001000420003", "丙", "江苏省南京市", 320102199001013333, "南京市", "025003", 502, 3],
    ["091001000410004", "丁", "江苏省南京市", "320102199001014444", "南京市", "025004", 503, 3.0],
    ["091001000410005", "戊", "江苏省南京市", "320102199001015555", "南京市", "025005", 504, 3.5],
    ["091001000410006", "己", "江苏省南京市", "320102199001016666", "南京市", "025006", 505, 3],
]
wb, ws = new("报名数据")
for row in special:
    ws.append(row)
ws["H5"].number_format = "0.0"
ws["H6"].number_format = "0.0"
save(wb, "rows-openpyxl.xlsx")

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("报名数据")
one_decimal = xlwt.easyxf(num_format_str="0.0")
for r, row in enumerate(special):
    for c, value in enumerate(row):
        if isinstance(value, str) and value.startswith("="):
            sheet.write(r, c, xlwt.Formula(value[1:]))
        elif c == 7 and r in (4, 5):
            sheet.write(r, c, value, one_decimal)
        elif value is not None:
            sheet.write(r, c, value)
book.save(os.path.join(out, "rows-xlwt.xls"))
print("wrote rows-xlwt.xls")
