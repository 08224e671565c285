// Runs one case of las_cases.json: a survey from morva-sim processed by morva,
// converted by morva-las, and read back by two independent LAS readers (copc's
// Las module and laz-perf), every point checked against its scan-point record.
// A LAZ output (named .laz, or --compress) is decompressed by both, and its
// header and records are those of the LAS written with the same options.
//
//   node las_check.mjs CASE --morva M --sim S --las L --work DIR
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const problems = [];
const check = (ok, what) => { if (!ok) problems.push(what); };
const die = (what) => { console.error(`FAIL: ${what}`); process.exit(1); };

async function readers() {
  try {
    const copc = await import('copc');
    const lazperf = await import('laz-perf');
    return { Las: copc.Las ?? copc.default.Las, createLazPerf: lazperf.createLazPerf ?? lazperf.default.createLazPerf };
  } catch (e) {
    die(`the LAS readers (npm copc 0.0.8, laz-perf 0.0.7) are not installed in ${here}/node_modules: ` +
        `run tools/install-deps --tests (${e.message.split('\n')[0]})`);
  }
}

function run(argv, cwd, input, env) {
  const r = spawnSync(argv[0], argv.slice(1), { cwd, input, env: { ...process.env, ...env }, encoding: 'latin1', maxBuffer: 1 << 28 });
  if (r.error) die(`${argv[0]}: ${r.error.message}`);
  return r;
}

function options() {
  const a = process.argv.slice(2);
  const o = { name: a[0] };
  for (let i = 1; i < a.length; i += 2) o[a[i].replace(/^--/, '')] = a[i + 1];
  for (const k of ['morva', 'sim', 'las', 'work']) {
    if (!o[k]) die(`--${k} missing`);
    o[k] = path.resolve(o[k]);
  }
  return o;
}

// ---- The scan-point records, read independently of the program under test.

const TEXT_FIELDS = { thr: [0, 9], lat: [9, 20], lon: [20, 32], h: [32, 40], ampl: [41, 44], i: [44, 48], n: [48, 51], line: [0, 999] };

// A fixed-point field as an integer count of its last decimal, null when not written.
function decimal(field, decimals) {
  const t = field.trim();
  if (/^(\*+|NaN|-?Inf)$/.test(t)) return null;
  const m = /^(-?)(\d*)\.(\d+)$/.exec(t);
  if (!m || m[3].length !== decimals) throw new Error(`bad field '${field}'`);
  const v = BigInt((m[2] || '0') + m[3]);
  return m[1] ? -v : v;
}

function expectedPoints(folder, scanpt, binary, averaged) {
  const bytes = fs.readFileSync(path.join(folder, scanpt));
  const points = [];
  let skipped = 0, unknownAmplitude = 0;
  if (binary) {
    const dv = new DataView(bytes.buffer, bytes.byteOffset, bytes.byteLength);
    for (let at = 0; at + 18 <= bytes.length; at += 18) {
      const f = [0, 4, 8, 12].map((o) => dv.getInt32(at + o, true));
      // No value, or a latitude beyond a pole: not a position.
      if (f.includes(-2147483648) || Math.abs(f[1]) > 900000000) { skipped++; continue; }
      points.push({ thr: BigInt(f[0]), lat: f[1], lon: f[2], h: f[3], ampl: bytes[at + 16], index: bytes[at + 17] });
    }
  } else {
    for (const line of bytes.toString('latin1').split('\n')) {
      if (line === '') continue;
      const get = (k) => line.slice(...TEXT_FIELDS[k]);
      const thr = decimal(get('thr'), 6), lat = decimal(get('lat'), 6), lon = decimal(get('lon'), 6), h = decimal(get('h'), 2);
      if ([thr, lat, lon, h].includes(null) || lat > 90000000n || lat < -90000000n) { skipped++; continue; }
      const a = get('ampl').trim();
      const ampl = a === '***' ? null : (Number(a) + 256) % 256;
      if (ampl === null) unknownAmplitude++;
      const p = { thr: thr * 10n, lat: Number(lat) * 10, lon: Number(lon) * 10, h: Number(h) * 10, ampl, index: Number(get('i')) };
      if (averaged) p.n = Number(get('n'));
      points.push(p);
    }
  }
  return { points, skipped, unknownAmplitude };
}

// Adjusted Standard GPS Time: GPS seconds since 1980-01-06 less 1e9; the time of day
// in 1e-7 h is 36e-5 s, so the sum is exact in units of 1e-5 s.
function expectedTime(date, thrE7) {
  if (date === null) return Number(thrE7 * 36n) / 1e5;
  const [y, m, d] = date.split('-').map(Number);
  const days = BigInt((Date.UTC(y, m - 1, d) - Date.UTC(1980, 0, 6)) / 86400000);
  return Number(days * 86400n * 100000n + thrE7 * 36n - 100000000000000n) / 1e5;
}

// ---- Preparing the case.

function prepare(c, o) {
  const folder = path.join(o.work, c.name.replace(/\//g, '_'));
  fs.rmSync(folder, { recursive: true, force: true });
  let r = run([o.sim, ...c.sim, folder], o.work);
  if (r.status !== 0) die(`morva-sim failed: ${r.stderr}`);
  const control = path.join(folder, 'run.in');
  const lines = fs.readFileSync(control, 'latin1').split('\n');
  if (c.navg) lines[9] = lines[9].replace(/^\s*\S+/, String(c.navg));
  fs.writeFileSync(control, lines.join('\n'));
  r = run([o.morva, ...(c.morva_args ?? [])], folder, fs.readFileSync(control));
  if (r.status !== 0) die(`morva failed: ${r.stdout.split('\n').slice(-3).join(' | ')}`);
  const binary = /\S+\s+\S+\s+2\s/.test(lines[9]);
  const scanpt = lines[3].slice(0, 36).trimEnd();
  const e = c.edit ?? {};
  const file = path.join(folder, scanpt);
  if (e.truncate) fs.truncateSync(file, fs.statSync(file).size - e.truncate);
  if (e.binary_marker) {
    const b = fs.readFileSync(file);
    for (const [record, field] of e.binary_marker) b.writeInt32LE(-2147483648, record * 18 + field * 4);
    fs.writeFileSync(file, b);
  }
  if (e.binary_value) {
    const b = fs.readFileSync(file);
    for (const [record, field, value] of e.binary_value) b.writeInt32LE(value, record * 18 + field * 4);
    fs.writeFileSync(file, b);
  }
  if (e.text_fields) {
    const t = fs.readFileSync(file, 'latin1').split('\n');
    for (const [line, field, value] of e.text_fields) {
      const [from, to] = TEXT_FIELDS[field];
      const old = t[line - 1];
      t[line - 1] = field === 'line' ? value : old.slice(0, from) + value + old.slice(to);
      if (field !== 'line' && value.length !== to - from) die(`edit of ${field} is not ${to - from} wide`);
    }
    fs.writeFileSync(file, t.join('\n'));
  }
  if (e.scanner_epoch) {
    const b = fs.readFileSync(path.join(folder, 'scan.bin'));
    b.fill(0x20, 169, 201);
    b.write(e.scanner_epoch, 169, 'latin1');
    fs.writeFileSync(path.join(folder, 'scan.bin'), b);
  }
  if (e.remove) fs.rmSync(path.join(folder, e.remove));
  if (e.fifo && run(['mkfifo', e.fifo], folder).status !== 0) die('mkfifo failed');
  for (const name of e.touch ?? []) fs.writeFileSync(path.join(folder, name), '');
  for (const [name, target] of e.symlink ?? []) fs.symlinkSync(target, path.join(folder, name));
  if (e.scanpt_none) lines[3] = '0';
  if (e.run_control_line) lines[e.run_control_line[0] - 1] = e.run_control_line[1];
  fs.writeFileSync(control, lines.join('\n'));
  return { folder, binary, scanpt, averaged: !binary && c.navg > 1 };
}

// ---- Checks of a written file.

function checkRawHeader(b, c, exp, recordLength, compressed) {
  const dv = new DataView(b.buffer, b.byteOffset, b.byteLength);
  const want = c.expect;
  check(b.toString('latin1', 0, 4) === 'LASF', 'signature');
  check(dv.getUint16(4, true) === (want.source_id ?? 0), 'file source id');
  check(dv.getUint16(6, true) === (want.date === null ? 0x10 : 0x11), `global encoding ${dv.getUint16(6, true)}`);
  check(b.subarray(8, 24).every((x) => x === 0), 'project GUID zero');
  check(b[24] === 1 && b[25] === 4, 'version 1.4');
  check(b.toString('latin1', 58, 90).replace(/\0+$/, '').startsWith('morva-las '), 'generating software');
  if (want.date) {
    const [y, m, d] = want.date.split('-').map(Number);
    const doy = (Date.UTC(y, m - 1, d) - Date.UTC(y, 0, 1)) / 86400000 + 1;
    check(dv.getUint16(90, true) === doy && dv.getUint16(92, true) === y, 'creation day and year');
  }
  check(dv.getUint16(94, true) === 375, 'header size');
  check(b[104] === (compressed ? 0x86 : 6) && dv.getUint16(105, true) === recordLength,
    `point format 6${compressed ? ' compressed' : ''} and record length`);
  // Neither reader looks at these: the legacy counts must be zero for format 6.
  check(b.subarray(107, 131).every((x) => x === 0), 'legacy point counts zero');
  check(dv.getFloat64(131, true) === 1e-7 && dv.getFloat64(139, true) === 1e-7 && dv.getFloat64(147, true) === 1e-3, 'scales');
  check([155, 163, 171].every((o) => dv.getFloat64(o, true) === 0), 'offsets');
  check(b.subarray(227, 247).every((x) => x === 0), 'no waveform, no extended VLRs');
  const count = dv.getBigUint64(247, true);
  check(count === BigInt(exp.points.length), `point count ${count} != ${exp.points.length}`);
  check(dv.getBigUint64(255, true) === count && b.subarray(263, 375).every((x) => x === 0), 'points by return');
  const pts = exp.points;
  const bound = (k, f) => pts.reduce((m, p) => f(m, p[k]), f === Math.min ? Infinity : -Infinity);
  const wantBounds = [[bound('lon', Math.max), 1e-7], [bound('lon', Math.min), 1e-7], [bound('lat', Math.max), 1e-7],
    [bound('lat', Math.min), 1e-7], [bound('h', Math.max), 1e-3], [bound('h', Math.min), 1e-3]];
  wantBounds.forEach(([v, s], k) => check(dv.getFloat64(179 + 8 * k, true) === v * s, `bound ${k}`));
  if (!compressed) check(dv.getUint32(96, true) === b.length - pts.length * recordLength, 'offset to point data');
}

async function checkWithCopc(Las, b, c, exp, recordLength, prep, compressed) {
  const getter = async (begin, end) => b.subarray(begin, end);
  const header = Las.Header.parse(b.subarray(0, 375));
  check(header.pointCount === exp.points.length && header.pointDataRecordFormat === 6, 'copc: header');
  const vlrs = await Las.Vlr.walk(getter, header);
  check(vlrs.length === (prep.binary ? 1 : 2) + (compressed ? 1 : 0), `copc: ${vlrs.length} VLRs`);
  if (compressed) check(Las.Vlr.find(vlrs, 'laszip encoded', 22204) !== undefined, 'copc: laszip VLR');
  const crsVlr = Las.Vlr.find(vlrs, 'LASF_Projection', 2112);
  check(crsVlr !== undefined, 'copc: WKT VLR');
  const wktBytes = await Las.Vlr.fetch(getter, crsVlr);
  check(wktBytes[wktBytes.length - 1] === 0, 'WKT NUL-terminated');
  const wkt = Buffer.from(wktBytes.subarray(0, wktBytes.length - 1)).toString('latin1');
  if (c.expect.description) check(crsVlr.description === c.expect.description, `WKT VLR description '${crsVlr.description}'`);
  let eb = [];
  if (!prep.binary) {
    const ebVlr = Las.Vlr.find(vlrs, 'LASF_Spec', 4);
    check(ebVlr !== undefined, 'copc: Extra Bytes VLR');
    eb = Las.ExtraBytes.parse(await Las.Vlr.fetch(getter, ebVlr));
    const names = eb.map((e) => `${e.name}:${e.type}${e.length}`).join(',');
    check(names === (prep.averaged ? 'measurement_index:unsigned2,group_size:unsigned1' : 'measurement_index:unsigned2'),
      `extra bytes ${names}`);
  }
  const points = compressed ? await Las.PointData.decompressFile(b) : b.subarray(header.pointDataOffset);
  const view = Las.View.create(points, header, eb);
  check(view.pointCount === exp.points.length, 'copc: view count');
  const dims = ['X', 'Y', 'Z', 'Intensity', 'ReturnNumber', 'NumberOfReturns', 'Classification', 'UserData', 'ScanAngle',
    'PointSourceId', 'GpsTime'];
  if (!prep.binary) dims.push('measurement_index');
  if (prep.averaged) dims.push('group_size');
  const get = Object.fromEntries(dims.map((d) => [d, view.getter(d)]));
  let bad = 0;
  exp.points.forEach((p, i) => {
    const want = { X: p.lon * 1e-7, Y: p.lat * 1e-7, Z: p.h * 1e-3, Intensity: (p.ampl ?? 0) * 256, ReturnNumber: 1,
      NumberOfReturns: 1, Classification: 0, UserData: p.index & 255, ScanAngle: 0, PointSourceId: c.expect.source_id ?? 0,
      GpsTime: expectedTime(c.expect.date, p.thr), measurement_index: p.index, group_size: p.n };
    for (const d of dims) {
      if (get[d](i) !== want[d] && bad++ < 5) problems.push(`copc: point ${i} ${d} ${get[d](i)} != ${want[d]}`);
    }
  });
  return wkt;
}

async function checkWithLazPerf(createLazPerf, b, exp, recordLength, c) {
  const L = await createLazPerf();
  const file = L._malloc(b.length);
  L.HEAPU8.set(b, file);
  const reader = new L.LASZip();
  reader.open(file, b.length);
  check(reader.getCount() === exp.points.length && reader.getPointFormat() === 6 && reader.getPointLength() === recordLength,
    `laz-perf: ${reader.getCount()} points of format ${reader.getPointFormat()}, length ${reader.getPointLength()}`);
  const at = L._malloc(recordLength);
  let bad = 0;
  for (let i = 0; i < exp.points.length; i++) {
    reader.getPoint(at);
    const r = Buffer.from(L.HEAPU8.subarray(at, at + recordLength));
    const p = exp.points[i];
    const want = Buffer.alloc(recordLength);
    want.writeInt32LE(p.lon, 0); want.writeInt32LE(p.lat, 4); want.writeInt32LE(p.h, 8);
    want.writeUInt16LE((p.ampl ?? 0) * 256, 12); want[14] = 0x11; want[17] = p.index & 255;
    want.writeUInt16LE(c.expect.source_id ?? 0, 20); want.writeDoubleLE(expectedTime(c.expect.date, p.thr), 22);
    if (recordLength > 30) want.writeUInt16LE(p.index, 30);
    if (recordLength > 32) want[32] = p.n;
    if (!r.equals(want) && bad++ < 5) problems.push(`laz-perf: point ${i} ${r.toString('hex')} != ${want.toString('hex')}`);
  }
  L._free(at); L._free(file);
}

// The WKT record's text, read from the header's own fields.
function wktRecord(b) {
  const dv = new DataView(b.buffer, b.byteOffset, b.byteLength);
  let at = dv.getUint16(94, true);
  for (let k = dv.getUint32(100, true); k > 0; k--) {
    const user = b.subarray(at + 2, at + 18).toString('latin1').replace(/\0.*$/s, '');
    const id = dv.getUint16(at + 18, true), length = dv.getUint16(at + 20, true);
    if (user === 'LASF_Projection' && id === 2112) return b.subarray(at + 54, at + 54 + length).toString('latin1').replace(/\0.*$/s, '');
    at += 54 + length;
  }
  problems.push('no WKT record');
  return '';
}

// The LAZ's header and records are those of the LAS written with the same
// options, but for the offset to the points, the record count and the
// compression bit (the laszip record follows the others).
function checkAsItsLas(b, c, prep, cwd, from, las) {
  const args = (c.args ?? []).filter((a) => a !== '--compress');
  const r = run([...las, ...args, from(c.run_control ?? 'run.in'), from('as-las.las')], cwd, undefined, c.env);
  check(r.status === 0, `the LAS beside the LAZ: status ${r.status}: ${r.stderr}`);
  const plain = fs.readFileSync(path.join(prep.folder, 'as-las.las'));
  const same = (from, to) => b.subarray(from, to).equals(plain.subarray(from, to));
  check(same(0, 96) && same(105, 375), 'LAZ header differs from its LAS beyond offset, record count and format');
  check(b.readUInt32LE(100) === plain.readUInt32LE(100) + 1, 'LAZ: one record more than its LAS (laszip)');
  const offset = plain.readUInt32LE(96);
  check(same(375, offset), 'LAZ: records before the laszip record differ from its LAS');
  const laszip = b.subarray(offset, b.readUInt32LE(96));
  check(laszip.toString('latin1', 2, 16) === 'laszip encoded' && laszip.readUInt16LE(18) === 22204, 'LAZ: laszip record last');
  check(b.length < plain.length / 3, `LAZ of ${b.length} bytes is no smaller than a third of its LAS (${plain.length})`);
}

function checkCrs(wkt, c) {
  if (c.expect.crs) {
    const r = run(['projinfo', '--identify', '-o', 'WKT1_GDAL', '--single-line', wkt], '.');
    check(r.stdout.includes(`${c.expect.crs}: 100 %`), `projinfo does not identify ${c.expect.crs}: ${r.stdout} ${r.stderr}`);
  }
  if (c.expect.compound) {
    const r = run(['projinfo', '-o', 'PROJJSON', '-q', wkt], '.');
    let j = {};
    try { j = JSON.parse(r.stdout); } catch { problems.push(`projinfo cannot read the WKT: ${r.stderr}`); }
    const vertical = (j.components ?? [])[1] ?? {};
    check(j.type === 'CompoundCRS' && vertical.type === 'VerticalCRS' && vertical.name === c.expect.compound,
      `compound CRS: ${j.type} with ${vertical.type} '${vertical.name}'`);
    const horizontal = (j.components ?? [])[0] ?? {};
    check(horizontal.type === 'GeographicCRS' && horizontal.name === 'WGS 84', 'horizontal part WGS 84');
  }
  if (c.expect.vertical_crs) {
    // The named vertical CRS, as PROJ and GDAL read the WKT: its EPSG code, the grid in the compound's name.
    const r = run(['projinfo', '-o', 'PROJJSON', '-q', wkt], '.');
    let j = {};
    try { j = JSON.parse(r.stdout); } catch { problems.push(`projinfo cannot read the WKT: ${r.stderr}`); }
    const [horizontal, vertical] = j.components ?? [{}, {}];
    const id = vertical?.id ? `${vertical.id.authority}:${vertical.id.code}` : 'none';
    check(j.type === 'CompoundCRS' && vertical?.type === 'VerticalCRS' && id === c.expect.vertical_crs,
      `compound CRS: ${j.type} with ${vertical?.type} ${id}, not ${c.expect.vertical_crs}`);
    const [type, name] = c.expect.projected ? ['ProjectedCRS', c.expect.projected] : ['GeographicCRS', c.expect.horizontal ?? 'WGS 84'];
    check(horizontal?.type === type && horizontal?.name === name, `horizontal part ${horizontal?.name}, not ${name}`);
    check((j.name ?? '').includes(c.expect.vertical_note), `compound name '${j.name}' lacks '${c.expect.vertical_note}'`);
    const g = run(['gdalsrsinfo', '-o', 'wkt2', wkt], '.');
    check(g.status === 0 && g.stdout.includes(`ID["EPSG",${c.expect.vertical_crs.split(':')[1]}]`),
      `gdalsrsinfo does not read the vertical CRS: ${g.stdout} ${g.stderr}`);
  }
}

async function main() {
  const o = options();
  const { cases } = JSON.parse(fs.readFileSync(path.join(here, 'las_cases.json'), 'utf8'));
  const c = cases.find((x) => x.name === o.name);
  if (!c) die(`no case ${o.name}`);
  const { Las, createLazPerf } = await readers();
  fs.mkdirSync(o.work, { recursive: true });
  const prep = prepare(c, o);
  const output = c.output ?? 'out.las';
  const existed = fs.existsSync(path.join(prep.folder, output));
  const guarded = c.fail?.unchanged ? fs.readFileSync(path.join(prep.folder, c.fail.unchanged)) : null;
  // from_parent: run in the folder above the survey's, naming its run control and output there.
  const cwd = c.from_parent ? path.dirname(prep.folder) : prep.folder;
  const from = (name) => (c.from_parent ? path.join(path.basename(prep.folder), name) : name);
  // limit_fsize: a full disk as a limit on file size (in 512-byte blocks), its signal ignored.
  const las = c.limit_fsize ? ['sh', '-c', `trap '' XFSZ; ulimit -f ${c.limit_fsize}; exec "$0" "$@"`, o.las] : [o.las];
  const r = run([...las, ...(c.args ?? []), from(c.run_control ?? 'run.in'), from(output)], cwd, undefined, c.env);
  const leftovers = fs.readdirSync(prep.folder).filter((f) => f.includes('.partial') || f.includes('.morva-tmp-'));
  check(leftovers.length === 0, `temporary files left: ${leftovers}`);

  if (c.fail) {
    check(r.status === c.fail.status, `status ${r.status}, not ${c.fail.status}`);
    check(r.stderr.includes(c.fail.stderr), `stderr lacks '${c.fail.stderr}': ${r.stderr}`);
    if (c.fail.last_line) check(r.stderr.trimEnd().split('\n').pop().includes(c.fail.stderr), `not the last line: ${r.stderr}`);
    check(r.stdout === '', `stdout not empty: ${r.stdout}`);
    if (guarded) check(fs.readFileSync(path.join(prep.folder, c.fail.unchanged)).equals(guarded), `${c.fail.unchanged} changed`);
    else if (existed) check(!fs.lstatSync(path.join(prep.folder, output)).isFile(), `${output} was replaced by a file`);
    else check(!fs.existsSync(path.join(prep.folder, output)), 'an output file was left');
    check(fs.statSync('/dev/null').isCharacterDevice(), '/dev/null is no longer a device');
  } else {
    check(r.status === 0, `status ${r.status}: ${r.stderr}`);
    if (c.expect.stderr) check(r.stderr.includes(c.expect.stderr), `stderr lacks '${c.expect.stderr}': ${r.stderr}`);
    const exp = expectedPoints(prep.folder, prep.scanpt, prep.binary, prep.averaged);
    check(exp.points.length > 0, 'no points to compare');
    check(exp.skipped === (c.expect.skipped ?? 0), `${exp.skipped} records not written, case says ${c.expect.skipped ?? 0}`);
    if (exp.unknownAmplitude > 0) {
      check(r.stderr.includes(`${exp.unknownAmplitude} points have intensity 0`), `amplitudes of asterisks: ${r.stderr}`);
    }
    if (c.expect.past_midnight) check(exp.points.some((p) => p.thr >= 240000000n) && exp.points.some((p) => p.thr < 240000000n), 'the flight does not cross midnight');
    if (c.expect.link) {
      const [name, target] = c.expect.link;
      const at = path.join(prep.folder, name);
      check(fs.lstatSync(at).isSymbolicLink() && fs.readlinkSync(at) === target, `${name} is no longer a link to ${target}`);
    }
    const b = fs.readFileSync(path.join(prep.folder, output));
    if (c.expect.projected) {
      // Easting and northing: only the coordinate system is checked here.
      checkCrs(wktRecord(b), c);
      if (problems.length) die(problems.join('\n'));
      console.log(`ok: ${c.name}`);
      return;
    }
    const recordLength = 30 + (prep.binary ? 0 : prep.averaged ? 3 : 2);
    const compressed = output.endsWith('.laz') || (c.args ?? []).includes('--compress');
    checkRawHeader(b, c, exp, recordLength, compressed);
    if (compressed) checkAsItsLas(b, c, prep, cwd, from, las);
    const wkt = await checkWithCopc(Las, b, c, exp, recordLength, prep, compressed);
    await checkWithLazPerf(createLazPerf, b, exp, recordLength, c);
    checkCrs(wkt, c);
    console.log(`${exp.points.length} points checked, ${exp.skipped} records skipped`);
  }
  if (problems.length) die(problems.join('\n'));
  console.log(`ok: ${c.name}`);
}

await main();
