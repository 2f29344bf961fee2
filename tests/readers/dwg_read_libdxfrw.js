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

const DEG = 180 / Math.PI;
const pt = (c) => [c.x, c.y, c.z];

function entity(lib, e) {
  const T = lib.DRW_ETYPE;
  const t = e.eType.value;
  const out = { layer: e.layer };
  switch (t) {
    case T.LINE.value:
      return Object.assign(out, { type: 'LINE', p1: pt(e.basePoint), p2: pt(e.secPoint) });
    case T.CIRCLE.value:
      return Object.assign(out, { type: 'CIRCLE', center: pt(e.basePoint), radius: e.radius });
    case T.ARC.value:
      return Object.assign(out, {
        type: 'ARC', center: pt(e.basePoint), radius: e.radius,
        start: e.startAngle * DEG, end: e.endAngle * DEG,
      });
    case T.SOLID.value:
      return Object.assign(out, {
        type: 'SOLID',
        corners: [pt(e.basePoint), pt(e.secPoint), pt(e.thirdPoint), pt(e.fourPoint)],
      });
    case T.TEXT.value:  // libdxfrw hands text rotation over in degrees already
      return Object.assign(out, {
        type: 'TEXT', insert: pt(e.basePoint), height: e.height, rotation: e.angle,
        width: e.widthScale, generation: e.textGen, text: e.text,
      });
    case T.POLYLINE.value: {
      const list = e.getVertexList();
      const vertices = [];
      for (let i = 0, n = list.size(); i < n; ++i) {
        const v = list.get(i);
        vertices.push([v.basePoint.x, v.basePoint.y, v.stawidth, v.endwidth, v.bulge]);
      }
      return Object.assign(out, {
        type: 'POLYLINE', closed: (e.flags & 1) === 1,
        startWidth: e.defstawidth, endWidth: e.defendwidth, vertices,
      });
    }
    case T.INSERT.value:
      return Object.assign(out, {
        type: 'INSERT', block: e.name, insert: pt(e.basePoint), rotation: e.angle * DEG,
        scale: [e.xScale, e.yScale, e.zScale],
      });
    default:
      return Object.assign(out, { type: 'OTHER' + t });
  }
}

function list(lib, entities) {
  const out = [];
  for (let i = 0, n = entities.size(); i < n; ++i) out.push(entity(lib, entities.get(i)));
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
  // Model space entities arrive in the *MODEL_SPACE block when the reader
  // walks that block's entity links, and in its model space list otherwise.
  result.entities = list(lib, db.mBlock.entities);
  for (let i = 0, n = db.blocks.size(); i < n; ++i) {
    const b = db.blocks.get(i);
    if (/^[*$]model_space/i.test(b.name)) result.entities.push(...list(lib, b.entities));
    if (/^[*$](model|paper)_space/i.test(b.name)) continue;
    result.blocks[b.name] = list(lib, b.entities);
  }
  process.stdout.write(JSON.stringify(result) + '\n');
  database.delete();
  handler.delete();
}).catch((err) => {
  console.error(`libdxfrw: ${err && err.stack ? err.stack : err}`);
  process.exit(1);
});
