#!/usr/bin/env bash
# Makes the files of other programs that the import window's tests read, in
# tests/fixtures/import/:
#   students.xls  a workbook with good and refused rows (every row check)
#   stop.xls      a workbook whose third student has a class that is no number
#   heading.xls   a workbook with its heading row only
#   students.dbf  a dBase table of three students
#   toolong.dbf   a dBase table whose second student has an 11-character name
# The workbooks are written by LibreOffice from flat spreadsheets (.fods)
# made here; the dBase tables by shapelib's own dbfcreate and dbfadd, with
# texts in GB18030. Needs soffice (libreoffice-calc-nogui), dbfcreate and
# dbfadd (shapelib) and iconv. Not needed to build or test.
set -euo pipefail
out=$(cd "$(dirname "$0")/../fixtures/import" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One spreadsheet row. Cells: s:TEXT a text cell (TEXT may hold ODF markup
# such as <text:s text:c="2"/> for kept blanks), n:NUMBER a number cell,
# - an empty cell.
row() {
    printf '<table:table-row>'
    local cell
    for cell in "$@"; do
        case $cell in
        s:*) printf '<table:table-cell office:value-type="string"><text:p>%s</text:p></table:table-cell>' "${cell#s:}" ;;
        n:*) printf '<table:table-cell office:value-type="float" office:value="%s"><text:p>%s</text:p></table:table-cell>' \
            "${cell#n:}" "${cell#n:}" ;;
        -) printf '<table:table-cell/>' ;;
        esac
    done
    printf '</table:table-row>\n'
}

heading() {
    row s:学业水平测试号 s:姓名 s:籍贯 s:身份证号 s:家庭住址 s:联系电话 s:中考成绩 s:班级
}

# A flat spreadsheet with one sheet from the rows on standard input.
sheet() {
    cat <<'HEAD'
<?xml version="1.0" encoding="UTF-8"?>
<office:document xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0"
 xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0"
 xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0"
 office:version="1.2" office:mimetype="application/vnd.oasis.opendocument.spreadsheet">
<office:body><office:spreadsheet><table:table table:name="报名数据">
HEAD
    cat
    printf '</table:table></office:spreadsheet></office:body></office:document>\n'
}

{
    heading
    # 2: a good row
    row s:091001000110001 s:张三 s:江苏省南京市 s:320102199001011234 s:南京市玄武区 s:02584561234 n:512.5 n:3
    # 3: no test number
    row - s:李四 s:江苏省南京市 s:320102199002021234 s:南京市鼓楼区 s:02584561235 n:498 n:3
    # 4: no test number, no name, no class
    row - - s:江苏省南京市 s:320102199003031234 s:南京市秦淮区 s:02584561236 n:476 -
    # 5: an ID number of 20 bytes
    row s:091001000120002 s:王五 s:江苏省苏州市 s:32010219900101123456 s:苏州市姑苏区 s:051265001234 n:530 n:4
    # 6: 17 digits and two Chinese characters: 21 bytes, the 18th inside a character
    row s:091001000110003 s:赵六 s:江苏省无锡市 s:12345678901234567身份 s:无锡市梁溪区 s:051085001234 n:501 n:4
    # 7: a phone text of 29 bytes
    row s:091001000110004 s:孙七 s:江苏省常州市 s:320102199004041234 s:常州市天宁区 s:12345678901234567890123456789 n:488 n:5
    # 8: a phone text of 28 bytes (14 Chinese characters)
    row s:091001000110005 s:周八 s:江苏省常州市 s:320102199005051234 s:常州市钟楼区 s:一二三四五六七八九十一二三四 n:467 n:5
    # 9: a test number the station has already
    row s:091001000190009 s:吴九 s:江苏省南通市 s:320102199006061234 s:南通市崇川区 s:051381001234 n:455 n:6
    # 10: the test number of row 2 again
    row s:091001000110001 s:郑十 s:江苏省南通市 s:320102199007071234 s:南通市港闸区 s:051381001235 n:444 n:6
    # 11: a test number of 16 characters
    row s:0910010001100011 s:钱一 s:江苏省扬州市 s:320102199008081234 s:扬州市广陵区 s:051487001234 n:433 n:7
    # 12: a test number of 8 Chinese characters: 16 bytes
    row s:一二三四五六七八 s:陈二 s:江苏省扬州市 s:320102199009091234 s:扬州市邗江区 s:051487001235 n:422 n:7
    # 13: no name
    row s:091001000110006 - s:江苏省泰州市 s:320102199010101234 s:泰州市海陵区 s:052386001234 n:411 n:8
    # 14: a test number between blanks
    row 's:<text:s text:c="2"/>091001000120007<text:s/>' s:冯三 s:江苏省泰州市 s:320102199011111234 s:泰州市高港区 s:052386001235 n:400 n:8
    # 15: no class
    row s:091001000110008 s:褚四 s:江苏省镇江市 s:320102199012121234 s:镇江市京口区 s:051185001234 n:399 -
    # 16: a test number the station has, no name, no class
    row s:091001000190009 - s:江苏省镇江市 s:320102199101011234 s:镇江市润州区 s:051185001235 n:388 -
} | sheet >"$work/students.fods"

{
    heading
    row s:091001000130001 s:甲一 s:江苏省南京市 s:320102199001011111 s:南京市 s:025001 n:500 n:1
    row s:091001000130002 s:乙二 s:江苏省南京市 s:320102199001012222 s:南京市 s:025002 n:501 n:2
    row s:091001000130003 s:丙三 s:江苏省南京市 s:320102199001013333 s:南京市 s:025003 n:502 s:三班
    row s:091001000130004 s:丁四 s:江苏省南京市 s:320102199001014444 s:南京市 s:025004 n:503 n:4
} | sheet >"$work/stop.fods"

heading | sheet >"$work/heading.fods"

for name in students stop heading; do
    soffice --headless --norestore --convert-to 'xls:MS Excel 97' --outdir "$work" "$work/$name.fods" >/dev/null
    cp "$work/$name.xls" "$out/$name.xls"
done

# dBase tables: field names and texts as GB18030 bytes.
gb() { printf '%s' "$1" | iconv -f UTF-8 -t GB18030; }
dbase() {
    local file=$1
    dbfcreate "$file" -s "$(gb 水平测试号)" 15 -s "$(gb 姓名)" 30 -s "$(gb 身份证号)" 18 -s "$(gb 籍贯)" 12 \
        -s "$(gb 家庭住址)" 30 -s "$(gb 联系电话)" 20 -n "$(gb 中考成绩)" 6 1 -n "$(gb 班级)" 3 0
}
student() {
    local file=$1
    shift
    local args=() value
    for value in "$@"; do
        args+=("$(gb "$value")")
    done
    dbfadd "$file" "${args[@]}"
}

dbase "$work/students.dbf"
student "$work/students.dbf" 091001000210001 刘一 320102199001015555 江苏省南京市 南京市建邺区 02586001234 498.5 1
student "$work/students.dbf" 091001000220002 关二 320102199001016666 江苏省南京市 南京市雨花台区 02586001235 520 2
student "$work/students.dbf" 091001000210003 张三丰 32010219900101777X 江苏省南京市 南京市浦口区 02586001236 476 1
cp "$work/students.dbf" "$out/students.dbf"

dbase "$work/toolong.dbf"
student "$work/toolong.dbf" 091001000310001 许一 320102199001018888 江苏省南京市 南京市六合区 02587001234 455 1
student "$work/toolong.dbf" 091001000310002 一二三四五六七八九十壹 320102199001019999 江苏省南京市 南京市溧水区 02587001235 466 1
cp "$work/toolong.dbf" "$out/toolong.dbf"

echo "wrote $(ls "$out")"
