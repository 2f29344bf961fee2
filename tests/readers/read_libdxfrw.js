#!/usr/bin/env node
// Reads a DXF file with libdxfrw (WebAssembly build) and prints what it read
// as normalised JSON (see README.md). Exits non-zero when the reader
// rejects the file.
'use strict';
const fs = require('fs');
const path = require('path');

const file = process.argv[2];
if (!file) {
  console.error('usage: read_libdxfrw.js FILE.dxf');
  process.exit(2);
}

const createModule = require(path.join(__dirname,
  'node_modules/@mlightcad/libdxfrw-web/dist/libdxfrw.js'));

const { list } = require('./libdxfrw_entities.js');

// The library reports through the module's print hooks; keep its messages
// off stdout, where the JSON goes.
const messages = [];
const hooks = {
  print: (text) => messages.push(text),
  printErr: (text) => messages.push(text),
};

// Lines the reader prints while skipping objects it does not model
// (dictionaries, multiline styles): not a complaint about the file.
const benign = /^\s*next entity: (DICTIONARY|MLINESTYLE|ENDSEC)\s*$/;

createModule(hooks).then((lib) => {
  // Raw bytes: a JS string would reach the reader re-encoded as UTF-8, and
  // the drawing's 8-bit text would be decoded twice.
  const content = new Uint8Array(fs.readFileSync(file));
  const database = new lib.DRW_Database();
  const handler = new lib.DRW_FileHandler();
  handler.database = database;
  const dxf = new lib.DRW_DxfRW(content);
  const ok = dxf.read(handler, false);
  dxf.delete();
  const complaints = messages.filter((m) => !benign.test(m));
  if (!ok || complaints.length) {
    console.error(`libdxfrw: cannot read ${file}` + (ok ? '' : ' (read failed)'));
    for (const m of complaints) console.error(`libdxfrw: ${m}`);
    process.exit(1);
  }
  const db = handler.database;
  const result = { reader: 'libdxfrw', layers: {}, blocks: {}, entities: [] };
  for (let i = 0, n = db.layers.size(); i < n; ++i) {
    const l = db.layers.get(i);
    result.layers[l.name] = l.color;
  }
  for (let i = 0, n = db.blocks.size(); i < n; ++i) {
    const b = db.blocks.get(i);
    if (/^[*$](model|paper)_space/i.test(b.name)) continue;
    result.blocks[b.name] = list(lib, b.entities);
  }
  result.entities = list(lib, db.mBlock.entities);
  process.stdout.write(JSON.stringify(result) + '\n');
  database.delete();
  handler.delete();
}).catch((err) => {
  console.error(`libdxfrw: ${err && err.stack ? err.stack : err}`);
  process.exit(1);
});
