#!/usr/bin/env node
// Reads a DWG file (R13 or later) with libdxfrw (WebAssembly build) and prints
// what it read as the normalised JSON of the DXF readers (angles in degrees).
// Exits 1 when the reader rejects the file or reports an error.
'use strict';
const fs = require('fs');
const path = require('path');

const file = process.argv[2];
if (!file) {
  console.error('usage: dwg_read_libdxfrw.js FILE.dwg');
  process.exit(2);
}

const createModule = require(path.join(__dirname,
  'node_modules/@mlightcad/libdxfrw-web/dist/libdxfrw.js'));

const { list } = require('./libdxfrw_entities.js');

const coord = (c) => [c.x, c.y, c.z];

// Header variables by their DXF name, as the reader stores them.
function header(lib, h) {
  const out = {};
  const names = h.getVarNames();
  const T = lib.DRW_VariantType;
  for (let i = 0, n = names.size(); i < n; ++i) {
    const name = names.get(i);
    const v = h.getVar(name);
    if (!v) continue;
    const key = name.startsWith('$') ? name : '$' + name;
    const t = v.type().value;
    if (t === T.STRING.value) out[key] = v.getString();
    else if (t === T.INTEGER.value) out[key] = v.getInt();
    else if (t === T.DOUBLE.value) out[key] = v.getDouble();
    else if (t === T.COORD.value) out[key] = coord(v.getCoord());
  }
  return out;
}

function each(list, f) {
  for (let i = 0, n = list.size(); i < n; ++i) f(list.get(i));
}

function tables(db) {
  const out = { LTYPE: {}, STYLE: {}, DIMSTYLE: {}, VPORT: {}, APPID: [] };
  each(db.lineTypes, (e) => { out.LTYPE[e.name] = { description: e.desc, length: e.length }; });
  each(db.textStyles, (e) => {
    out.STYLE[e.name] = {
      height: e.height, width: e.width, oblique: e.oblique, generation: e.genFlag,
      lastHeight: e.lastHeight, font: e.font, bigFont: e.bigFont,
    };
  });
  // A fault of the reader: from a DWG it reads a dimension style's name and
  // none of its values (they keep the reader's defaults), so only the names
  // are reported. The DXF reader takes them all (read_libdxfrw.js).
  each(db.dimStyles, (e) => { out.DIMSTYLE[e.name] = {}; });
  each(db.viewports, (e) => {
    out.VPORT[e.name] = {
      lowerLeft: coord(e.lowerLeft).slice(0, 2), upperRight: coord(e.upperRight).slice(0, 2),
      center: coord(e.center).slice(0, 2), snapBase: coord(e.snapBase).slice(0, 2),
      snapSpacing: coord(e.snapSpacing).slice(0, 2), gridSpacing: coord(e.gridSpacing).slice(0, 2),
      // The reader keeps the DWG's view width in its ratio field (the DXF
      // gives the ratio itself); the ratio is width over height.
      direction: coord(e.viewDir), target: coord(e.viewTarget), height: e.height,
      aspect: e.ratio / e.height, lens: e.lensHeight, frontClip: e.frontClip, backClip: e.backClip,
      snapAngle: e.snapAngle, twist: e.twistAngle, circleZoom: e.circleZoom, ucsIcon: e.ucsIcon,
      snap: e.snap, grid: e.grid, snapStyle: e.snapStyle, snapIsopair: e.snapIsopair,
      fastZoom: e.fastZoom,
    };
  });
  each(db.appIds, (e) => out.APPID.push(e.name));
  out.APPID.sort();
  return out;
}

// The library prints diagnostics on standard output; keep that for the JSON.
createModule({ print: (s) => process.stderr.write(s + '\n') }).then((lib) => {
  const buf = fs.readFileSync(file);
  const database = new lib.DRW_Database();
  const handler = new lib.DRW_FileHandler();
  handler.database = database;
  const dwg = new lib.DRW_DwgR(buf.buffer.slice(buf.byteOffset, buf.byteOffset + buf.length));
  const ok = dwg.read(handler, false);
  const error = dwg.getError().value;
  dwg.delete();
  if (!ok || error !== 0) {
    console.error(`libdxfrw: cannot read ${file} (error ${error})`);
    process.exit(1);
  }
  const db = handler.database;
  const result = { reader: 'libdxfrw', layers: {}, blocks: {}, entities: [] };
  for (let i = 0, n = db.layers.size(); i < n; ++i) {
    const l = db.layers.get(i);
    result.layers[l.name] = l.color;
  }
  // Model space is the reader's own list: the entities whose mode marks them
  // as model space, gathered in the reader's object map order rather than in
  // file order (hence "unordered"). A block named *MODEL_SPACE holding them
  // instead would mean the file hides model space from this reader.
  result.entities = list(lib, db.mBlock.entities);
  result.unordered = true;
  // A fault of the reader, not of the file: it walks model space in the
  // order of a hash map and reads a 2D polyline's vertices when it meets the
  // polyline, so the vertices it met earlier on their own are lost (it does
  // so with AutoCAD's own drawings too). Model space polylines are compared
  // without their vertices here; LibreDWG reads them in full, and blocks,
  // which this reader walks in chain order, keep theirs.
  for (const e of result.entities) if (e.type === 'POLYLINE') delete e.vertices;
  for (let i = 0, n = db.blocks.size(); i < n; ++i) {
    const b = db.blocks.get(i);
    if (/^[*$](model|paper)_space/i.test(b.name)) {
      if (b.entities.size() > 0) result.blocks[b.name] = list(lib, b.entities);
      continue;
    }
    result.blocks[b.name] = list(lib, b.entities);
  }
  result.header = header(lib, db.header);
  result.tables = tables(db);
  process.stdout.write(JSON.stringify(result) + '\n');
  database.delete();
  handler.delete();
}).catch((err) => {
  console.error(`libdxfrw: ${err && err.stack ? err.stack : err}`);
  process.exit(1);
});
