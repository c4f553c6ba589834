#!/usr/bin/env node
// Reads an Excel 97-2003 workbook (or an .xlsx one) with SheetJS, a reader independent of ours,
// and prints what it found as one line of JSON:
//   {"sheets": [sheet names],
//    "rows": [[cells of the first sheet, row by row]],
//    "cols": [width of each column of the first sheet in characters, null where none is set],
//    "sst": {"count": n, "unique": n, "records": SST + CONTINUE records}}
// Text cells are strings, numbers are numbers, empty cells are null, error
// cells are {"error": "#NUM!"}. Rows run from A1 to the last used row and
// column, so a row or column that went missing or moved shows as a difference.
//
// SheetJS is lenient about the record layer, so this script checks it itself:
// record sizes, substreams, and the shared-string table with its CONTINUE
// records and EXTSST index.
//
// Usage: node readxls.mjs <file.xls>
// Exits with status 1 and the reason on stderr when the file is not a sound
// BIFF8 workbook.
import { readFileSync } from 'node:fs';
import * as XLSX from 'xlsx/xlsx.mjs';

const MAX_RECORD_DATA = 8224;

function fail(message) {
    process.stderr.write(`readxls: ${message}\n`);
    process.exit(1);
}

function reason(e) {
    return e && e.message ? e.message : String(e);
}

const path = process.argv[2];
if (!path)
    fail('usage: node readxls.mjs <file.xls>');

let bytes;
try {
    bytes = readFileSync(path);
} catch (e) {
    fail(`cannot read ${path}: ${reason(e)}`);
}

// An .xlsx workbook (a zip package) is read by SheetJS alone; anything else
// must be an OLE2 container, whose record layer is checked here.
const isZip = bytes.length >= 4 && bytes.readUInt32LE(0) === 0x04034b50;
const ole2 = Buffer.from([0xd0, 0xcf, 0x11, 0xe0, 0xa1, 0xb1, 0x1a, 0xe1]);
if (!isZip && (bytes.length < 512 || !bytes.subarray(0, 8).equals(ole2)))
    fail(`${path} is neither an .xlsx package nor an OLE2 compound file`);
let sst = null;
if (!isZip) {

let container;
try {
    container = XLSX.CFB.read(bytes, { type: 'buffer' });
} catch (e) {
    fail(`cannot open the compound file ${path}: ${reason(e)}`);
}
const entry = XLSX.CFB.find(container, '/Workbook');
if (!entry || !entry.content)
    fail(`${path} has no Workbook stream (not an Excel 97-2003 workbook)`);
const book = Buffer.from(entry.content);
if (book.length < 8 || book.readUInt16LE(0) !== 0x0809 || book.readUInt16LE(4) !== 0x0600)
    fail(`${path}: the Workbook stream does not start with a BIFF8 BOF record`);

// Walk the records: each at most 8224 data bytes, every BOF closed by an EOF;
// after the last substream only zero padding. Collect the SST, its CONTINUE
// records, and EXTSST on the way.
const sstParts = [];
let extsst = null;
let depth = 0;
let previous = -1;
for (let pos = 0; pos < book.length;) {
    if (depth === 0 && (pos + 4 > book.length || book.readUInt16LE(pos) !== 0x0809)) {
        if (book.subarray(pos).some((b) => b !== 0))
            fail(`${path}: data after the last substream at stream position ${pos}`);
        break;
    }
    if (pos + 4 > book.length)
        fail(`${path}: a record header is cut off at stream position ${pos}`);
    const type = book.readUInt16LE(pos);
    const size = book.readUInt16LE(pos + 2);
    const where = `record 0x${type.toString(16)} at stream position ${pos}`;
    if (size > MAX_RECORD_DATA)
        fail(`${path}: ${where} has ${size} data bytes (limit ${MAX_RECORD_DATA})`);
    if (pos + 4 + size > book.length)
        fail(`${path}: ${where} runs past the end of the stream`);
    const data = book.subarray(pos + 4, pos + 4 + size);
    if (type === 0x0809)
        ++depth;
    else if (type === 0x000a)
        --depth;
    else if (type === 0x00fc)
        sstParts.push({ pos, data });
    else if (type === 0x003c && previous === 0x00fc)
        sstParts.push({ pos, data });
    else if (type === 0x00ff)
        extsst = { pos, data };
    if (type !== 0x003c)
        previous = type;
    pos += 4 + size;
}
if (depth !== 0)
    fail(`${path}: a substream has no EOF record`);

// The shared strings, read the hard way: a string's header (length, option
// byte) never crosses a record boundary; characters that continue in the next
// record are preceded there by a fresh option byte.
if (sstParts.length > 0) {
    const first = sstParts[0].data;
    if (first.length < 8)
        fail(`${path}: the SST record is too short`);
    const count = first.readUInt32LE(0);
    const unique = first.readUInt32LE(4);
    const starts = [];
    let part = 0;
    let off = 8;
    for (let i = 0; i < unique; ++i) {
        if (off === sstParts[part].data.length) {
            ++part;
            off = 0;
            if (part >= sstParts.length)
                fail(`${path}: the SST holds ${i} strings, not ${unique}`);
        }
        const data = sstParts[part].data;
        if (off + 3 > data.length)
            fail(`${path}: the header of shared string ${i} is split across records`);
        starts.push({ pos: sstParts[part].pos + 4 + off, offset: 4 + off });
        const cch = data.readUInt16LE(off);
        const flags = data.readUInt8(off + 2);
        off += 3;
        if (flags & 0x0c)
            fail(`${path}: shared string ${i} is a rich or phonetic string, which this check does not read`);
        let wide = flags & 1;
        let left = cch;
        let lastUnit = 0;
        while (left > 0) {
            const cur = sstParts[part].data;
            if (off === cur.length) {
                // Stricter than the format: we keep a surrogate pair in one record.
                if (lastUnit >= 0xd800 && lastUnit <= 0xdbff)
                    fail(`${path}: a surrogate pair of shared string ${i} is split across records`);
                ++part;
                off = 0;
                if (part >= sstParts.length)
                    fail(`${path}: shared string ${i} runs past the SST`);
                wide = sstParts[part].data.readUInt8(0) & 1;
                off = 1;
                continue;
            }
            const n = Math.min(left, Math.floor((cur.length - off) / (wide ? 2 : 1)));
            if (n === 0)
                fail(`${path}: a character of shared string ${i} is split across records`);
            off += n * (wide ? 2 : 1);
            left -= n;
            lastUnit = wide ? cur.readUInt16LE(off - 2) : 0;
        }
    }
    if (part !== sstParts.length - 1 || off !== sstParts[part].data.length)
        fail(`${path}: bytes left over after the ${unique} shared strings`);

    if (!extsst)
        fail(`${path}: the SST has no EXTSST record`);
    const perBucket = extsst.data.readUInt16LE(0);
    const buckets = (extsst.data.length - 2) / 8;
    if (perBucket < 8 || buckets !== Math.ceil(unique / perBucket))
        fail(`${path}: EXTSST has ${buckets} buckets of ${perBucket} for ${unique} strings`);
    for (let b = 0; b < buckets; ++b) {
        const ib = extsst.data.readUInt32LE(2 + 8 * b);
        const cbOffset = extsst.data.readUInt16LE(2 + 8 * b + 4);
        const start = starts[b * perBucket];
        if (ib !== start.pos || cbOffset !== start.offset)
            fail(`${path}: EXTSST bucket ${b} points at ${ib}/${cbOffset}, string ${b * perBucket} is at ` +
                 `${start.pos}/${start.offset}`);
    }
    sst = { count, unique, records: sstParts.length };
}
} // not a zip

let workbook;
try {
    workbook = XLSX.read(bytes, { type: 'buffer', WTF: true, cellDates: false, cellNF: false, cellStyles: true });
} catch (e) {
    fail(`cannot parse ${path}: ${reason(e)}`);
}

const rows = [];
const sheet = workbook.SheetNames.length > 0 ? workbook.Sheets[workbook.SheetNames[0]] : undefined;
if (sheet && sheet['!ref']) {
    const used = XLSX.utils.decode_range(sheet['!ref']);
    for (let r = 0; r <= used.e.r; ++r) {
        const row = [];
        for (let c = 0; c <= used.e.c; ++c) {
            const cell = sheet[XLSX.utils.encode_cell({ r, c })];
            if (!cell || cell.t === 'z' || cell.v === undefined)
                row.push(null);
            else if (cell.t === 'e')
                row.push({ error: cell.w });
            else
                row.push(cell.v);
        }
        rows.push(row);
    }
}

const cols = [];
if (sheet && sheet['!cols']) {
    for (let c = 0; c < sheet['!cols'].length; ++c) {
        const info = sheet['!cols'][c];
        cols.push(info && typeof info.width === 'number' ? info.width : null);
    }
}

process.stdout.write(JSON.stringify({ sheets: workbook.SheetNames, rows, cols, sst }) + '\n');
