#!/usr/bin/env node
// Reads a DWG file with LibreDWG (WebAssembly build) and prints what it read
// as the same normalised JSON as the DXF readers (angles in degrees). Exits 1
// when the reader reports any error bit: CRC, handle, value or section faults.
//
// LibreDWG's polyline vertex getter stops one vertex short for R13-R2000
// files (it walks from the first vertex up to, not including, the last), so
// the vertices are gathered from the VERTEX objects LibreDWG decoded, by
// their owner, in handle order.
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { Dwg_File_Type, LibreDwg } from '@mlightcad/libredwg-web';

const here = path.dirname(fileURLToPath(import.meta.url));
const file = process.argv[2];
if (!file) {
  console.error('usage: dwg_read_libredwg.mjs FILE.dwg');
  process.exit(2);
}

const DEG = 180 / Math.PI;
const pt = (p) => [p.x, p.y, p.z ?? 0];
const VERTEX_2D = 10;

function entity(e, vertices) {
  const out = { layer: e.layer };
  switch (e.type) {
    case 'LINE':
      return Object.assign(out, { type: 'LINE', p1: pt(e.startPoint), p2: pt(e.endPoint) });
    case 'CIRCLE':
      return Object.assign(out, { type: 'CIRCLE', center: pt(e.center), radius: e.radius });
    case 'ARC':
      return Object.assign(out, {
        type: 'ARC', center: pt(e.center), radius: e.radius,
        start: e.startAngle * DEG, end: e.endAngle * DEG,
      });
    case 'SOLID': {
      const z = e.elevation ?? 0;
      const c = [e.corner1, e.corner2, e.corner3, e.corner4].map((p) => [p.x, p.y, z]);
      return Object.assign(out, { type: 'SOLID', corners: c });
    }
    case 'TEXT':
      return Object.assign(out, {
        type: 'TEXT', insert: [e.startPoint.x, e.startPoint.y, e.elevation ?? 0],
        height: e.textHeight, rotation: e.rotation * DEG, width: e.xScale,
        generation: e.generationFlag, text: e.text,
      });
    case 'POLYLINE2D':
      return Object.assign(out, {
        type: 'POLYLINE', closed: (e.flag & 1) === 1,
        startWidth: e.startWidth, endWidth: e.endWidth,
        vertices: vertices.get(e.handle) ?? [],
      });
    case 'INSERT':
      return Object.assign(out, {
        type: 'INSERT', block: e.name, insert: pt(e.insertionPoint),
        rotation: e.rotation * DEG, scale: [e.xScale, e.yScale, e.zScale],
      });
    default:
      return Object.assign(out, { type: 'OTHER' + e.type });
  }
}

// A header or table value in the normalised form: points as lists, colours
// as their number.
function value(v) {
  if (v && typeof v === 'object') {
    if ('x' in v) return 'z' in v ? [v.x, v.y, v.z] : [v.x, v.y];
    if ('index' in v) return v.index;
  }
  return v;
}

// Header variables by their DXF name. Those that hold a handle come as the
// converter's own numbers, not as names or handles, and are left out.
const HANDLE_VARS = new Set(['HANDSEED', 'UCSNAME', 'PUCSNAME', 'CMLSTYLE', 'DIMTXSTY']);
function header(h) {
  const out = {};
  for (const [k, v] of Object.entries(h)) {
    if (v === undefined || HANDLE_VARS.has(k)) continue;
    out['$' + k] = value(v);
  }
  return out;
}

function tables(t) {
  const out = { LTYPE: {}, STYLE: {}, DIMSTYLE: {}, VPORT: {}, APPID: [], BLOCK_RECORD: [] };
  for (const e of t.LTYPE.entries)
    out.LTYPE[e.name] = { description: e.description, length: e.totalPatternLength };
  for (const e of t.STYLE.entries) {
    out.STYLE[e.name] = {
      height: e.fixedTextHeight, width: e.widthFactor, oblique: e.obliqueAngle,
      generation: e.textGenerationFlag, lastHeight: e.lastHeight, font: e.font, bigFont: e.bigFont,
    };
  }
  for (const e of t.DIMSTYLE.entries) {
    const vars = {};
    for (const [k, v] of Object.entries(e))
      if (/^DIM/.test(k) && !HANDLE_VARS.has(k)) vars['$' + k] = value(v);
    out.DIMSTYLE[e.name] = vars;
  }
  for (const e of t.VPORT.entries) {
    out.VPORT[e.name] = {
      lowerLeft: value(e.lowerLeftCorner), upperRight: value(e.upperRightCorner),
      center: value(e.center), snapBase: value(e.snapBasePoint),
      snapSpacing: value(e.snapSpacing), gridSpacing: value(e.gridSpacing),
      direction: value(e.viewDirectionFromTarget), target: value(e.viewTarget),
      height: e.viewHeight, aspect: e.aspectRatio, lens: e.lensLength,
      frontClip: e.frontClippingPlane, backClip: e.backClippingPlane,
      snapAngle: e.snapRotationAngle, twist: e.viewTwistAngle, circleZoom: e.circleSides,
      ucsIcon: e.ucsIconSetting,
    };
  }
  out.APPID = t.APPID.entries.map((e) => e.name).sort();
  out.BLOCK_RECORD = t.BLOCK_RECORD.entries.map((e) => e.name).sort();
  return out;
}

// VERTEX_2D objects grouped by their polyline's handle (upper-case hex, as
// the converter spells handles).
function collectVertices(lib, dwg) {
  const byOwner = new Map();
  const n = lib.dwg_get_num_objects(dwg);
  for (let i = 0; i < n; ++i) {
    const obj = lib.dwg_get_object(dwg, i);
    if (!obj || lib.dwg_object_get_fixedtype(obj) !== VERTEX_2D) continue;
    const ent = lib.dwg_object_to_entity(obj);
    const tio = lib.dwg_object_to_entity_tio(obj);
    const owner = lib.dwg_object_entity_get_ownerhandle_object(ent).absolute_ref;
    const handle = lib.dwg_object_entity_get_handle_object(ent).value;
    const p = lib.dwg_dynapi_entity_data(tio, 'point');
    const v = [p.x, p.y, lib.dwg_dynapi_entity_data(tio, 'start_width'),
      lib.dwg_dynapi_entity_data(tio, 'end_width'), lib.dwg_dynapi_entity_data(tio, 'bulge')];
    const key = BigInt(owner).toString(16).toUpperCase();
    if (!byOwner.has(key)) byOwner.set(key, []);
    byOwner.get(key).push({ handle: BigInt(handle), v });
  }
  const result = new Map();
  for (const [k, list] of byOwner) {
    list.sort((a, b) => (a.handle < b.handle ? -1 : a.handle > b.handle ? 1 : 0));
    result.set(k, list.map((x) => x.v));
  }
  return result;
}

// Files before R13 refer to layers and blocks by their row in the table.
// LibreDWG's own conversion leaves those references unresolved (every entity
// on layer "0", every insert of block ""), so they are resolved here from the
// rows it decoded: the file's rows are the last ones of each table, after the
// defaults LibreDWG creates first. The block reference's row number is read
// from LibreDWG's reference record (its r11_idx field, 40 bytes in), which
// this binding does not expose.
function readPre13(lib, dwg) {
  const wasm = lib.wasmInstance;
  const n = lib.dwg_get_num_objects(dwg);
  const objects = [];
  for (let i = 0; i < n; ++i) objects.push(lib.dwg_get_object(dwg, i));
  const name = (o) => lib.dwg_object_get_dxfname(o);
  const otio = (o) => lib.dwg_object_to_object_tio(o);
  const etio = (o) => lib.dwg_object_to_entity_tio(o);
  const field = (tio, k) => lib.dwg_dynapi_entity_data(tio, k);
  const rows = (table, controlName) => {
    const control = objects.find((o) => name(o) === controlName);
    const count = control ? field(otio(control), 'num_entries') : 0;
    const all = objects.filter((o) => name(o) === table);
    return all.slice(all.length - count);
  };
  const layerRows = rows('LAYER', 'LAYER_CONTROL');
  const layerNames = layerRows.map((o) => field(otio(o), 'name'));
  const blockNames = rows('BLOCK_HEADER', 'BLOCK_CONTROL').map((o) => field(otio(o), 'name'));
  const rowOf = (ref) => {
    if (wasm.HEAPU8[ref + 9] !== 2) throw new Error('unexpected reference record layout');
    return wasm.HEAP16[(ref + 40) >> 1];
  };
  const result = { reader: 'libredwg', layers: {}, blocks: {}, entities: [] };
  for (const o of layerRows) {
    const t = otio(o);
    result.layers[field(t, 'name')] = Math.abs(field(t, 'color').index);
  }
  const xy = (p, z) => [p.x, p.y, p.z ?? z ?? 0];
  let list = null;
  let polyline = null;
  // AutoCAD moves an edited polyline's head to the extra section and leaves a
  // JUMP before its vertices; the head is read later, with no vertices after it.
  const jumped = [];
  const headless = [];
  for (const o of objects) {
    // A type above 127 marks a record AutoCAD deleted but left in place.
    if (lib.dwg_object_get_supertype(o) !== 0 || lib.dwg_object_get_type(o) > 127) continue;
    const ent = lib.dwg_object_to_entity(o);
    const t = etio(o);
    const type = name(o);
    const inBlock = lib.dwg_object_entity_get_entmode(ent) === 3;
    if (type === 'BLOCK') {  // outside the block section: LibreDWG's own model space
      if (inBlock) list = result.blocks[field(t, 'name')] = [];
      continue;
    }
    if (type === 'ENDBLK') {
      list = null;
      continue;
    }
    const target = inBlock ? list : result.entities;
    if (!target) continue;
    const layer = layerNames[lib.dwg_object_entity_get_layer_object_ref(ent).r11_idx] ?? '?';
    const e = { layer };
    const elevation = field(t, 'elevation') ?? 0;
    switch (type) {
      case 'LINE':
        Object.assign(e, { type: 'LINE', p1: xy(field(t, 'start')), p2: xy(field(t, 'end')) });
        break;
      case 'CIRCLE':
        Object.assign(e, { type: 'CIRCLE', center: xy(field(t, 'center')), radius: field(t, 'radius') });
        break;
      case 'ARC':
        Object.assign(e, {
          type: 'ARC', center: xy(field(t, 'center')), radius: field(t, 'radius'),
          start: field(t, 'start_angle') * DEG, end: field(t, 'end_angle') * DEG,
        });
        break;
      case 'SOLID':
        Object.assign(e, {
          type: 'SOLID',
          corners: ['corner1', 'corner2', 'corner3', 'corner4'].map((k) => xy(field(t, k), elevation)),
        });
        break;
      case 'TEXT':
        Object.assign(e, {
          type: 'TEXT', insert: xy(field(t, 'ins_pt'), elevation), height: field(t, 'height'),
          rotation: field(t, 'rotation') * DEG, width: field(t, 'width_factor'),
          generation: field(t, 'generation'), text: field(t, 'text_value'),
        });
        break;
      case 'POLYLINE_2D':
        polyline = Object.assign(e, {
          type: 'POLYLINE', closed: (field(t, 'flag') & 1) === 1,
          startWidth: field(t, 'start_width'), endWidth: field(t, 'end_width'), vertices: [],
        });
        break;
      case 'JUMP':
        polyline = { vertices: [] };
        jumped.push(polyline.vertices);
        continue;
      case 'VERTEX_2D': {
        const p = field(t, 'point');
        polyline?.vertices.push([p.x, p.y, field(t, 'start_width'), field(t, 'end_width'),
          field(t, 'bulge')]);
        continue;
      }
      case 'SEQEND':
        polyline = null;
        continue;
      case 'INSERT': {
        const s = field(t, 'scale');
        Object.assign(e, {
          type: 'INSERT', block: blockNames[rowOf(field(t, 'block_header'))] ?? '?',
          insert: xy(field(t, 'ins_pt')), rotation: field(t, 'rotation') * DEG, scale: [s.x, s.y, s.z],
        });
        break;
      }
      default:
        e.type = 'OTHER' + type;
    }
    if (type === 'POLYLINE_2D') headless.push(e);
    target.push(e);
  }
  for (const p of headless) if (!p.vertices.length && jumped.length) p.vertices = jumped.shift();
  return result;
}

const lib = await LibreDwg.create(path.join(here, 'node_modules/@mlightcad/libredwg-web/wasm/'));
const wasm = lib.wasmInstance;
const bytes = fs.readFileSync(file);
const pre13 = /^AC10(0[0-9])$/.test(bytes.subarray(0, 6).toString('latin1'));
wasm.FS.writeFile('in.dwg', new Uint8Array(bytes));
const { error, data: dwg } = wasm.dwg_read_file('in.dwg');
wasm.FS.unlink('in.dwg');
if (error !== 0 || !dwg) {
  const crc = error & 1 ? ' (CRC mismatch)' : '';
  console.error(`libredwg: ${file}: error code ${error}${crc}`);
  process.exit(1);
}
if (pre13) {
  const result = readPre13(lib, dwg);
  const db = lib.convert(dwg);
  result.header = header(db.header);
  result.tables = tables(db.tables);
  result.dwgRelease = bytes.subarray(0, 6).toString('latin1');
  lib.dwg_free(dwg);
  // No process.exit here: it would cut the JSON short once it outgrows the
  // pipe's buffer.
  process.stdout.write(JSON.stringify(result) + '\n');
} else {
  const vertices = collectVertices(lib, dwg);
  const db = lib.convert(dwg);
  const result = { reader: 'libredwg', layers: {}, blocks: {}, entities: [] };
  for (const l of db.tables.LAYER.entries) result.layers[l.name] = l.colorIndex;
  for (const b of db.tables.BLOCK_RECORD.entries) {
    const list = (b.entities ?? []).map((e) => entity(e, vertices));
    if (/^\*model_space$/i.test(b.name)) result.entities = list;
    else if (!/^\*paper_space/i.test(b.name)) result.blocks[b.name] = list;
  }
  result.header = header(db.header);
  result.tables = tables(db.tables);
  lib.dwg_free(dwg);
  process.stdout.write(JSON.stringify(result) + '\n');
}
